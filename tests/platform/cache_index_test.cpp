#include "platform/cache_index.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>

#include "tests/support/sandbox.h"

namespace kestrelin {
namespace {

namespace fs = std::filesystem;

// Copies in the sandbox, recorded in the sandbox's index.
class CacheIndexTest : public test::SandboxedTest {
 protected:
  std::string Copy(const std::string& name, const std::string& bytes) {
    WriteFileAt(name, bytes);
    return SandboxPath(name);
  }
  bool Record(CacheIndex& index, const std::string& body, const std::string& url,
              const Validators& version) {
    const int fd = ::open(body.c_str(), O_RDONLY);
    EXPECT_GE(fd, 0);
    const bool recorded = index.Record(fd, url, version);
    ::close(fd);
    return recorded;
  }
  std::string Index() const { return SandboxPath(CacheIndex::kFileName); }
  std::size_t IndexLines() const {
    const std::string text = ReadFileAt(CacheIndex::kFileName);
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
  }
  const Validators v1{"\"v1\"", "Tue, 01 Dec 2026 10:00:00 GMT"};
  const Validators v2{"\"v2\"", ""};
};

TEST_F(CacheIndexTest, ARecordVouchesOnlyForItsUrlAndUnchangedCopyAcrossRuns) {
  const std::string a = Copy("a", "first copy"), b = Copy("b", "second copy");
  CacheIndex index(Sandbox());
  EXPECT_FALSE(index.Holds("http://h/a"));
  ASSERT_TRUE(Record(index, a, "http://h/a", v1));
  ASSERT_TRUE(Record(index, b, "http://h/b", v1));
  ASSERT_TRUE(Record(index, b, "http://h/b", v2));  // the later record counts
  EXPECT_FALSE(index.Holds("http://h/a"));  // written out, not kept in memory
  index.Reload();
  EXPECT_EQ(index.Find("http://h/a", a)->LastModified, v1.LastModified);
  EXPECT_EQ(index.Find("http://h/b", b)->ETag, "\"v2\"");
  EXPECT_EQ(index.Find("http://h/b", b)->LastModified, "");
  EXPECT_FALSE(index.Find("http://h/a", b));  // another copy's stamp
  EXPECT_FALSE(index.Find("http://h/c", a));
  std::ofstream(a, std::ios::binary | std::ios::app) << " edited";
  EXPECT_FALSE(index.Find("http://h/a", a));
  EXPECT_TRUE(index.Holds("http://h/a"));  // stale, but still the newest record
  EXPECT_FALSE(index.Find("http://h/a", SandboxPath("missing")));
  // Values that would break a line are never recorded.
  EXPECT_FALSE(Record(index, a, "http://h/x\n0 0\thttp://h/y\t\"forged\"\t", v1));
  EXPECT_FALSE(Record(index, a, "http://h/x", {"\"a\"\tx", ""}));
  EXPECT_FALSE(Record(index, a, "http://h/x", {"", "Tue\r\n"}));
  EXPECT_FALSE(index.Record(-1, "http://h/x", v1));
  EXPECT_FALSE(CacheIndex(Sandbox()).Holds("http://h/x"));
}

// A crash can cut the last line short, and a hand or another program can
// leave lines that do not parse, or no index at all under its name: they
// are skipped or set aside, and records go on.
TEST_F(CacheIndexTest, DamagedIndexesAreSkippedOrSetAsideAndRecordsGoOn) {
  const std::string a = Copy("a", "copy a"), b = Copy("b", "copy b");
  // keepsA: the record made before the damage still counts; whileOpen: the
  // damage is done while the index is open, else between runs.
  const struct { const char* name; std::function<void()> damage; bool keepsA, whileOpen = false; }
      cases[] = {
          {"lines that do not parse, a torn last line", [&] {
             std::ofstream(Index(), std::ios::binary | std::ios::app)
                 << ("not a record\nx1\thttp://h/b\t\"e\"\t\n1 2.3\thttp://h/b\t\"e\"\td\tx\n"
                     "1 2.3\t\t\"e\"\t\n" + std::string(100000, 'L') + "\n7 8.9\thttp://h/c\t\"torn");
           }, true},
          {"removed while open", [&] { fs::remove(Index()); }, false, true},
          {"a page under its name", [&] { test::WriteWholeFile(Index(), "<html>\n"); }, false},
          {"a FIFO under its name", [&] {
             fs::remove(Index());
             ASSERT_EQ(::mkfifo(Index().c_str(), 0600), 0);
           }, false},
      };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(Index());
    fs::remove(Index() + ".unusable");
    {
      CacheIndex index(Sandbox());
      ASSERT_TRUE(Record(index, a, "http://h/a", v1));
      if (c.whileOpen) {
        c.damage();
        ASSERT_TRUE(Record(index, b, "http://h/b", v2));
      }
    }
    if (!c.whileOpen) {
      c.damage();
      CacheIndex index(Sandbox());
      ASSERT_TRUE(Record(index, b, "http://h/b", v2));
    }
    CacheIndex later(Sandbox());
    EXPECT_EQ(later.Find("http://h/b", b)->ETag, "\"v2\"");
    EXPECT_EQ(later.Holds("http://h/a"), c.keepsA);
    EXPECT_FALSE(later.Holds("http://h/c"));  // the torn line stays no record
    EXPECT_TRUE(fs::is_regular_file(Index()));
  }
  EXPECT_TRUE(fs::is_fifo(Index() + ".unusable"));  // kept aside for a look
}

TEST_F(CacheIndexTest, RecordsAreHeldBackAndMostlyOutdatedIndexesRewritten) {
  const std::string a = Copy("a", "copy a"), b = Copy("b", "copy b");
  {
    CacheIndex index(Sandbox());
    std::size_t held = 0;  // the first record is written at once, the rest in batches
    for (; IndexLines() < 3 && held < 1000; ++held) ASSERT_TRUE(Record(index, a, "http://h/a", v1));
    EXPECT_GT(held, 100u);
    for (int i = 0; i < 1200; ++i) ASSERT_TRUE(Record(index, a, "http://h/a", i < 1199 ? v1 : v2));
    ASSERT_TRUE(Record(index, b, "http://h/b", v1));
  }
  EXPECT_GT(IndexLines(), 1200u);
  EXPECT_EQ(CacheIndex(Sandbox()).Find("http://h/a", a)->ETag, "\"v2\"");
  EXPECT_EQ(IndexLines(), 3u);  // the header and the records that count
  EXPECT_EQ(test::ListTree(Sandbox()), (std::vector<std::string>{"a", "b", "index"}));
  EXPECT_EQ(CacheIndex(Sandbox()).Find("http://h/b", b)->ETag, "\"v1\"");
}

}  // namespace
}  // namespace kestrelin
