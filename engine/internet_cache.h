#pragma once
// The internet-cache download service: fetches a URL into a local cache and
// says where the complete copy lies. Implemented over libcurl in platform/.
// DownloadToCacheFile and ContentLengthHeader wait until they have their
// answer; a crawl that must stay responsive waits with AwaitCopy and
// AwaitSize in short slices instead, yielding to its host between them
// (see crawl_waiting.h).
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kestrelin {

// What the server said about a copy, beside the copy itself.
struct CopyFacts {
  std::string FinalUrl;         // the address after redirects; empty when unknown
  std::string ContentType;      // the Content-Type header; empty when none
  std::string RefusedRedirect;  // the fetch failed: a redirect went here and the rules refused it
  bool TooLarge = false;        // the fetch failed: the body grew past the size limit
};

// Rules that hold for one crawl's fetches.
struct CacheRules {
  // Judges each redirect target before it is followed; empty follows every
  // http and https target. Called on the cache's own thread, so it may read
  // only what stays fixed during the crawl.
  std::function<bool(const std::string& target)> RedirectAllowed;
  // A body that grows past this many bytes fails the fetch; 0: no limit.
  std::uint64_t MaxBodyBytes = 0;
};

class InternetCache {
 public:
  virtual ~InternetCache() = default;

  // Marks the start of a crawl: within one crawl a URL fetched successfully
  // is answered from its local copy; a copy from an earlier crawl is
  // revalidated with the server first.
  virtual void BeginCrawl() = 0;
  // Marks the end of a crawl: transfers still running end, and what the
  // crawl learnt of each URL goes, so that it weighs on nothing done after
  // the crawl; the copies stay. Until the next BeginCrawl every URL reads as
  // not asked for in this crawl.
  virtual void EndCrawl() {}

  // Returns the full path of a local file holding the complete content of
  // `url`, or an empty text when it cannot be fetched (no connection,
  // unknown host, an error status, a body cut short, not a URL). The file
  // stays in place; the caller never deletes it.
  virtual std::string DownloadToCacheFile(const std::string& url) = 0;

  // The "Content-length" header of the response for `url` (a HEAD request,
  // falling back to a GET whose body is discarded), or an empty text when
  // the response has none or the request failed.
  virtual std::string ContentLengthHeader(const std::string& url) = 0;

  // The facts of the last DownloadToCacheFile(url) of this crawl, failed or
  // not; all empty when `url` was not asked for in this crawl.
  virtual CopyFacts FactsOf(const std::string& /*url*/) { return {}; }
  // Sets the rules for the fetches started from now on.
  virtual void SetRules(CacheRules /*rules*/) {}

  // Optional hints for fetching ahead: `urls` will be asked for in this
  // order. Results of DownloadToCacheFile must not change because of them.
  virtual void HintUpcoming(const std::vector<std::string>& /*urls*/) {}
  // The same for ContentLengthHeader: the sizes of `urls` will be asked
  // for in this order. Results must not change because of them.
  virtual void HintSizeQueries(const std::vector<std::string>& /*urls*/) {}
  // Drops every fetch or size query started ahead that has not been asked
  // for yet.
  virtual void CancelUpcoming() {}
  // Ends every transfer in progress, asked for or not, at once (a stop):
  // those asked for fail; copies already complete stay, nothing partial.
  virtual void StopTransfers() {}

  // Starts fetching `url` when that is still to be done and waits at most
  // `waitMs` for the fetch to end. True once DownloadToCacheFile(url) will
  // answer without waiting; false when the fetch still runs.
  virtual bool AwaitCopy(const std::string& /*url*/, int /*waitMs*/) { return true; }
  // The same for ContentLengthHeader(url).
  virtual bool AwaitSize(const std::string& /*url*/, int /*waitMs*/) { return true; }
};

}  // namespace kestrelin
