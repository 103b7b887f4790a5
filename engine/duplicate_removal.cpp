#include "engine/duplicate_removal.h"

#include <algorithm>
#include <functional>
#include <string_view>

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

GrowingLinkList::GrowingLinkList() : seen_(0, EntryHash{this}, EntryEqual{this}) {}

std::size_t GrowingLinkList::EntryHash::operator()(std::size_t i) const {
  return (*this)((*list->links_)[i]);
}

std::size_t GrowingLinkList::EntryHash::operator()(std::string_view link) const {
  return std::hash<std::string_view>{}(link);
}

bool GrowingLinkList::EntryEqual::operator()(std::size_t a, std::size_t b) const {
  return (*list->links_)[a] == (*list->links_)[b];
}

bool GrowingLinkList::EntryEqual::operator()(std::string_view link, std::size_t i) const {
  return link == (*list->links_)[i];
}

// Each entry is first put in its place among the kept ones, then kept
// when no earlier entry equals it.
std::size_t GrowingLinkList::RemoveRepeats(std::vector<std::string>& links, std::size_t valid) {
  valid = std::min(valid, links.size());
  if (checked_ > valid) {  // the list was replaced: start over
    seen_.clear();
    checked_ = 0;
  }
  links_ = &links;
  std::size_t out = checked_;
  for (std::size_t i = checked_; i < valid; ++i) {
    if (out != i) links[out] = std::move(links[i]);
    if (seen_.insert(out).second) ++out;
  }
  links.resize(out);
  checked_ = out;
  return out;
}

bool GrowingLinkList::Contains(const std::vector<std::string>& links, std::string_view link) {
  if (checked_ > links.size()) return false;  // the list was replaced since
  links_ = &links;
  return seen_.contains(link);
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
