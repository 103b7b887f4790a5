#include "engine/crawl_waiting.h"

namespace kestrelin {

void YieldTwice(CrawlHost& host) {
  host.YieldEvents();
  host.YieldEvents();
}

std::string DownloadToCache(CrawlContext& ctx, const std::string& url) {
  while (!ctx.Cache.AwaitCopy(url, kWaitSliceMs)) ctx.Host.YieldEvents();
  return ctx.Cache.DownloadToCacheFile(url);
}

std::string RemoteLengthHeader(CrawlContext& ctx, const std::string& url) {
  while (!ctx.Cache.AwaitSize(url, kWaitSliceMs)) ctx.Host.YieldEvents();
  return ctx.Cache.ContentLengthHeader(url);
}

}  // namespace kestrelin
