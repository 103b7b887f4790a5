#pragma once
// A sandbox, a local test server and an internet cache whose folder lies in
// the sandbox, with short timeouts so that failure cases end quickly.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "platform/cache_index.h"
#include "platform/curl_internet_cache.h"
#include "tests/support/sandbox.h"
#include "tests/support/test_server.h"

namespace kestrelin::test {

using Names = std::vector<std::string>;

class CurlCacheTest : public SandboxedTest {
 protected:
  void SetUp() override {
    SandboxedTest::SetUp();
    cache = MakeCache(Settings());
  }

  CurlCacheSettings Settings(const std::string& folder = "inet") const {
    CurlCacheSettings settings;
    settings.CacheFolder = SandboxPath(folder);
    settings.ConnectTimeoutSeconds = 2;
    settings.StallTimeoutSeconds = 1;
    return settings;
  }
  static std::unique_ptr<CurlInternetCache> MakeCache(const CurlCacheSettings& settings) {
    auto made = std::make_unique<CurlInternetCache>(settings);
    made->BeginCrawl();
    return made;
  }

  std::string Url(const std::string& path) const { return server.BaseUrl() + path; }
  // The bytes of the copy `from` gives for `url`, "<none>" when it gives none.
  static std::string Fetched(CurlInternetCache& from, const std::string& url) {
    const std::string copy = from.DownloadToCacheFile(url);
    return copy.empty() ? "<none>" : ReadWholeFile(copy);
  }
  std::string Fetched(const std::string& path) { return Fetched(*cache, Url(path)); }

  // Serves `bytes` as /page.html from a folder, with ETag and Last-Modified.
  std::string ServePage(const std::string& bytes) {
    WriteFileAt("site/page.html", bytes);
    server.ServeFolder(SandboxPath("site"));
    return Url("/page.html");
  }
  // New bytes of the same size and time: the server's ETag stays the same.
  void ChangePageKeepingItsETag(const std::string& bytes) {
    const auto stamp = std::filesystem::last_write_time(SandboxPath("site/page.html"));
    WriteFileAt("site/page.html", bytes);
    std::filesystem::last_write_time(SandboxPath("site/page.html"), stamp);
  }
  size_t LastRequestHas(const std::string& header) const {
    return server.Requests().back().Headers.count(header);
  }

  // Everything in the cache folder but its index, sidecars included.
  Names CacheFiles() const {
    Names files = ListTree(SandboxPath("inet"));
    std::erase(files, CacheIndex::kFileName);
    return files;
  }
  // Files in the cache folder that are neither copies, their sidecars nor
  // the index (names are 32 hex digits, sidecars add ".meta").
  Names StrayCacheFiles() const {
    Names stray = CacheFiles();
    std::erase_if(stray, [](const std::string& name) {
      return std::regex_match(name, std::regex("[0-9a-f]{32}(\\.meta)?"));
    });
    return stray;
  }
  Names MethodsSeen() const {
    Names methods;
    for (const SeenRequest& request : server.Requests()) methods.push_back(request.Method);
    return methods;
  }

  TestServer server;
  std::unique_ptr<CurlInternetCache> cache;
};

}  // namespace kestrelin::test
