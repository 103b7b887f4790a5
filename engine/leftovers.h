#pragma once
// Downloads that a crawl left in the working folder: it was cut short (a
// crash, a kill, a power cut) or its final move failed. While a crawl runs,
// the file "cache.destination" beside the working folder "cache" names the
// destination its files belong to and whether their names are decoded. The
// next crawl, before it downloads anything, moves such leftovers into that
// destination, never into its own. What cannot be moved there is set aside
// in "cache-undelivered" (one numbered folder per destination and crawl,
// each with its record) and tried again at the start of every later crawl
// into that destination; leftovers whose destination nobody recorded go to
// "cache-unknown-destination". Called by DownloadSite on the crawl's thread.
#include <string>

#include "engine/crawl_context.h"

namespace kestrelin {

// Moves the leftovers home, each set of them on one progress line ("Files
// of an interrupted crawl moved to ..."); what cannot be moved is a red
// keyed line (rebuild_file_structure.h) and counts in UnplacedItems. Files
// set aside earlier for `SavePath` are delivered too. Returns false when the
// working folder still holds files of another crawl that could not be set
// aside either: the crawl must not run then.
bool BringLeftoversHome(CrawlContext& ctx, const std::string& SavePath);

// Records `SavePath` and `DecodeName` as the owner of what the working
// folder gains from now on. A record that cannot be written leaves the
// crawl's leftovers to "cache-unknown-destination", never to another crawl.
void ClaimWorkingFolder(CrawlContext& ctx, const std::string& SavePath, int DecodeName);

// Drops the record once the working folder is empty.
void ReleaseWorkingFolder(CrawlContext& ctx);

}  // namespace kestrelin
