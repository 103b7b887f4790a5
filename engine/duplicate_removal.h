#pragma once
#include <cstddef>
#include <string>
#include <string_view>
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
// where a whole pass each time would make a large site quadratic. It
// remembers the entries by their place in the list, so each link is held
// once, in the list.
class GrowingLinkList {
 public:
  GrowingLinkList();
  GrowingLinkList(const GrowingLinkList&) = delete;
  GrowingLinkList& operator=(const GrowingLinkList&) = delete;

  // Same effect as RemoveDuplicateFileLinks on (links, FileCount).
  void RemoveRepeatsByCount(std::vector<std::string>& links, long& count);
  // Same effect as RemoveDuplicatePageLinks on (links, last index).
  void RemoveRepeatsByLastIndex(std::vector<std::string>& links, long& lastIndex);

  // Whether `link` is an entry of `links` that a call above has checked;
  // `links` is the list last passed to it, unchanged since.
  bool Contains(const std::vector<std::string>& links, std::string_view link);

 private:
  // Hash and equality of entries given by their index in *links_, or of a
  // link looked up as it is.
  struct EntryHash {
    using is_transparent = void;
    const GrowingLinkList* list;
    std::size_t operator()(std::size_t i) const;
    std::size_t operator()(std::string_view link) const;
  };
  struct EntryEqual {
    using is_transparent = void;
    const GrowingLinkList* list;
    bool operator()(std::size_t a, std::size_t b) const;
    bool operator()(std::string_view link, std::size_t i) const;
    bool operator()(std::size_t i, std::string_view link) const { return (*this)(link, i); }
  };

  std::size_t RemoveRepeats(std::vector<std::string>& links, std::size_t valid);
  const std::vector<std::string>* links_ = nullptr;  // the list of the call running
  std::unordered_set<std::size_t, EntryHash, EntryEqual> seen_;
  std::size_t checked_ = 0;
};

}  // namespace kestrelin
