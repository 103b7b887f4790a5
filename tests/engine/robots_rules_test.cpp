// robots.txt read from the local test server through the real cache.
#include "engine/robots_rules.h"

#include <gtest/gtest.h>

#include "tests/engine/curl_crawl_test.h"

namespace kestrelin {
namespace {

using Rules = std::vector<std::string>;
const std::string kFound = "robots.txt found.  Some files may not be downloaded.";
const std::string kNotFound =
    "No \"robots.txt\" file found.  All files that can be found will be downloaded.";

class RobotsRulesTest : public test::CurlCrawlTest {
 protected:
  void SetUp() override {
    CurlCrawlTest::SetUp();
    StartCache(5, 5);
    NewContext();
    root = server.BaseUrl() + "/";
    folder = root + "d/";
  }
  // Loads the rules as the crawl start does; returns the outcome line.
  std::string Load(const std::string& webDomain = "") {
    cache->BeginCrawl();
    t->State.RobotsFound = kFalse;
    t->Host.ClearLog();
    t->Host.AddLine("Searching for \"robots.txt\"...");
    LoadRobotsRules(t->Ctx, webDomain, root, folder);
    EXPECT_EQ(t->Host.LineCount(), 1);
    EXPECT_FALSE(t->Host.Log().Line(1).Red);
    return t->Host.LineText(1);
  }
  Rules Taken() {
    Rules rules = t->State.RobotRules;
    EXPECT_EQ(static_cast<long>(rules.size()), t->State.RobotCount);
    t->State.RobotRules.clear();
    t->State.RobotCount = 0;
    return rules;
  }

  std::string root, folder;
};

TEST_F(RobotsRulesTest, FirstSectionForAllRobotsGivesAbsolutePrefixes) {
  struct Case { std::string body; Rules expected; };  // rules below the root ("" the root)
  const Case cases[] = {
      {"User-agent: *\r\nDisallow: /cgi-bin/\r\nDisallow: /tmp/\r\n", {"cgi-bin/", "tmp/"}},
      {"User-agent: *\r\nDisallow: /\r\n", {""}},
      {"User-agent: *\r\nDisallow: cgi-bin/\r\n", {"gi-bin/"}},
      {"User-agent: *\r\nDisallow: \r\nDisallow: /a\r\n", {"a"}},
      {"User-agent: bot\r\nDisallow: /x\r\n\r\nUser-agent: *\r\nDisallow: /y\r\n", {"y"}},
      {"User-agent: *\r\nDisallow: /1\r\n\r\nUser-agent: *\r\nDisallow: /2\r\n", {"1"}},
      {"User-agent: *\r\n\r\nDisallow: /a\r\n", {}},
      {"User-agent: *\r\n# c\r\nAllow: /b\r\ndisallow: /c\r\nDisallow:/d\r\nDisallow: /e\r\n", {"e"}},
      {"Disallow: /a\r\n", {}},
      // Line feeds alone end lines too: real servers mostly write them.
      {"User-agent: *\nDisallow: /lf/\n", {"lf/"}},
      {"User-agent: *\rDisallow: /cr/\r", {"cr/"}},
  };
  for (const auto& c : cases) {
    server.Declare("/robots.txt", c.body, "text/plain");
    EXPECT_EQ(Load(), root + kFound) << c.body;
    EXPECT_EQ(t->State.RobotsFound, kTrue);
    Rules expected;
    for (const auto& rule : c.expected) expected.push_back(root + rule);
    EXPECT_EQ(Taken(), expected) << c.body;
  }
}

// The rules held refuse by exact prefix, and only while robots.txt was
// found. The folder's robots.txt comes first, then the root's.
TEST_F(RobotsRulesTest, CandidatesInOrderAndNothingFoundKeepsRobotsOffAndEarlierRules) {
  t->State.RobotRules = {"http://e.com/tmp/"};
  t->State.RobotCount = 1;
  EXPECT_EQ(Load(), kNotFound);  // the rules held stay, unused: the second-crawl test
  EXPECT_EQ(server.RequestCount("/d/robots.txt"), 1);
  EXPECT_EQ(server.RequestCount("/robots.txt"), 1);
  folder = root;  // a start page in the top folder: its root is asked once
  Load();
  EXPECT_EQ(server.RequestCount("/robots.txt"), 2);
  t->State.RobotsFound = kTrue;
  EXPECT_TRUE(IsRefusedByRobots(t->State, "http://e.com/tmp/a.html"));
  EXPECT_FALSE(IsRefusedByRobots(t->State, "http://e.com/TMP/a.html"));
  EXPECT_FALSE(IsRefusedByRobots(t->State, "http://e.com/tmp"));
  folder = root + "d/";
  server.Declare("/d/robots.txt", "User-agent: *\r\nDisallow: /x\r\n", "text/plain");
  server.Declare("/robots.txt", "User-agent: *\r\nDisallow: /y\r\n", "text/plain");
  t->State.RobotRules.clear();
  t->State.RobotCount = 0;
  EXPECT_EQ(Load(), folder + kFound);
  EXPECT_EQ(Taken(), Rules{folder + "x"});
  EXPECT_EQ(server.RequestCount("/robots.txt"), 2);
}

}  // namespace
}  // namespace kestrelin
