// Fetching ahead: hinted URLs run in parallel, yet every answer is the one
// the URL alone would have given, and cancelled work leaves nothing behind.
#include <map>
#include <set>

#include "tests/platform/curl_cache_fixture.h"

namespace kestrelin {
namespace {

using test::CurlCacheTest;
using test::DeclaredResponse;
using test::Delivery;

class FetchAheadTest : public CurlCacheTest {
 protected:
  // A site of good files, missing files, bodies cut short and redirects,
  // some answering slowly.
  std::vector<std::string> MixedSite() {
    std::vector<std::string> urls;
    for (int i = 0; i < 14; ++i) {
      const std::string path = "/site/f" + std::to_string(i) + ".bin";
      DeclaredResponse response;
      response.Body = std::string(1000 + 997 * i, static_cast<char>('a' + i));
      response.ContentType = "application/octet-stream";
      response.DelayMs = 40;
      if (i % 5 == 1) response.Status = 404;
      if (i % 5 == 3) response.How = Delivery::ShortBody;
      if (i == 4) response.How = Delivery::BrokenChunked;
      if (i == 7) response.How = Delivery::Chunked;
      server.Declare(path, response);
      urls.push_back(Url(path));
    }
    server.Redirect("/site/moved.bin", "/site/f0.bin");
    urls.push_back(Url("/site/moved.bin"));
    urls.push_back("ftp://127.0.0.1/ignored.bin");
    return urls;
  }

  // The bytes each URL gave ("<none>" for a failure), asked in order.
  static std::map<std::string, std::string> AskAll(CurlInternetCache& asking,
                                                   const std::vector<std::string>& urls) {
    std::map<std::string, std::string> results;
    for (const std::string& url : urls) {
      const std::string copy = asking.DownloadToCacheFile(url);
      results[url] = copy.empty() ? "<none>" : test::ReadWholeFile(copy);
    }
    return results;
  }

  std::map<std::string, int> CountsFor(const std::vector<std::string>& urls) const {
    std::map<std::string, int> counts;
    for (const std::string& url : urls) {
      const std::string base = server.BaseUrl();
      if (url.rfind(base, 0) == 0) counts[url] = server.RequestCount(url.substr(base.size()));
    }
    return counts;
  }
};

TEST_F(FetchAheadTest, HintsChangeNoResultAndNoRequestCount) {
  const std::vector<std::string> urls = MixedSite();
  const auto alone = AskAll(*cache, urls);
  const auto aloneCounts = CountsFor(urls);
  EXPECT_EQ(server.MaxConcurrentRequests(), 1);

  server.ResetCounts();
  CurlCacheSettings settings = Settings();
  settings.CacheFolder = SandboxPath("inet-ahead");
  auto ahead = MakeCache(settings);
  ahead->HintUpcoming(urls);
  ahead->HintUpcoming(urls);  // a repeated hint starts nothing twice
  EXPECT_EQ(AskAll(*ahead, urls), alone);
  EXPECT_EQ(CountsFor(urls), aloneCounts);
  EXPECT_GT(server.MaxConcurrentRequests(), 1);  // the hints did run ahead
  EXPECT_EQ(test::ListTree(SandboxPath("inet-ahead")).size(),
            test::ListTree(SandboxPath("inet")).size());
  EXPECT_EQ(alone.at(Url("/site/f0.bin")), std::string(1000, 'a'));
  EXPECT_EQ(alone.at(Url("/site/f1.bin")), "<none>");
}

TEST_F(FetchAheadTest, AtMostSixConnectionsPerHost) {
  std::vector<std::string> urls;
  for (int i = 0; i < 30; ++i) {
    DeclaredResponse slow;
    slow.Body = "file " + std::to_string(i);
    slow.DelayMs = 60;
    server.Declare("/slow" + std::to_string(i), slow);
    urls.push_back(Url("/slow" + std::to_string(i)));
  }
  cache->HintUpcoming(urls);
  for (int i = 0; i < 30; ++i) {
    EXPECT_EQ(test::ReadWholeFile(cache->DownloadToCacheFile(urls[i])), "file " + std::to_string(i));
  }
  EXPECT_EQ(server.TotalRequests(), 30);
  EXPECT_LE(server.MaxConcurrentRequests(), 6);
  EXPECT_GE(server.MaxConcurrentRequests(), 2);
  EXPECT_LE(server.ConnectionCount(), 6);  // kept alive and reused
}

TEST_F(FetchAheadTest, ErrorAnswersAndQuietSpellsKeepTheConnectionsOpen) {
  for (int i = 0; i < 4; ++i) server.Declare("/ok" + std::to_string(i), "good " + std::to_string(i));
  DeclaredResponse gone;
  gone.Status = 404;
  gone.Body = "<h1>gone</h1>";
  server.Declare("/gone", gone);
  DeclaredResponse failing = gone;
  failing.Status = 500;
  server.Declare("/failing", failing);
  for (const char* path : {"/ok0", "/gone", "/ok1", "/failing", "/ok2"}) {
    const bool good = std::string(path).starts_with("/ok");
    EXPECT_EQ(cache->DownloadToCacheFile(Url(path)).empty(), !good) << path;
  }
  EXPECT_EQ(server.ConnectionCount(), 1);

  // Two passes of six slow files with nothing running between them: the
  // second pass finds the first one's connections still open.
  for (int pass = 0; pass < 2; ++pass) {
    std::vector<std::string> urls;
    for (int i = 0; i < 6; ++i) {
      DeclaredResponse slow;
      slow.Body = "slow " + std::to_string(i);
      slow.DelayMs = 60;
      const std::string path = "/pass" + std::to_string(pass) + "/f" + std::to_string(i);
      server.Declare(path, slow);
      urls.push_back(Url(path));
    }
    cache->HintUpcoming(urls);
    for (const std::string& url : urls) EXPECT_FALSE(cache->DownloadToCacheFile(url).empty());
  }
  EXPECT_FALSE(cache->DownloadToCacheFile(Url("/ok3")).empty());
  EXPECT_LE(server.ConnectionCount(), 6);
}

TEST_F(FetchAheadTest, HintedSizeQueriesChangeNoAnswerAndNoRequestCount) {
  std::vector<std::string> urls;
  for (int i = 0; i < 8; ++i) {
    const std::string path = "/sizes/f" + std::to_string(i) + ".bin";
    DeclaredResponse response;
    response.Body = std::string(100 + 37 * i, 'x');
    response.DelayMs = 40;
    if (i == 2) response.Status = 404;
    if (i == 5) response.How = Delivery::Chunked;  // no length to tell
    server.Declare(path, response);
    if (i == 3) server.RefuseHead(path);  // answered by a GET instead
    urls.push_back(Url(path));
  }
  urls.push_back(urls[1]);  // a repeat is asked twice, and so is the server
  const auto askAll = [&](CurlInternetCache& asking) {
    std::vector<std::string> sizes;
    for (const std::string& url : urls) sizes.push_back(asking.ContentLengthHeader(url));
    return sizes;
  };
  const auto requests = [&] {
    std::multiset<std::string> seen;
    for (const auto& request : server.Requests()) seen.insert(request.Method + " " + request.Path);
    return seen;
  };
  const std::vector<std::string> alone = askAll(*cache);
  const auto aloneRequests = requests();
  EXPECT_EQ(alone[0], "100");
  EXPECT_EQ(alone[2], "");
  EXPECT_EQ(alone[3], "211");
  EXPECT_EQ(server.MaxConcurrentRequests(), 1);

  server.ResetCounts();
  CurlCacheSettings settings = Settings();
  settings.CacheFolder = SandboxPath("inet-ahead");
  auto ahead = MakeCache(settings);
  ahead->HintSizeQueries(urls);
  EXPECT_EQ(askAll(*ahead), alone);
  EXPECT_EQ(requests(), aloneRequests);
  EXPECT_GT(server.MaxConcurrentRequests(), 1);
}

TEST_F(FetchAheadTest, CancelledHintsLeaveNoTemporaryFiles) {
  std::vector<std::string> urls;
  for (int i = 0; i < 8; ++i) {
    DeclaredResponse stalling;
    stalling.Body = std::string(20000, 's');
    stalling.How = Delivery::Stall;
    stalling.StallMs = 3000;
    server.Declare("/stall" + std::to_string(i), stalling);
    urls.push_back(Url("/stall" + std::to_string(i)));
  }
  test::TestServer other;  // another host: its requests do not wait for a connection
  other.Declare("/quick.html", "quick");
  cache->HintUpcoming(urls);
  EXPECT_FALSE(StrayCacheFiles().empty());  // the hinted transfers are writing
  EXPECT_EQ(test::ReadWholeFile(cache->DownloadToCacheFile(other.BaseUrl() + "/quick.html")),
            "quick");
  cache->CancelUpcoming();
  EXPECT_EQ(StrayCacheFiles(), std::vector<std::string>{});

  // A cancelled URL asked for later is fetched as if never hinted.
  server.Declare("/stall0", "whole now");
  EXPECT_EQ(test::ReadWholeFile(cache->DownloadToCacheFile(urls[0])), "whole now");
  EXPECT_EQ(StrayCacheFiles(), std::vector<std::string>{});
  cache.reset();  // closes its kept-alive connections, so `other` stops at once
}

TEST_F(FetchAheadTest, ACopyFinishedAheadDoesNotOutliveACancel) {
  server.Declare("/early.html", "old bytes");
  test::TestServer other;
  other.Declare("/slow.html", [] {
    DeclaredResponse slow;
    slow.Body = "slow";
    slow.DelayMs = 300;
    return slow;
  }());
  cache->HintUpcoming({Url("/early.html")});
  // While another host answers slowly, the hinted copy completes.
  ASSERT_FALSE(cache->DownloadToCacheFile(other.BaseUrl() + "/slow.html").empty());
  ASSERT_EQ(server.RequestCount("/early.html"), 1);
  cache->CancelUpcoming();

  server.Declare("/early.html", "new bytes");
  EXPECT_EQ(test::ReadWholeFile(cache->DownloadToCacheFile(Url("/early.html"))), "new bytes");
  EXPECT_EQ(server.RequestCount("/early.html"), 2);
  EXPECT_EQ(StrayCacheFiles(), std::vector<std::string>{});

  // Without a cancel, the finished copy is the answer and costs no request.
  server.Declare("/later.html", "fetched ahead");
  cache->HintUpcoming({Url("/later.html")});
  ASSERT_FALSE(cache->DownloadToCacheFile(other.BaseUrl() + "/slow.html?again").empty());
  server.Declare("/later.html", "changed after");
  EXPECT_EQ(test::ReadWholeFile(cache->DownloadToCacheFile(Url("/later.html"))), "fetched ahead");
  EXPECT_EQ(server.RequestCount("/later.html"), 1);
  cache.reset();  // closes its kept-alive connections, so `other` stops at once
}

}  // namespace
}  // namespace kestrelin
