#pragma once
// The internet cache over libcurl (http and https). Copies live in a cache
// folder given by the caller, each named by its URL's hash; only complete
// copies ever get that name. The server's ETag and Last-Modified are kept,
// with which a later crawl revalidates a copy.
//
// The transfers run on a worker of the cache (cache_worker.h): connections
// are kept alive and shared, and URLs named by HintUpcoming are fetched
// ahead over at most MaxConnectionsPerHost connections per host
// (multiplexed over HTTP/2 where the server offers it) while the crawl does
// other work. DownloadToCacheFile still returns exactly what the fetch of
// that URL alone would give.
//
// Thread rule: every call below comes from the crawl thread, one at a time;
// this object only posts requests and hints to the worker and takes the
// finished, named copies.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/internet_cache.h"

namespace kestrelin {

struct CurlCacheSettings {
  std::string CacheFolder;     // created when missing
  std::string ExtraCaFile;     // a certificate authority to trust besides the system's
  long ConnectTimeoutSeconds = 15;
  long StallTimeoutSeconds = 30;  // under 1 KB arriving in this time ends the transfer
  long MaxConnectionsPerHost = 6;
  long MaxFetchesAhead = 12;      // hinted transfers in flight at once; 0 turns fetching ahead off
  bool NamelessCopies = true;     // write copies as files without a name where the system can
};

class CacheWorker;
struct FetchOutcome;

class CurlInternetCache : public InternetCache {
 public:
  explicit CurlInternetCache(CurlCacheSettings settings);
  ~CurlInternetCache() override;
  CurlInternetCache(const CurlInternetCache&) = delete;
  CurlInternetCache& operator=(const CurlInternetCache&) = delete;

  void BeginCrawl() override;
  void EndCrawl() override;
  std::string DownloadToCacheFile(const std::string& url) override;
  // A URL already fetched in this crawl answers with its copy's size and
  // costs no request.
  std::string ContentLengthHeader(const std::string& url) override;
  bool AwaitCopy(const std::string& url, int waitMs) override;
  bool AwaitSize(const std::string& url, int waitMs) override;
  CopyFacts FactsOf(const std::string& url) override;
  void SetRules(CacheRules rules) override;
  void HintUpcoming(const std::vector<std::string>& urls) override;
  void HintSizeQueries(const std::vector<std::string>& urls) override;
  // Aborts the hinted transfers still running, leaving nothing of them;
  // copies already complete stay in the cache folder.
  void CancelUpcoming() override;
  void StopTransfers() override;

 private:
  // What this crawl learnt of one URL. A crawl knows one per file, so it
  // stays small: the content type is a number standing for one of the few
  // types a site serves, and the addresses of a redirect, which few fetches
  // meet, lie apart.
  struct Redirects {
    std::string FinalUrl;  // empty when it is the URL itself
    std::string Refused;
  };
  struct Known {
    std::unique_ptr<Redirects> Redirect;  // null when neither address is known
    std::uint32_t ContentType = 0;        // index into contentTypes_
    bool Fetched = false;                 // asked for with DownloadToCacheFile
    bool Copied = false;                  // and a copy came
    bool SizeAsked = false;
    bool TooLarge = false;
  };
  void Forget();
  void Remember(Known& known, const std::string& url, CopyFacts facts);
  std::uint32_t ContentTypeNumber(const std::string& type);
  std::string CopyPath(const std::string& url) const;
  // The copy of `url` this crawl fetched, when it is still there.
  std::string FetchedCopy(const std::string& url) const;

  CurlCacheSettings settings_;
  std::unique_ptr<CacheWorker> worker_;
  std::unordered_map<std::string, Known> known_;
  // Every content type this crawl met, "" first, and the number of each;
  // known_ refers to them by number.
  std::vector<std::string> contentTypes_{std::string()};
  std::unordered_map<std::string, std::uint32_t> contentTypeNumbers_{{std::string(), 0}};
  // The fetch and the size query asked of the worker and not taken yet,
  // and the outcome taken but not yet handed out.
  std::string fetchAsked_, sizeAsked_;
  std::string fetchReadyUrl_, sizeReadyUrl_;
  std::unique_ptr<FetchOutcome> fetchReady_;
  std::string sizeReady_;
  // The copy AwaitCopy has just found at hand: the DownloadToCacheFile of
  // the same URL that follows it answers with that path, without hashing
  // the URL and looking at the file a second time. Any other AwaitCopy or
  // DownloadToCacheFile, and the start or end of a crawl, let it go.
  std::string copyAtHandUrl_, copyAtHand_;
};

}  // namespace kestrelin
