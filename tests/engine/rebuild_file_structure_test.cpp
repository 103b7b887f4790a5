#include "engine/rebuild_file_structure.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/engine/crawl_test_context.h"
#include "tests/support/sandbox.h"

namespace kestrelin {
namespace {

namespace fs = std::filesystem;
using Files = std::vector<std::string>;

class RebuildFileStructureTest : public test::SandboxedTest {
 protected:
  void SetUp() override {
    SandboxedTest::SetUp();
    t = std::make_unique<test::CrawlTestContext>(SandboxPath("program"));
    fs::create_directories(SandboxPath("save"));
    savePath = SandboxPath("save") + "/";
  }

  // A working-folder file whose content is its own name, to follow it.
  void Flat(const std::string& name) { WriteFileAt("program/cache/" + name, name); }

  void Rebuild(int hideDLing = 0, int decodeName = 0) {
    RebuildFileStructure(t->Ctx, savePath, hideDLing, decodeName);
  }

  Files Saved() const { return test::ListTree(SandboxPath("save")); }
  std::string SavedFile(const std::string& relative) const {
    return ReadFileAt("save/" + relative);
  }

  std::unique_ptr<test::CrawlTestContext> t;
  std::string savePath;
};

// Each row into a SavePath two levels below a missing folder; merging into
// what SavePath holds is the crawls' to check. Names a hostile server could
// bring about (through its URLs, decoded folder parts or escapes in file
// names), each level of the rebuild on its own, stay below SavePath.
TEST_F(RebuildFileStructureTest, EachFlattenedNameEndsInItsFolder) {
  struct Case { const char* flat; int decodeName; const char* saved; };
  const Case cases[] = {
      {"%x%a.html", 0, "a.html"},
      {"a%20b%x%c%20d.html", 1, "a%20b/c d.html"},
      {"x%x%y%x%c%2541.html", 1, "x/y/cA.html"},
      {"a%20b.html", 1, "a%20b.html"},
      {"k%x%c%2541.html", 0, "k/c%2541.html"},
      {"k%x%c%25x%25z.txt", 1, "k/c%25x%z.txt"},  // decoding never makes a folder marker
      {"..%x%..%x%evil1.txt", 1, "%2e%2e/%2e%2e/evil1.txt"},
      {"a%x%..%x%..%x%..%x%evil2.txt", 1, "a/%2e%2e/%2e%2e/%2e%2e/evil2.txt"},
      {"d%x%..%2f..%2f..%2fevil3.txt", 1, "d/..%2f..%2f..%2fevil3.txt"},
      {"e%x%%2e%2e%x%%2e%2e%x%evil4.txt", 1, "e/%2e%2e/%2e%2e/evil4.txt"},
      {"f%x%%2e%2e", 1, "f/%2e%2e"},
      {"g%x%.%x%evil5.txt", 1, "g/%2e/evil5.txt"},
      {"h%x%%5c..%5cevil6.txt", 1, "h/%5c..%5cevil6.txt"},
      {"i%x%a%00b.txt", 1, "i/a%00b.txt"},
      // An empty folder part keeps the file in its folder: the second marker
      // then waits for a later rebuild of that folder.
      {"j%x%%x%%x%evil7.txt", 1, "j/%x%evil7.txt"},
  };
  savePath = SandboxPath("save/new/site") + "/";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.flat);
    fs::remove_all(SandboxPath("save"));
    Flat(c.flat);
    Rebuild(0, c.decodeName);
    EXPECT_EQ(test::ListTree(SandboxPath("save")), Files{std::string("new/site/") + c.saved});
    EXPECT_EQ(SavedFile(std::string("new/site/") + c.saved), c.flat);
    EXPECT_TRUE(fs::is_empty(SandboxPath("program/cache")));
  }
  // The window stays: no tray tips.
  for (const auto& e : t->Host.Trace()) EXPECT_FALSE(e.starts_with("TIP\t")) << e;
}

// An interrupted rebuild leaves folders holding names with markers; the
// next rebuild walks them, and this crawl's files moving into them, all the
// way down. A leftover folder with plain files travels unchanged.
TEST_F(RebuildFileStructureTest, LeftoverFoldersAreWalkedToo) {
  WriteFileAt("program/cache/img/sub%x%b.gif", "img%x%sub%x%b.gif");
  WriteFileAt("program/cache/img/sub/deep%x%d.gif", "img%x%sub%x%deep%x%d.gif");
  Flat("img%x%sub%x%c.gif");
  Flat("docs%x%");  // a name ending with the marker names no file
  WriteFileAt("program/cache/old/kept.txt", "kept");
  Rebuild();
  EXPECT_EQ(Saved(), (Files{"img/sub/b.gif", "img/sub/c.gif", "img/sub/deep/d.gif",
                            "old/kept.txt"}));
  EXPECT_EQ(SavedFile("img/sub/b.gif"), "img%x%sub%x%b.gif");
  EXPECT_TRUE(fs::is_empty(SandboxPath("program/cache")));
}

}  // namespace
}  // namespace kestrelin
