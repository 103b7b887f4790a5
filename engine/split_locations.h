#pragma once
// The places of the rebuild's one-move split (split_plan.cpp), held in flat
// arrays: a place is a folder number and a name, the names lie one after
// the other in one buffer, and a name that is the end of another (the rest
// of a flattened name after its first marker) shares that name's bytes.
// A working folder of 100,000 files costs a few megabytes, not the hundreds
// of bytes per path that strings of full paths in hash tables cost.
// Used by split_plan.cpp alone, on the crawl's thread.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrelin {

class SplitLocations {
 public:
  static constexpr std::int32_t kNoFile = -1;

  // Where a name lies in the buffer.
  struct NameRef {
    std::uint32_t At;
    std::uint32_t Size;
  };
  struct Location {
    std::uint32_t Folder = 0;
    NameRef Name{0, 0};
    std::int32_t File = kNoFile;  // the file there now, or kNoFile
    std::uint32_t Turn = 0;       // the last folder turn that took it (see Seen)
  };

  // Room for `count` more places and `nameBytes` more name bytes.
  void Reserve(std::size_t count, std::size_t nameBytes);

  std::optional<std::uint32_t> Find(std::uint32_t folder, std::string_view name) const;
  // The place (folder, name), added without a file when missing. A new
  // name shares the bytes of `endOf` when it is that name's end.
  std::uint32_t FindOrAdd(std::uint32_t folder, std::string_view name, bool& added,
                          NameRef endOf = {0, 0});

  Location& At(std::uint32_t id) { return locations_[id]; }
  const Location& At(std::uint32_t id) const { return locations_[id]; }
  std::string_view NameOf(std::uint32_t id) const { return View(locations_[id].Name); }
  std::size_t Size() const { return locations_.size(); }

  // True when place `id` was already taken in turn `turn`; marks it taken.
  bool Seen(std::uint32_t id, std::uint32_t turn);

 private:
  std::string_view View(NameRef name) const {
    return std::string_view(names_).substr(name.At, name.Size);
  }
  std::size_t Hash(std::uint32_t folder, std::string_view name) const;
  std::size_t SlotOf(std::uint32_t folder, std::string_view name) const;
  void Grow(std::size_t slots);

  std::string names_;
  std::vector<Location> locations_;
  // Open addressing: 0 is an empty slot, otherwise the place's id + 1.
  std::vector<std::uint32_t> slots_;
};

}  // namespace kestrelin
