// The cache's contract: complete copies or nothing, one request per URL per
// crawl, revalidation across crawls and across runs of the program.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/cache_entry.h"
#include "tests/platform/curl_cache_fixture.h"

namespace kestrelin {
namespace {

namespace fs = std::filesystem;
using test::CurlCacheTest;
using test::DeclaredResponse;
using test::Delivery;
using test::Names;

TEST_F(CurlCacheTest, ServesIdenticalBytesFromOneRequestPerCrawl) {
  const std::string bytes("GIF89a\0\x01\xff binary\r\n\x1a", 19);
  WriteFileAt("site/d/a.gif", bytes);
  server.ServeFolder(SandboxPath("site"));
  const std::string first = cache->DownloadToCacheFile(Url("/d/a.gif"));
  EXPECT_EQ(test::ReadWholeFile(first), bytes);
  EXPECT_EQ(cache->DownloadToCacheFile(Url("/d/a.gif")), first);
  EXPECT_EQ(cache->ContentLengthHeader(Url("/d/a.gif")), "19");  // from the copy
  EXPECT_EQ(server.RequestCount("/d/a.gif"), 1);
  server.Declare("/chunked.html", {.Body = std::string(50000, 'c'), .How = Delivery::Chunked});
  server.Declare("/empty.html", "");
  EXPECT_EQ(Fetched("/chunked.html"), std::string(50000, 'c'));
  EXPECT_EQ(Fetched("/empty.html"), "");  // the callers decide what an empty copy means
}

// Faults of the transfer itself (errors, cut or stalled bodies, dropped
// connections, redirect loops) are rows of the crawl's fault tests; here,
// the answers and addresses that only the cache judges.
TEST_F(CurlCacheTest, EveryFailureGivesNothingAndLeavesNoFile) {
  const std::pair<const char*, DeclaredResponse> declared[] = {
      {"/unasked.html", {.Status = 304}},  // "not modified" without a copy to keep
      {"/partial.html", {.Status = 206}},  // a range nobody asked for
      {"/short.bin", {.How = Delivery::ShortBody}},
  };
  for (auto [path, response] : declared) {
    response.Body = std::string(10000, 'x');
    server.Declare(path, response);
  }
  Names urls = {"http://127.0.0.1:1/refused.html", "ftp://127.0.0.1/x", "file:///etc/passwd",
                "robots.txt", "", "http://"};
  for (const auto& [path, response] : declared) urls.push_back(Url(path));
  for (const std::string& url : urls) {
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(cache->DownloadToCacheFile(url), "") << url;
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(3500)) << url;
  }
  const auto started = std::chrono::steady_clock::now();  // an unknown host: the connect timeout
  EXPECT_EQ(cache->DownloadToCacheFile("http://nonexistent.invalid/page.html"), "");
  EXPECT_EQ(cache->ContentLengthHeader("http://nonexistent.invalid/file.zip"), "");
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
  EXPECT_EQ(CacheFiles(), Names{});

  // Nothing of a failure was remembered: once the server answers, so does the cache.
  server.Declare("/short.bin", "now whole");
  EXPECT_EQ(Fetched("/short.bin"), "now whole");
}

// Copies written without a name and under a temporary one end the same:
// complete copies under their own names, nothing else, old copies replaced.
TEST_F(CurlCacheTest, CopiesWithAndWithoutANameEndAlike) {
  for (const bool nameless : {true, false}) {
    SCOPED_TRACE(nameless ? "nameless" : "named");
    const std::string folder = nameless ? "inet-nameless" : "inet-named";
    CurlCacheSettings settings = Settings(folder);
    settings.NamelessCopies = nameless;
    auto own = MakeCache(settings);
    server.Declare("/page.html", "first");
    server.Declare("/short.bin", {.Body = std::string(10000, 'x'), .How = Delivery::ShortBody});
    EXPECT_EQ(Fetched(*own, Url("/page.html")), "first");
    EXPECT_EQ(Fetched(*own, Url("/short.bin")), "<none>");
    server.Declare("/page.html", "second, longer");
    own->BeginCrawl();  // the old copy is there: the new bytes replace it
    EXPECT_EQ(Fetched(*own, Url("/page.html")), "second, longer");
    EXPECT_EQ(test::ListTree(SandboxPath(folder)).size(), 1u);
  }
}

TEST_F(CurlCacheTest, ALaterCrawlRevalidatesItsCopyWithTheServer) {
  const std::string url = ServePage("first version");
  const std::string first = cache->DownloadToCacheFile(url);

  // A new crawl asks the server again, conditionally; it answers 304, so the
  // copy from the first crawl, not the new bytes, must be the answer.
  ChangePageKeepingItsETag("FIRST VERSION");
  cache->BeginCrawl();
  EXPECT_EQ(cache->DownloadToCacheFile(url), first);
  EXPECT_EQ(test::ReadWholeFile(first), "first version");
  EXPECT_EQ(server.RequestCount("/page.html"), 2);
  EXPECT_EQ(LastRequestHas("If-None-Match"), 1u);
  EXPECT_EQ(LastRequestHas("If-Modified-Since"), 1u);

  WriteFileAt("site/page.html", "second, longer version");  // new size, new ETag
  cache->BeginCrawl();
  const std::string second = cache->DownloadToCacheFile(url);
  EXPECT_EQ(test::ReadWholeFile(second), "second, longer version");
  EXPECT_EQ(server.RequestCount("/page.html"), 3);
  // One copy, with its validators in the index, written there by the time
  // the cache has stood idle for a while.
  EXPECT_EQ(CacheFiles(), Names{second.substr(second.rfind('/') + 1)});
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!CacheIndex(SandboxPath("inet")).Find(url, second) &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_TRUE(CacheIndex(SandboxPath("inet")).Find(url, second));
  EXPECT_EQ(StrayCacheFiles(), Names{});

  // A failure in a later crawl is not answered from the old copy.
  server.Declare("/page.html", {.Status = 500});
  cache->BeginCrawl();
  EXPECT_EQ(Fetched("/page.html"), "<none>");
  EXPECT_EQ(Fetched("/page.html"), "<none>");  // failures are asked again
  EXPECT_EQ(server.RequestCount("/page.html"), 5);
  // A date alone is sent back as If-Modified-Since.
  const std::string date = "Tue, 01 Dec 2026 10:00:00 GMT";
  server.Declare("/dated.html", {.Body = "dated page", .Headers = {{"Last-Modified", date}}});
  ASSERT_EQ(Fetched("/dated.html"), "dated page");
  cache->BeginCrawl();
  EXPECT_EQ(Fetched("/dated.html"), "dated page");  // 200 again
  const auto last = server.Requests().back();
  EXPECT_EQ(last.Headers.count("If-None-Match"), 0u);
  ASSERT_EQ(last.Headers.count("If-Modified-Since"), 1u);
  EXPECT_EQ(last.Headers.find("If-Modified-Since")->second, date);
}

TEST_F(CurlCacheTest, ANewRunRevalidatesFromTheIndexOrElseTheSidecar) {
  const std::string url = ServePage("kept across runs");
  const std::string first = cache->DownloadToCacheFile(url);
  EXPECT_EQ(LastRequestHas("If-None-Match"), 0u);
  cache.reset();

  ChangePageKeepingItsETag("KEPT ACROSS RUNS");  // only a 304 keeps the old bytes
  EXPECT_EQ(MakeCache(Settings())->DownloadToCacheFile(url), first);
  EXPECT_EQ(test::ReadWholeFile(first), "kept across runs");
  EXPECT_EQ(server.Requests().size(), 2u);
  EXPECT_EQ(LastRequestHas("If-None-Match"), 1u);

  // A copy removed with the whole cache folder, while the program runs, is
  // fetched whole, without conditions, into a folder made anew; so is one
  // written to a file opened before the folder went.
  auto afterCleanup = MakeCache(Settings());
  fs::remove_all(SandboxPath("inet"));
  EXPECT_EQ(Fetched(*afterCleanup, url), "KEPT ACROSS RUNS");
  EXPECT_EQ(LastRequestHas("If-None-Match"), 0u);
  afterCleanup->BeginCrawl();
  fs::remove_all(SandboxPath("inet"));
  EXPECT_EQ(Fetched(*afterCleanup, url), "KEPT ACROSS RUNS");
  EXPECT_EQ(LastRequestHas("If-None-Match"), 0u);

  // Where the index cannot take a record, the sidecar written instead
  // counts, even beside an older line of the index for the URL; once the
  // copy is edited in place, neither vouches for it.
  afterCleanup.reset();
  const CacheEntry entry = EntryFor(SandboxPath("inet"), url);
  const std::string index = SandboxPath("inet/index");
  const std::string saved = test::ReadWholeFile(index);
  ASSERT_NE(saved.find(url), std::string::npos);
  auto unwritable = MakeCache(Settings());
  fs::remove(index);
  fs::create_directory(index);  // no file can be opened there now
  WriteFileAt("site/page.html", "new bytes");
  EXPECT_EQ(Fetched(*unwritable, url), "new bytes");
  unwritable.reset();
  ASSERT_TRUE(fs::exists(entry.Sidecar));
  fs::remove_all(index);
  test::WriteWholeFile(index, saved);  // its line is for the old copy
  ChangePageKeepingItsETag("NEW BYTES");
  EXPECT_EQ(Fetched(*MakeCache(Settings()), url), "new bytes");
  EXPECT_EQ(LastRequestHas("If-None-Match"), 1u);
  std::ofstream(entry.Body, std::ios::binary | std::ios::app) << " edited";
  EXPECT_EQ(Fetched(*MakeCache(Settings()), url), "NEW BYTES");
  EXPECT_EQ(LastRequestHas("If-None-Match"), 0u);
}

}  // namespace
}  // namespace kestrelin
