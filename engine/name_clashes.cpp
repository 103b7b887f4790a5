#include "engine/name_clashes.h"

#include <algorithm>
#include <string>
#include <string_view>
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

bool HasMarker(std::string_view name) { return name.find(kMarker) != std::string_view::npos; }

}  // namespace

// A crawl leaves nearly every file of the site in the working folder, so
// each place is held once: a name without a marker is its own place, the
// look-ups refer to the places, and the listing's full paths go at once.
void ResolveNameClashes(CrawlContext& ctx, int DecodeName) {
  const bool decode = DecodeName == 1;
  auto files = ctx.FSO.Files(ctx.State.CachePath);
  if (!files) return;
  // The place of each file whose name holds a marker; empty when the split
  // deletes it.
  std::vector<std::string> splitPlaces(files->size());
  std::vector<std::string_view> filePlaces;  // sorted below
  filePlaces.reserve(files->size());
  std::unordered_set<std::string_view> folderPlaces;
  for (std::size_t i = 0; i < files->size(); ++i) {
    FolderEntry& file = (*files)[i];
    std::string().swap(file.Path);
    if (!HasMarker(file.Name)) {
      filePlaces.push_back(file.Name);
      continue;
    }
    splitPlaces[i] = PlaceAfterSplit(file.Name, decode);
    const std::string_view place = splitPlaces[i];
    if (place.empty()) continue;
    filePlaces.push_back(place);
    for (std::size_t at = place.find(kPathSeparator); at != std::string_view::npos;
         at = place.find(kPathSeparator, at + 1)) {
      folderPlaces.insert(place.substr(0, at));
    }
  }
  std::sort(filePlaces.begin(), filePlaces.end());
  std::unordered_set<std::string> renamedPlaces;
  const auto taken = [&](const std::string& place) {
    return std::binary_search(filePlaces.begin(), filePlaces.end(), place) ||
           renamedPlaces.count(place) || folderPlaces.count(place);
  };
  for (std::size_t i = 0; i < files->size(); ++i) {
    const std::string& name = (*files)[i].Name;
    const std::string_view place = HasMarker(name) ? splitPlaces[i] : name;
    if (place.empty() || !folderPlaces.count(place)) continue;
    for (int n = 0;; ++n) {
      const std::string index = n == 0 ? "index.html" : "index-" + std::to_string(n) + ".html";
      const std::string newPlace = JoinPath(place, index);
      if (taken(newPlace)) continue;
      const std::string newName = name + std::string(kMarker) + index;
      // Only a name the split really places there is taken.
      if (PlaceAfterSplit(newName, decode) != newPlace) break;
      const std::string& folder = ctx.State.CachePath;
      if (!ctx.FSO.MoveFile(JoinPath(folder, name), JoinPath(folder, newName))) break;
      renamedPlaces.insert(newPlace);
      ctx.Host.AddLine("Renamed " + ShownPlace(std::string(place)) + " to " +
                       ShownPlace(newPlace) + ": a folder has the same name");
      break;
    }
  }
}

}  // namespace kestrelin
