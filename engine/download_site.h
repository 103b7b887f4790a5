#pragma once
// The crawl: from the start address to the rebuilt site in SavePath.
#include <string>

#include "engine/crawl_context.h"
#include "engine/crawl_options.h"

namespace kestrelin {

// Runs one whole crawl. `SavePath` gains a final separator and `URL` ends
// as the last page crawled. Leftovers of interrupted crawls go home first
// (leftovers.h). Reports everything through the host; never fails to its
// caller: State.UnplacedItems tells how many downloaded files or folders
// did not reach their destination. The caller holds the working folder's
// lock (platform/working_folder_lock.h) for the whole call.
void DownloadSite(CrawlContext& ctx, std::string& SavePath, std::string& URL,
                  const CrawlOptions& options);

}  // namespace kestrelin
