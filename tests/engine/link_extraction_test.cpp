#include "engine/link_extraction.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/url_helpers.h"
#include "tests/engine/crawl_test_context.h"
#include "tests/support/sandbox.h"

namespace kestrelin {
namespace {

using Links = std::vector<std::string>;

struct Options {
  int NoDownload = 0, OnlyDownload = 0, NoGoUp = 0, FollowExternal = 0;
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
    const LinksPreview preview =
        PreviewLinks(crawl_->Ctx, state.PageFolder, page, o.NoDownload, o.OnlyDownload, o.NoGoUp,
                     o.FollowExternal);
    const std::string previewRest = page.substr(preview.RestAt);
    EXPECT_EQ(state.FileCount, 0);
    ExtractLinks(crawl_->Ctx, page, o.NoDownload, o.OnlyDownload, 0, 0, o.NoGoUp,
                 o.FollowExternal);
    EXPECT_EQ(static_cast<std::size_t>(state.FileCount), state.FileLinks.size());
    EXPECT_EQ(preview.Links, state.FileLinks) << page;
    EXPECT_EQ(previewRest, page);
    rest_ = page;
    return state.FileLinks;
  }

  std::unique_ptr<test::CrawlTestContext> crawl_;
  std::string rest_;
};

// Expected links are written relative to the site root unless they start
// with "http"; `folder` is the page's folder, its site root the start of it.
struct PageCase {
  const char* page;
  Links expected;
  Options o = {};
  const char* folder = "http://example.com/d/";
  const char* rest = nullptr;  // what must be left of the page text
};

TEST_F(LinkExtractionTest, EachPageYieldsItsAbsoluteLinks) {
  const char* const kE = "http://example.com/d/e/";
  const char* const kHttps = "https://example.com/d/";
  const char* const kIntranet = "http://intranet/";
  const char* const kD = "http://example.com/d/";
  const PageCase cases[] = {
      {R"(<a href="page2.html#top"><img src="/img/a.gif"><img src="./a.gif">)",
       {"d/page2.html", "img/a.gif", "d/a.gif"}},
      {"<img src=pic.gif alt=x>", {"d/pic.gif"}}, {"<a href=x.html>", {"d/x.html"}},
      {R"(<a href="page.php?id=3"><a href="page.php"><a href="a.b=c">)",
       {"d/page.php", "d/page.php", "d/a.b"}},
      {R"(<a href="http://example.com"><a href="http://example.com/d/z.gif">)", {"", "d/z.gif"}},
      {R"(<input value="Submit"><img lowsrc="x.gif">)", {"d/Submit", "d/x.gif"}},
      {R"(<A HREF="u.gif"><IMG Src="v.gif">)", {"d/u.gif", "d/v.gif"}},
      // The character after an unquoted terminator is skipped.
      {"<img src=a.gif href=b.html>", {"d/a.gif"}},
      {"<img src=a.gif  href=b.html>", {"d/a.gif", "d/b.html"}},
      // Tokens are found anywhere, in the order they occur.
      {R"(text src="1.gif" more href="2.gif" value="3.gif")", {"d/1.gif", "d/2.gif", "d/3.gif"}},
      // Inside longer names too; other "=" (in names, in values, doubled) start none.
      {R"(<x data-SRC="a.gif" title="b=c" src="f.gif" hrefx="e.gif" src=="d.gif">)",
       {"d/a.gif", "d/f.gif"}},
      // Repeats are kept; removing them is the driver's work.
      {R"(src="a.gif"src="a.gif")", {"d/a.gif", "d/a.gif"}},
      {R"(<img src="../a.gif"><img src="../../a.gif">)", {"d/a.gif", "a.gif"}, {}, kE},
      // Values that are not files.
      {R"x(<a href="mailto:x@example.com"><a href="MailTo:x"><a href="JavaScript:go()">)x", {}},
      {R"(<a href="sub/"><a href=""><a href="#top"><a href="run.asp"><a href="cgi-bin/x.cgi">)",
       {}},
      {R"(<a href="RUN.ASP">)", {"d/RUN.ASP"}},
      {"<a href= >", {}},  // the blank or ">" after the token gives an empty value
      // The site, the page folder or, when followed, other sites.
      {R"(src="http://example.org/a.gif")", {}},
      {R"(src="http://example.org/a.gif")", {"http://example.org/a.gif"}, {.FollowExternal = 1}},
      {R"(src="http://example.com/x.gif")", {"x.gif"}},
      {R"(src="http://example.com/x.gif" src="http://example.com/d/x.gif" src="/x.gif")",
       {"d/x.gif"}, {.NoGoUp = 1}},
      // http and https in any case begin an absolute link, "//" one on the
      // page's scheme; a name that merely begins with "http" is relative;
      // every other scheme names nothing to fetch.
      {R"(src="HTTP://example.com/x.gif" src="//example.com/y.gif")", {"x.gif", "y.gif"}},
      {R"(src="http2.html" src="httpd.gif")", {"d/http2.html", "d/httpd.gif"}},
      {R"(href="file:///u/a.html" src="ftp://h/b.gif" src="data:x,y" href="tel:1" src="C:\w")", {}},
      // https links gain their slash like http links.
      {R"(href="https://example.com" src="a.gif" src="https://example.com/b.gif" )"
       R"(src="//example.com/y.gif")", {"", "d/a.gif", "b.gif", "y.gif"}, {}, kHttps},
      // A URL without any dot is dropped.
      {R"(href="http://intranet/about" href="about" src="http://intranet/a.gif")", {"a.gif"}, {},
       kIntranet},
      // Only the folder part is decoded.
      {R"(src="my%20dir/my%20file.gif")", {"my dir/my%20file.gif"}, {}, "http://example.com/"},
      // What follows the last value stays in the page text; an unterminated
      // value ends the scan with the links found so far (pages cut anywhere:
      // the hostile-content crawls).
      {R"(<img src="a.gif"> tail)", {"d/a.gif"}, {}, kD, "> tail"},
      {"<img src=a.gif>xy", {"d/a.gif"}, {}, kD, "y"}, {"nothing", {}, {}, kD, "nothing"},
      {R"(src="a.gif" src="open)", {"d/a.gif"}, {}, kD, R"( src="open)"},
      {R"(src="a.gif" href=b.gif c)", {"d/a.gif"}}, {"src=b.gif >", {"d/b.gif"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.page);
    crawl_->State.PageFolder = c.folder;
    crawl_->State.SiteRoot = UrlSiteRoot(c.folder);
    Links expected;
    for (const std::string& link : c.expected) {
      expected.push_back(link.starts_with("http") ? link : crawl_->State.SiteRoot + link);
    }
    EXPECT_EQ(Extract(c.page, c.o), expected);
    if (c.rest) {
      EXPECT_EQ(rest_, c.rest);
    }
  }
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
  // The exclusive list can readmit scripts.
  types.Exclusive() = {"html", "asp"};
  EXPECT_EQ(Extract(R"(href="run.asp")", {.OnlyDownload = 1}), Links{"http://example.com/d/run.asp"});
}

}  // namespace
}  // namespace kestrelin
