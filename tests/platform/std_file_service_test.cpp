#include "platform/std_file_service.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <stdexcept>
#include <thread>

#include "tests/support/sandbox.h"

namespace kestrelin {
namespace {

namespace fs = std::filesystem;
using Files = std::vector<std::string>;

class StdFileServiceTest : public test::SandboxedTest {
 protected:
  std::string P(const std::string& relative) const { return SandboxPath(relative); }
  Files Tree(const std::string& relative) const { return test::ListTree(SandboxPath(relative)); }
  static Files Names(const std::optional<std::vector<FolderEntry>>& entries) {
    Files names;
    for (const auto& entry : entries.value_or(std::vector<FolderEntry>{})) names.push_back(entry.Name);
    std::sort(names.begin(), names.end());
    return names;
  }
  StdFileService fso;
};

TEST_F(StdFileServiceTest, FoldersAndFilesAreFoundMadeListedAndDeleted) {
  WriteFileAt("d/one.txt", "1");
  WriteFileAt("d/sub/ro.txt", "x");  // even read-only files go with their folder
  fs::permissions(P("d/sub/ro.txt"), fs::perms::owner_read);
  EXPECT_TRUE(fso.FolderExists(P("d") + "/"));
  EXPECT_FALSE(fso.FolderExists(P("d/one.txt")));
  EXPECT_EQ(Names(fso.Files(P("d"))), Files{"one.txt"});
  EXPECT_EQ(fso.Files(P("d"))->front().Path, P("d/one.txt"));
  EXPECT_EQ(Names(fso.SubFolders(P("d"))), Files{"sub"});
  EXPECT_FALSE(fso.Files(P("missing")));
  EXPECT_FALSE(fso.SubFolders(P("d/one.txt")));
  EXPECT_TRUE(fso.CreateFolder(P("new")));
  EXPECT_FALSE(fso.CreateFolder(P("new")));  // an existing folder is reported
  EXPECT_FALSE(fso.CreateFolder(P("no/parent")));
  EXPECT_TRUE(fso.DeleteFolder(P("d")));
  EXPECT_FALSE(fso.DeleteFolder(P("d")));
  WriteFileAt("ro.txt", "x");  // DeleteFile forces read-only files and refuses folders
  fs::permissions(P("ro.txt"), fs::perms::owner_read);
  EXPECT_TRUE(fso.DeleteFile(P("ro.txt")));
  EXPECT_FALSE(fso.DeleteFile(P("ro.txt")));
  EXPECT_FALSE(fso.DeleteFile(P("new")));
  EXPECT_EQ(Tree(""), Files{});
  EXPECT_TRUE(fs::is_directory(P("new")));
}

// A half-written copy of a process that was killed is garbage: listings drop
// it and then remove it. Copies of a live process and look-alike names stay.
TEST_F(StdFileServiceTest, ListingsRemoveCopiesKilledProcessesLeftHalfWritten) {
  const pid_t gone = ::fork();
  if (gone == 0) ::_exit(0);
  ::waitpid(gone, nullptr, 0);
  const std::string dead = ".kestrelin-" + std::to_string(gone) + "-7.part";
  Files kept{".kestrelin-" + std::to_string(::getpid()) + "-7.part", dead + ".gif",
             ".kestrelin-x-7.part"};
  for (const std::string& name : kept) WriteFileAt("d/" + name, "half");
  WriteFileAt("d/" + dead, "half");
  std::sort(kept.begin(), kept.end());
  EXPECT_EQ(Names(fso.Files(P("d"))), kept);
  EXPECT_FALSE(fs::exists(P("d/" + dead)));
}

// CopyFile copies; LinkOrCopyFile gives a file with one name a second one,
// never a file that has two already. Both replace, through a temporary
// name, and a failure changes nothing.
TEST_F(StdFileServiceTest, CopiesReplaceAndOnlyLinkOrCopySharesBytes) {
  WriteFileAt("a", "bytes");
  WriteFileAt("dst/a", "an older, longer content");
  fs::create_directories(P("dst/folder"));
  EXPECT_TRUE(fso.CopyFile(P("a"), P("dst/a")));
  EXPECT_TRUE(fso.CopyFile(P("a"), P("dst") + "/"));  // into a folder, under its own name
  EXPECT_EQ(fs::hard_link_count(P("a")), 1u);
  EXPECT_FALSE(fso.CopyFile(P("missing"), P("dst/a")));
  EXPECT_FALSE(fso.CopyFile(P("a"), P("dst/folder")));  // a folder stands there
  EXPECT_FALSE(fso.CopyFile(P("a"), P("nowhere/a")));
  EXPECT_EQ(Tree("dst"), Files{"a"});
  EXPECT_EQ(ReadFileAt("dst/a"), "bytes");
  EXPECT_TRUE(fso.LinkOrCopyFile(P("a"), P("b")));
  EXPECT_EQ(fs::hard_link_count(P("a")), 2u);  // one file system: nothing written twice
  EXPECT_TRUE(fso.LinkOrCopyFile(P("a"), P("c")));  // a has a second name now: real bytes
  EXPECT_EQ(fs::hard_link_count(P("c")), 1u);
  EXPECT_TRUE(fso.LinkOrCopyFile(P("a"), P("b")));  // onto a second name of itself
  EXPECT_TRUE(fso.WriteFile(P("a"), "new"));  // a write never reaches the other names
  EXPECT_EQ(ReadFileAt("b"), "bytes");
  fs::create_symlink("c", P("link"));  // a link is copied as the file's bytes
  EXPECT_TRUE(fso.LinkOrCopyFile(P("link"), P("dst/link")));
  EXPECT_FALSE(fs::is_symlink(P("dst/link")));
  EXPECT_EQ(Tree(""), (Files{"a", "b", "c", "c", "dst/a", "dst/link"}));  // lists a link as its file
}

TEST_F(StdFileServiceTest, MovesReplaceMergeAndKeepOneName) {
  for (const bool move : {false, true}) {
    SCOPED_TRACE(move ? "move" : "copy");
    fs::remove_all(Sandbox());
    WriteFileAt("src/site/a.txt", "new a");
    WriteFileAt("src/site/sub/b.txt", "new b");
    WriteFileAt("dst/site/a.txt", "old a");
    WriteFileAt("dst/site/sub/c.txt", "kept c");
    EXPECT_TRUE(move ? fso.MoveFolder(P("src/site"), P("dst") + "/")
                     : fso.CopyFolder(P("src/site"), P("dst") + "/"));
    EXPECT_EQ(Tree("dst/site"), (Files{"a.txt", "sub/b.txt", "sub/c.txt"}));
    EXPECT_EQ(ReadFileAt("dst/site/a.txt"), "new a");
    EXPECT_EQ(fs::exists(P("src/site")), !move);
    EXPECT_FALSE(move ? fso.MoveFolder(P("src/missing"), P("dst") + "/")
                      : fso.CopyFolder(P("src/missing"), P("dst") + "/"));
  }
  EXPECT_FALSE(fso.MoveFolder(P("dst/site"), P("none") + "/"));  // no destination yet
  EXPECT_TRUE(fso.MoveFolder(P("dst/site"), P("moved")));
  fs::create_hard_link(P("moved/a.txt"), P("moved/b.txt"));
  EXPECT_TRUE(fso.MoveFile(P("moved/a.txt"), P("moved/b.txt")));  // onto a second name of itself
  EXPECT_TRUE(fso.MoveFile(P("moved/b.txt"), P("moved/./b.txt")));  // one name given twice
  EXPECT_FALSE(fso.MoveFile(P("moved/a.txt"), P("moved/c.txt")));
  fs::create_symlink("b.txt", P("moved/link"));  // a link moves as the link
  EXPECT_TRUE(fso.MoveFile(P("moved/link"), P("moved/sub") + "/"));
  EXPECT_TRUE(fs::is_symlink(P("moved/sub/link")));
  EXPECT_EQ(Tree("moved"), (Files{"b.txt", "sub/b.txt", "sub/b.txt", "sub/c.txt"}));
  EXPECT_EQ(ReadFileAt("moved/b.txt"), "new a");
  // A long list is moved on two threads; each answer stays with its move.
  FileService::FileMoves batch;
  for (int i = 0; i < 200; ++i) {
    const std::string name = std::to_string(i);
    if (i % 7 != 0) WriteFileAt("many/" + name, name);  // every seventh is missing
    batch.emplace_back(P("many/" + name), P("moved/many/" + name));
  }
  fs::create_directory(P("moved/many"));
  const std::vector<bool> moved = fso.MoveFiles(batch);
  ASSERT_EQ(moved.size(), batch.size());
  for (int i = 0; i < 200; ++i) {
    EXPECT_EQ(moved[i], i % 7 != 0) << i;
    if (moved[i]) {
      EXPECT_EQ(ReadFileAt("moved/many/" + std::to_string(i)), std::to_string(i));
    }
  }
  EXPECT_TRUE(Tree("many").empty());
}

// A move that throws on the calling thread ends the list with its
// exception, once the helper thread has done every move left.
TEST_F(StdFileServiceTest, AMoveThrowingOnTheCallingThreadLeavesTheRestToTheHelper) {
  struct ThrowingHere : StdFileService {
    std::thread::id caller = std::this_thread::get_id();
    std::atomic<bool> thrown{false};
    bool MoveFile(const std::string& source, const std::string& destination) override {
      if (std::this_thread::get_id() == caller) {
        thrown = true;
        throw std::runtime_error("no memory");
      }
      while (!thrown) std::this_thread::yield();  // the caller gets a move to throw on
      return StdFileService::MoveFile(source, destination);
    }
  } throwing;
  FileService::FileMoves batch;
  for (int i = 0; i < 100; ++i) {
    WriteFileAt("many/" + std::to_string(i), "x");
    batch.emplace_back(P("many/" + std::to_string(i)), P("moved/" + std::to_string(i)));
  }
  fs::create_directory(P("moved"));
  EXPECT_THROW(throwing.MoveFiles(batch), std::runtime_error);
  EXPECT_EQ(Tree("many").size(), 1u);  // the one the caller held
  EXPECT_EQ(Tree("moved").size(), 99u);
}

TEST_F(StdFileServiceTest, TextFilesWriteReplaceAndAppend) {
  EXPECT_TRUE(fso.AppendFile(P("fail.txt"), "one\r\n"));
  EXPECT_TRUE(fso.AppendFile(P("fail.txt"), "two\r\n"));
  EXPECT_EQ(fso.ReadFile(P("fail.txt")), "one\r\ntwo\r\n");
  const std::string binary("a\0b\xff", 4);
  EXPECT_TRUE(fso.WriteFile(P("fail.txt"), binary));
  EXPECT_EQ(fso.ReadFile(P("fail.txt")), binary);
  EXPECT_EQ(Tree(""), Files{"fail.txt"});  // no temporary left beside it
  fs::create_directories(P("folder"));
  EXPECT_FALSE(fso.ReadFile(P("folder")));
  EXPECT_FALSE(fso.WriteFile(P("folder"), "x"));
  EXPECT_FALSE(fso.AppendFile(P("folder"), "x"));
  EXPECT_FALSE(fso.ReadFile(P("missing")));
  EXPECT_FALSE(fso.WriteFile(P("no/parent.txt"), "x"));
}

}  // namespace
}  // namespace kestrelin
