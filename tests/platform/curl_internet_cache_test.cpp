// The cache's contract: complete copies or nothing, one request per URL per
// crawl, revalidation across crawls and across runs of the program.
#include <chrono>
#include <filesystem>
#include <fstream>

#include "platform/cache_entry.h"
#include "tests/platform/curl_cache_fixture.h"

namespace kestrelin {
namespace {

using test::CurlCacheTest;
using test::DeclaredResponse;
using test::Delivery;

TEST_F(CurlCacheTest, ServesIdenticalBytesFromOneRequestPerCrawl) {
  const std::string bytes("GIF89a\0\x01\xff binary\r\n\x1a", 19);
  WriteFileAt("site/d/a.gif", bytes);
  server.ServeFolder(SandboxPath("site"));
  const std::string first = cache->DownloadToCacheFile(Url("/d/a.gif"));
  ASSERT_FALSE(first.empty());
  EXPECT_EQ(std::filesystem::path(first).parent_path(), std::filesystem::path(SandboxPath("inet")));
  EXPECT_EQ(test::ReadWholeFile(first), bytes);
  EXPECT_EQ(cache->DownloadToCacheFile(Url("/d/a.gif")), first);
  EXPECT_EQ(cache->DownloadToCacheFile(Url("/d/a.gif")), first);
  EXPECT_EQ(server.RequestCount("/d/a.gif"), 1);
  EXPECT_EQ(cache->ContentLengthHeader(Url("/d/a.gif")), "19");  // from the copy
  EXPECT_EQ(server.RequestCount("/d/a.gif"), 1);

  cache->BeginCrawl();  // a new crawl asks the server again, conditionally
  EXPECT_EQ(cache->DownloadToCacheFile(Url("/d/a.gif")), first);
  EXPECT_EQ(test::ReadWholeFile(first), bytes);
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1].Headers.count("If-None-Match"), 1u);
  EXPECT_EQ(requests[1].Headers.count("If-Modified-Since"), 1u);
}

TEST_F(CurlCacheTest, EveryFailureGivesNothingAndLeavesNoFile) {
  struct Case {
    const char* path;
    int status;
    Delivery how;
    int delayMs;
  };
  const Case cases[] = {
      {"/missing.html", 404, Delivery::Normal, 0},
      {"/error.html", 500, Delivery::Normal, 0},
      {"/forbidden.html", 403, Delivery::Normal, 0},
      {"/unasked.html", 304, Delivery::Normal, 0},  // "not modified" without a copy to keep
      {"/partial.html", 206, Delivery::Normal, 0},  // a range nobody asked for
      {"/short.bin", 200, Delivery::ShortBody, 0},
      {"/broken.bin", 200, Delivery::BrokenChunked, 0},
      {"/drop.bin", 200, Delivery::Drop, 0},
      {"/stall.bin", 200, Delivery::Stall, 0},
      {"/silent.bin", 200, Delivery::Normal, 4000},  // no answer within the stall timeout
  };
  for (const auto& c : cases) {
    DeclaredResponse response;
    response.Status = c.status;
    response.Body = std::string(10000, 'x');
    response.How = c.how;
    response.DelayMs = c.delayMs;
    response.StallMs = 4000;
    server.Declare(c.path, response);
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(cache->DownloadToCacheFile(Url(c.path)), "") << c.path;
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(3500)) << c.path;
  }
  server.Redirect("/loop.html", "/loop.html");
  const char* unfetchable[] = {
      "/loop.html", "http://127.0.0.1:1/refused.html", "ftp://127.0.0.1/x", "file:///etc/passwd",
      "robots.txt", "", "http://"};
  for (const char* url : unfetchable) {
    const std::string full = url[0] == '/' ? Url(url) : url;
    EXPECT_EQ(cache->DownloadToCacheFile(full), "") << url;
  }
  EXPECT_EQ(CacheFiles(), std::vector<std::string>{});

  // Nothing of a failure was remembered: once the server answers, so does the cache.
  server.Declare("/short.bin", "now whole");
  const std::string copy = cache->DownloadToCacheFile(Url("/short.bin"));
  ASSERT_FALSE(copy.empty());
  EXPECT_EQ(test::ReadWholeFile(copy), "now whole");
}

TEST_F(CurlCacheTest, UnknownHostFailsWithinTheConnectTimeout) {
  const auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(cache->DownloadToCacheFile("http://nonexistent.invalid/page.html"), "");
  EXPECT_EQ(cache->ContentLengthHeader("http://nonexistent.invalid/file.zip"), "");
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
  EXPECT_EQ(CacheFiles(), std::vector<std::string>{});
}

TEST_F(CurlCacheTest, AFailureInALaterCrawlIsNotAnsweredFromTheOldCopy) {
  server.Declare("/page.html", "first crawl");
  ASSERT_FALSE(cache->DownloadToCacheFile(Url("/page.html")).empty());
  DeclaredResponse gone;
  gone.Status = 500;
  server.Declare("/page.html", gone);
  cache->BeginCrawl();
  EXPECT_EQ(cache->DownloadToCacheFile(Url("/page.html")), "");
  EXPECT_EQ(cache->DownloadToCacheFile(Url("/page.html")), "");
  EXPECT_EQ(server.RequestCount("/page.html"), 3);  // failures are asked again
}

TEST_F(CurlCacheTest, ChunkedAndEmptyBodiesArriveWhole) {
  DeclaredResponse chunked;
  chunked.Body = std::string(50000, 'c');
  chunked.How = Delivery::Chunked;
  server.Declare("/chunked.html", chunked);
  server.Declare("/empty.html", "");
  const std::string file = cache->DownloadToCacheFile(Url("/chunked.html"));
  ASSERT_FALSE(file.empty());
  EXPECT_EQ(test::ReadWholeFile(file), chunked.Body);
  const std::string empty = cache->DownloadToCacheFile(Url("/empty.html"));
  ASSERT_FALSE(empty.empty());  // the callers decide what an empty copy means
  EXPECT_EQ(test::ReadWholeFile(empty), "");
  EXPECT_NE(file, empty);
}

TEST_F(CurlCacheTest, ALaterCrawlRevalidatesItsCopyWithTheServer) {
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
  EXPECT_EQ(server.RequestCount("/page.html"), 2);

  WriteFileAt("site/page.html", "second, longer version");  // new size, new ETag
  cache->BeginCrawl();
  const std::string second = cache->DownloadToCacheFile(url);
  ASSERT_FALSE(second.empty());
  EXPECT_EQ(test::ReadWholeFile(second), "second, longer version");
  EXPECT_EQ(server.RequestCount("/page.html"), 3);
  // One copy, with its validators on it or, where the file system keeps no
  // attributes, in a sidecar beside it.
  EXPECT_EQ(CacheFiles().size(), AttachedValidators(second, url) ? 1u : 2u);
  EXPECT_EQ(StrayCacheFiles(), std::vector<std::string>{});
}

TEST_F(CurlCacheTest, ANewRunOfTheProgramRevalidatesFromTheSidecar) {
  WriteFileAt("site/page.html", "kept across runs");
  server.ServeFolder(SandboxPath("site"));
  const std::string first = cache->DownloadToCacheFile(Url("/page.html"));
  ASSERT_FALSE(first.empty());
  cache.reset();

  // New bytes under the same ETag: only a 304 keeps the old bytes.
  const auto stamp = std::filesystem::last_write_time(SandboxPath("site/page.html"));
  WriteFileAt("site/page.html", "KEPT ACROSS RUNS");
  std::filesystem::last_write_time(SandboxPath("site/page.html"), stamp);
  auto nextRun = MakeCache();
  EXPECT_EQ(nextRun->DownloadToCacheFile(Url("/page.html")), first);
  EXPECT_EQ(test::ReadWholeFile(first), "kept across runs");
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].Headers.count("If-None-Match"), 0u);
  EXPECT_EQ(requests[1].Headers.count("If-None-Match"), 1u);

  // A copy removed with the whole cache folder, while the program runs, is
  // fetched whole, without conditions, into a folder made anew.
  auto afterCleanup = MakeCache();
  std::filesystem::remove_all(SandboxPath("inet"));
  const std::string again = afterCleanup->DownloadToCacheFile(Url("/page.html"));
  ASSERT_FALSE(again.empty());
  EXPECT_EQ(test::ReadWholeFile(again), "KEPT ACROSS RUNS");
  EXPECT_EQ(server.Requests().back().Headers.count("If-None-Match"), 0u);
}

namespace {

// A sidecar as versions before the copy's stamp wrote it: it vouches for
// whatever copy lies beside it.
void WriteUnstampedSidecar(const CacheEntry& entry, const std::string& url,
                           const Validators& validators) {
  std::ofstream(entry.Sidecar, std::ios::binary)
      << "Kestrelin cache entry 1\nURL: " << url << "\nETag: " << validators.ETag
      << "\nLast-Modified: " << validators.LastModified << "\n";
}

// What a user's edit of a copied site's file does to a copy sharing its bytes.
void EditInPlace(const std::string& path) {
  std::ofstream(path, std::ios::binary | std::ios::app) << " edited";
}

}  // namespace

// A cache written before validators went onto the copies: the sidecar
// still makes the next run ask "changed since?".
TEST_F(CurlCacheTest, AnOlderCacheRevalidatesFromItsSidecarFiles) {
  WriteFileAt("site/page.html", "from an older cache");
  server.ServeFolder(SandboxPath("site"));
  const std::string url = Url("/page.html");
  const std::string copy = cache->DownloadToCacheFile(url);
  ASSERT_FALSE(copy.empty());
  cache.reset();
  const CacheEntry entry = EntryFor(SandboxPath("inet"), url);
  const auto attached = AttachedValidators(entry.Body, url);
  ASSERT_TRUE(attached || std::filesystem::exists(entry.Sidecar));
  if (attached) {  // as an older version left it: no attribute, a sidecar
    const std::string bytes = test::ReadWholeFile(entry.Body);
    std::filesystem::remove(entry.Body);
    WriteFileAt("inet/" + std::filesystem::path(entry.Body).filename().string(), bytes);
    WriteUnstampedSidecar(entry, url, *attached);
  }
  auto nextRun = MakeCache();
  EXPECT_EQ(nextRun->DownloadToCacheFile(url), copy);
  EXPECT_EQ(server.Requests().back().Headers.count("If-None-Match"), 1u);
  nextRun.reset();

  // The revalidated copy got its stamp before it could share its bytes: an
  // edit in place (through a copied site's file) is noticed from now on.
  EditInPlace(entry.Body);
  auto third = MakeCache();
  EXPECT_EQ(test::ReadWholeFile(third->DownloadToCacheFile(url)), "from an older cache");
  EXPECT_EQ(server.Requests().back().Headers.count("If-None-Match"), 0u);
}

// A sidecar beside a copy that carries its own record is older than that
// record; once the record no longer matches the copy (edited in place),
// the sidecar must not vouch for the edited bytes either.
TEST_F(CurlCacheTest, ASidecarNeverVouchesForACopyWithAStaleRecordOfItsOwn) {
  WriteFileAt("site/page.html", "server bytes");
  server.ServeFolder(SandboxPath("site"));
  const std::string url = Url("/page.html");
  const std::string copy = cache->DownloadToCacheFile(url);
  ASSERT_FALSE(copy.empty());
  cache.reset();
  const CacheEntry entry = EntryFor(SandboxPath("inet"), url);
  const auto attached = AttachedValidators(entry.Body, url);
  if (!attached) GTEST_SKIP() << "this file system keeps no extended attributes";
  WriteUnstampedSidecar(entry, url, *attached);
  EditInPlace(entry.Body);
  auto nextRun = MakeCache();
  EXPECT_EQ(test::ReadWholeFile(nextRun->DownloadToCacheFile(url)), "server bytes");
  EXPECT_EQ(server.Requests().back().Headers.count("If-None-Match"), 0u);
  EXPECT_FALSE(std::filesystem::exists(entry.Sidecar));
}

TEST_F(CurlCacheTest, ADateAloneIsSentBackAsIfModifiedSince) {
  DeclaredResponse dated;
  dated.Body = "dated page";
  dated.Headers.emplace("Last-Modified", "Tue, 01 Dec 2026 10:00:00 GMT");
  server.Declare("/dated.html", dated);
  ASSERT_FALSE(cache->DownloadToCacheFile(Url("/dated.html")).empty());
  cache->BeginCrawl();
  const std::string copy = cache->DownloadToCacheFile(Url("/dated.html"));  // 200 again
  ASSERT_FALSE(copy.empty());
  EXPECT_EQ(test::ReadWholeFile(copy), "dated page");
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1].Headers.count("If-None-Match"), 0u);
  ASSERT_EQ(requests[1].Headers.count("If-Modified-Since"), 1u);
  EXPECT_EQ(requests[1].Headers.find("If-Modified-Since")->second, "Tue, 01 Dec 2026 10:00:00 GMT");
}

TEST_F(CurlCacheTest, RequestsShareOneKeptAliveConnection) {
  for (int i = 0; i < 5; ++i) server.Declare("/f" + std::to_string(i) + ".html", "page");
  for (int i = 0; i < 5; ++i) {
    ASSERT_FALSE(cache->DownloadToCacheFile(Url("/f" + std::to_string(i) + ".html")).empty());
  }
  EXPECT_EQ(cache->ContentLengthHeader(Url("/f0.html?size")), "4");
  EXPECT_EQ(server.TotalRequests(), 6);
  EXPECT_EQ(server.ConnectionCount(), 1);
}

}  // namespace
}  // namespace kestrelin
