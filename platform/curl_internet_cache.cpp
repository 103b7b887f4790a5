#include "platform/curl_internet_cache.h"

namespace kestrelin {

struct CurlInternetCache::Impl {
  CurlCacheSettings settings;
};

CurlInternetCache::CurlInternetCache(CurlCacheSettings settings)
    : impl_(std::make_unique<Impl>(Impl{std::move(settings)})) {}
CurlInternetCache::~CurlInternetCache() = default;
void CurlInternetCache::BeginCrawl() {}
std::string CurlInternetCache::DownloadToCacheFile(const std::string&) { return {}; }
std::string CurlInternetCache::ContentLengthHeader(const std::string&) { return {}; }

}  // namespace kestrelin
