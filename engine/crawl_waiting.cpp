#include "engine/crawl_waiting.h"

namespace kestrelin {

void YieldTwice(CrawlHost& host) {
  host.YieldEvents();
  host.YieldEvents();
}

namespace {

// Yields between slices of waiting until `ready` says the answer is there;
// a stop seen meanwhile ends the transfers at once, so the wait ends too.
template <typename Ready>
void WaitYielding(CrawlContext& ctx, Ready&& ready) {
  bool stopped = false;
  while (!ready()) {
    ctx.Host.YieldEvents();
    if (!stopped && ctx.State.StopDownload == kTrue) {
      ctx.Cache.StopTransfers();
      stopped = true;
    }
  }
}

}  // namespace

std::string DownloadToCache(CrawlContext& ctx, const std::string& url) {
  WaitYielding(ctx, [&] { return ctx.Cache.AwaitCopy(url, kWaitSliceMs); });
  return ctx.Cache.DownloadToCacheFile(url);
}

std::string RemoteLengthHeader(CrawlContext& ctx, const std::string& url) {
  WaitYielding(ctx, [&] { return ctx.Cache.AwaitSize(url, kWaitSliceMs); });
  return ctx.Cache.ContentLengthHeader(url);
}

}  // namespace kestrelin
