#pragma once
// The internet-cache download service: fetches a URL into a local cache and
// says where the complete copy lies. Implemented over libcurl in platform/.
#include <functional>
#include <string>
#include <vector>

namespace kestrelin {

class InternetCache {
 public:
  virtual ~InternetCache() = default;

  // Marks the start of a crawl: within one crawl a URL fetched successfully
  // is answered from its local copy; a copy from an earlier crawl is
  // revalidated with the server first.
  virtual void BeginCrawl() = 0;

  // Returns the full path of a local file holding the complete content of
  // `url`, or an empty text when it cannot be fetched (no connection,
  // unknown host, an error status, a body cut short, not a URL). The file
  // stays in place; the caller never deletes it.
  virtual std::string DownloadToCacheFile(const std::string& url) = 0;

  // The "Content-length" header of the response for `url` (a HEAD request,
  // falling back to a GET whose body is discarded), or an empty text when
  // the response has none or the request failed.
  virtual std::string ContentLengthHeader(const std::string& url) = 0;

  // Optional hints for fetching ahead: `urls` will be asked for in this
  // order. Results of DownloadToCacheFile must not change because of them.
  virtual void HintUpcoming(const std::vector<std::string>& /*urls*/) {}
  // The same for ContentLengthHeader: the sizes of `urls` will be asked
  // for in this order. Results must not change because of them.
  virtual void HintSizeQueries(const std::vector<std::string>& /*urls*/) {}
  // Drops every fetch or size query started ahead that has not been asked
  // for yet.
  virtual void CancelUpcoming() {}

  // `hook` is called now and then (at most every 50 ms) while a call above
  // waits on the network, so that a window can repaint during one long
  // transfer. The hook must not call back into the cache. An empty hook
  // removes it.
  virtual void SetWaitingHook(std::function<void()> /*hook*/) {}
};

}  // namespace kestrelin
