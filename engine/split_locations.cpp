#include "engine/split_locations.h"

#include <functional>

namespace kestrelin {

void SplitLocations::Reserve(std::size_t count, std::size_t nameBytes) {
  locations_.reserve(locations_.size() + count);
  names_.reserve(names_.size() + nameBytes);
  std::size_t wanted = 16;
  while (wanted < 2 * (locations_.size() + count)) wanted *= 2;
  if (wanted > slots_.size()) Grow(wanted);
}

std::size_t SplitLocations::Hash(std::uint32_t folder, std::string_view name) const {
  return std::hash<std::string_view>{}(name) ^ (folder * std::size_t{0x9e3779b97f4a7c15});
}

// The slot of (folder, name), or the empty slot where it would go.
std::size_t SplitLocations::SlotOf(std::uint32_t folder, std::string_view name) const {
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t slot = Hash(folder, name) & mask;; slot = (slot + 1) & mask) {
    const std::uint32_t entry = slots_[slot];
    if (entry == 0) return slot;
    const Location& location = locations_[entry - 1];
    if (location.Folder == folder && View(location.Name) == name) return slot;
  }
}

void SplitLocations::Grow(std::size_t slots) {
  slots_.assign(slots, 0);
  for (std::uint32_t id = 0; id < locations_.size(); ++id) {
    slots_[SlotOf(locations_[id].Folder, View(locations_[id].Name))] = id + 1;
  }
}

std::optional<std::uint32_t> SplitLocations::Find(std::uint32_t folder,
                                                  std::string_view name) const {
  if (slots_.empty()) return std::nullopt;
  const std::uint32_t entry = slots_[SlotOf(folder, name)];
  if (entry == 0) return std::nullopt;
  return entry - 1;
}

std::uint32_t SplitLocations::FindOrAdd(std::uint32_t folder, std::string_view name, bool& added,
                                        NameRef endOf) {
  if (2 * (locations_.size() + 1) > slots_.size()) Grow(slots_.empty() ? 16 : 2 * slots_.size());
  const std::size_t slot = SlotOf(folder, name);
  added = slots_[slot] == 0;
  if (!added) return slots_[slot] - 1;
  NameRef ref;
  const std::string_view shared = View(endOf);
  if (name.size() <= shared.size() && shared.substr(shared.size() - name.size()) == name) {
    ref = {static_cast<std::uint32_t>(endOf.At + endOf.Size - name.size()),
           static_cast<std::uint32_t>(name.size())};
  } else {
    ref = {static_cast<std::uint32_t>(names_.size()), static_cast<std::uint32_t>(name.size())};
    names_.append(name);
  }
  const auto id = static_cast<std::uint32_t>(locations_.size());
  locations_.push_back({folder, ref, kNoFile, 0});
  slots_[slot] = id + 1;
  return id;
}

bool SplitLocations::Seen(std::uint32_t id, std::uint32_t turn) {
  if (locations_[id].Turn == turn) return true;
  locations_[id].Turn = turn;
  return false;
}

}  // namespace kestrelin
