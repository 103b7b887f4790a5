// The validators the cache keeps beside a copy when its index cannot
// take them. How copies are named is checked by every cache test, which
// finds no file of another name in the cache folder.
#include "platform/cache_entry.h"

#include <gtest/gtest.h>

#include <fstream>

#include "tests/support/sandbox.h"

namespace kestrelin {
namespace {

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
