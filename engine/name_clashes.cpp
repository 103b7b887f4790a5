#include "engine/name_clashes.h"

#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "engine/folder_walk.h"
#include "engine/paths.h"

namespace kestrelin {
namespace {

constexpr std::string_view kMarker = "%x%";

// Where the split puts the working file `name` (relative to the working
// folder, with the platform separator); empty when the split deletes it.
std::string PlaceAfterSplit(const std::string& name, bool decode) {
  std::string folder;
  std::string current = name;
  for (;;) {
    LevelStep step = StepOneLevel(folder, current, decode);
    if (step.What == LevelStep::Kind::Stay) {
      return folder.empty() ? current : JoinPath(folder, current);
    }
    if (step.What == LevelStep::Kind::Delete) return {};
    folder = WithoutTrailingSeparators(step.Folder);
    if (!folder.empty() && folder.front() == kPathSeparator) folder.erase(0, 1);
    current = std::move(step.Name);
  }
}

std::string ShownPlace(std::string place) {
  for (char& c : place) {
    if (c == kPathSeparator) c = '/';
  }
  return place;
}

}  // namespace

void ResolveNameClashes(CrawlContext& ctx, int DecodeName) {
  const bool decode = DecodeName == 1;
  const auto files = ctx.FSO.Files(ctx.State.CachePath);
  if (!files) return;
  std::unordered_map<std::string, std::string> placeOf;  // working name -> place
  std::unordered_set<std::string> filePlaces;
  std::unordered_set<std::string> folderPlaces;
  for (const FolderEntry& file : *files) {
    if (file.Name.find(kMarker) == std::string::npos) {
      placeOf[file.Name] = file.Name;
      filePlaces.insert(file.Name);
      continue;
    }
    const std::string place = PlaceAfterSplit(file.Name, decode);
    if (place.empty()) continue;
    placeOf[file.Name] = place;
    filePlaces.insert(place);
    for (std::size_t at = place.find(kPathSeparator); at != std::string::npos;
         at = place.find(kPathSeparator, at + 1)) {
      folderPlaces.insert(place.substr(0, at));
    }
  }
  for (const FolderEntry& file : *files) {
    const auto found = placeOf.find(file.Name);
    if (found == placeOf.end() || !folderPlaces.count(found->second)) continue;
    const std::string& place = found->second;
    for (int n = 0;; ++n) {
      const std::string index = n == 0 ? "index.html" : "index-" + std::to_string(n) + ".html";
      const std::string newPlace = JoinPath(place, index);
      if (filePlaces.count(newPlace) || folderPlaces.count(newPlace)) continue;
      const std::string newName = file.Name + std::string(kMarker) + index;
      // Only a name the split really places there is taken.
      if (PlaceAfterSplit(newName, decode) != newPlace) break;
      if (!ctx.FSO.MoveFile(file.Path, JoinPath(ctx.State.CachePath, newName))) break;
      filePlaces.insert(newPlace);
      ctx.Host.AddLine("Renamed " + ShownPlace(place) + " to " + ShownPlace(newPlace) +
                       ": a folder has the same name");
      break;
    }
  }
}

}  // namespace kestrelin
