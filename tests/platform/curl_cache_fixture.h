#pragma once
// A sandbox, a local test server and an internet cache whose folder lies in
// the sandbox, with short timeouts so that failure cases end quickly.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "platform/curl_internet_cache.h"
#include "tests/support/sandbox.h"
#include "tests/support/test_server.h"

namespace kestrelin::test {

class CurlCacheTest : public SandboxedTest {
 protected:
  void SetUp() override {
    SandboxedTest::SetUp();
    cache = MakeCache();
  }

  CurlCacheSettings Settings() const {
    CurlCacheSettings settings;
    settings.CacheFolder = SandboxPath("inet");
    settings.ConnectTimeoutSeconds = 2;
    settings.StallTimeoutSeconds = 1;
    return settings;
  }
  std::unique_ptr<CurlInternetCache> MakeCache() const { return MakeCache(Settings()); }
  static std::unique_ptr<CurlInternetCache> MakeCache(const CurlCacheSettings& settings) {
    auto made = std::make_unique<CurlInternetCache>(settings);
    made->BeginCrawl();
    return made;
  }

  std::string Url(const std::string& path) const { return server.BaseUrl() + path; }
  // Everything in the cache folder, sidecars included.
  std::vector<std::string> CacheFiles() const { return ListTree(SandboxPath("inet")); }
  // Files in the cache folder that are neither copies nor their sidecars
  // (names are 32 hex digits, sidecars add ".meta").
  std::vector<std::string> StrayCacheFiles() const {
    std::vector<std::string> stray;
    for (const std::string& name : CacheFiles()) {
      const bool hexName = name.size() >= 32 &&
                           std::all_of(name.begin(), name.begin() + 32, [](char c) {
                             return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
                           });
      if (!hexName || (name.size() != 32 && name.substr(32) != ".meta")) stray.push_back(name);
    }
    return stray;
  }
  std::vector<std::string> MethodsSeen() const {
    std::vector<std::string> methods;
    for (const SeenRequest& request : server.Requests()) methods.push_back(request.Method);
    return methods;
  }

  TestServer server;
  std::unique_ptr<CurlInternetCache> cache;
};

}  // namespace kestrelin::test
