// Whole crawls through DownloadSite against the local test server, with the
// real internet cache and file service.
#include "engine/download_site.h"

#include <gtest/gtest.h>

#include "platform/curl_internet_cache.h"
#include "tests/engine/crawl_test_context.h"
#include "tests/engine/generated_site.h"
#include "tests/support/sandbox.h"
#include "tests/support/test_server.h"

namespace kestrelin {
namespace {

class DownloadSiteTest : public test::SandboxedTest {
 protected:
  void SetUp() override {
    SandboxedTest::SetUp();
    CurlCacheSettings settings;
    settings.CacheFolder = SandboxPath("inet");
    settings.ConnectTimeoutSeconds = 5;
    settings.StallTimeoutSeconds = 5;
    cache = std::make_unique<CurlInternetCache>(settings);
    t = std::make_unique<test::CrawlTestContext>(SandboxPath("program"), cache.get());
    t->Host.KeepTrace = false;
    savePath = SandboxPath("save");
    server.ServeFolder(SandboxPath("site"));
  }

  void Crawl(std::string url, const CrawlOptions& options) {
    DownloadSite(t->Ctx, savePath, url, options);
  }

  test::TestServer server;
  std::unique_ptr<CurlInternetCache> cache;
  std::unique_ptr<test::CrawlTestContext> t;
  std::string savePath;
};

TEST_F(DownloadSiteTest, OneFilesRoadEndsInItsFolder) {
  WriteFileAt("site/d/index.html", "<html>\r\n<img src=\"img/a.gif\">\r\n</html>");
  WriteFileAt("site/d/img/a.gif", "GIF89a");
  Crawl(server.BaseUrl() + "/d/index.html", CrawlOptions{});
  EXPECT_EQ(ReadFileAt("save/d/img/a.gif"), "GIF89a");
  EXPECT_EQ(ReadFileAt("save/d/index.html"), "<html>\r\n<img src=\"img/a.gif\">\r\n</html>");
  EXPECT_EQ(t->Host.CompletionMessage().rfind("Completed downloading.\r\n\r\nDuration: ", 0), 0u);
  // Each URL costs one request, although the page is read three times.
  EXPECT_EQ(server.RequestCount("/d/index.html"), 1);
  EXPECT_EQ(server.RequestCount("/d/img/a.gif"), 1);
  EXPECT_TRUE(std::filesystem::is_empty(SandboxPath("program/cache")));
}

TEST_F(DownloadSiteTest, AnUnreachableStartPageIsOneRedKeyedLine) {
  const std::string url = "http://127.0.0.1:1/d/index.html";
  std::vector<std::string> added;
  t->Host.OnTrace = [&](const std::string& line) {
    if (line.starts_with("ADD\t")) added.push_back(line);
  };
  Crawl(url, CrawlOptions{});
  EXPECT_NE(std::find(added.begin(), added.end(), "ADD\tCould not connect to " + url + "\t" + url),
            added.end());
  // At the end the results pass shows the failed address on its red line.
  long keyed = 0;
  for (long n = 1; n <= t->Host.LineCount(); ++n) {
    if (t->Host.LineKey(n).empty()) continue;
    ++keyed;
    EXPECT_EQ(t->Host.LineKey(n), url);
    EXPECT_EQ(t->Host.LineText(n), url);
    EXPECT_TRUE(t->Host.Log().Line(n).Red);
  }
  EXPECT_EQ(keyed, 1);
  EXPECT_EQ(t->State.PageLinks, std::vector<std::string>{url});
  EXPECT_NE(test::ReadWholeFile(SandboxPath("program/fail.txt")).find(url), std::string::npos);
}

TEST_F(DownloadSiteTest, PagesReadWithAnyLineEndingKeepTheirLinks) {
  // A lone LF does not end a line: the page is one line and its links stay.
  for (const std::string ending : {"\r", "\r\n", "\n"}) {
    WriteFileAt("site/p/index.html", "<img src=\"a.gif\">" + ending + "<img src=\"b.gif\">");
    WriteFileAt("site/p/a.gif", "a");
    WriteFileAt("site/p/b.gif", "b");
    std::filesystem::remove_all(savePath);
    cache->BeginCrawl();
    Crawl(server.BaseUrl() + "/p/index.html", CrawlOptions{});
    EXPECT_EQ(ReadFileAt("save/p/a.gif"), "a");
    EXPECT_EQ(ReadFileAt("save/p/b.gif"), "b");
  }
}

TEST_F(DownloadSiteTest, AWholeSiteArrivesByteForByteWithItsFailures) {
  test::TestServer external;
  external.Declare("/ext.gif", "external bytes", "image/gif");
  const auto site = test::WriteNestedSite(SandboxPath("site"), external.BaseUrl(), 4, 3);
  CrawlOptions options;
  options.RipPageOnly = 0;
  options.NoGoUp = 0;
  Crawl(server.BaseUrl() + "/index.html", options);
  for (const auto& [path, bytes] : site.Reachable) {
    EXPECT_EQ(ReadFileAt("save/" + path), bytes) << path;
  }
  for (const auto& path : site.NeverFetched) EXPECT_EQ(server.RequestCount(path), 0) << path;
  long red = 0;
  for (long n = 1; n <= t->Host.LineCount(); ++n) red += t->Host.Log().Line(n).Red ? 1 : 0;
  EXPECT_EQ(red, static_cast<long>(site.FailingLinks.size()));
  for (const auto& entry : test::ListEverything(SandboxPath("save"))) {
    EXPECT_EQ(entry.find(".part"), std::string::npos) << entry;
  }
}

}  // namespace
}  // namespace kestrelin
