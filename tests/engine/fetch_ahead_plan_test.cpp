#include "engine/fetch_ahead_plan.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tests/engine/crawl_test_context.h"
#include "tests/support/sandbox.h"

namespace kestrelin {
namespace {

using Links = std::vector<std::string>;

// Answers from files in the sandbox and records what it was asked.
class FileCache : public InternetCache {
 public:
  void BeginCrawl() override {}
  std::string DownloadToCacheFile(const std::string& url) override {
    asked.push_back(url);
    const auto it = copies.find(url);
    return it == copies.end() ? std::string() : it->second;
  }
  std::string ContentLengthHeader(const std::string&) override { return {}; }
  void HintUpcoming(const Links& urls) override {
    hinted.insert(hinted.end(), urls.begin(), urls.end());
  }

  std::map<std::string, std::string> copies;
  Links asked;
  Links hinted;
};

class FetchAheadPlanTest : public test::SandboxedTest {
 protected:
  void SetUp() override {
    SandboxedTest::SetUp();
    crawl_ = std::make_unique<test::CrawlTestContext>(SandboxPath("program"), &cache_);
    CrawlState& st = crawl_->State;
    st.SiteRoot = "http://h/";
    st.PageFolder = "http://h/";
    st.FileLinks = {"http://h/x.gif", "http://h/a/p1.html", "http://h/b/p2.html"};
    st.FileCount = 3;
    listed_.RemoveRepeatsByCount(st.FileLinks, st.FileCount);
    // A page spelt with "\\" is read under another spelling than it was
    // fetched with: previewing it would ask the server once more.
    st.PageLinks = {"http://h/index.html", "http://h/a/p1.html", "http://h/b/p2.html",
                    "http://h/c\\p3.html"};
    st.PageCount = 3;
    Page("http://h/a/p1.html", "<img src=\"one.gif\">\r\n  <a href='../b/p2.html'>");
    Page("http://h/b/p2.html", "<img src = /two.gif>");
    Page("http://h/c/p3.html", "<img src=\"three.gif\">");
  }

  void Page(const std::string& url, const std::string& text) {
    const std::string file = "copies/" + std::to_string(cache_.copies.size());
    WriteFileAt(file, text);
    cache_.copies[url] = SandboxPath(file);
  }

  FileCache cache_;
  std::unique_ptr<test::CrawlTestContext> crawl_;
  GrowingLinkList listed_;
};

// A kept preview stands in for reading the page again only for the copy
// it was made from, once (never with the size limit on: the crawls with
// and without fetching ahead give the same files then). Of its links, only
// those FileLinks lacks are hinted.
TEST_F(FetchAheadPlanTest, APreviewIsTakenOnceAndOnlyForItsOwnCopy) {
  CrawlOptions options = {.RipPageOnly = 0, .NoGoUp = 0};  // every page, up levels too
  FetchAheadPlan plan;
  plan.HintBeforePass(crawl_->Ctx, 3, 0, options, listed_);
  EXPECT_EQ(cache_.asked, (Links{"http://h/a/p1.html", "http://h/b/p2.html"}));
  EXPECT_EQ(cache_.hinted, (Links{"http://h/a/one.gif", "http://h/two.gif"}));
  const std::string p1 = cache_.copies["http://h/a/p1.html"];
  const std::string p2 = cache_.copies["http://h/b/p2.html"];
  auto& ctx = crawl_->Ctx;
  EXPECT_FALSE(plan.TakePreview(ctx, "http://h/index.html", p1));  // never previewed
  EXPECT_FALSE(plan.TakePreview(ctx, "http://h/b/p2.html", p1));   // another copy now
  EXPECT_FALSE(plan.TakePreview(ctx, "http://h/b/p2.html", p2));   // dropped with the mismatch
  const auto page = plan.TakePreview(ctx, "http://h/a/p1.html", p1);
  ASSERT_TRUE(page);
  EXPECT_EQ(page->Links, (Links{"http://h/a/one.gif", "http://h/b/p2.html"}));
  EXPECT_EQ(page->Rest, ">");
  EXPECT_FALSE(plan.TakePreview(ctx, "http://h/a/p1.html", p1));

  // A copy fetched anew under its name since the preview, or gone, is read.
  FetchAheadPlan again;
  again.HintBeforePass(ctx, 3, 0, options, listed_);
  WriteFileAt("copies/0", "<img src=\"other.gif\">");
  std::filesystem::remove(p2);
  EXPECT_FALSE(again.TakePreview(ctx, "http://h/a/p1.html", p1));
  EXPECT_FALSE(again.TakePreview(ctx, "http://h/b/p2.html", p2));
}

}  // namespace
}  // namespace kestrelin
