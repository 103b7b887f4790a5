// Fetching ahead: hinted URLs run in parallel, yet every answer is the one
// the URL alone would have given, and cancelled work leaves nothing behind.
#include <chrono>
#include <functional>
#include <set>

#include "tests/platform/curl_cache_fixture.h"

namespace kestrelin {
namespace {

using test::CurlCacheTest;
using test::DeclaredResponse;
using test::Delivery;
using test::Names;

class FetchAheadTest : public CurlCacheTest {
 protected:
  // Declares `make(i)` at prefix0, prefix1, ... up to `count`; returns their URLs.
  Names DeclareEach(const std::string& prefix, int count,
                    const std::function<DeclaredResponse(int)>& make) {
    Names urls;
    for (int i = 0; i < count; ++i) {
      server.Declare(prefix + std::to_string(i), make(i));
      urls.push_back(Url(prefix + std::to_string(i)));
    }
    return urls;
  }
  Names SlowFiles(const std::string& prefix, int count) {
    return DeclareEach(prefix, count, [](int i) {
      return DeclaredResponse{.Body = "file " + std::to_string(i), .DelayMs = 60};
    });
  }
  Names Answers(CurlInternetCache& asking, const Names& urls, bool sizes = false) {
    Names answers;
    for (const std::string& url : urls) {
      answers.push_back(sizes ? asking.ContentLengthHeader(url) : Fetched(asking, url));
    }
    return answers;
  }
  std::multiset<std::string> RequestsSeen() const {
    std::multiset<std::string> seen;
    for (const auto& request : server.Requests()) seen.insert(request.Method + " " + request.Path);
    return seen;
  }
  // Asks `urls` of the fixture's cache, then of a fresh one that `hint`
  // tells of them first: the answers and the requests must be the same, but
  // the hinted cache must have run requests in parallel.
  Names SameWithHints(const Names& urls, bool sizes,
                      const std::function<void(CurlInternetCache&)>& hint) {
    const Names alone = Answers(*cache, urls, sizes);
    const auto aloneRequests = RequestsSeen();
    EXPECT_EQ(server.MaxConcurrentRequests(), 1);
    server.ResetCounts();
    auto ahead = MakeCache(Settings("inet-ahead"));
    hint(*ahead);
    EXPECT_EQ(Answers(*ahead, urls, sizes), alone);
    EXPECT_EQ(RequestsSeen(), aloneRequests);
    EXPECT_GT(server.MaxConcurrentRequests(), 1);  // the hints did run ahead
    return alone;
  }
};

TEST_F(FetchAheadTest, HintsChangeNoResultAndNoRequestCount) {
  // Good files, missing files, bodies cut short and redirects, answering slowly.
  Names urls = DeclareEach("/site/f", 14, [](int i) {
    DeclaredResponse response{.Body = std::string(1000 + 997 * i, static_cast<char>('a' + i)),
                              .ContentType = "application/octet-stream", .DelayMs = 40};
    if (i % 5 == 1) response.Status = 404;
    if (i % 5 == 3) response.How = Delivery::ShortBody;
    if (i == 4) response.How = Delivery::BrokenChunked;
    if (i == 7) response.How = Delivery::Chunked;
    return response;
  });
  server.Redirect("/site/moved.bin", "/site/f0");
  urls.push_back(Url("/site/moved.bin"));
  urls.push_back("ftp://127.0.0.1/ignored.bin");
  const Names alone = SameWithHints(urls, false, [&](CurlInternetCache& ahead) {
    ahead.HintUpcoming(urls);
    ahead.HintUpcoming(urls);  // a repeated hint starts nothing twice
  });
  EXPECT_EQ(test::ListTree(SandboxPath("inet-ahead")).size(), CacheFiles().size());
  EXPECT_EQ(alone[14], std::string(1000, 'a'));
}

TEST_F(FetchAheadTest, HintedSizeQueriesChangeNoAnswerAndNoRequestCount) {
  Names urls = DeclareEach("/sizes/f", 8, [](int i) {
    DeclaredResponse response{.Body = std::string(100 + 37 * i, 'x'), .DelayMs = 40};
    if (i == 2) response.Status = 404;
    if (i == 5) response.How = Delivery::Chunked;  // no length to tell
    return response;
  });
  server.RefuseHead("/sizes/f3");  // answered by a GET instead
  urls.push_back(urls[1]);  // a repeat is asked twice, and so is the server
  const Names alone =
      SameWithHints(urls, true, [&](CurlInternetCache& ahead) { ahead.HintSizeQueries(urls); });
  EXPECT_EQ(alone, (Names{"100", "137", "", "211", "248", "", "322", "359", "137"}));
}

TEST_F(FetchAheadTest, AtMostSixConnectionsPerHost) {
  const Names urls = SlowFiles("/slow", 30);
  cache->HintUpcoming(urls);
  for (int i = 0; i < 30; ++i) EXPECT_EQ(Fetched(*cache, urls[i]), "file " + std::to_string(i));
  EXPECT_EQ(server.TotalRequests(), 30);
  EXPECT_LE(server.MaxConcurrentRequests(), 6);
  EXPECT_GE(server.MaxConcurrentRequests(), 2);
  EXPECT_LE(server.ConnectionCount(), 6);  // kept alive and reused
}

TEST_F(FetchAheadTest, ErrorAnswersAndQuietSpellsKeepTheConnectionsOpen) {
  for (const char* ok : {"/ok0", "/ok1", "/ok2", "/ok3"}) server.Declare(ok, "good");
  server.Declare("/gone", {.Status = 404, .Body = "<h1>gone</h1>"});
  server.Declare("/failing", {.Status = 500, .Body = "<h1>gone</h1>"});
  for (const char* path : {"/ok0", "/gone", "/ok1", "/failing", "/ok2"}) {
    const bool good = std::string(path).starts_with("/ok");
    EXPECT_EQ(cache->DownloadToCacheFile(Url(path)).empty(), !good) << path;
  }
  EXPECT_EQ(cache->ContentLengthHeader(Url("/ok0?size")), "4");  // a size query too
  EXPECT_EQ(server.TotalRequests(), 6);
  EXPECT_EQ(server.ConnectionCount(), 1);

  // Two passes of six slow files with nothing running between them: the
  // second pass finds the first one's connections still open.
  for (const char* pass : {"/pass0/f", "/pass1/f"}) {
    const Names urls = SlowFiles(pass, 6);
    cache->HintUpcoming(urls);
    for (const std::string& url : urls) EXPECT_NE(Fetched(*cache, url), "<none>");
  }
  EXPECT_NE(Fetched("/ok3"), "<none>");
  EXPECT_LE(server.ConnectionCount(), 6);
}

// A cancel ends the hinted transfers, leaves nothing half-written and drops
// copies finished ahead but not asked for: asked later, they are fetched
// as if never hinted. Without a cancel, a finished copy is the answer.
TEST_F(FetchAheadTest, ACancelLeavesNothingHalfWrittenAndNoFinishedAnswer) {
  const Names stalled = DeclareEach("/stall", 8, [](int) {
    return DeclaredResponse{.Body = std::string(20000, 's'), .How = Delivery::Stall,
                            .StallMs = 3000};
  });
  server.Declare("/early.html", "old bytes");
  test::TestServer other;  // another host: its requests do not wait for a connection
  other.Declare("/slow.html", DeclaredResponse{.Body = "slow", .DelayMs = 300});
  Names hinted = stalled;
  hinted.insert(hinted.begin(), Url("/early.html"));
  cache->HintUpcoming(hinted);
  // While another host answers slowly, the hinted transfers start on the
  // cache's own thread: one completes, the others stall halfway.
  ASSERT_EQ(Fetched(*cache, other.BaseUrl() + "/slow.html"), "slow");
  ASSERT_EQ(server.RequestCount("/early.html"), 1);
  EXPECT_GT(server.RequestCount("/stall0"), 0);
  EXPECT_EQ(CacheFiles().size(), 2u);  // early.html and slow.html: nothing half-written has a name
  cache->CancelUpcoming();
  EXPECT_EQ(StrayCacheFiles(), Names{});
  server.Declare("/early.html", "new bytes");
  server.Declare("/stall0", "whole now");
  EXPECT_EQ(Fetched("/early.html"), "new bytes");
  EXPECT_EQ(Fetched(*cache, stalled[0]), "whole now");
  EXPECT_EQ(server.RequestCount("/early.html"), 2);

  server.Declare("/later.html", "fetched ahead");
  cache->HintUpcoming({Url("/later.html")});
  ASSERT_EQ(Fetched(*cache, other.BaseUrl() + "/slow.html?again"), "slow");
  server.Declare("/later.html", "changed after");
  EXPECT_EQ(Fetched("/later.html"), "fetched ahead");
  EXPECT_EQ(server.RequestCount("/later.html"), 1);
  EXPECT_EQ(StrayCacheFiles(), Names{});
  cache.reset();  // closes its kept-alive connections, so `other` stops at once
}

}  // namespace
}  // namespace kestrelin
