#pragma once
#include "engine/crawl_state.h"

namespace kestrelin {

// Removes every later repeat of an entry, keeping the first occurrence and
// the order of the rest; FileCount / PageCount follow.
void RemoveDuplicateFileLinks(CrawlState& state);
void RemoveDuplicatePageLinks(CrawlState& state);

}  // namespace kestrelin
