#pragma once
// The option OfflineLinks at the end of a crawl: once the rebuild has split
// the working folder into the site's tree, and before that tree moves into
// the destination, every copied page and style sheet is rewritten there so
// that its links lead into the copy (offline_links.h). An interrupted crawl
// thus never leaves half-rewritten files in the destination. Called by the
// crawl's completion on the crawl's thread.
#include <string>

#include "engine/crawl_context.h"

namespace kestrelin {

// The path below the working folder ("d/img/a.gif") at which the split puts
// the file named `workingName`; empty for a name the split deletes.
std::string RebuiltPath(const std::string& workingName, int DecodeName);

// Rewrites every file of CopiedFiles that is a page or a style sheet and
// still lies where the split put it. Failures leave the file as it was.
void RewriteCopyForOffline(CrawlContext& ctx, int DecodeName);

}  // namespace kestrelin
