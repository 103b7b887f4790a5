#include "engine/split_plan.h"

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "engine/folder_walk.h"
#include "engine/paths.h"

namespace kestrelin {
namespace {

constexpr long kVacated = -1;  // a path whose file moved away

// One file of the working folder as the model moves it.
struct PlannedFile {
  std::string Original;           // where it lies on disk
  std::vector<std::string> Hops;  // the paths it takes in turn; the last is where it ends
  bool Deleted = false;           // its name came to end with the marker
  bool Replaced = false;          // another file was moved onto it
  bool Moves() const { return !Deleted && !Replaced && !Hops.empty(); }
};

class SplitPlan {
 public:
  SplitPlan(CrawlContext& ctx, int DecodeName)
      : fso_(ctx.FSO), decode_(DecodeName == 1), walk_(ctx.State.CachePath) {}

  // Runs the walk on the model; false when it has to be left to the
  // level-by-level split.
  bool Walk() {
    for (std::size_t position = 0; position < walk_.Size() && !giveUp_; ++position) {
      TakeTurn(walk_.At(position));  // a copy: the walk grows meanwhile
    }
    return !giveUp_ && !OrderMatters();
  }

  // Does on disk what the walk planned: removes the files that were
  // deleted or replaced, then moves each other file once. A move that fails
  // is retried level by level, so the file stops where that split would.
  void Carry() {
    for (const PlannedFile& file : files_) {
      if (file.Deleted || file.Replaced) fso_.DeleteFile(file.Original);
    }
    for (const PlannedFile& file : files_) {
      if (!file.Moves() || fso_.MoveFile(file.Original, file.Hops.back())) continue;
      if (file.Hops.size() < 2) continue;
      std::string from = file.Original;
      for (const std::string& hop : file.Hops) {
        if (!fso_.MoveFile(from, hop)) break;
        from = hop;
      }
    }
  }

 private:
  // The folder's turn: its files (as on disk, where they have not moved
  // yet, and those moved in by the model) are split one level.
  void TakeTurn(std::string folder) {
    const std::string key = WithoutTrailingSeparators(folder);
    const bool madeNow = made_.count(key) != 0;
    std::vector<std::string> names;
    std::unordered_set<std::string> listed;
    if (!madeNow) {
      const auto* onDisk = FilesOnDisk(key);
      if (!onDisk) return;  // cannot be opened: passed over
      for (const FolderEntry& file : *onDisk) {
        if (listed.insert(file.Name).second) names.push_back(file.Name);
      }
    }
    if (const auto arrived = arrivals_.find(key); arrived != arrivals_.end()) {
      for (const std::string& name : arrived->second) {
        if (listed.insert(name).second) names.push_back(name);
      }
    }
    for (const std::string& name : names) {
      SplitOne(key, name);
      if (giveUp_) return;
    }
    // A folder made in this walk holds only what the model put there; one
    // that was there before may hold folders left by an earlier rebuild.
    if (!madeNow) {
      if (const auto subFolders = fso_.SubFolders(folder)) {
        for (const auto& sub : *subFolders) walk_.Add(sub.Path);
      }
    }
  }

  void SplitOne(const std::string& folderKey, const std::string& name) {
    const std::string path = JoinPath(folderKey, name);
    const auto found = at_.find(path);
    if (found == at_.end() || found->second == kVacated) return;  // nothing there now
    const long id = found->second;
    const LevelStep step = StepOneLevel(folderKey, name, decode_);
    if (step.What == LevelStep::Kind::Stay) return;
    if (step.What == LevelStep::Kind::Delete) {
      files_[id].Deleted = true;
      found->second = kVacated;
      return;
    }
    ReachFolder(step.Folder);
    if (giveUp_) return;
    MoveTo(id, path, WithoutTrailingSeparators(step.Folder), step.Name);
  }

  // Makes sure `folder` exists, as the level-by-level split does: it is
  // created (and walked) when missing.
  void ReachFolder(const std::string& folder) {
    if (walk_.KnownToExist(folder)) return;
    const std::string key = WithoutTrailingSeparators(folder);
    bool exists = FolderThere(key);
    if (!exists && !giveUp_) {
      if (!FileThere(key) && fso_.CreateFolder(folder)) made_.insert(key);
      walk_.Add(folder);
      exists = FolderThere(key);
    }
    if (exists) walk_.MarkExisting(folder);
  }

  bool FileThere(const std::string& path) const {
    const auto found = at_.find(path);
    return found != at_.end() && found->second != kVacated;
  }

  // Whether a folder is at `key` in the model. A file the model moved
  // away still lies there on disk, so a folder could not be made there
  // yet: that case is left to the level-by-level split.
  bool FolderThere(const std::string& key) {
    const auto found = at_.find(key);
    if (found != at_.end()) {
      if (found->second == kVacated) giveUp_ = true;
      return false;
    }
    return made_.count(key) != 0 || fso_.FolderExists(key);
  }

  // A folder made in this walk holds only folders made in this walk.
  bool FolderAt(const std::string& folderKey, const std::string& path) {
    if (made_.count(path)) return true;
    return !made_.count(folderKey) && fso_.FolderExists(path);
  }

  void MoveTo(long id, const std::string& from, const std::string& folderKey,
              const std::string& name) {
    if (!walk_.KnownToExist(folderKey)) return;  // the folder could not be made
    const std::string target = JoinPath(folderKey, name);
    if (target == from || FolderAt(folderKey, target)) return;
    if (!made_.count(folderKey)) FilesOnDisk(folderKey);  // knows what a move replaces
    at_[from] = kVacated;
    const auto [slot, isNew] = at_.try_emplace(target, id);
    if (!isNew) {
      if (slot->second != kVacated) files_[slot->second].Replaced = true;
      slot->second = id;
    }
    files_[id].Hops.push_back(target);
    arrivals_[folderKey].push_back(name);
  }

  // The files on disk in a folder that was there before the walk, each
  // entered in the model where no move has touched its path yet. nullptr
  // when the folder cannot be opened.
  const std::vector<FolderEntry>* FilesOnDisk(const std::string& key) {
    auto listed = onDisk_.find(key);
    if (listed == onDisk_.end()) {
      listed = onDisk_.emplace(key, fso_.Files(key)).first;
      // The first folder listed is the working folder, which holds nearly
      // every file: the table is sized for their paths at once (each takes
      // a few) rather than grown step by step.
      if (listed->second && onDisk_.size() == 1) at_.reserve(4 * listed->second->size());
      if (listed->second) {
        for (const FolderEntry& file : *listed->second) {
          const std::string path = JoinPath(key, file.Name);
          if (at_.emplace(path, static_cast<long>(files_.size())).second) {
            files_.push_back(PlannedFile{path, {}, false, false});
          }
        }
      }
    }
    return listed->second ? &*listed->second : nullptr;
  }

  // True when a file's new path is where another file that moves still
  // lies: the two renames would then depend on their order.
  bool OrderMatters() const {
    std::unordered_set<std::string> leaving;
    for (const PlannedFile& file : files_) {
      if (file.Moves()) leaving.insert(file.Original);
    }
    for (const PlannedFile& file : files_) {
      if (file.Moves() && leaving.count(file.Hops.back())) return true;
    }
    return false;
  }

  FileService& fso_;
  const bool decode_;
  FolderWalk walk_;
  bool giveUp_ = false;
  std::vector<PlannedFile> files_;
  std::unordered_map<std::string, long> at_;  // path -> the file there (index), or kVacated
  std::unordered_map<std::string, std::vector<std::string>> arrivals_;  // names moved into a folder
  std::unordered_map<std::string, std::optional<std::vector<FolderEntry>>> onDisk_;
  std::unordered_set<std::string> made_;  // folders created by this walk
};

}  // namespace

bool SplitFlattenedNamesDirectly(CrawlContext& ctx, int DecodeName) {
  SplitPlan plan(ctx, DecodeName);
  if (!plan.Walk()) return false;
  plan.Carry();
  return true;
}

}  // namespace kestrelin
