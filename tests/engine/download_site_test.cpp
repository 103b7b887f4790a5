// Whole crawls through DownloadSite against the local test server, with the
// real internet cache and file service.
#include "engine/download_site.h"

#include <gtest/gtest.h>

#include <set>

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

// Values met on real sites: each asks the server for one valid request
// target (none for other schemes), once, although the page is read three
// times, and lands where its URL says; folders (the start address, a link
// redirected to its "/") as their index.html, and so a file of a folder's
// name (index-1.html when the site has that too). Whatever ends the page's
// lines (a lone LF does not end one), its links stay.
TEST_F(DownloadSiteTest, RealSiteValuesGiveValidRequestsAndTheirOwnFiles) {
  // As written in the page, the request target it costs and where it lands ("" none).
  struct Row { std::string value, request, saved; };
  const std::string host = "127.0.0.1:" + std::to_string(server.Port());
  const Row rows[] = {
      {"//" + host + "/d/pr.gif", "/d/pr.gif", "d/pr.gif"},
      {"file:///usr/share/x.html", "", ""},
      {"a b<c>.gif", "/d/a%20b%3Cc%3E.gif", "d/a b<c>.gif"},
      {"%s,.gif", "/d/%25s,.gif", "d/%s,.gif"},
      {"h/s%23t/w.gif", "/d/h/s%23t/w.gif", "d/h/s#t/w.gif"},
      {"h/q%3Fz/w.gif", "/d/h/q%3Fz/w.gif", "d/h/q?z/w.gif"},
      {"t\tab\n.gif", "/d/tab.gif", "d/tab.gif"},
      {"l%0Af/x.gif", "/d/l%0Af/x.gif", "d/l%0Af/x.gif"},
      {"img%x%logo.gif", "/d/img%25x%25logo.gif", "d/img%25x%logo.gif"},
      {"img/logo.gif", "/d/img/logo.gif", "d/img/logo.gif"},
      {"howto", "/d/howto", "d/howto/index.html"},
      {"howto/a.gif", "/d/howto/a.gif", "d/howto/a.gif"},
      {"f.gif", "/d/f.gif", "d/f.gif/index.html"},
      {"f.gif/g.gif", "/d/f.gif/g.gif", "d/f.gif/g.gif"},
      {"e.gif", "/d/e.gif", "d/e.gif/index-1.html"},
      {"e.gif/index.html", "/d/e.gif/index.html", "d/e.gif/index.html"},
  };
  std::string page;
  std::set<std::string> requests = {"/d/", "/d/robots.txt", "/d/howto/"};
  std::set<std::string> saved = {"d/index.html", "d/kept.gif"};  // merged into what was there
  WriteFileAt("save/d/kept.gif", "kept");
  WriteFileAt("save/d/img/logo.gif", "an older copy");
  const char* const endings[] = {"\r\n", "\r", "\n"};
  for (const Row& row : rows) {
    page += "<img src=\"" + row.value + "\">" + endings[page.size() % 3];
    if (!row.request.empty()) requests.insert(row.request);
    if (!row.saved.empty()) saved.insert(row.saved);
  }
  server.AnswerAnyPath([](const std::string& target) { return "bytes of " + target; });
  server.Declare("/d/", page);
  server.Redirect("/d/howto", "/d/howto/", 301);
  server.Declare("/d/howto/", "howto index");
  Crawl(server.BaseUrl() + "/d/", CrawlOptions{});

  std::set<std::string> asked;
  for (const auto& request : server.Requests()) asked.insert(request.Path);
  EXPECT_EQ(asked, requests);
  EXPECT_EQ(server.Requests().size(), requests.size());  // none repeated
  const auto tree = test::ListTree(SandboxPath("save"));
  EXPECT_EQ(std::set<std::string>(tree.begin(), tree.end()), saved);
  EXPECT_EQ(ReadFileAt("save/d/index.html"), page);
  EXPECT_TRUE(std::filesystem::is_empty(SandboxPath("program/cache")));
  EXPECT_EQ(ReadFileAt("save/d/howto/index.html"), "howto index");
  EXPECT_EQ(ReadFileAt("save/d/img/logo.gif"), "bytes of /d/img/logo.gif");
  EXPECT_EQ(ReadFileAt("save/d/kept.gif"), "kept");
  EXPECT_EQ(ReadFileAt("save/d/f.gif/index.html"), "bytes of /d/f.gif");
  EXPECT_EQ(RedKeys(), std::vector<std::string>{});
  // One line of text per log line: no value breaks a line.
  const std::string log = t->Host.FormatFinalLog();
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), t->Host.LineCount());
  for (const std::string renamed : {"f.gif to d/f.gif/index.html", "e.gif to d/e.gif/index-1.html"})
    EXPECT_NE(log.find("Renamed d/" + renamed + ": a folder has the same name\n"), std::string::npos);
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
  EXPECT_NE(test::ReadWholeFile(SandboxPath("program/fail.txt")).find(url), std::string::npos);
}

// The final log of a two-page crawl under each reporting option: the
// "Connected to" and links-obtained lines are gone, each page ends with its
// "Finished downloading" line, a good file keeps its line only without
// validation, and ListFailed leaves just the failure records (the rebuild's
// line comes after the results pass). Each crawl appends its block of
// records to fail.txt.
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
  struct Case { int NoValidate, ListFailed; std::string Log; };
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
  std::string report;
  for (const Case& c : cases) {
    t->Clock.Now = 9 * 3600 + 5 * 60 + 7;
    Crawl(d + "index.html",
          {.RipPageOnly = 0, .NoValidate = c.NoValidate, .ListFailed = c.ListFailed});
    EXPECT_EQ(t->Host.FormatFinalLog(), c.Log) << c.NoValidate << c.ListFailed;
    const std::string line = "=======================================\r\n";
    report += d + "index.html @ 09:05:07\r\n" + line + d + "gone.gif (" + d + "index.html)\r\n" +
              line + "\r\n";
    EXPECT_EQ(ReadFileAt("program/fail.txt"), report);
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
  struct Case { bool HasRobots; int PrivateRequests; };  // of the first site's disallowed file
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
