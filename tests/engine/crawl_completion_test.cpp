#include "engine/crawl_completion.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "tests/engine/crawl_test_context.h"
#include "tests/support/sandbox.h"

namespace kestrelin {
namespace {

namespace fs = std::filesystem;

class CrawlCompletionTest : public test::SandboxedTest {
 protected:
  void SetUp() override {
    SandboxedTest::SetUp();
    t = std::make_unique<test::CrawlTestContext>(SandboxPath("program"));
    fs::create_directories(SandboxPath("save"));
    savePath = SandboxPath("save") + "/";
    t->State.FileLinks = {"http://example.com/d/index.html"};
    t->State.FileCount = 1;
  }

  std::unique_ptr<test::CrawlTestContext> t;
  std::string savePath;
};

// A hidden crawl across midnight (its window comes back: the window's tray
// test): its duration right, the rebuild shown in the tray's tip. A copy failure alone is no driver
// failure: no fail.txt, though its line still reads its record.
TEST_F(CrawlCompletionTest, AHiddenCrawlGetsItsWindowBackAndItsDurationCrossesMidnight) {
  t->State.StartTime = 23 * 3600 + 59 * 60 + 50;
  t->Clock.Now = 10;
  t->Host.HideMainWindow();
  t->Host.LoadTray();
  t->Host.AddLine("Downloaded http://example.com/d/a.gif");
  t->Host.AddLine("Could not copy /c/1 to /w/1");
  t->Host.SetLineKey(2, "/c/1");
  t->State.HadFailures = kFalse;
  CompleteCrawl(t->Ctx, savePath, false, {.HideDLing = 1});
  EXPECT_FALSE(fs::exists(SandboxPath("program/fail.txt")));
  EXPECT_EQ(t->Host.LineText(2), "/c/1");
  EXPECT_EQ(t->Host.CompletionMessage(), "Completed downloading.\r\n\r\nDuration: 20 seconds.");
  std::vector<std::string> tips;
  for (const auto& e : t->Host.Trace())
    if (e.starts_with("TIP\t")) tips.push_back(e);
  EXPECT_EQ(tips, (std::vector<std::string>{"TIP\t3\tRebuilding file structure...",
                                            "TIP\t3\tFile structure rebuilt, moving files..."}));
}

TEST_F(CrawlCompletionTest, LargeLogsAreHandledWholeAndQuickly) {
  t->Host.KeepTrace = false;
  constexpr long kLines = 40000;  // beyond any 16-bit line number
  for (long n = 1; n <= kLines; ++n) {
    if (n % 100 == 0) {
      t->Host.AddKeyedLine("Could not connect to p" + std::to_string(n), "p" + std::to_string(n));
    } else {
      t->Host.AddLine("Downloaded f" + std::to_string(n));
    }
  }
  t->State.HadFailures = kTrue;
  const auto start = std::chrono::steady_clock::now();
  CompleteCrawl(t->Ctx, savePath, false, {.ListFailed = 1});
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now() - start).count();
  ASSERT_EQ(t->Host.LineCount(), kLines / 100 + 1);
  EXPECT_EQ(t->Host.LineText(1), "p100");
  EXPECT_EQ(t->Host.LineText(kLines / 100), "p" + std::to_string(kLines));
  const std::string report = ReadFileAt("program/fail.txt");
  EXPECT_NE(report.find("\r\np40000\r\n"), std::string::npos);
#ifndef __SANITIZE_ADDRESS__  // instrumented builds are many times slower
  EXPECT_LT(ms, 5000);
#endif
  RecordProperty("results_pass_ms", std::to_string(ms));
}

}  // namespace
}  // namespace kestrelin
