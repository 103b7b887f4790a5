// The one-move split gives the tree the level-by-level split gives, byte
// for byte, on working folders full of names that meet: files replaced by
// later moves, folders blocked by files, empty folder parts, names ending
// with the marker, escapes that decoding turns into markers, hostile parts
// and folders left by an interrupted rebuild.
#include "engine/split_plan.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "engine/rebuild_file_structure.h"
#include "tests/engine/crawl_test_context.h"
#include "tests/support/sandbox.h"

namespace kestrelin {
namespace {

namespace fs = std::filesystem;
using Tree = std::vector<std::pair<std::string, std::string>>;  // path, content

class SplitPlanTest : public test::SandboxedTest {
 protected:
  // A working folder in which the same names come up again and again. The
  // first level (split in the order the disk lists the working folder, the
  // same for both ways) gets the names that collide; deeper levels, which
  // the two ways may take in different orders, get names that cannot.
  Tree RandomFolder(std::mt19937& random) {
    const std::vector<std::string> first = {"a", "b", "c", "", "..", "%2e%2e", ".",
                                            "a\\b", std::string(230, 'q')};
    const std::vector<std::string> deeper = {"a", "b", "c", "d"};
    const std::vector<std::string> last = {"f", "g", "a", "b", "c%2541", "h%25x%25i", ""};
    auto pick = [&](const std::vector<std::string>& from) {
      return from[std::uniform_int_distribution<std::size_t>(0, from.size() - 1)(random)];
    };
    Tree files;
    // Now and then enough files for the moves to run on two threads.
    const int count = std::uniform_int_distribution<int>(1, random() % 10 == 0 ? 300 : 30)(random);
    for (int i = 0; i < count; ++i) {
      const int depth = std::uniform_int_distribution<int>(0, 3)(random);
      std::string name;
      for (int level = 0; level < depth; ++level) {
        name += (level == 0 ? pick(first) : pick(deeper)) + "%x%";
      }
      name += pick(last);
      if (name.empty()) name = "plain";
      files.emplace_back(name, "file " + std::to_string(i));
    }
    // What an interrupted rebuild leaves: folders holding plain and
    // flattened names.
    if (random() % 3 == 0) files.emplace_back("a/b%x%f", "left 1");
    if (random() % 3 == 0) files.emplace_back("a/f", "left 2");
    if (random() % 3 == 0) files.emplace_back("c/d/a%x%g", "left 3");
    return files;
  }

  Tree SplitWith(const std::string& name, const Tree& files, int decodeName, bool direct) {
    const std::string program = SandboxPath(name);
    fs::remove_all(program);
    test::CrawlTestContext t(program);
    for (const auto& [path, content] : files) {
      // A plain file and a leftover folder of the same name cannot both be.
      std::error_code clash;
      if (fs::exists(program + "/cache/" + path, clash)) continue;
      fs::create_directories(fs::path(program + "/cache/" + path).parent_path(), clash);
      if (!clash && !fs::is_directory(program + "/cache/" + path)) {
        WriteFileAt(name + "/cache/" + path, content);
      }
    }
    if (!direct || !SplitFlattenedNamesDirectly(t.Ctx, decodeName)) {
      SplitFlattenedNamesLevelByLevel(t.Ctx, decodeName);
    }
    Tree tree;
    for (const auto& path : test::ListTree(program + "/cache")) {
      tree.emplace_back(path, ReadFileAt(name + "/cache/" + path));
    }
    return tree;
  }
};

TEST_F(SplitPlanTest, GivesTheLevelByLevelTreeOnCollidingNames) {
  std::mt19937 random(7);
  for (int round = 0; round < 300; ++round) {
    const auto files = RandomFolder(random);
    const int decodeName = round % 2;
    SCOPED_TRACE("round " + std::to_string(round));
    const Tree stepwise = SplitWith("stepwise", files, decodeName, false);
    const Tree direct = SplitWith("direct", files, decodeName, true);
    ASSERT_EQ(direct, stepwise);
  }
}

// Cases the random rounds meet seldom, each with the tree both ways give.
TEST_F(SplitPlanTest, NamesThatMeetEndAsTheyWouldLevelByLevel) {
  const std::vector<Tree> cases = {
      {{"a", "file a"}, {"a%x%b", "blocked"}},                    // a file where a folder goes
      {{"x%x%a", "file"}, {"x%x%a%x%b", "deeper"}},               // the same one level down
      {{"%x%q%x%r", "moved in"}, {"q%x%r", "moved down"}},        // a move onto a name that moves
      {{"a%x%b", "first"}, {"a%x%%x%b", "self"}},                 // an empty part one level down
      {{"a%x%b%x%", "gone"}, {"a%x%c", "kept"}},                  // a deeper name ending with the marker
      {{"x%x%y", "plain"}, {"x/y%x%z", "left"}, {"x%x%y%x%z", "new"}},
      // A file coming to rest where a leftover lay before it moved on.
      {{"a/q%x%r", "left"}, {"a%x%%x%q%x%r", "self"}},
      // A folder whose safe name is that of a file that moves away.
      {{"%x%5c", "moves away"}, {"%x\\%x%f", "into the folder"}},
  };
  int index = 0;
  for (const auto& files : cases) {
    SCOPED_TRACE("case " + std::to_string(index++));
    EXPECT_EQ(SplitWith("direct", files, 0, true), SplitWith("stepwise", files, 0, false));
  }
}

}  // namespace
}  // namespace kestrelin
