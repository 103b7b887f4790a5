// Whole crawls through DownloadSite against the local test server, with the
// real internet cache and file service.
#include "engine/download_site.h"

#include <gtest/gtest.h>

#include "tests/engine/curl_crawl_test.h"

namespace kestrelin {
namespace {

class DownloadSiteTest : public test::CurlCrawlTest {
 protected:
  void SetUp() override {
    CurlCrawlTest::SetUp();
    StartCache(5, 5);
    NewContext();
  }

  std::vector<std::unique_ptr<test::TestServer>> otherSites;  // more sites for one test
};

// Each file's road ends in its folder, whatever ends the page's lines (a
// lone LF does not end a line: the page is one line and its links stay).
TEST_F(DownloadSiteTest, APageAndItsPicturesArriveWithOneRequestEach) {
  // A folder per ending: a page rewritten in the same second with the same
  // size would look unchanged to the revalidating cache.
  const std::pair<std::string, std::string> endings[] = {{"crlf", "\r\n"}, {"cr", "\r"}, {"lf", "\n"}};
  for (const auto& [d, ending] : endings) {
    SCOPED_TRACE(d);
    const std::string page = "<html>" + ending + "<img src=\"img/a.gif\">" + ending +
                             "<img src=\"b.gif\">" + ending + "</html>";
    WriteFileAt("site/" + d + "/index.html", page);
    WriteFileAt("site/" + d + "/img/a.gif", "GIF89a");
    WriteFileAt("site/" + d + "/b.gif", "b");
    cache->BeginCrawl();
    Crawl(server.BaseUrl() + "/" + d + "/index.html", CrawlOptions{});
    EXPECT_EQ(ReadFileAt("save/" + d + "/img/a.gif"), "GIF89a");
    EXPECT_EQ(ReadFileAt("save/" + d + "/b.gif"), "b");
    EXPECT_EQ(ReadFileAt("save/" + d + "/index.html"), page);
    EXPECT_EQ(t->Host.CompletionMessage().rfind("Completed downloading.\r\n\r\nDuration: ", 0), 0u);
    // Each URL costs one request, although the page is read three times.
    for (const std::string file : {"/index.html", "/img/a.gif", "/b.gif"}) {
      EXPECT_EQ(server.RequestCount("/" + d + file), 1) << file;
    }
    EXPECT_TRUE(std::filesystem::is_empty(SandboxPath("program/cache")));
  }
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
  EXPECT_EQ(RedKeys(), std::vector<std::string>{url});
  EXPECT_NE(t->Host.FormatFinalLog().find("R\t" + url + "\t" + url + "\n"), std::string::npos);
  EXPECT_EQ(t->State.PageLinks, std::vector<std::string>{url});
  EXPECT_NE(test::ReadWholeFile(SandboxPath("program/fail.txt")).find(url), std::string::npos);
}

// The final log of a two-page crawl under each reporting option: the
// "Connected to" and links-obtained lines are gone, each page ends with its
// "Finished downloading" line, a good file keeps its line only without
// validation, and ListFailed leaves just the failure records (the rebuild's
// line comes after the results pass).
TEST_F(DownloadSiteTest, FinalLogOfASmallCrawlUnderEachReportingOption) {
  WriteFileAt("site/d/index.html", "<img src=\"a.gif\"><img src=\"gone.gif\"><a href=\"b.html\">b</a>");
  WriteFileAt("site/d/a.gif", "a");
  WriteFileAt("site/d/b.html", "<img src=\"c.gif\">");
  WriteFileAt("site/d/c.gif", "c");
  const std::string d = server.BaseUrl() + "/d/";
  const std::string failed = "R\t" + d + "gone.gif (" + d + "index.html)\t" + d + "gone.gif (" +
                             d + "index.html)\n";
  const std::string robots =
      ".\t\tNo \"robots.txt\" file found.  All files that can be found will be downloaded.\n";
  const std::string rebuilt = ".\t\tFile structure moved to designated folder.\n";
  auto plain = [](const std::string& text) { return ".\t\t" + text + "\n"; };
  struct Case {
    int NoValidate;
    int ListFailed;
    std::string Log;
  };
  const Case cases[] = {
      {1, 0,
       robots + plain("Downloaded " + d + "index.html") + plain("Downloaded " + d + "a.gif") +
           failed + plain("Downloaded " + d + "b.html") +
           plain("Finished downloading " + d + "index.html") + plain("Downloaded " + d + "c.gif") +
           plain("Finished downloading " + d + "b.html") + rebuilt},
      {0, 0,
       robots + failed + plain("Finished downloading " + d + "index.html") +
           plain("Finished downloading " + d + "b.html") + rebuilt},
      {1, 1, failed + rebuilt},
      {0, 1, failed + rebuilt},
  };
  for (const Case& c : cases) {
    Crawl(d + "index.html",
          {.RipPageOnly = 0, .NoValidate = c.NoValidate, .ListFailed = c.ListFailed});
    EXPECT_EQ(t->Host.FormatFinalLog(), c.Log) << c.NoValidate << c.ListFailed;
    EXPECT_EQ(ReadFileAt("save/d/c.gif"), "c");
  }
}

// A second crawl with the same state, as the window runs them: everything
// of the first crawl is reset except the robots rules, which stay held and
// apply again whenever the new site has a robots.txt of its own.
TEST_F(DownloadSiteTest, ASecondCrawlStartsAfreshButKeepsTheRobotsRules) {
  WriteFileAt("site/robots.txt", "User-agent: *\r\nDisallow: /private/\r\n\r\n");
  WriteFileAt("site/index.html", "<img src=\"pub.gif\"><img src=\"gone.gif\">");
  WriteFileAt("site/pub.gif", "pub");
  WriteFileAt("site/private/p.gif", "private");
  CrawlOptions options;
  Crawl(server.BaseUrl() + "/index.html", options);
  ASSERT_EQ(t->State.HadFailures, kTrue);
  const std::string firstRule = server.BaseUrl() + "/private/";
  ASSERT_EQ(t->State.RobotRules, std::vector<std::string>{firstRule});

  const std::string links = "<img src=\"" + server.BaseUrl() + "/private/p.gif\"><img src=\"" +
                            server.BaseUrl() + "/pub.gif\"><img src=\"own.gif\">";
  options = {.NoGoUp = 0, .FollowExternal = 1};
  struct Case {
    bool HasRobots;
    int PrivateRequests;  // the first site's disallowed file
  };
  for (const Case c : {Case{true, 0}, Case{false, 1}}) {
    test::TestServer& other = *otherSites.emplace_back(std::make_unique<test::TestServer>());
    if (c.HasRobots) other.Declare("/robots.txt", "User-agent: *\r\nDisallow: /none/\r\n\r\n");
    other.Declare("/index.html", links);
    other.Declare("/own.gif", "own", "image/gif");
    const std::string start = other.BaseUrl() + "/index.html";
    std::filesystem::remove_all(savePath);
    server.ResetCounts();
    Crawl(start, options);
    EXPECT_EQ(server.RequestCount("/private/p.gif"), c.PrivateRequests) << c.HasRobots;
    EXPECT_EQ(t->State.RobotsFound, c.HasRobots ? kTrue : kFalse);
    EXPECT_EQ(t->State.RobotRules.front(), firstRule);
    EXPECT_EQ(t->State.FileLinks.front(), start);
    EXPECT_EQ(t->State.PageLinks, std::vector<std::string>{start});
    EXPECT_EQ(t->State.HadFailures, kFalse);
    EXPECT_EQ(ReadFileAt("save/own.gif"), "own");
    EXPECT_EQ(ReadFileAt("save/external/pub.gif"), "pub");
    EXPECT_EQ(std::filesystem::exists(SandboxPath("save/external/p.gif")), !c.HasRobots);
    // Nothing of the first crawl is left in the log, and no block was added.
    EXPECT_EQ(t->Host.FormatFinalLog().find("gone.gif"), std::string::npos);
    const std::string report = test::ReadWholeFile(SandboxPath("program/fail.txt"));
    EXPECT_EQ(report.find(start), std::string::npos);
    EXPECT_NE(report.find("gone.gif"), std::string::npos);
  }
  EXPECT_EQ(t->State.RobotRules,
            (std::vector<std::string>{firstRule, otherSites.front()->BaseUrl() + "/none/"}));
}

}  // namespace
}  // namespace kestrelin
