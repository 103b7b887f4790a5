#pragma once
#include <string>

#include "engine/crawl_context.h"
#include "engine/crawl_options.h"

namespace kestrelin {

// Everything after the page loop: the failure report (skipped after a
// stop), the rebuild into SavePath, the window restored and the duration.
void CompleteCrawl(CrawlContext& ctx, const std::string& SavePath, bool stopped,
                   const CrawlOptions& options);

}  // namespace kestrelin
