// How the cache names its copies and keeps validators beside them.
#include "platform/cache_entry.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>

#include "tests/support/sandbox.h"

namespace kestrelin {
namespace {

TEST(CacheEntry, NamesAreTheUrlsHashInsideTheFolder) {
  // SHA-256("abc") begins ba7816bf8f01cfea414140de5dae2223.
  EXPECT_EQ(EntryFor("/cache", "abc").Body, "/cache/ba7816bf8f01cfea414140de5dae2223");
  const std::string urls[] = {"http://example.com/", "http://example.com/../../etc/passwd",
                              "http://example.com/a b/\xc3\xa9?x=/..\\", std::string(5000, 'u')};
  std::set<std::string> names;
  for (const std::string& url : urls) {
    const CacheEntry entry = EntryFor("/cache", url);
    ASSERT_EQ(entry.Body.size(), std::string("/cache/").size() + 32) << url;
    EXPECT_EQ(entry.Body.find_first_not_of("0123456789abcdef", 7), std::string::npos);
    EXPECT_EQ(entry.Sidecar, entry.Body + ".meta");
    names.insert(entry.Body);
  }
  EXPECT_EQ(names.size(), std::size(urls));
}

class SidecarTest : public test::SandboxedTest {};

// A sidecar vouches for its own URL and the copy as it was written, only.
TEST_F(SidecarTest, RecordsValidatorsForItsOwnUrlAndUnchangedCopyOnly) {
  const std::string path = SandboxPath("entry.meta"), body = SandboxPath("entry");
  const Validators version{"\"abc-123\"", "Tue, 01 Dec 2026 10:00:00 GMT"};
  WriteFileAt("entry", "the copy");
  ASSERT_TRUE(WriteSidecar(path, "http://h/a b.html", version, body));
  const auto read = ReadSidecar(path, "http://h/a b.html", body);
  ASSERT_TRUE(read.has_value());
  EXPECT_EQ(read->ETag, version.ETag);
  EXPECT_EQ(read->LastModified, version.LastModified);
  EXPECT_EQ(test::ListTree(Sandbox()), (std::vector<std::string>{"entry", "entry.meta"}));
  EXPECT_FALSE(ReadSidecar(path, "http://h/other.html", body).has_value());
  EXPECT_FALSE(ReadSidecar(SandboxPath("missing.meta"), "http://h/a b.html", body).has_value());
  // Torn, or without the copy's stamp: it vouches for nothing.
  WriteFileAt("torn.meta", "Kestrelin cache entry 1\nURL: http://h/\nETag: \"x\"\nLast-Modified: \n");
  EXPECT_FALSE(ReadSidecar(SandboxPath("torn.meta"), "http://h/", body).has_value());
  EXPECT_FALSE(WriteSidecar(SandboxPath("bad.meta"), "http://h/\nETag: forged", version, body));
  EXPECT_FALSE(WriteSidecar(SandboxPath("bad.meta"), "http://h/", {"\"a\"\r\nx", ""}, body));
  EXPECT_FALSE(std::filesystem::exists(SandboxPath("bad.meta")));
  std::ofstream(body, std::ios::binary | std::ios::app) << " edited";  // through a hard link
  EXPECT_FALSE(ReadSidecar(path, "http://h/a b.html", body).has_value());
}

}  // namespace
}  // namespace kestrelin
