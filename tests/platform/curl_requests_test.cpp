// What the cache sends and how it follows the server: request bytes,
// redirects, https trust, compressed bodies and size queries.
#include "tests/platform/curl_cache_fixture.h"
#include "tests/support/stored_gzip.h"

namespace kestrelin {
namespace {

using test::CurlCacheTest;
using test::Gzipped;

TEST_F(CurlCacheTest, BytesThatCannotStandInARequestLineAreSentEncoded) {
  const std::pair<std::string, std::string> cases[] = {  // as the engine holds it, as sent
      {"/a b/\xc3\xa9.html", "/a%20b/%C3%A9.html"},
      {"/tab\there\x01.html", "/tab%09here%01.html"},
      {"/already%20escaped.html", "/already%20escaped.html"},
      {"/plain.html?q=a b", "/plain.html?q=a%20b"},
  };
  for (const auto& [path, sent] : cases) {
    server.ResetCounts();
    cache->DownloadToCacheFile(Url(path));
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u) << path;
    EXPECT_EQ(requests[0].Path, sent);
    EXPECT_EQ(requests[0].Headers.find("User-Agent")->second,
              std::string("Kestrelin/") + KESTRELIN_VERSION_TEXT);
  }
  // The copy belongs to the URL text the engine gave, which is what it asks again.
  server.Declare("/a b.html", "spaced");
  EXPECT_EQ(Fetched("/a b.html"), "spaced");
  EXPECT_EQ(Fetched("/a b.html"), "spaced");
  EXPECT_EQ(server.RequestCount("/a b.html"), 1);
}

TEST_F(CurlCacheTest, RedirectsAreFollowedUpToTen) {
  for (int i = 0; i < 11; ++i) {
    server.Redirect("/hop" + std::to_string(i), "/hop" + std::to_string(i + 1), i % 2 ? 301 : 307);
  }
  server.Declare("/hop11", "arrived");
  server.Redirect("/loop", "/loop");
  server.Redirect("/elsewhere", "file:///etc/passwd");
  const std::pair<std::string, std::string> cases[] = {
      {"/hop1", "arrived"},  // ten redirects
      {"/hop0", "<none>"},   // eleven
      {"/loop", "<none>"},
      {"/elsewhere", "<none>"},  // only http and https are followed
  };
  for (const auto& [start, body] : cases) EXPECT_EQ(Fetched(start), body) << start;
  EXPECT_EQ(StrayCacheFiles(), test::Names{});
  EXPECT_EQ(CacheFiles().size(), 1u);
}

TEST_F(CurlCacheTest, HttpsIsFetchedOnlyWhenTheAuthorityIsTrusted) {
  const test::TlsFiles tls = test::MakeTestCertificates(SandboxPath("tls"));
  test::TestServer secure(tls);
  secure.Declare("/secret.html", "over tls");
  const std::string url = secure.BaseUrl() + "/secret.html";
  ASSERT_EQ(url.rfind("https://", 0), 0u);

  EXPECT_EQ(cache->DownloadToCacheFile(url), "");  // an unknown authority is refused
  EXPECT_EQ(cache->ContentLengthHeader(url), "");
  EXPECT_EQ(CacheFiles(), test::Names{});

  CurlCacheSettings settings = Settings();
  settings.ExtraCaFile = tls.CaFile;
  auto trusting = MakeCache(settings);
  EXPECT_EQ(trusting->ContentLengthHeader(url), "8");
  EXPECT_EQ(Fetched(*trusting, url), "over tls");
  // The certificate names localhost as well as 127.0.0.1.
  const std::string byName = "https://localhost:" + std::to_string(secure.Port()) + "/secret.html";
  EXPECT_EQ(Fetched(*trusting, byName), "over tls");

  settings.ExtraCaFile = SandboxPath("no-such-ca.pem");  // unreadable: the system store alone
  EXPECT_EQ(MakeCache(settings)->DownloadToCacheFile(secure.BaseUrl() + "/other.html"), "");
}

TEST_F(CurlCacheTest, CompressedBodiesAreStoredDecoded) {
  const std::string text(3000, 'g');
  server.Declare("/packed.html", {.Body = Gzipped(text), .ContentType = "application/x-thing",
                                  .Headers = {{"Content-Encoding", "gzip"}}});
  EXPECT_EQ(Fetched("/packed.html"), text);
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 1u);
  const auto accepted = requests[0].Headers.find("Accept-Encoding");
  ASSERT_NE(accepted, requests[0].Headers.end());
  EXPECT_NE(accepted->second.find("gzip"), std::string::npos) << accepted->second;
}

TEST_F(CurlCacheTest, ContentLengthAsksWithHeadAndFallsBackToAGetThatKeepsNothing) {
  server.Declare("/big.zip", std::string(2048, 'z'), "application/zip");
  server.Declare("/refusing.zip", std::string(300000, 'r'), "application/zip");
  server.RefuseHead("/refusing.zip");
  server.Declare("/chunked.zip", {.Body = std::string(5000, 'c'), .ContentType = "application/zip",
                                  .How = test::Delivery::Chunked});
  server.Redirect("/moved.zip", "/big.zip");
  struct Case {
    std::string path;
    std::string header;
    test::Names methods;
  };
  const Case cases[] = {
      {"/big.zip", "2048", {"HEAD"}},
      {"/moved.zip", "2048", {"HEAD", "HEAD"}},
      {"/refusing.zip", "300000", {"HEAD", "GET"}},
      {"/chunked.zip", "", {"HEAD"}},
      {"/missing.zip", "", {"HEAD"}},
  };
  for (const auto& c : cases) {
    server.ResetCounts();
    EXPECT_EQ(cache->ContentLengthHeader(Url(c.path)), c.header) << c.path;
    EXPECT_EQ(MethodsSeen(), c.methods) << c.path;
  }
  EXPECT_EQ(cache->ContentLengthHeader("http://127.0.0.1:1/x.zip"), "");
  EXPECT_EQ(cache->ContentLengthHeader("ftp://127.0.0.1/x.zip"), "");
  EXPECT_EQ(CacheFiles(), test::Names{});  // no body was kept

  // A size query costs no copy: the download afterwards is a request of its own.
  server.ResetCounts();
  EXPECT_EQ(Fetched("/big.zip"), std::string(2048, 'z'));
  EXPECT_EQ(MethodsSeen(), test::Names{"GET"});
}

}  // namespace
}  // namespace kestrelin
