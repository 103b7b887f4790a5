#pragma once
#include <string>

#include "engine/crawl_context.h"
#include "engine/crawl_options.h"

namespace kestrelin {

// Downloads FileLinks from `fileIndex` to FileCount - 1 (the end fixed when
// the pass starts) into the working folder under their flattened names and
// appends the crawlable pages to PageLinks. Advances `fileIndex` past the
// last link handled. Returns true when a stop request ended the pass.
bool RunDownloadPass(CrawlContext& ctx, long& fileIndex, long pageIndex, const std::string& pageUrl,
                     const CrawlOptions& options);

// Drops what the cache fetches ahead and adds the red "Downloading stopped
// at command" line.
void ReportStop(CrawlContext& ctx);

}  // namespace kestrelin
