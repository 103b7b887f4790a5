#include "platform/curl_internet_cache.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/sandbox.h"
#include "tests/support/test_server.h"

namespace kestrelin {
namespace {

using test::Delivery;
using test::DeclaredResponse;

class CurlInternetCacheTest : public test::SandboxedTest {
 protected:
  void SetUp() override {
    SandboxedTest::SetUp();
    CurlCacheSettings settings;
    settings.CacheFolder = SandboxPath("inet");
    settings.ConnectTimeoutSeconds = 5;
    settings.StallTimeoutSeconds = 2;
    cache = std::make_unique<CurlInternetCache>(settings);
    cache->BeginCrawl();
  }
  std::string Url(const std::string& path) const { return server.BaseUrl() + path; }
  std::vector<std::string> CacheFiles() const { return test::ListTree(SandboxPath("inet")); }

  test::TestServer server;
  std::unique_ptr<CurlInternetCache> cache;
};

TEST_F(CurlInternetCacheTest, ServesIdenticalBytesFromOneRequestPerCrawl) {
  const std::string bytes("GIF89a\0\x01\xff binary", 16);
  WriteFileAt("site/d/a.gif", bytes);
  server.ServeFolder(SandboxPath("site"));
  const std::string first = cache->DownloadToCacheFile(Url("/d/a.gif"));
  ASSERT_FALSE(first.empty());
  EXPECT_EQ(test::ReadWholeFile(first), bytes);
  EXPECT_EQ(cache->DownloadToCacheFile(Url("/d/a.gif")), first);
  EXPECT_EQ(cache->DownloadToCacheFile(Url("/d/a.gif")), first);
  EXPECT_EQ(server.RequestCount("/d/a.gif"), 1);

  cache->BeginCrawl();  // a new crawl asks the server again
  EXPECT_EQ(test::ReadWholeFile(cache->DownloadToCacheFile(Url("/d/a.gif"))), bytes);
  EXPECT_EQ(server.RequestCount("/d/a.gif"), 2);
}

TEST_F(CurlInternetCacheTest, EveryFailureGivesNothingAndLeavesNoFile) {
  struct Case {
    const char* path;
    int status;
    Delivery how;
  };
  const Case cases[] = {
      {"/missing.html", 404, Delivery::Normal},
      {"/error.html", 500, Delivery::Normal},
      {"/forbidden.html", 403, Delivery::Normal},
      {"/short.bin", 200, Delivery::ShortBody},
      {"/broken.bin", 200, Delivery::BrokenChunked},
      {"/drop.bin", 200, Delivery::Drop},
  };
  for (const auto& c : cases) {
    DeclaredResponse response;
    response.Status = c.status;
    response.Body = std::string(10000, 'x');
    response.How = c.how;
    server.Declare(c.path, response);
    EXPECT_EQ(cache->DownloadToCacheFile(Url(c.path)), "") << c.path;
  }
  EXPECT_EQ(cache->DownloadToCacheFile("http://127.0.0.1:1/refused.html"), "");
  EXPECT_EQ(cache->DownloadToCacheFile("ftp://127.0.0.1/x"), "");
  EXPECT_EQ(cache->DownloadToCacheFile("robots.txt"), "");
  EXPECT_EQ(CacheFiles(), std::vector<std::string>{});
}

TEST_F(CurlInternetCacheTest, ChunkedBodiesArriveWhole) {
  DeclaredResponse response;
  response.Body = std::string(50000, 'c');
  response.How = Delivery::Chunked;
  server.Declare("/chunked.html", response);
  const std::string file = cache->DownloadToCacheFile(Url("/chunked.html"));
  ASSERT_FALSE(file.empty());
  EXPECT_EQ(test::ReadWholeFile(file), response.Body);
}

TEST_F(CurlInternetCacheTest, UnsafeBytesAreSentEncoded) {
  server.Declare("/a b/\xc3\xa9.html", "never matched raw");
  cache->DownloadToCacheFile(Url("/a b/\xc3\xa9.html"));
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].Path, "/a%20b/%C3%A9.html");
  EXPECT_EQ(requests[0].Headers.find("User-Agent")->second.rfind("Kestrelin/", 0), 0u);
}

TEST_F(CurlInternetCacheTest, ContentLengthAsksWithHeadAndFallsBackToGet) {
  server.Declare("/big.zip", std::string(2048, 'z'), "application/zip");
  EXPECT_EQ(cache->ContentLengthHeader(Url("/big.zip")), "2048");
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(server.Requests()[0].Method, "HEAD");

  server.ResetCounts();
  server.RefuseHead("/big.zip");
  EXPECT_EQ(cache->ContentLengthHeader(Url("/big.zip")), "2048");
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1].Method, "GET");
  EXPECT_EQ(CacheFiles(), std::vector<std::string>{});  // the body was not kept

  EXPECT_EQ(cache->ContentLengthHeader(Url("/missing.zip")), "");
  EXPECT_EQ(cache->ContentLengthHeader("http://127.0.0.1:1/x.zip"), "");
}

TEST_F(CurlInternetCacheTest, RedirectsAreFollowedAndEscapesAreNotEncodedTwice) {
  DeclaredResponse moved;
  moved.Status = 302;
  moved.Headers.emplace("Location", "/new/page.html");
  server.Declare("/old/page.html", moved);
  server.Declare("/new/page.html", "moved here");
  server.Declare("/a b.html", "spaced");
  struct Case {
    std::string requested;
    std::string body;
    std::string countedPath;
  };
  const Case cases[] = {
      {"/old/page.html", "moved here", "/new/page.html"},
      {"/a%20b.html", "spaced", "/a b.html"},
      {"/new/page.html?x=1", "moved here", "/new/page.html"},
  };
  for (const auto& c : cases) {
    server.ResetCounts();
    const std::string file = cache->DownloadToCacheFile(Url(c.requested));
    ASSERT_FALSE(file.empty()) << c.requested;
    EXPECT_EQ(test::ReadWholeFile(file), c.body) << c.requested;
    EXPECT_EQ(server.RequestCount(c.countedPath), 1) << c.requested;
  }
  EXPECT_EQ(server.Requests().back().Path, "/new/page.html?x=1");
}

TEST_F(CurlInternetCacheTest, HttpsIsFetchedOnlyWhenTheAuthorityIsTrusted) {
  const test::TlsFiles tls = test::MakeTestCertificates(SandboxPath("tls"));
  test::TestServer secure(tls);
  secure.Declare("/secret.html", "over tls");
  const std::string url = secure.BaseUrl() + "/secret.html";
  ASSERT_EQ(url.rfind("https://", 0), 0u);

  EXPECT_EQ(cache->DownloadToCacheFile(url), "");  // an unknown authority is refused

  CurlCacheSettings settings;
  settings.CacheFolder = SandboxPath("inet");
  settings.ExtraCaFile = tls.CaFile;
  CurlInternetCache trusting(settings);
  trusting.BeginCrawl();
  const std::string file = trusting.DownloadToCacheFile(url);
  ASSERT_FALSE(file.empty());
  EXPECT_EQ(test::ReadWholeFile(file), "over tls");
  EXPECT_EQ(trusting.ContentLengthHeader(url), "8");
}

TEST_F(CurlInternetCacheTest, ALaterCrawlRevalidatesItsCopyWithTheServer) {
  WriteFileAt("site/page.html", "first version");
  server.ServeFolder(SandboxPath("site"));
  const std::string url = Url("/page.html");
  const std::string first = cache->DownloadToCacheFile(url);
  ASSERT_FALSE(first.empty());

  // Same size and time give the same ETag, so the server answers 304 and
  // the copy from the first crawl, not the new bytes, must be the answer.
  const auto stamp = std::filesystem::last_write_time(SandboxPath("site/page.html"));
  WriteFileAt("site/page.html", "FIRST VERSION");
  std::filesystem::last_write_time(SandboxPath("site/page.html"), stamp);
  cache->BeginCrawl();
  EXPECT_EQ(cache->DownloadToCacheFile(url), first);
  EXPECT_EQ(test::ReadWholeFile(first), "first version");
  auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1].Headers.count("If-None-Match"), 1u);

  WriteFileAt("site/page.html", "second, longer version");  // new size, new ETag
  cache->BeginCrawl();
  const std::string second = cache->DownloadToCacheFile(url);
  ASSERT_FALSE(second.empty());
  EXPECT_EQ(test::ReadWholeFile(second), "second, longer version");
  EXPECT_EQ(server.RequestCount("/page.html"), 3);
  EXPECT_EQ(CacheFiles().size(), 1u);
}

}  // namespace
}  // namespace kestrelin
