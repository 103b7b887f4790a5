#pragma once
// Engine tests that crawl through the real internet cache against the local
// test server, which serves the sandbox folder "site". By default the cache
// keeps its copies in "inet", the program folder is "program" and crawls
// save into "save".
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "engine/download_site.h"
#include "platform/curl_internet_cache.h"
#include "tests/engine/crawl_test_context.h"
#include "tests/support/sandbox.h"
#include "tests/support/test_server.h"

namespace kestrelin::test {

class CurlCrawlTest : public SandboxedTest {
 protected:
  void SetUp() override {
    SandboxedTest::SetUp();
    server.ServeFolder(SandboxPath("site"));
    savePath = SandboxPath("save");
  }
  // The cache may hold kept-alive connections: it goes before any server
  // of the test, the derived fixture's too.
  void TearDown() override {
    t.reset();
    cache.reset();
    SandboxedTest::TearDown();
  }

  // A new cache; `fetchesAhead` 0 turns fetching ahead off.
  void StartCache(long connectSeconds, long stallSeconds, const std::string& folder = "inet",
                  long fetchesAhead = 12) {
    CurlCacheSettings settings;
    settings.CacheFolder = SandboxPath(folder);
    settings.ConnectTimeoutSeconds = connectSeconds;
    settings.StallTimeoutSeconds = stallSeconds;
    settings.MaxFetchesAhead = fetchesAhead;
    t.reset();
    cache = std::make_unique<CurlInternetCache>(settings);
  }

  // A new crawl context on the cache, without a trace of host calls.
  CrawlTestContext& NewContext(const std::string& programFolder = "program") {
    t = std::make_unique<CrawlTestContext>(SandboxPath(programFolder), cache.get());
    t->Host.KeepTrace = false;
    return *t;
  }

  void Crawl(std::string url, const CrawlOptions& options) {
    DownloadSite(t->Ctx, savePath, url, options);
  }

  // The keys of the log's red lines, sorted; checks that exactly the keyed
  // lines are red.
  std::vector<std::string> RedKeys() const {
    std::vector<std::string> keys;
    for (long n = 1; n <= t->Host.LineCount(); ++n) {
      const auto& line = t->Host.Log().Line(n);
      EXPECT_EQ(line.Red, !line.Key.empty()) << line.Text.substr(0, 200);
      if (line.Red) keys.push_back(line.Key);
    }
    std::sort(keys.begin(), keys.end());
    return keys;
  }

  TestServer server;
  std::unique_ptr<CurlInternetCache> cache;
  std::unique_ptr<CrawlTestContext> t;
  std::string savePath;
};

}  // namespace kestrelin::test
