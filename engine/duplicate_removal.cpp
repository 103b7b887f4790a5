#include "engine/duplicate_removal.h"

#include <algorithm>
#include <string_view>
#include <unordered_set>

namespace kestrelin {
namespace {

// Keeps the first occurrence of each text among the first `valid` entries,
// in order; returns how many remain. One pass with a hash set.
std::size_t KeepFirstOccurrences(std::vector<std::string>& list, std::size_t valid) {
  std::unordered_set<std::string_view> seen;
  seen.reserve(valid);
  std::vector<std::string> kept;
  // Reserved once, so the kept strings never move and the views in `seen`
  // stay valid.
  kept.reserve(valid);
  for (std::size_t i = 0; i < valid && i < list.size(); ++i) {
    if (seen.count(list[i]) != 0) continue;
    kept.push_back(std::move(list[i]));
    seen.insert(kept.back());
  }
  seen.clear();
  list = std::move(kept);
  return list.size();
}

}  // namespace

void RemoveDuplicateFileLinks(CrawlState& state) {
  if (state.FileCount <= 1) return;
  state.FileCount = static_cast<long>(
      KeepFirstOccurrences(state.FileLinks, static_cast<std::size_t>(state.FileCount)));
}

void RemoveDuplicatePageLinks(CrawlState& state) {
  if (state.PageCount <= 0) return;
  const std::size_t kept =
      KeepFirstOccurrences(state.PageLinks, static_cast<std::size_t>(state.PageCount) + 1);
  state.PageCount = static_cast<long>(kept) - 1;
}

}  // namespace kestrelin

namespace kestrelin {

std::size_t GrowingLinkList::RemoveRepeats(std::vector<std::string>& links, std::size_t valid) {
  valid = std::min(valid, links.size());
  if (checked_ > valid) {  // the list was replaced: start over
    seen_.clear();
    checked_ = 0;
  }
  std::size_t out = checked_;
  for (std::size_t i = checked_; i < valid; ++i) {
    if (!seen_.insert(links[i]).second) continue;
    if (out != i) links[out] = std::move(links[i]);
    ++out;
  }
  links.resize(out);
  checked_ = out;
  return out;
}

void GrowingLinkList::RemoveRepeatsByCount(std::vector<std::string>& links, long& count) {
  if (count <= 0) return;
  count = static_cast<long>(RemoveRepeats(links, static_cast<std::size_t>(count)));
}

void GrowingLinkList::RemoveRepeatsByLastIndex(std::vector<std::string>& links, long& lastIndex) {
  if (lastIndex < 0) return;
  lastIndex = static_cast<long>(RemoveRepeats(links, static_cast<std::size_t>(lastIndex) + 1)) - 1;
}

}  // namespace kestrelin
