// The pieces the curl cache is built from: names, sidecars, request bytes,
// response headers and the joined authority bundle.
#include "platform/cache_entry.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>

#include "platform/ca_bundle.h"
#include "platform/request_url.h"
#include "platform/response_headers.h"
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
                         "Location: /new\r\n", "\r\n", "HTTP/1.1 200 OK\r\n",
                         "content-LENGTH:   2048 \r\n", "Content-Type: text/html\r\n",
                         "Content-Encoding: gzip\r\n",
                         "Last-Modified: Tue, 01 Dec 2026 10:00:00 GMT\r\n",
                         "X-Content-Length: 7\r\n", "\r\n"};
  for (const char* line : lines) headers.Take(line);
  EXPECT_TRUE(headers.Complete);
  EXPECT_EQ(headers.Status, 200);
  EXPECT_EQ(headers.ContentLength, "2048");
  EXPECT_EQ(headers.ContentType, "text/html");
  EXPECT_TRUE(headers.Encoded);
  EXPECT_EQ(headers.Location, "");
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
