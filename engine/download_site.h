#pragma once
// The crawl: from the start address to the rebuilt site in SavePath.
#include <string>

#include "engine/crawl_context.h"
#include "engine/crawl_options.h"

namespace kestrelin {

// Runs one whole crawl. `SavePath` gains a final separator and `URL` ends
// as the last page crawled. Reports everything through the host; never
// fails to its caller.
void DownloadSite(CrawlContext& ctx, std::string& SavePath, std::string& URL,
                  const CrawlOptions& options);

}  // namespace kestrelin
