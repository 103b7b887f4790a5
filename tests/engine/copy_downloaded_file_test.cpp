#include "engine/copy_downloaded_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/engine/crawl_test_context.h"
#include "tests/support/sandbox.h"

namespace kestrelin {
namespace {

class CopyDownloadedFileTest : public test::SandboxedTest {
 protected:
  void SetUp() override {
    SandboxedTest::SetUp();
    t = std::make_unique<test::CrawlTestContext>(SandboxPath("program"));
    WriteFileAt("inet/a.gif", "GIF89a-bytes");
    source = SandboxPath("inet/a.gif");
    target = t->State.CachePath + "/d%x%a.gif";
    t->Host.AddLine("earlier line");
    t->Host.AddLine("Downloading " + link);
  }

  std::unique_ptr<test::CrawlTestContext> t;
  std::string source, target;
  const std::string link = "http://example.com/d/a.gif";
};

// Only a validated copy reports "Downloaded"; an unvalidated one drops its
// "Downloading" line. A target already there is replaced.
TEST_F(CopyDownloadedFileTest, CopiesTheBytesAndReportsOnlyWhenValidated) {
  const struct {
    int validate;
    bool targetThere;
  } cases[] = {{1, false}, {0, false}, {1, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.validate) + (c.targetThere ? " over a target" : ""));
    std::filesystem::remove(target);
    if (c.targetThere) test::WriteWholeFile(target, "an older and longer copy of something else");
    t->Host.ClearLog();
    t->Host.AddLine("earlier line");
    t->Host.AddLine("Downloading " + link);
    EXPECT_TRUE(CopyDownloadedFile(t->Ctx, source, target, c.validate, link));
    EXPECT_EQ(test::ReadWholeFile(target), "GIF89a-bytes");
    EXPECT_EQ(test::ReadWholeFile(source), "GIF89a-bytes");
    ASSERT_EQ(t->Host.LineCount(), 1 + c.validate);
    EXPECT_EQ(t->Host.LineText(1), "earlier line");
    if (c.validate) {
      EXPECT_EQ(t->Host.LineText(2), "Downloaded " + link);
      EXPECT_FALSE(t->Host.Log().Line(2).Red);
    }
  }
}

TEST_F(CopyDownloadedFileTest, MissingSourceTurnsTheLastLineIntoAKeyedRedFailure) {
  const std::string missing = SandboxPath("inet/gone.gif");
  EXPECT_FALSE(CopyDownloadedFile(t->Ctx, missing, target, 1, link));
  ASSERT_EQ(t->Host.LineCount(), 2);
  EXPECT_EQ(t->Host.LineText(2), "Could not copy " + missing + " to " + target);
  EXPECT_EQ(t->Host.LineKey(2), missing);
  EXPECT_TRUE(t->Host.Log().Line(2).Red);
  EXPECT_FALSE(t->Host.Log().Line(1).Red);

  // The same source failing again cannot take the key: its line goes.
  t->Host.AddLine("Downloading " + link);
  EXPECT_FALSE(CopyDownloadedFile(t->Ctx, missing, target, 1, link));
  ASSERT_EQ(t->Host.LineCount(), 2);
  EXPECT_EQ(t->Host.LineKey(2), missing);
}

}  // namespace
}  // namespace kestrelin
