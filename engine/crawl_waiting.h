#pragma once
// How the crawl waits: it lets its host serve the user (YieldEvents) and,
// while the internet cache works on the network, waits for it in slices of
// at most kWaitSliceMs, yielding between them, so a window stays live and
// a stop is seen promptly: it ends the transfers in progress at once.
// Crawl thread only.
#include <string>

#include "engine/crawl_context.h"

namespace kestrelin {

constexpr int kWaitSliceMs = 50;

// Lets the host serve its events twice, as the crawl does between steps.
void YieldTwice(CrawlHost& host);

// The local path of the cached copy of `url`, or empty on failure (a stop
// while it was fetched included).
std::string DownloadToCache(CrawlContext& ctx, const std::string& url);

// The "Content-length" header of `url` (see InternetCache), empty when none.
std::string RemoteLengthHeader(CrawlContext& ctx, const std::string& url);

}  // namespace kestrelin
