#include "platform/cache_index.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "tests/support/sandbox.h"

namespace kestrelin {
namespace {

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
  std::string IndexText() const { return ReadFileAt(CacheIndex::kFileName); }
  std::size_t IndexLines() const {
    const std::string text = IndexText();
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
  }
  const Validators v1{"\"v1\"", "Tue, 01 Dec 2026 10:00:00 GMT"};
  const Validators v2{"\"v2\"", ""};
};

TEST_F(CacheIndexTest, ARecordVouchesOnlyForItsUrlAndUnchangedCopyAcrossRuns) {
  const std::string a = Copy("a", "first copy"), b = Copy("b", "second copy");
  {
    CacheIndex index(Sandbox());
    EXPECT_FALSE(index.Holds("http://h/a"));
    ASSERT_TRUE(Record(index, a, "http://h/a", v1));
    ASSERT_TRUE(Record(index, b, "http://h/b", v1));
    ASSERT_TRUE(Record(index, b, "http://h/b", v2));  // the later record counts
    EXPECT_EQ(index.Find("http://h/a", a)->ETag, "\"v1\"");
  }
  CacheIndex later(Sandbox());
  const auto found = later.Find("http://h/a", a);
  ASSERT_TRUE(found);
  EXPECT_EQ(found->ETag, v1.ETag);
  EXPECT_EQ(found->LastModified, v1.LastModified);
  EXPECT_TRUE(found->Stamped);
  EXPECT_EQ(later.Find("http://h/b", b)->ETag, "\"v2\"");
  EXPECT_EQ(later.Find("http://h/b", b)->LastModified, "");
  EXPECT_FALSE(later.Find("http://h/a", b));  // another copy's stamp
  EXPECT_FALSE(later.Find("http://h/c", a));
  std::ofstream(a, std::ios::binary | std::ios::app) << " edited";
  EXPECT_FALSE(later.Find("http://h/a", a));
  EXPECT_TRUE(later.Holds("http://h/a"));  // stale, but still the newest record
  EXPECT_FALSE(later.Find("http://h/a", SandboxPath("missing")));
}

TEST_F(CacheIndexTest, ValuesThatWouldBreakALineAreNeverRecorded) {
  const std::string a = Copy("a", "copy");
  CacheIndex index(Sandbox());
  EXPECT_FALSE(Record(index, a, "http://h/a\n0 0\thttp://h/x\t\"forged\"\t", v1));
  EXPECT_FALSE(Record(index, a, "http://h/a", {"\"a\"\tx", ""}));
  EXPECT_FALSE(Record(index, a, "http://h/a", {"", "Tue\r\n"}));
  EXPECT_FALSE(index.Holds("http://h/a"));
  EXPECT_EQ(IndexText(), "");
  EXPECT_FALSE(index.Record(-1, "http://h/a", v1));
}

// A crash can cut the last line short, and a hand or another program can
// leave lines that do not parse: they are skipped, and the next record
// does not run into them.
TEST_F(CacheIndexTest, LinesThatDoNotParseAreSkippedAndATornLastLineIsClosed) {
  const std::string a = Copy("a", "copy a"), b = Copy("b", "copy b");
  {
    CacheIndex index(Sandbox());
    ASSERT_TRUE(Record(index, a, "http://h/a", v1));
  }
  std::ofstream(SandboxPath(CacheIndex::kFileName), std::ios::binary | std::ios::app)
      << "not a record\n"
      << "x1\thttp://h/b\t\"e\"\t\n"                 // no stamp
      << "1 2.3\thttp://h/b\t\"e\"\tdate\textra\n"  // a field too many
      << "1 2.3\t\t\"e\"\t\n"                       // no URL
      << "7 8.9\thttp://h/c\t\"torn";
  {
    CacheIndex index(Sandbox());
    EXPECT_FALSE(index.Holds("http://h/b"));
    EXPECT_EQ(index.Find("http://h/a", a)->ETag, "\"v1\"");
    ASSERT_TRUE(Record(index, b, "http://h/b", v2));
  }
  CacheIndex later(Sandbox());
  EXPECT_EQ(later.Find("http://h/a", a)->ETag, "\"v1\"");
  EXPECT_EQ(later.Find("http://h/b", b)->ETag, "\"v2\"");
  EXPECT_FALSE(later.Holds("http://h/c"));  // the torn line stays no record
}

// Records go on into an index made anew when the one opened was removed
// (with the cache folder, or replaced by another run's rewrite).
TEST_F(CacheIndexTest, AnIndexRemovedWhileOpenIsMadeAnew) {
  const std::string a = Copy("a", "copy a"), b = Copy("b", "copy b");
  CacheIndex index(Sandbox());
  ASSERT_TRUE(Record(index, a, "http://h/a", v1));
  std::filesystem::remove(SandboxPath(CacheIndex::kFileName));
  ASSERT_TRUE(Record(index, b, "http://h/b", v2));
  EXPECT_FALSE(CacheIndex(Sandbox()).Holds("http://h/b"));  // held back
  ASSERT_TRUE(index.Flush());
  CacheIndex later(Sandbox());
  EXPECT_EQ(later.Find("http://h/b", b)->ETag, "\"v2\"");
  EXPECT_FALSE(later.Holds("http://h/a"));

  // Held-back records are written once enough of them have come.
  std::size_t held = 0;
  while (!CacheIndex(Sandbox()).Holds("http://h/many0") && held < 1000) {
    ASSERT_TRUE(Record(index, a, "http://h/many" + std::to_string(held++), v1));
  }
  EXPECT_GT(held, 100u);
  EXPECT_LT(held, 1000u);
}

TEST_F(CacheIndexTest, AnIndexOfMostlyOutdatedLinesIsRewrittenWithTheRecordsThatCount) {
  const std::string a = Copy("a", "copy a"), b = Copy("b", "copy b");
  {
    CacheIndex index(Sandbox());
    for (int i = 0; i < 1200; ++i) ASSERT_TRUE(Record(index, a, "http://h/a", v1));
    ASSERT_TRUE(Record(index, a, "http://h/a", v2));
    ASSERT_TRUE(Record(index, b, "http://h/b", v1));
  }
  EXPECT_EQ(IndexLines(), 1203u);  // the header and every record
  {
    CacheIndex index(Sandbox());
    EXPECT_EQ(index.Find("http://h/a", a)->ETag, "\"v2\"");
  }
  EXPECT_EQ(IndexLines(), 3u);
  EXPECT_EQ(test::ListTree(Sandbox()), (std::vector<std::string>{"a", "b", "index"}));
  CacheIndex later(Sandbox());
  EXPECT_EQ(later.Find("http://h/a", a)->ETag, "\"v2\"");
  EXPECT_EQ(later.Find("http://h/b", b)->ETag, "\"v1\"");

  // A small index is left as it is, outdated lines and all.
  ASSERT_TRUE(Record(later, b, "http://h/b", v2));
  CacheIndex small(Sandbox());
  EXPECT_TRUE(small.Holds("http://h/b"));
  EXPECT_EQ(IndexLines(), 4u);
}

}  // namespace
}  // namespace kestrelin
