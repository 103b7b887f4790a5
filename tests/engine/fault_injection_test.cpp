// Whole crawls of a generated site of a few hundred files with misbehaving
// responses mixed in, through DownloadSite with the real internet cache:
// each fault ends as its file's red keyed line (or arrives as the real file
// bytes where that is what a user wants), every other file arrives whole and
// nothing partial, empty or stray is left anywhere.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "tests/engine/curl_crawl_test.h"
#include "tests/engine/generated_site.h"
#include "tests/support/stored_gzip.h"

namespace kestrelin {
namespace {

namespace fs = std::filesystem;
using test::DeclaredResponse;
using test::Delivery;

// One misbehaving file linked from one page of the site. `arrives` holds the
// bytes a user must find in the destination; empty means the file fails.
struct Fault {
  std::string path, arrives;
};

// The program's own files, which no crawl may change.
const std::map<std::string, std::string> kProgramFiles = {
    {"ksgrab.cfg", "settings\r\n"}, {"igntypes.ini", "exe\r\n"}, {"exctypes.ini", "gif\r\n"}};

enum class Robots { Plain, TenMegabytes, Binary };

std::string RobotsText(Robots kind) {
  const std::string rule = "Disallow: /private/\r\n";
  if (kind == Robots::Plain) return "User-agent: *\r\n" + rule + "\r\n";
  if (kind == Robots::Binary) {
    std::string bytes;
    unsigned state = 12345;
    for (int i = 0; i < 65536; ++i) {
      state = state * 1103515245u + 12345u;
      bytes += static_cast<char>(state >> 23);
    }
    return bytes;
  }
  // Ten megabytes of rules that match nothing, the one that matters last.
  std::string text = "User-agent: *\r\n";
  for (int i = 0; text.size() < 10u * 1024 * 1024; ++i) {
    text += "Disallow: /nomatch/" + std::to_string(i) + "/\r\n";
  }
  return text + rule;
}

class FaultInjectionTest : public test::CurlCrawlTest,
                           public ::testing::WithParamInterface<Robots> {
 protected:
  void SetUp() override {
    CurlCrawlTest::SetUp();
    tlsServer = std::make_unique<test::TestServer>(test::MakeTestCertificates(SandboxPath("tls")));
    site = test::WriteNestedSite(SandboxPath("site"), external.BaseUrl());
    external.Declare("/ext.gif", "external bytes", "image/gif");
    // Served from memory: reading 10 MB from disk per request could take the
    // test server longer than the stall timeout on a loaded machine.
    fs::remove(SandboxPath("site/robots.txt"));
    server.Declare("/robots.txt", RobotsText(GetParam()), "application/octet-stream");
    if (GetParam() == Robots::Binary) {  // no rule keeps /private/ out any more
      site.Reachable["private/secret.html"] = "<p>secret</p>";
      site.NeverFetched = {"/unlinked.html"};
    }
    DeclareFaults();
    for (const auto& [name, bytes] : kProgramFiles) WriteFileAt("program/" + name, bytes);
    StartCache(2, 1);  // with no extra authority: the TLS server is untrusted
  }

  void Declare(const std::string& path, DeclaredResponse response, bool arrives = false) {
    faults.push_back({path, arrives ? response.Body : std::string()});
    server.Declare(path, std::move(response));
  }

  void DeclareFaults() {
    const std::string body = std::string(20000, 'b') + test::FileBytes("fault");
    auto made = [&](Delivery how, int status = 200, const std::string& header = "",
                    const std::string& value = "") {
      DeclaredResponse response{
          .Status = status, .Body = body, .ContentType = "image/gif", .How = how, .StallMs = 4000};
      if (!header.empty()) response.Headers.emplace(header, value);
      return response;
    };
    Declare("/faults/reset.gif", made(Delivery::Reset));
    Declare("/faults/short.gif", made(Delivery::ShortBody));
    Declare("/faults/broken-chunks.gif", made(Delivery::BrokenChunked));
    Declare("/faults/dropped.html", made(Delivery::Drop));
    Declare("/faults/stall.gif", made(Delivery::Stall));
    DeclaredResponse silent = made(Delivery::Normal), empty = silent;
    silent.DelayMs = 4000;  // no byte at all for longer than the timeout
    Declare("/faults/silent.gif", silent);
    empty.Body.clear();  // an empty copy is a failed download
    Declare("/faults/empty.gif", empty);
    Declare("/faults/error.gif", made(Delivery::Normal, 500));
    Declare("/faults/unauthorized.gif",
            made(Delivery::Normal, 401, "WWW-Authenticate", "Basic realm=\"site\""));
    Declare("/faults/forbidden.html", made(Delivery::Normal, 403));

    server.Redirect("/faults/loop.gif", "/faults/loop.gif");
    faults.push_back({"/faults/loop.gif", ""});
    server.Redirect("/faults/untrusted.gif", tlsServer->BaseUrl() + "/untrusted.gif");
    tlsServer->Declare("/untrusted.gif", body, "image/gif");
    faults.push_back({"/faults/untrusted.gif", ""});
    // Redirects are judged like links: out of the site (external files
    // are off) and into a folder robots.txt forbids, they fail unfetched.
    server.Redirect("/faults/moved.gif", external.BaseUrl() + "/moved.gif", 301);
    faults.push_back({"/faults/moved.gif", ""});
    server.Redirect("/faults/to-private.gif", "/private/hidden.gif");
    server.Declare("/private/hidden.gif", "hidden", "image/gif");
    faults.push_back({"/faults/to-private.gif", GetParam() == Robots::Binary ? "hidden" : ""});
    server.Redirect("/faults/moved-here.gif", "/faults/packed-pic.gif");
    faults.push_back({"/faults/moved-here.gif", body});
    // However slowly bytes trickle in, under 1 KB in the stall period fails.
    DeclaredResponse trickle = made(Delivery::Stall);
    trickle.StallMs = 200;
    Declare("/faults/trickle.gif", trickle);

    // A compressed page arrives decoded, and its links are followed.
    const std::string packedPage = "<html><img src=\"packed-pic.gif\"></html>";
    Declare("/faults/packed.html",
            {.Body = test::Gzipped(packedPage), .Headers = {{"Content-Encoding", "gzip"}}});
    faults.back().arrives = packedPage;
    Declare("/faults/packed-pic.gif", made(Delivery::Normal), true);
    faults.pop_back();  // linked by the packed page, not by the site

    DeclaredResponse heavy = made(Delivery::Normal);
    for (int i = 0; i < 1000; ++i) {  // 100 KB of headers
      heavy.Headers.emplace("X-Filler-" + std::to_string(i), std::string(90, 'h'));
    }
    Declare("/faults/heavy-headers.gif", heavy, true);
    // One header line over curl's limit; a body that says gzip and is not.
    Declare("/faults/giant-header.gif", made(Delivery::Normal, 200, "X-Giant", std::string(200000, 'g')));
    Declare("/faults/corrupt-gzip.gif", made(Delivery::Normal, 200, "Content-Encoding", "gzip"));

    // The type the server claims changes nothing: names decide.
    DeclaredResponse pictureAsText = made(Delivery::Normal);
    pictureAsText.ContentType = "text/html; charset=utf-8";
    Declare("/faults/mistyped.gif", pictureAsText, true);
    Declare("/faults/mistyped.html",
            {.Body = "<html><img src=\"mistyped-pic.png\"></html>", .ContentType = "image/png"}, true);
    server.Declare("/faults/mistyped-pic.png", "png bytes", "image/png");
    site.Reachable["faults/mistyped-pic.png"] = "png bytes";
    site.Reachable["faults/packed-pic.gif"] = body;

    LinkFaultsFromPages();
  }

  // Each fault is linked from a different page of the site, spread over it.
  void LinkFaultsFromPages() {
    std::vector<std::string> pages;
    for (const auto& [path, bytes] : site.Reachable) {
      if (path.ends_with(".html") || path.ends_with(".htm")) {
        if (!path.starts_with("private/")) pages.push_back(path);
      }
    }
    for (std::size_t i = 0; i < faults.size(); ++i) {
      const std::string page = pages[(i * 37) % pages.size()];
      std::string& bytes = site.Reachable[page];
      bytes += "<img src=\"" + faults[i].path + "\">\r\n";
      WriteFileAt("site/" + page, bytes);
      if (faults[i].arrives.empty()) {
        expectedKeys.push_back(Url(faults[i].path) + " (" + Url("/" + page) + ")");
      } else {
        site.Reachable[faults[i].path.substr(1)] = faults[i].arrives;
      }
    }
    for (std::size_t i = 0; i < site.FailingLinks.size(); ++i) {
      expectedKeys.push_back(Url(site.FailingLinks[i]) + " (" + Url(site.FailingPages[i]) + ")");
    }
    std::sort(expectedKeys.begin(), expectedKeys.end());
  }

  std::string Url(const std::string& path) const { return server.BaseUrl() + path; }

  // The whole site from /index.html into "save", with RipPageOnly and NoGoUp off.
  // `sizeLimit` > 0 turns the size limit on at that many bytes.
  void CrawlSite(std::int64_t sizeLimit = 0) {
    Crawl(Url("/index.html"), {.RipPageOnly = 0, .LimitSize = sizeLimit > 0 ? 1 : 0,
                               .SizeLimit = sizeLimit, .NoGoUp = 0});
  }

  void CrawlAndCheck() {
    NewContext();
    CrawlSite();

    EXPECT_EQ(t->Host.CompletionMessage().rfind("Completed downloading.", 0), 0u);
    EXPECT_EQ(RedKeys(), expectedKeys);

    // Exactly the files that arrived, each byte for byte: nothing of a failure.
    std::vector<std::string> expectedFiles;
    for (const auto& [path, bytes] : site.Reachable) expectedFiles.push_back(path);
    EXPECT_EQ(test::ListTree(savePath), expectedFiles);
    for (const auto& [path, bytes] : site.Reachable) {
      EXPECT_EQ(ReadFileAt("save/" + path), bytes) << path;
    }
    for (const auto& path : site.NeverFetched) EXPECT_EQ(server.RequestCount(path), 0) << path;
    EXPECT_EQ(external.RequestCount("/moved.gif"), 0);
    EXPECT_EQ(server.RequestCount("/private/hidden.gif") > 0, GetParam() == Robots::Binary);

    for (const auto& [name, bytes] : kProgramFiles) EXPECT_EQ(ReadFileAt("program/" + name), bytes);
    const std::string failures = ReadFileAt("program/fail.txt");
    for (const auto& key : expectedKeys) EXPECT_NE(failures.find(key), std::string::npos) << key;
    EXPECT_TRUE(fs::is_empty(SandboxPath("program/cache")));
    for (const auto& name : test::ListTree(SandboxPath("inet")))
      EXPECT_FALSE(name.ends_with(".part")) << name;
    const std::set<std::string> folders = {"inet", "program", "save", "site", "tls"};
    for (const auto& entry : fs::directory_iterator(Sandbox()))
      EXPECT_TRUE(folders.count(entry.path().filename().string())) << entry.path();
  }

  test::TestServer external;
  std::unique_ptr<test::TestServer> tlsServer;
  test::GeneratedSite site;
  std::vector<Fault> faults;
  std::vector<std::string> expectedKeys;
};

TEST_P(FaultInjectionTest, EveryFaultIsItsOwnRedLineAndEveryOtherFileArrivesWhole) {
  ASSERT_GT(site.Reachable.size(), 300u);
  // Later rounds revalidate the earlier copies: a fault must never be
  // answered from an old copy, nor a good file lost to one.
  const int rounds = test::LongTests() ? 4 : 1;
  for (int round = 0; round < rounds; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    fs::remove_all(SandboxPath("save"));
    fs::remove(SandboxPath("program/fail.txt"));
    CrawlAndCheck();
  }
}

const char* const kRobotsNames[] = {"Plain", "TenMegabytes", "Binary"};
INSTANTIATE_TEST_SUITE_P(Robots, FaultInjectionTest,
                         ::testing::Values(Robots::Plain, Robots::TenMegabytes, Robots::Binary),
                         [](const auto& info) { return kRobotsNames[int(info.param)]; });

// What the user and the server see of one crawl.
struct SeenCrawl {
  std::string finalLog;
  std::map<std::string, std::string> files;
  std::multiset<std::string> requests;
};

// The same crawls with fetching ahead on and off: the log, the files and
// the requests must not tell them apart.
class FetchAheadCrawlTest : public FaultInjectionTest {
 protected:
  // `stopAfter`, when given, is the path of the file after whose download
  // the crawl is stopped (waits yield a number of times that depends on
  // timing, so a count of yields would stop at different places).
  SeenCrawl CrawlSeen(const std::string& name, long fetchesAhead, const std::string& stopAfter = "",
                      std::int64_t sizeLimit = 0) {
    server.ResetCounts();
    fs::remove_all(SandboxPath("save"));
    fs::remove(SandboxPath("program/fail.txt"));
    StartCache(2, 1, "inet-" + name, fetchesAhead);
    NewContext();
    t->Host.OnYield = [&] {
      const long last = t->Host.LineCount();
      if (!stopAfter.empty() && last > 0 && t->Host.LineText(last) == "Downloaded " + Url(stopAfter)) {
        t->State.StopDownload = kTrue;
      }
    };
    CrawlSite(sizeLimit);

    SeenCrawl seen{t->Host.FormatFinalLog(), {}, {}};
    for (const auto& path : test::ListTree(SandboxPath("save"))) seen.files[path] = ReadFileAt("save/" + path);
    for (const auto& request : server.Requests()) seen.requests.insert(request.Method + " " + request.Path);
    return seen;
  }
};

TEST_P(FetchAheadCrawlTest, TheLogTheFilesAndTheRequestsAreThoseOfOneAtATime) {
  // Where a dropped connection came back, curl asks again on each other
  // connection it keeps open, so that file's count follows the pool size.
  const auto withoutDrops = [](std::multiset<std::string> requests) {
    requests.erase("GET /faults/dropped.html");
    return requests;
  };
  const auto expectSame = [&](const SeenCrawl& ahead, const SeenCrawl& alone, bool requests) {
    EXPECT_EQ(ahead.finalLog, alone.finalLog);
    EXPECT_EQ(ahead.files, alone.files);
    if (requests) {
      EXPECT_EQ(withoutDrops(ahead.requests), withoutDrops(alone.requests));
    }
  };
  const SeenCrawl alone = CrawlSeen("alone", 0);
  const SeenCrawl ahead = CrawlSeen("ahead", 12);
  expectSame(ahead, alone, true);
  EXPECT_TRUE(ahead.requests.count("GET /faults/dropped.html"));
  EXPECT_GT(alone.files.size(), 300u);

  // A stop in the middle: what was fetched ahead but not reached shows
  // nowhere, though the server may have been asked for it.
  const SeenCrawl aloneStopped = CrawlSeen("alone-stopped", 0, "/files/doc0_3.pdf");
  const SeenCrawl aheadStopped = CrawlSeen("ahead-stopped", 12, "/files/doc0_3.pdf");
  EXPECT_NE(aloneStopped.finalLog.find("Downloading stopped at command"), std::string::npos);
  expectSame(aheadStopped, aloneStopped, false);
  EXPECT_LT(aloneStopped.files.size(), alone.files.size());
  for (const auto& request : aloneStopped.requests) EXPECT_TRUE(aheadStopped.requests.count(request)) << request;

  // With the size limit on, the size queries run ahead too; the faults'
  // 20 KB bodies are over the limit, the site's small files under it.
  const SeenCrawl aloneSized = CrawlSeen("alone-sized", 0, "", 10000);
  const SeenCrawl aheadSized = CrawlSeen("ahead-sized", 12, "", 10000);
  expectSame(aheadSized, aloneSized, true);
  const auto sizeQueries =
      std::count_if(aloneSized.requests.begin(), aloneSized.requests.end(),
                    [](const std::string& request) { return request.starts_with("HEAD "); });
  EXPECT_GT(sizeQueries, 100);
  EXPECT_LT(aloneSized.files.size(), alone.files.size());  // the limit did keep files out
}

INSTANTIATE_TEST_SUITE_P(Plain, FetchAheadCrawlTest, ::testing::Values(Robots::Plain));

}  // namespace
}  // namespace kestrelin
