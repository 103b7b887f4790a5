#include "engine/duplicate_removal.h"
namespace kestrelin {
void RemoveDuplicateFileLinks(CrawlState&) {}
void RemoveDuplicatePageLinks(CrawlState&) {}
}  // namespace kestrelin
