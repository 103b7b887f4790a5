#pragma once
// The internet cache over libcurl (http and https). Copies live in a cache
// folder given by the caller; each is written as a file without a name
// (O_TMPFILE, where the system has it) or under a temporary name, and gets
// its own name only when complete, so no partial copy is ever returned or
// left behind. The server's ETag and Last-Modified go into the cache's
// index (or, where it cannot be written, a sidecar file beside the copy),
// with which a later crawl revalidates the copy.
//
// Transfers run on one curl multi handle, driven by a worker thread of the
// cache: connections are kept alive and shared, and URLs named by
// HintUpcoming are fetched ahead over at most MaxConnectionsPerHost
// connections per host (multiplexed over HTTP/2 where the server offers
// it) while the crawl does other work. DownloadToCacheFile still returns
// exactly what the fetch of that URL alone would give. The calls below
// come from one crawl thread at a time.
#include <memory>
#include <string>
#include <vector>

#include "engine/internet_cache.h"

namespace kestrelin {

struct CurlCacheSettings {
  std::string CacheFolder;     // created when missing
  std::string ExtraCaFile;     // a certificate authority to trust besides the system's
  long ConnectTimeoutSeconds = 15;
  long StallTimeoutSeconds = 30;  // no byte for this long ends the transfer
  long MaxConnectionsPerHost = 6;
  long MaxFetchesAhead = 12;      // hinted transfers in flight at once; 0 turns fetching ahead off
  bool NamelessCopies = true;     // write copies as files without a name where the system can
};

class CurlInternetCache : public InternetCache {
 public:
  explicit CurlInternetCache(CurlCacheSettings settings);
  ~CurlInternetCache() override;
  CurlInternetCache(const CurlInternetCache&) = delete;
  CurlInternetCache& operator=(const CurlInternetCache&) = delete;

  void BeginCrawl() override;
  std::string DownloadToCacheFile(const std::string& url) override;
  // A URL already fetched in this crawl answers with its copy's size and
  // costs no request.
  std::string ContentLengthHeader(const std::string& url) override;
  // The final address and content type of the last fetch of `url` in this
  // crawl.
  CopyFacts FactsOf(const std::string& url) override;
  void HintUpcoming(const std::vector<std::string>& urls) override;
  void HintSizeQueries(const std::vector<std::string>& urls) override;
  // Aborts the hinted transfers still running and removes their temporary
  // files; copies already complete stay in the cache folder.
  void CancelUpcoming() override;
  void SetWaitingHook(std::function<void()> hook) override;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace kestrelin
