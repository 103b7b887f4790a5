#pragma once
// The internet cache over libcurl (http and https). Copies live in a cache
// folder given by the caller; each is written under a temporary name and
// renamed only when complete, so no partial copy is ever returned.
#include <memory>
#include <string>

#include "engine/internet_cache.h"

namespace kestrelin {

struct CurlCacheSettings {
  std::string CacheFolder;     // created when missing
  std::string ExtraCaFile;     // a certificate authority to trust besides the system's
  long ConnectTimeoutSeconds = 15;
  long StallTimeoutSeconds = 30;  // no byte for this long ends the transfer
};

class CurlInternetCache : public InternetCache {
 public:
  explicit CurlInternetCache(CurlCacheSettings settings);
  ~CurlInternetCache() override;
  CurlInternetCache(const CurlInternetCache&) = delete;
  CurlInternetCache& operator=(const CurlInternetCache&) = delete;

  void BeginCrawl() override;
  std::string DownloadToCacheFile(const std::string& url) override;
  std::string ContentLengthHeader(const std::string& url) override;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace kestrelin
