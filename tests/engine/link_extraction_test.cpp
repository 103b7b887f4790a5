#include "engine/link_extraction.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/engine/crawl_test_context.h"
#include "tests/support/sandbox.h"

namespace kestrelin {
namespace {

using Links = std::vector<std::string>;

struct Options {
  int NoDownload = 0;
  int OnlyDownload = 0;
  int NoGoUp = 0;
  int FollowExternal = 0;
};

class LinkExtractionTest : public test::SandboxedTest {
 public:
  void SetUp() override {
    SandboxedTest::SetUp();
    crawl_ = std::make_unique<test::CrawlTestContext>(SandboxPath("program"));
    crawl_->State.SiteRoot = "http://example.com/";
    crawl_->State.PageFolder = "http://example.com/d/";
  }

  // Runs the scan on `page` and returns the links it appended. Every case
  // also checks that the preview finds the same links and appends none.
  Links Extract(std::string page, Options o = {}) {
    CrawlState& state = crawl_->State;
    state.FileLinks.clear();
    state.FileCount = 0;
    const Links preview =
        PreviewLinks(crawl_->Ctx, page, o.NoDownload, o.OnlyDownload, o.NoGoUp, o.FollowExternal);
    EXPECT_EQ(state.FileCount, 0);
    ExtractLinks(crawl_->Ctx, page, o.NoDownload, o.OnlyDownload, 0, 0, o.NoGoUp,
                 o.FollowExternal);
    EXPECT_EQ(static_cast<std::size_t>(state.FileCount), state.FileLinks.size());
    EXPECT_EQ(preview, state.FileLinks) << page;
    rest_ = page;
    return state.FileLinks;
  }

  std::unique_ptr<test::CrawlTestContext> crawl_;
  std::string rest_;
};

struct PageCase {
  const char* page;
  Links expected;
};

void ExpectAll(LinkExtractionTest& t, const std::vector<PageCase>& cases, Options o = {}) {
  for (const auto& c : cases) EXPECT_EQ(t.Extract(c.page, o), c.expected) << c.page;
}

TEST_F(LinkExtractionTest, FindsQuotedAndUnquotedValuesAndMakesThemAbsolute) {
  const std::vector<PageCase> cases = {
      {R"(<a href="page2.html#top">)", {"http://example.com/d/page2.html"}},
      {"<img src=pic.gif alt=x>", {"http://example.com/d/pic.gif"}},
      {"<a href=x.html>", {"http://example.com/d/x.html"}},
      {R"(<img src="/img/a.gif">)", {"http://example.com/img/a.gif"}},
      {R"(<img src="./a.gif">)", {"http://example.com/d/a.gif"}},
      {R"(<a href="page.php?id=3">)", {"http://example.com/d/page.php"}},
      {R"(<a href="page.php">)", {"http://example.com/d/page.php"}},
      {R"(<a href="a.b=c">)", {"http://example.com/d/a.b"}},
      {R"(<a href="http://example.com">)", {"http://example.com/"}},
      {R"(<a href="http://example.com/d/z.gif">)", {"http://example.com/d/z.gif"}},
      {R"(<input value="Submit">)", {"http://example.com/d/Submit"}},
      {R"(<img lowsrc="x.gif">)", {"http://example.com/d/x.gif"}},
      {R"(<A HREF="u.gif"><IMG Src="v.gif">)",
       {"http://example.com/d/u.gif", "http://example.com/d/v.gif"}},
      // The character after an unquoted terminator is skipped.
      {"<img src=a.gif href=b.html>", {"http://example.com/d/a.gif"}},
      {"<img src=a.gif  href=b.html>", {"http://example.com/d/a.gif", "http://example.com/d/b.html"}},
      // Tokens are found anywhere, in the order they occur.
      {R"(text src="1.gif" more href="2.gif" value="3.gif")",
       {"http://example.com/d/1.gif", "http://example.com/d/2.gif", "http://example.com/d/3.gif"}},
      // Repeats are kept; removing them is the driver's work.
      {R"(src="a.gif"src="a.gif")", {"http://example.com/d/a.gif", "http://example.com/d/a.gif"}},
      {"no links here", {}},
  };
  ExpectAll(*this, cases);
}

TEST_F(LinkExtractionTest, ResolvesParentStepsAgainstThePageFolder) {
  crawl_->State.PageFolder = "http://example.com/d/e/";
  EXPECT_EQ(Extract(R"(<img src="../a.gif">)"), Links{"http://example.com/d/a.gif"});
  EXPECT_EQ(Extract(R"(<img src="../../a.gif">)"), Links{"http://example.com/a.gif"});
}

TEST_F(LinkExtractionTest, DropsValuesThatAreNotFiles) {
  const std::vector<PageCase> cases = {
      {R"(<a href="mailto:x@example.com">)", {}},
      {R"(<a href="MailTo:x">)", {}},
      {"<a href=\"JavaScript:go()\">", {}},
      {R"(<a href="sub/">)", {}},
      {R"(<a href="">)", {}},
      {R"(<a href="#top">)", {}},
      {R"(<a href="run.asp">)", {}},
      {R"(<a href="cgi-bin/x.cgi">)", {}},
      {R"(<a href="RUN.ASP">)", {"http://example.com/d/RUN.ASP"}},
      // The blank or ">" right after the token gives an empty value.
      {"<a href= >", {}},
  };
  ExpectAll(*this, cases);
}

TEST_F(LinkExtractionTest, KeepsToTheSiteOrThePageFolder) {
  EXPECT_EQ(Extract(R"(src="http://example.org/a.gif")"), Links{});
  EXPECT_EQ(Extract(R"(src="http://example.org/a.gif")", {.FollowExternal = 1}),
            Links{"http://example.org/a.gif"});
  EXPECT_EQ(Extract(R"(src="http://example.com/x.gif")"), Links{"http://example.com/x.gif"});
  EXPECT_EQ(Extract(R"(src="http://example.com/x.gif")", {.NoGoUp = 1}), Links{});
  EXPECT_EQ(Extract(R"(src="http://example.com/d/x.gif")", {.NoGoUp = 1}),
            Links{"http://example.com/d/x.gif"});
  EXPECT_EQ(Extract(R"(src="/x.gif")", {.NoGoUp = 1}), Links{});
  // HTTP: is not taken for absolute and lands below the page folder.
  EXPECT_EQ(Extract(R"(src="HTTP://example.org/a.gif")"),
            Links{"http://example.com/d/HTTP://example.org/a.gif"});
}

TEST_F(LinkExtractionTest, HttpsLinksGainTheirSlashLikeHttpLinks) {
  crawl_->State.SiteRoot = "https://example.com/";
  crawl_->State.PageFolder = "https://example.com/d/";
  EXPECT_EQ(Extract(R"(href="https://example.com")"), Links{"https://example.com/"});
  EXPECT_EQ(Extract(R"(src="a.gif")"), Links{"https://example.com/d/a.gif"});
  EXPECT_EQ(Extract(R"(src="https://example.com/b.gif")"), Links{"https://example.com/b.gif"});
}

TEST_F(LinkExtractionTest, DropsUrlsWithoutAnyDot) {
  crawl_->State.SiteRoot = "http://intranet/";
  crawl_->State.PageFolder = "http://intranet/";
  EXPECT_EQ(Extract(R"(href="http://intranet/about")"), Links{});
  EXPECT_EQ(Extract(R"(href="about")"), Links{});
  EXPECT_EQ(Extract(R"(src="http://intranet/a.gif")"), Links{"http://intranet/a.gif"});
}

TEST_F(LinkExtractionTest, FiltersByTheTypeLists) {
  auto& types = crawl_->Types;
  types.Exclusive() = {"html", "htm", "php", "shtml", "shtm", "phtml", "gif"};
  types.Ignored() = {"gif", "zip"};
  const char* page = R"(src="a.gif" src="a.png" href="p.html" href="f.zip")";

  EXPECT_EQ(Extract(page, {.NoDownload = 1}),
            (Links{"http://example.com/d/a.png", "http://example.com/d/p.html"}));
  EXPECT_EQ(Extract(page, {.OnlyDownload = 1}),
            (Links{"http://example.com/d/a.gif", "http://example.com/d/p.html"}));
  // With both set the exclusive list alone decides.
  EXPECT_EQ(Extract(page, {.NoDownload = 1, .OnlyDownload = 1}),
            (Links{"http://example.com/d/a.gif", "http://example.com/d/p.html"}));
  // Only the value 1 switches a list on.
  EXPECT_EQ(Extract(page, {.NoDownload = 2}).size(), 4u);

  types.Ignored() = {"zip", ""};
  EXPECT_EQ(Extract(page, {.NoDownload = 1}), Links{});
}

TEST_F(LinkExtractionTest, ExclusiveTypesCanReadmitScripts) {
  crawl_->Types.Exclusive() = {"html", "asp"};
  EXPECT_EQ(Extract(R"(href="run.asp")", {.OnlyDownload = 1}), Links{"http://example.com/d/run.asp"});
}

TEST_F(LinkExtractionTest, RefusesLinksTheRobotsRulesForbid) {
  CrawlState& state = crawl_->State;
  state.RobotRules = {"http://example.com/d/private/"};
  state.RobotCount = 1;
  state.RobotsFound = kTrue;
  const char* page = R"(src="private/a.gif" src="public/b.gif")";
  EXPECT_EQ(Extract(page), Links{"http://example.com/d/public/b.gif"});
  state.RobotsFound = kFalse;
  EXPECT_EQ(Extract(page).size(), 2u);
}

TEST_F(LinkExtractionTest, DecodesOnlyTheFolderPart) {
  crawl_->State.PageFolder = "http://example.com/";
  EXPECT_EQ(Extract(R"(src="my%20dir/my%20file.gif")"),
            Links{"http://example.com/my dir/my%20file.gif"});
}

TEST_F(LinkExtractionTest, TellsTheHostOfEveryAppendedLink) {
  Extract(R"(src="a.gif" href="mailto:x" src="b.gif")");
  const auto& lines = crawl_->Host.Trace();
  EXPECT_EQ(lines, (Links{"LINK\thttp://example.com/d/a.gif", "LINK\thttp://example.com/d/b.gif"}));
}

TEST_F(LinkExtractionTest, LeavesWhatFollowsTheLastValueInThePageText) {
  struct RestCase {
    const char* page;
    const char* rest;
  };
  const RestCase cases[] = {
      {R"(<img src="a.gif"> tail)", "> tail"},
      {"<img src=a.gif>xy", "y"},
      {"<img src=a.gif>", ""},
      {"nothing", "nothing"},
      {R"(src="a.gif" src="open)", R"( src="open)"},
      {R"(src="a.gif" src=open)", " src=open"},
      {R"(src="a.gif" src=)", " src="},
  };
  for (const auto& c : cases) {
    Extract(c.page);
    EXPECT_EQ(rest_, c.rest) << c.page;
  }
}

TEST_F(LinkExtractionTest, UnterminatedValuesEndTheScanWithTheLinksFoundSoFar) {
  const std::vector<PageCase> cases = {
      {R"(src="a.gif" href="b.gif)", {"http://example.com/d/a.gif"}},
      {R"(src="a.gif" href=b.gif)", {"http://example.com/d/a.gif"}},
      {R"(src="a.gif" href=b.gif c)", {"http://example.com/d/a.gif"}},
      {R"(src="a.gif" href=)", {"http://example.com/d/a.gif"}},
      {R"(src="a.gif" href=")", {"http://example.com/d/a.gif"}},
      {"src=b.gif>", {"http://example.com/d/b.gif"}},
      {"src=b.gif >", {"http://example.com/d/b.gif"}},
  };
  ExpectAll(*this, cases);
}

TEST_F(LinkExtractionTest, EveryTruncationOfAPageReturnsNormally) {
  const std::string page =
      R"(<html><a href="page2.html#top">x</a><img src=pic.gif alt=x><a HREF=x.html>)"
      R"(<img lowsrc="../a.gif"><input value="Submit"><a href="mailto:a@b.c">)"
      R"(<img src="/img/a.gif?x=1"></html>)";
  const Links full = Extract(page);
  ASSERT_EQ(full.size(), 6u);
  for (std::size_t n = 0; n <= page.size(); ++n) {
    const Links links = Extract(page.substr(0, n));
    ASSERT_LE(links.size(), full.size()) << n;
    // A cut page yields the full page's first links: a value the cut leaves
    // unterminated is not taken.
    for (std::size_t i = 0; i < links.size(); ++i) EXPECT_EQ(links[i], full[i]) << n;
    EXPECT_LE(rest_.size(), n);
  }
}

}  // namespace
}  // namespace kestrelin
