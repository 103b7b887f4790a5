// Fetching ahead: hinted URLs run in parallel over few kept-alive
// connections, and cancelled work leaves nothing behind. That hints change
// no answer and no request is checked on whole crawls, with faults.
#include <chrono>
#include <functional>

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
};

// At most six connections to a host, kept open through error answers and
// through quiet spells between passes of hinted files.
TEST_F(FetchAheadTest, AtMostSixConnectionsPerHostKeptOpen) {
  for (const char* ok : {"/ok0", "/ok1", "/ok2", "/ok3"}) server.Declare(ok, "good");
  server.Declare("/gone", {.Status = 404, .Body = "<h1>gone</h1>"});
  server.Declare("/failing", {.Status = 500, .Body = "<h1>gone</h1>"});
  for (const char* path : {"/ok0", "/gone", "/ok1", "/failing", "/ok2"})
    EXPECT_EQ(Fetched(path) != "<none>", std::string(path).starts_with("/ok")) << path;
  EXPECT_EQ(cache->ContentLengthHeader(Url("/ok0?size")), "4");  // a size query too
  EXPECT_EQ(server.Requests().size(), 6u);
  EXPECT_EQ(server.ConnectionCount(), 1);

  // Two passes of slow files with nothing running between them.
  for (const auto& [pass, count] : {std::pair{"/pass0/f", 30}, std::pair{"/pass1/f", 6}}) {
    const Names urls = DeclareEach(pass, count, [](int i) {
      return DeclaredResponse{.Body = "file " + std::to_string(i), .DelayMs = 60};
    });
    cache->HintUpcoming(urls);
    for (int i = 0; i < count; ++i) EXPECT_EQ(Fetched(*cache, urls[i]), "file " + std::to_string(i));
  }
  EXPECT_NE(Fetched("/ok3"), "<none>");
  EXPECT_EQ(server.Requests().size(), 6u + 30 + 6 + 1);  // each hinted file asked once
  EXPECT_LE(server.MaxConcurrentRequests(), 6);
  EXPECT_GE(server.MaxConcurrentRequests(), 2);
  EXPECT_LE(server.ConnectionCount(), 6);
}

// A cancel ends the hinted transfers, leaves nothing half-written and drops
// copies finished ahead but not asked for: asked later, they are fetched
// as if never hinted. (Without a cancel a finished copy is the answer: each
// hinted file is asked once in the connection test.)
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
  EXPECT_EQ(StrayCacheFiles(), Names{});
  cache.reset();  // closes its kept-alive connections, so `other` stops at once
}

}  // namespace
}  // namespace kestrelin
