#include "engine/split_plan.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/folder_walk.h"
#include "engine/paths.h"
#include "engine/split_locations.h"

namespace kestrelin {
namespace {

constexpr std::uint32_t kNone = UINT32_MAX;

// One file of the working folder as the model moves it.
struct PlannedFile {
  std::uint32_t Original;        // the place where it lies on disk
  std::uint32_t LastHop = kNone;  // its last entry in the hop list: where it ends
  bool Deleted = false;          // its name came to end with the marker
  bool Replaced = false;         // another file was moved onto it
  bool Moves() const { return !Deleted && !Replaced && LastHop != kNone; }
};

// One step of a file: the place it reaches and its step before, so each
// file's steps form a chain from its last one back to its first.
struct Hop {
  std::uint32_t Location;
  std::uint32_t Previous;
};

// A folder the model knows: its path without a trailing separator, what
// the disk holds in it (listed once, when first needed) and the places
// the model moved files into.
struct ModelFolder {
  std::string Key;
  bool Made = false;  // created by this walk
  bool Listed = false;
  bool Opened = false;
  std::vector<std::uint32_t> OnDisk;
  std::vector<std::uint32_t> Arrivals;
};

// A path is modelled as its folder and its name only when that is the one
// way to write it: no doubled separator, none at the end, a name without
// one. Anything else is left to the level-by-level split.
bool PlainFolderKey(std::string_view key) {
  const char doubled[] = {kPathSeparator, kPathSeparator, '\0'};
  return !key.empty() && !EndsWithSeparator(key) && key.find(doubled) == std::string_view::npos;
}
bool PlainName(std::string_view name) {
  return !name.empty() && name.find(kPathSeparator) == std::string_view::npos;
}

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
  // deleted or replaced, then moves each other file once, a batch at a
  // time (no move depends on another, see OrderMatters). A move that fails
  // is retried level by level, so the file stops where that split would.
  void Carry() {
    for (const PlannedFile& file : files_) {
      if (file.Deleted || file.Replaced) fso_.DeleteFile(PathOf(file.Original));
    }
    FileService::FileMoves batch;
    std::vector<const PlannedFile*> movers;
    for (const PlannedFile& file : files_) {
      if (!file.Moves()) continue;
      batch.emplace_back(PathOf(file.Original), PathOf(hops_[file.LastHop].Location));
      movers.push_back(&file);
      if (batch.size() == kMovesPerBatch) {
        CarryBatch(batch, movers);
        batch.clear();
        movers.clear();
      }
    }
    CarryBatch(batch, movers);
  }

 private:
  // Enough moves for both threads of a batch to keep busy; few enough that
  // the batch's paths take little memory however large the crawl.
  static constexpr std::size_t kMovesPerBatch = 1024;

  void CarryBatch(const FileService::FileMoves& batch,
                  const std::vector<const PlannedFile*>& movers) {
    if (batch.empty()) return;
    const std::vector<bool> moved = fso_.MoveFiles(batch);
    for (std::size_t i = 0; i < batch.size(); ++i) {
      if (!moved[i]) MoveLevelByLevel(batch[i].first, *movers[i]);
    }
  }

  void MoveLevelByLevel(std::string from, const PlannedFile& file) {
    std::vector<std::uint32_t> chain;
    for (std::uint32_t hop = file.LastHop; hop != kNone; hop = hops_[hop].Previous) {
      chain.push_back(hops_[hop].Location);
    }
    if (chain.size() < 2) return;
    for (auto hop = chain.rbegin(); hop != chain.rend(); ++hop) {
      std::string to = PathOf(*hop);
      if (!fso_.MoveFile(from, to)) break;
      from = std::move(to);
    }
  }

  std::string PathOf(std::uint32_t location) const {
    return JoinPath(folders_[places_.At(location).Folder].Key, places_.NameOf(location));
  }

  // The number of the folder `key`, entered when new; nullopt (and the
  // plan given up) when the key cannot be modelled.
  std::optional<std::uint32_t> FolderNumber(const std::string& key) {
    if (const auto found = folderNumbers_.find(key); found != folderNumbers_.end()) {
      return found->second;
    }
    if (!PlainFolderKey(key)) {
      giveUp_ = true;
      return std::nullopt;
    }
    const auto number = static_cast<std::uint32_t>(folders_.size());
    folders_.emplace_back().Key = key;
    folderNumbers_.emplace(key, number);
    return number;
  }

  const ModelFolder* KnownFolder(const std::string& key) const {
    const auto found = folderNumbers_.find(key);
    return found == folderNumbers_.end() ? nullptr : &folders_[found->second];
  }
  bool Made(const std::string& key) const {
    const ModelFolder* folder = KnownFolder(key);
    return folder && folder->Made;
  }

  // The place at `path`, when the model has one.
  std::optional<std::uint32_t> PlaceAt(const std::string& path) const {
    const auto cut = path.rfind(kPathSeparator);
    if (cut == std::string::npos || cut == 0) return std::nullopt;
    const auto folder = folderNumbers_.find(path.substr(0, cut));
    if (folder == folderNumbers_.end()) return std::nullopt;
    return places_.Find(folder->second, std::string_view(path).substr(cut + 1));
  }

  // The folder's turn: its files (as on disk, where they have not moved
  // yet, and those moved in by the model) are split one level.
  void TakeTurn(std::string folder) {
    const std::string key = WithoutTrailingSeparators(folder);
    const auto number = FolderNumber(key);
    if (!number) return;
    const bool madeNow = folders_[*number].Made;
    ++turn_;
    std::vector<std::uint32_t> names;
    if (!madeNow) {
      if (!ListOnDisk(*number)) return;  // cannot be opened: passed over
      if (giveUp_) return;
      for (const std::uint32_t place : folders_[*number].OnDisk) {
        if (!places_.Seen(place, turn_)) names.push_back(place);
      }
    }
    for (const std::uint32_t place : folders_[*number].Arrivals) {
      if (!places_.Seen(place, turn_)) names.push_back(place);
    }
    for (const std::uint32_t place : names) {
      SplitOne(key, place);
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

  void SplitOne(const std::string& folderKey, std::uint32_t place) {
    const std::int32_t id = places_.At(place).File;
    if (id == SplitLocations::kNoFile) return;  // nothing there now
    const LevelStep step = StepOneLevel(folderKey, std::string(places_.NameOf(place)), decode_);
    if (step.What == LevelStep::Kind::Stay) return;
    if (step.What == LevelStep::Kind::Delete) {
      files_[id].Deleted = true;
      places_.At(place).File = SplitLocations::kNoFile;
      return;
    }
    ReachFolder(step.Folder);
    if (giveUp_) return;
    MoveTo(id, place, WithoutTrailingSeparators(step.Folder), step.Name);
  }

  // Makes sure `folder` exists, as the level-by-level split does: it is
  // created (and walked) when missing.
  void ReachFolder(const std::string& folder) {
    if (walk_.KnownToExist(folder)) return;
    const std::string key = WithoutTrailingSeparators(folder);
    bool exists = FolderThere(key);
    if (!exists && !giveUp_) {
      if (!FileThere(key) && fso_.CreateFolder(folder)) {
        const auto number = FolderNumber(key);
        if (!number) return;
        folders_[*number].Made = true;
      }
      walk_.Add(folder);
      exists = FolderThere(key);
    }
    if (exists) walk_.MarkExisting(folder);
  }

  bool FileThere(const std::string& path) const {
    const auto place = PlaceAt(path);
    return place && places_.At(*place).File != SplitLocations::kNoFile;
  }

  // Whether a folder is at `key` in the model. A file the model moved
  // away still lies there on disk, so a folder could not be made there
  // yet: that case is left to the level-by-level split.
  bool FolderThere(const std::string& key) {
    if (const auto place = PlaceAt(key)) {
      if (places_.At(*place).File == SplitLocations::kNoFile) giveUp_ = true;
      return false;
    }
    return Made(key) || fso_.FolderExists(key);
  }

  // A folder made in this walk holds only folders made in this walk.
  bool FolderAt(const std::string& folderKey, const std::string& path) {
    if (Made(path)) return true;
    return !Made(folderKey) && fso_.FolderExists(path);
  }

  void MoveTo(std::int32_t id, std::uint32_t from, const std::string& folderKey,
              const std::string& name) {
    if (!walk_.KnownToExist(folderKey)) return;  // the folder could not be made
    const auto number = FolderNumber(folderKey);
    if (!number) return;
    if (!PlainName(name)) {
      giveUp_ = true;
      return;
    }
    const SplitLocations::Location source = places_.At(from);
    if ((source.Folder == *number && places_.NameOf(from) == name) ||
        FolderAt(folderKey, JoinPath(folderKey, name))) {
      return;
    }
    if (!folders_[*number].Made) ListOnDisk(*number);  // knows what a move replaces
    if (giveUp_) return;
    places_.At(from).File = SplitLocations::kNoFile;
    bool added = false;
    const std::uint32_t target = places_.FindOrAdd(*number, name, added, source.Name);
    const std::int32_t there = places_.At(target).File;
    if (there != SplitLocations::kNoFile) files_[there].Replaced = true;
    places_.At(target).File = id;
    hops_.push_back({target, files_[id].LastHop});
    files_[id].LastHop = static_cast<std::uint32_t>(hops_.size() - 1);
    folders_[*number].Arrivals.push_back(target);
  }

  // Lists, once, the files on disk in a folder that was there before the
  // walk, each entered in the model where no move has touched its place
  // yet. False when the folder cannot be opened.
  bool ListOnDisk(std::uint32_t number) {
    if (folders_[number].Listed) return folders_[number].Opened;
    folders_[number].Listed = true;
    auto listed = fso_.Files(folders_[number].Key);
    if (!listed) return false;
    folders_[number].Opened = true;
    // The full paths are not needed (the model joins folder and name): they
    // go before the model takes its room.
    std::size_t nameBytes = 0;
    for (FolderEntry& file : *listed) {
      nameBytes += file.Name.size();
      std::string().swap(file.Path);
    }
    // The first folder listed is the working folder, which holds nearly
    // every file: room for their places (each takes a few) at once.
    places_.Reserve(folders_.size() == 1 ? 4 * listed->size() : listed->size(), nameBytes);
    std::vector<std::uint32_t>& onDisk = folders_[number].OnDisk;
    onDisk.reserve(listed->size());
    for (FolderEntry& file : *listed) {
      if (!PlainName(file.Name)) {
        giveUp_ = true;
        return true;
      }
      bool added = false;
      const std::uint32_t place = places_.FindOrAdd(number, file.Name, added);
      if (added) {
        places_.At(place).File = static_cast<std::int32_t>(files_.size());
        files_.push_back(PlannedFile{place});
      }
      onDisk.push_back(place);
      file = FolderEntry{};  // the listing's strings go as the model takes them
    }
    return true;
  }

  // True when a file's new path is where another file that moves still
  // lies: the two renames would then depend on their order.
  bool OrderMatters() const {
    std::vector<bool> leaving(places_.Size(), false);
    for (const PlannedFile& file : files_) {
      if (file.Moves()) leaving[file.Original] = true;
    }
    for (const PlannedFile& file : files_) {
      if (file.Moves() && leaving[hops_[file.LastHop].Location]) return true;
    }
    return false;
  }

  FileService& fso_;
  const bool decode_;
  FolderWalk walk_;
  bool giveUp_ = false;
  std::uint32_t turn_ = 0;
  SplitLocations places_;
  std::vector<PlannedFile> files_;
  std::vector<Hop> hops_;
  std::vector<ModelFolder> folders_;
  std::unordered_map<std::string, std::uint32_t> folderNumbers_;
};

}  // namespace

bool SplitFlattenedNamesDirectly(CrawlContext& ctx, int DecodeName) {
  SplitPlan plan(ctx, DecodeName);
  if (!plan.Walk()) return false;
  plan.Carry();
  return true;
}

}  // namespace kestrelin
