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

TEST_F(CopyDownloadedFileTest, MissingSourceTurnsTheLastLineIntoAKeyedRedFailure) {
  const std::string missing = SandboxPath("inet/gone.gif");
  EXPECT_FALSE(CopyDownloadedFile(t->Ctx, missing, target, 1, link));
  ASSERT_EQ(t->Host.LineCount(), 2);
  EXPECT_EQ(t->Host.LineText(2), "Could not copy " + missing + " to " + target);
  EXPECT_EQ(t->Host.LineKey(2), missing);
  EXPECT_TRUE(t->Host.Log().Line(2).Red);

  // The same source failing again cannot take the key: its line goes.
  t->Host.AddLine("Downloading " + link);
  EXPECT_FALSE(CopyDownloadedFile(t->Ctx, missing, target, 1, link));
  ASSERT_EQ(t->Host.LineCount(), 2);
  EXPECT_EQ(t->Host.LineKey(2), missing);
}

}  // namespace
}  // namespace kestrelin
