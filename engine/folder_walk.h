#pragma once
// The split of a rebuild, one folder level per step. FolderWalk: the
// folders still to be split, breadth-first, each taken once. It also remembers which folders are known to exist, so thousands of
// files moving into one folder cost one look at the disk, not one each.
#include <cstddef>
#include <string>
#include <unordered_set>
#include <vector>

#include "engine/paths.h"

namespace kestrelin {

// What one level of the split does with a file named `name` in `folder`:
// a name without the folder marker stays, one ending with it is deleted,
// any other moves into the folder named by the text before its first
// marker, under the rest (URL-decoded when `decode`, each part between
// markers on its own, a "%x" it gives back written "%25x", so decoding never
// makes a folder level). Both names go through SafeName.
struct LevelStep {
  enum class Kind { Stay, Delete, Move } What = Kind::Stay;
  std::string Folder;  // for Move
  std::string Name;    // for Move
};
LevelStep StepOneLevel(const std::string& folder, const std::string& name, bool decode);

inline std::string WithoutTrailingSeparators(std::string folder) {
  while (folder.size() > 1 && EndsWithSeparator(folder)) folder.pop_back();
  return folder;
}

class FolderWalk {
 public:
  explicit FolderWalk(const std::string& root) { Add(root); }
  void Add(const std::string& folder) {
    if (seen_.insert(WithoutTrailingSeparators(folder)).second) folders_.push_back(folder);
  }
  bool KnownToExist(const std::string& folder) const {
    return existing_.count(WithoutTrailingSeparators(folder)) != 0;
  }
  void MarkExisting(const std::string& folder) {
    existing_.insert(WithoutTrailingSeparators(folder));
  }
  std::size_t Size() const { return folders_.size(); }
  const std::string& At(std::size_t position) const { return folders_[position]; }

 private:
  std::vector<std::string> folders_;
  std::unordered_set<std::string> seen_;
  std::unordered_set<std::string> existing_;
};

}  // namespace kestrelin
