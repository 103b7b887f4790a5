#include "engine/request_encoding_cache.h"

#include "engine/request_target.h"

namespace kestrelin {

std::string RequestEncodingCache::Target(const std::string& url) const {
  return RequestTarget(url, url == startUrl_);
}

std::vector<std::string> RequestEncodingCache::Targets(const std::vector<std::string>& urls) const {
  std::vector<std::string> targets;
  targets.reserve(urls.size());
  for (const std::string& url : urls) targets.push_back(Target(url));
  return targets;
}

std::string RequestEncodingCache::DownloadToCacheFile(const std::string& url) {
  return inner_.DownloadToCacheFile(Target(url));
}

std::string RequestEncodingCache::ContentLengthHeader(const std::string& url) {
  return inner_.ContentLengthHeader(Target(url));
}

CopyFacts RequestEncodingCache::FactsOf(const std::string& url) {
  const std::string target = Target(url);
  CopyFacts facts = inner_.FactsOf(target);
  if (facts.FinalUrl == target) {
    facts.FinalUrl = url;
  } else if (facts.FinalUrl == target + "/") {
    facts.FinalUrl = url + "/";
  }
  return facts;
}

void RequestEncodingCache::HintUpcoming(const std::vector<std::string>& urls) {
  inner_.HintUpcoming(Targets(urls));
}

void RequestEncodingCache::HintSizeQueries(const std::vector<std::string>& urls) {
  inner_.HintSizeQueries(Targets(urls));
}

}  // namespace kestrelin
