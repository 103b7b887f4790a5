#include "engine/duplicate_removal.h"

#include <algorithm>

namespace kestrelin {

// A whole pass is the growing list's pass with nothing checked yet.
void RemoveDuplicateFileLinks(CrawlState& state) {
  if (state.FileCount <= 1) return;
  GrowingLinkList().RemoveRepeatsByCount(state.FileLinks, state.FileCount);
}

void RemoveDuplicatePageLinks(CrawlState& state) {
  if (state.PageCount <= 0) return;
  GrowingLinkList().RemoveRepeatsByLastIndex(state.PageLinks, state.PageCount);
}

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
