#include "engine/crawl_completion.h"
namespace kestrelin {
void CompleteCrawl(CrawlContext&, const std::string&, bool, const CrawlOptions&) {}
}  // namespace kestrelin
