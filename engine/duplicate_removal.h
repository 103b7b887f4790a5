#pragma once
#include <cstddef>
#include <string>
#include <unordered_set>
#include <vector>

#include "engine/crawl_state.h"

namespace kestrelin {

// Removes every later repeat of an entry, keeping the first occurrence and
// the order of the rest; FileCount / PageCount follow.
void RemoveDuplicateFileLinks(CrawlState& state);
void RemoveDuplicatePageLinks(CrawlState& state);

// The same result for a list that only grows at its end between calls: it
// remembers the entries already checked, so each call costs only the new
// entries. The crawl runs it after every page over lists that keep growing,
// where a whole pass each time would make a large site quadratic.
class GrowingLinkList {
 public:
  // Same effect as RemoveDuplicateFileLinks on (links, FileCount).
  void RemoveRepeatsByCount(std::vector<std::string>& links, long& count);
  // Same effect as RemoveDuplicatePageLinks on (links, last index).
  void RemoveRepeatsByLastIndex(std::vector<std::string>& links, long& lastIndex);

 private:
  std::size_t RemoveRepeats(std::vector<std::string>& links, std::size_t valid);
  std::unordered_set<std::string> seen_;
  std::size_t checked_ = 0;
};

}  // namespace kestrelin
