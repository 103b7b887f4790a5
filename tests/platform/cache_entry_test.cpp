// The pieces the curl cache is built from: names, sidecars, request bytes,
// response headers and the joined authority bundle.
#include "platform/cache_entry.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <set>

#include "platform/ca_bundle.h"
#include "platform/request_url.h"
#include "platform/response_headers.h"
#include "platform/sha256.h"
#include "tests/support/sandbox.h"

namespace kestrelin {
namespace {

TEST(Sha256Hex, MatchesTheStandardVectors) {
  const std::pair<std::string, std::string> cases[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",  // 56 bytes: two last blocks
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const auto& [input, digest] : cases) EXPECT_EQ(Sha256Hex(input), digest) << input.size();
}

TEST(CacheEntry, NamesHaveAFixedLengthOfSafeCharactersInsideTheFolder) {
  const std::string urls[] = {"http://example.com/", "http://example.com/../../etc/passwd",
                              "http://example.com/a b/\xc3\xa9?x=/..\\", std::string(5000, 'u'),
                              "http://example.com/"  "x"};
  std::set<std::string> names;
  for (const std::string& url : urls) {
    const CacheEntry entry = EntryFor("/cache", url);
    ASSERT_EQ(entry.Body.size(), std::string("/cache/").size() + 32) << url;
    EXPECT_EQ(entry.Body.rfind("/cache/", 0), 0u);
    EXPECT_EQ(entry.Body.find_first_not_of("0123456789abcdef", 7), std::string::npos);
    EXPECT_EQ(entry.Sidecar, entry.Body + ".meta");
    EXPECT_EQ(EntryFor("/cache", url).Body, entry.Body);  // stable
    names.insert(entry.Body);
  }
  EXPECT_EQ(names.size(), std::size(urls));
}

// A copy at `body` and a sidecar path beside it.
class SidecarTest : public test::SandboxedTest {
 protected:
  void SetUp() override {
    SandboxedTest::SetUp();
    path = SandboxPath("entry.meta");
    body = SandboxPath("entry");
    WriteFileAt("entry", "the copy");
  }
  // As an editor writes through a hard link to the copy.
  void EditInPlace() const { std::ofstream(body, std::ios::binary | std::ios::app) << " edited"; }
  std::string path, body;
  const Validators version{"\"abc-123\"", "Tue, 01 Dec 2026 10:00:00 GMT"};
};

TEST_F(SidecarTest, RecordsValidatorsForItsOwnUrlOnly) {
  ASSERT_TRUE(WriteSidecar(path, "http://h/a b.html", version, body));
  const auto read = ReadSidecar(path, "http://h/a b.html", body);
  ASSERT_TRUE(read.has_value());
  EXPECT_EQ(read->ETag, version.ETag);
  EXPECT_EQ(read->LastModified, version.LastModified);
  EXPECT_FALSE(ReadSidecar(path, "http://h/other.html", body).has_value());
  EXPECT_FALSE(ReadSidecar(SandboxPath("missing.meta"), "http://h/a b.html", body).has_value());
  EXPECT_EQ(test::ListTree(Sandbox()), (std::vector<std::string>{"entry", "entry.meta"}));

  ASSERT_TRUE(WriteSidecar(path, "http://h/a b.html", {"", "Wed, 02 Dec 2026 10:00:00 GMT"}, body));
  EXPECT_EQ(ReadSidecar(path, "http://h/a b.html", body)->ETag, "");

  WriteFileAt("torn.meta", "Kestrelin cache entry 1\nURL: http://h/\nETag: \"x\"\n");
  EXPECT_FALSE(ReadSidecar(SandboxPath("torn.meta"), "http://h/", body).has_value());
  EXPECT_FALSE(WriteSidecar(SandboxPath("bad.meta"), "http://h/\nETag: forged", version, body));
  EXPECT_FALSE(WriteSidecar(SandboxPath("bad.meta"), "http://h/", {"\"a\"\r\nx", ""}, body));
  EXPECT_FALSE(std::filesystem::exists(SandboxPath("bad.meta")));
}

TEST_F(SidecarTest, ACopyChangedInPlaceLosesItsValidators) {
  ASSERT_TRUE(WriteSidecar(path, "http://h/", {"\"v1\"", ""}, body));
  EditInPlace();
  EXPECT_FALSE(ReadSidecar(path, "http://h/", body).has_value());
  // An entry from before stamps were kept still stands.
  WriteFileAt("old.meta", "Kestrelin cache entry 1\nURL: http://h/\nETag: \"v0\"\nLast-Modified: \n");
  EXPECT_EQ(ReadSidecar(SandboxPath("old.meta"), "http://h/", body)->ETag, "\"v0\"");
}

TEST_F(SidecarTest, ValidatorsOnTheCopyItselfFollowTheSameRules) {
  const int fd = ::open(body.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  const bool attached = AttachValidators(fd, "http://h/", version);
  EXPECT_FALSE(AttachValidators(fd, "http://h/\nETag: forged", version));
  ::close(fd);
  if (!attached) GTEST_SKIP() << "this file system keeps no extended attributes";
  EXPECT_EQ(AttachedValidators(body, "http://h/")->ETag, version.ETag);
  EXPECT_EQ(AttachedValidators(body, "http://h/")->LastModified, version.LastModified);
  EXPECT_FALSE(AttachedValidators(body, "http://h/other").has_value());
  EXPECT_EQ(test::ListTree(Sandbox()), std::vector<std::string>{"entry"});  // no file of their own
  EditInPlace();
  EXPECT_FALSE(AttachedValidators(body, "http://h/").has_value());
  EXPECT_FALSE(AttachedValidators(SandboxPath("missing"), "http://h/").has_value());
}

TEST(RequestUrl, EncodesOnlyBytesThatCannotStandInARequestLine) {
  const std::pair<std::string, std::string> cases[] = {
      {"http://h/a b.html", "http://h/a%20b.html"},
      {"http://h/\xc3\xa9t\xe9.html", "http://h/%C3%A9t%E9.html"},
      {std::string("http://h/\x00\x1f\x7f", 12), "http://h/%00%1F%7F"},
      {"http://h/a%20b.html?q=1&r=~_-.!*'()", "http://h/a%20b.html?q=1&r=~_-.!*'()"},
      {"", ""},
  };
  for (const auto& [url, sent] : cases) EXPECT_EQ(RequestUrl(url), sent) << url;
}

TEST(ResponseHeaders, KeepsTheFinalResponsesFields) {
  ResponseHeaders headers;
  const char* lines[] = {"HTTP/1.1 301 Moved\r\n", "Content-Length: 5\r\n", "ETag: \"old\"\r\n",
                         "\r\n", "HTTP/1.1 200 OK\r\n", "content-LENGTH:   2048 \r\n",
                         "Last-Modified: Tue, 01 Dec 2026 10:00:00 GMT\r\n",
                         "X-Content-Length: 7\r\n", "\r\n"};
  for (const char* line : lines) headers.Take(line);
  EXPECT_TRUE(headers.HaveStatusLine);
  EXPECT_EQ(headers.ContentLength, "2048");
  EXPECT_EQ(headers.Version.ETag, "");
  EXPECT_EQ(headers.Version.LastModified, "Tue, 01 Dec 2026 10:00:00 GMT");
}

class CaBundleTest : public test::SandboxedTest {};

TEST_F(CaBundleTest, JoinsTheSystemBundleAndTheExtraAuthority) {
  WriteFileAt("system.pem", "SYSTEM CERTS");  // no final line end
  WriteFileAt("extra.pem", "EXTRA CERT\n");
  EXPECT_EQ(CombinedCaBundle(SandboxPath("extra.pem"), SandboxPath("system.pem")),
            "SYSTEM CERTS\nEXTRA CERT\n");
  EXPECT_EQ(CombinedCaBundle("", SandboxPath("system.pem")), "");
  EXPECT_EQ(CombinedCaBundle(SandboxPath("missing.pem"), SandboxPath("system.pem")), "");
  // The system bundle curl was built with comes first when none is named.
  const std::string joined = CombinedCaBundle(SandboxPath("extra.pem"));
  EXPECT_EQ(joined.substr(joined.size() - 11), "EXTRA CERT\n");
  EXPECT_GT(joined.size(), 1000u);
}

}  // namespace
}  // namespace kestrelin
