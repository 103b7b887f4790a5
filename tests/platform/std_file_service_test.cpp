#include "platform/std_file_service.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "tests/support/sandbox.h"

namespace kestrelin {
namespace {

namespace fs = std::filesystem;
using Files = std::vector<std::string>;

class StdFileServiceTest : public test::SandboxedTest {
 protected:
  std::string P(const std::string& relative) const { return SandboxPath(relative); }
  Files Tree(const std::string& relative) const { return test::ListTree(SandboxPath(relative)); }
  // The sorted names (or paths) of a listing.
  static Files Sorted(const std::vector<FolderEntry>& entries, bool paths = false) {
    Files names;
    for (const auto& entry : entries) names.push_back(paths ? entry.Path : entry.Name);
    std::sort(names.begin(), names.end());
    return names;
  }
  StdFileService fso;
};

TEST_F(StdFileServiceTest, FoldersAndFilesAreFoundMadeAndDeleted) {
  WriteFileAt("d/f.txt", "x");
  EXPECT_TRUE(fso.FolderExists(P("d")));
  EXPECT_TRUE(fso.FolderExists(P("d") + "/"));
  EXPECT_FALSE(fso.FolderExists(P("d/f.txt")));
  EXPECT_FALSE(fso.FolderExists(P("missing")));

  EXPECT_TRUE(fso.CreateFolder(P("new")));
  EXPECT_TRUE(fs::is_directory(P("new")));
  EXPECT_FALSE(fso.CreateFolder(P("new")));  // an existing folder is reported
  EXPECT_FALSE(fso.CreateFolder(P("no/parent")));
  EXPECT_FALSE(fs::exists(P("no")));

  WriteFileAt("d/sub/ro.txt", "x");  // even read-only files go with their folder
  fs::permissions(P("d/sub/ro.txt"), fs::perms::owner_read);
  EXPECT_TRUE(fso.DeleteFolder(P("d")));
  EXPECT_FALSE(fs::exists(P("d")));
  EXPECT_FALSE(fso.DeleteFolder(P("d")));

  // DeleteFile forces read-only files and refuses folders.
  WriteFileAt("ro.txt", "x");
  fs::permissions(P("ro.txt"), fs::perms::owner_read);
  EXPECT_TRUE(fso.DeleteFile(P("ro.txt")));
  EXPECT_FALSE(fs::exists(P("ro.txt")));
  EXPECT_FALSE(fso.DeleteFile(P("ro.txt")));
  EXPECT_FALSE(fso.DeleteFile(P("new")));
  EXPECT_TRUE(fs::is_directory(P("new")));
}

TEST_F(StdFileServiceTest, CopyFileReplacesAndCopiesIntoAFolderUnderItsOwnName) {
  WriteFileAt("src/a.gif", "new bytes");
  WriteFileAt("dst/a.gif", "an older, longer content");
  EXPECT_TRUE(fso.CopyFile(P("src/a.gif"), P("dst/a.gif")));
  EXPECT_EQ(ReadFileAt("dst/a.gif"), "new bytes");
  fs::create_directories(P("into"));
  EXPECT_TRUE(fso.CopyFile(P("src/a.gif"), P("into") + "/"));
  EXPECT_EQ(ReadFileAt("into/a.gif"), "new bytes");
  EXPECT_EQ(ReadFileAt("src/a.gif"), "new bytes");
  EXPECT_EQ(Tree("dst"), Files{"a.gif"});  // no temporary name is left behind beside a copy

  // Failed copies change nothing.
  fs::create_directories(P("dst/folder"));
  EXPECT_FALSE(fso.CopyFile(P("src/missing.gif"), P("dst/a.gif")));
  EXPECT_EQ(ReadFileAt("dst/a.gif"), "new bytes");
  EXPECT_FALSE(fso.CopyFile(P("src/a.gif"), P("dst/folder")));  // a folder stands there
  EXPECT_FALSE(fso.CopyFile(P("src/a.gif"), P("nowhere/a.gif")));
  EXPECT_EQ(Tree("dst"), Files{"a.gif"});
}

TEST_F(StdFileServiceTest, ListingsSeparateFilesFromFolders) {
  WriteFileAt("d/one.txt", "1");
  WriteFileAt("d/two%x%three.txt", "2");
  WriteFileAt("d/sub/deep.txt", "3");
  const auto files = fso.Files(P("d"));
  const auto folders = fso.SubFolders(P("d"));
  ASSERT_TRUE(files && folders);
  EXPECT_EQ(Sorted(*files), (Files{"one.txt", "two%x%three.txt"}));
  EXPECT_EQ(Sorted(*files, true), (Files{P("d/one.txt"), P("d/two%x%three.txt")}));
  EXPECT_EQ(Sorted(*folders), Files{"sub"});
  EXPECT_EQ(Sorted(*folders, true), Files{P("d/sub")});
  EXPECT_FALSE(fso.Files(P("missing")));
  EXPECT_FALSE(fso.SubFolders(P("d/one.txt")));
}

// A half-written copy of a process that was killed is garbage: listings drop
// it and then remove it. Copies of a live process and look-alike names stay.
TEST_F(StdFileServiceTest, ListingsRemoveCopiesKilledProcessesLeftHalfWritten) {
  const pid_t gone = ::fork();
  if (gone == 0) ::_exit(0);
  ::waitpid(gone, nullptr, 0);
  const std::string dead = ".kestrelin-" + std::to_string(gone) + "-7.part";
  const std::string live = ".kestrelin-" + std::to_string(::getpid()) + "-7.part";
  Files kept{live, dead + ".gif", ".kestrelin-x-7.part"};
  for (const std::string& name : kept) WriteFileAt("d/" + name, "half");
  WriteFileAt("d/" + dead, "half");
  const auto files = fso.Files(P("d"));
  ASSERT_TRUE(files);
  std::sort(kept.begin(), kept.end());
  EXPECT_EQ(Sorted(*files), kept);
  EXPECT_FALSE(fs::exists(P("d/" + dead)));
}

TEST_F(StdFileServiceTest, CopyAndMoveFolderMergeIntoATakenName) {
  for (const bool move : {false, true}) {
    SCOPED_TRACE(move ? "move" : "copy");
    fs::remove_all(Sandbox());
    WriteFileAt("src/site/a.txt", "new a");
    WriteFileAt("src/site/sub/b.txt", "new b");
    WriteFileAt("dst/site/a.txt", "old a");
    WriteFileAt("dst/site/keep.txt", "kept");
    WriteFileAt("dst/site/sub/c.txt", "kept c");
    EXPECT_TRUE(move ? fso.MoveFolder(P("src/site"), P("dst") + "/")
                     : fso.CopyFolder(P("src/site"), P("dst") + "/"));
    EXPECT_EQ(Tree("dst/site"), (Files{"a.txt", "keep.txt", "sub/b.txt", "sub/c.txt"}));
    EXPECT_EQ(ReadFileAt("dst/site/a.txt"), "new a");
    EXPECT_EQ(Tree("src"), move ? Files{} : (Files{"site/a.txt", "site/sub/b.txt"}));
    EXPECT_EQ(fs::exists(P("src/site")), !move);
    EXPECT_FALSE(move ? fso.MoveFolder(P("src/missing"), P("dst") + "/")
                      : fso.CopyFolder(P("src/missing"), P("dst") + "/"));
  }
}

TEST_F(StdFileServiceTest, MovesIntoAFolderTakeTheirOwnName) {
  WriteFileAt("src/free/x.txt", "x");
  EXPECT_FALSE(fso.MoveFolder(P("src/free"), P("dst") + "/"));  // no destination yet
  EXPECT_EQ(ReadFileAt("src/free/x.txt"), "x");
  fs::create_directories(P("dst"));
  EXPECT_TRUE(fso.MoveFolder(P("src/free"), P("dst") + "/"));
  EXPECT_FALSE(fs::exists(P("src/free")));
  EXPECT_EQ(Tree("dst"), Files{"free/x.txt"});

  // MoveFile replaces and leaves no source.
  WriteFileAt("a.txt", "moved");
  WriteFileAt("d/a.txt", "old");
  EXPECT_TRUE(fso.MoveFile(P("a.txt"), P("d") + "/"));
  EXPECT_FALSE(fs::exists(P("a.txt")));
  EXPECT_EQ(ReadFileAt("d/a.txt"), "moved");
  EXPECT_FALSE(fso.MoveFile(P("a.txt"), P("d/b.txt")));
}

// CopyFile copies; LinkOrCopyFile gives a file with one name a second one,
// never a file that has two already.
TEST_F(StdFileServiceTest, OnlyLinkOrCopySharesTheBytesOfAFileWithOneName) {
  WriteFileAt("a", "bytes");
  EXPECT_TRUE(fso.CopyFile(P("a"), P("copy")));
  EXPECT_EQ(fs::hard_link_count(P("a")), 1u);
  EXPECT_TRUE(fso.LinkOrCopyFile(P("a"), P("b")));
  EXPECT_EQ(fs::hard_link_count(P("a")), 2u);  // one file system: nothing written twice
  EXPECT_TRUE(fso.LinkOrCopyFile(P("a"), P("c")));  // a has a second name now: real bytes
  EXPECT_EQ(fs::hard_link_count(P("c")), 1u);
  EXPECT_TRUE(fso.LinkOrCopyFile(P("a"), P("b")));  // onto a second name of itself
  EXPECT_EQ(Tree(""), (Files{"a", "b", "c", "copy"}));
  EXPECT_TRUE(fso.WriteFile(P("a"), "new"));  // a write never reaches the other names
  EXPECT_EQ(ReadFileAt("b"), "bytes");
  // A link to a file is copied as the file's bytes, never as the link.
  fs::create_symlink("c", P("link"));
  WriteFileAt("d/link", "taken");
  EXPECT_TRUE(fso.LinkOrCopyFile(P("link"), P("d/link")));
  EXPECT_FALSE(fs::is_symlink(P("d/link")));
  EXPECT_EQ(ReadFileAt("d/link"), "bytes");
}

TEST_F(StdFileServiceTest, MovingOntoASecondNameOfTheSameFileKeepsOneName) {
  WriteFileAt("a", "bytes");
  fs::create_hard_link(P("a"), P("b"));
  EXPECT_TRUE(fso.MoveFile(P("a"), P("b")));
  EXPECT_EQ(Tree(""), Files{"b"});
  EXPECT_TRUE(fso.MoveFile(P("b"), P("b")));  // one name given twice stays
  EXPECT_TRUE(fso.MoveFile(P("b"), P("./b")));
  EXPECT_EQ(ReadFileAt("b"), "bytes");
  WriteFileAt("c", "replaces");
  EXPECT_TRUE(fso.MoveFile(P("c"), P("b")));
  EXPECT_EQ(Tree(""), Files{"b"});
  EXPECT_EQ(ReadFileAt("b"), "replaces");
  fs::create_symlink("b", P("link"));  // a link moves as the link
  EXPECT_TRUE(fso.MoveFile(P("link"), P("moved")));
  EXPECT_TRUE(fs::is_symlink(P("moved")));
  fs::create_directories(P("d"));
  fs::create_hard_link(P("b"), P("d/b"));
  EXPECT_TRUE(fso.MoveFolder(P("d"), P("e")));
  EXPECT_EQ(ReadFileAt("e/b"), "replaces");
}

TEST_F(StdFileServiceTest, TextFilesWriteReplaceAndAppend) {
  EXPECT_TRUE(fso.AppendFile(P("fail.txt"), "one\r\n"));
  EXPECT_TRUE(fso.AppendFile(P("fail.txt"), "two\r\n"));
  EXPECT_EQ(fso.ReadFile(P("fail.txt")), "one\r\ntwo\r\n");
  EXPECT_TRUE(fso.WriteFile(P("fail.txt"), "new"));
  EXPECT_EQ(fso.ReadFile(P("fail.txt")), "new");
  EXPECT_EQ(Tree(""), Files{"fail.txt"});  // no temporary left beside it
  const std::string binary("a\0b\xff", 4);
  EXPECT_TRUE(fso.WriteFile(P("bin"), binary));
  EXPECT_EQ(fso.ReadFile(P("bin")), binary);

  fs::create_directories(P("folder"));
  EXPECT_FALSE(fso.ReadFile(P("folder")));
  EXPECT_FALSE(fso.WriteFile(P("folder"), "x"));
  EXPECT_FALSE(fso.AppendFile(P("folder"), "x"));
  EXPECT_FALSE(fso.ReadFile(P("missing")));
  EXPECT_FALSE(fso.WriteFile(P("no/parent.txt"), "x"));
}

}  // namespace
}  // namespace kestrelin
