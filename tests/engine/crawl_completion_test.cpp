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
    t->State.StartTime = 9 * 3600 + 5 * 60 + 7;
    t->Clock.Now = t->State.StartTime + 5;
  }

  // A log as the crawl leaves it: ordinary lines, a failed page, a failed
  // download and a failed copy.
  void FillLog() {
    RecordingHost& h = t->Host;
    h.AddLine("\"robots.txt\" not found");
    h.AddKeyedLine("Could not connect to http://example.com/gone.html",
                   "http://example.com/gone.html");
    h.AddLine("Finished downloading http://example.com/d/index.html");
    h.AddLine("Could not download http://example.com/d/x.gif");
    h.SetLineKey(4, "http://example.com/d/x.gif (http://example.com/d/index.html)");
    h.AddLine("Downloaded http://example.com/d/a.gif");
    h.AddLine("Could not copy /c/1 to /w/1");
    h.SetLineKey(6, "/c/1");
  }

  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const auto& line : t->Host.Log().Lines()) texts.push_back(line.Text);
    return texts;
  }

  std::string FailTxt() const { return ReadFileAt("program/fail.txt"); }
  bool FailTxtExists() const { return fs::exists(SandboxPath("program/fail.txt")); }

  std::unique_ptr<test::CrawlTestContext> t;
  std::string savePath;
};

const char kExpectedBlock[] =
    "http://example.com/d/index.html @ 09:05:07\r\n"
    "=======================================\r\n"
    "http://example.com/gone.html\r\n"
    "http://example.com/d/x.gif (http://example.com/d/index.html)\r\n"
    "/c/1\r\n"
    "=======================================\r\n"
    "\r\n";

// Keyed lines read their records; ListFailed keeps only those, and the
// rebuild's own line comes after the results pass. With TxtOutput each
// failing crawl appends one block to fail.txt.
TEST_F(CrawlCompletionTest, KeyedLinesReadTheirRecordsAndFailTxtGetsOneBlockPerCrawl) {
  const std::string gone = "http://example.com/gone.html";
  const std::string x = "http://example.com/d/x.gif (http://example.com/d/index.html)";
  const std::string moved = "File structure moved to designated folder.";
  const std::vector<std::string> all = {"\"robots.txt\" not found", gone,
                                        "Finished downloading http://example.com/d/index.html", x,
                                        "Downloaded http://example.com/d/a.gif", "/c/1", moved};
  const std::vector<std::string> records = {gone, x, "/c/1", moved};
  for (int listFailed : {1, 0}) {  // fail.txt is still missing for the first
    for (int crawl = 1; crawl <= 2; ++crawl) {
      SCOPED_TRACE(std::to_string(listFailed) + " crawl " + std::to_string(crawl));
      t->Host.ClearLog();
      FillLog();
      t->State.HadFailures = kTrue;
      CompleteCrawl(t->Ctx, savePath, false,
                    {.ListFailed = listFailed, .TxtOutput = 1 - listFailed});
      EXPECT_EQ(Texts(), listFailed ? records : all);
      if (listFailed) {
        EXPECT_FALSE(FailTxtExists());
      } else {
        EXPECT_EQ(FailTxt(), crawl == 1 ? std::string(kExpectedBlock)
                                        : std::string(kExpectedBlock) + kExpectedBlock);
        EXPECT_EQ(t->State.FailPath, SandboxPath("program") + "/fail.txt");
      }
    }
  }
}

TEST_F(CrawlCompletionTest, NoFailTxtWithoutADriverFailure) {
  t->Host.AddLine("Downloaded http://example.com/d/a.gif");
  t->Host.AddLine("Could not copy /c/1 to /w/1");
  t->Host.SetLineKey(2, "/c/1");
  t->State.HadFailures = kFalse;  // copy failures alone do not count
  CompleteCrawl(t->Ctx, savePath, false, {});
  EXPECT_FALSE(FailTxtExists());
  EXPECT_EQ(t->Host.LineText(2), "/c/1");
}

// A hidden crawl across midnight: its window back, its duration right.
TEST_F(CrawlCompletionTest, AHiddenCrawlGetsItsWindowBackAndItsDurationCrossesMidnight) {
  t->State.StartTime = 23 * 3600 + 59 * 60 + 50;
  t->Clock.Now = 10;
  t->Host.HideMainWindow();
  t->Host.LoadTray();
  CompleteCrawl(t->Ctx, savePath, false, {.HideDLing = 1});
  EXPECT_FALSE(t->Host.TrayLoaded());
  EXPECT_FALSE(t->Host.MainWindowHidden());
  EXPECT_EQ(t->Host.CompletionMessage(), "Completed downloading.\r\n\r\nDuration: 20 seconds.");
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
  const std::string report = FailTxt();
  EXPECT_NE(report.find("\r\np40000\r\n"), std::string::npos);
#ifndef __SANITIZE_ADDRESS__  // instrumented builds are many times slower
  EXPECT_LT(ms, 5000);
#endif
  RecordProperty("results_pass_ms", std::to_string(ms));
}

}  // namespace
}  // namespace kestrelin
