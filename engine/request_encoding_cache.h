#pragma once
// The internet cache as the crawl sees it: every address handed on is first
// turned into its request target (request_target.h), so the engine keeps
// its links as they read while the server gets valid requests. The start
// address is sent as the user typed it, its "#" and "?" included. The
// final address of a copy comes back in the crawl's own spelling when it
// is the address asked for, with or without an added "/". DownloadSite
// wraps the crawl's cache in one for the length of a crawl; same thread
// rules as the wrapped cache.
#include <string>
#include <vector>

#include "engine/internet_cache.h"

namespace kestrelin {

class RequestEncodingCache : public InternetCache {
 public:
  RequestEncodingCache(InternetCache& inner, std::string startUrl)
      : inner_(inner), startUrl_(std::move(startUrl)) {}

  void BeginCrawl() override { inner_.BeginCrawl(); }
  void EndCrawl() override { inner_.EndCrawl(); }
  std::string DownloadToCacheFile(const std::string& url) override;
  std::string ContentLengthHeader(const std::string& url) override;
  CopyFacts FactsOf(const std::string& url) override;
  void SetRules(CacheRules rules) override { inner_.SetRules(std::move(rules)); }
  void HintUpcoming(const std::vector<std::string>& urls) override;
  void HintSizeQueries(const std::vector<std::string>& urls) override;
  void CancelUpcoming() override { inner_.CancelUpcoming(); }
  void StopTransfers() override { inner_.StopTransfers(); }
  bool AwaitCopy(const std::string& url, int waitMs) override {
    return inner_.AwaitCopy(Target(url), waitMs);
  }
  bool AwaitSize(const std::string& url, int waitMs) override {
    return inner_.AwaitSize(Target(url), waitMs);
  }

 private:
  std::string Target(const std::string& url) const;
  std::vector<std::string> Targets(const std::vector<std::string>& urls) const;

  InternetCache& inner_;
  std::string startUrl_;
};

}  // namespace kestrelin
