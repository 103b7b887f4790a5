// What the cache sends and how it follows the server: request bytes,
// redirects, https trust, compressed bodies and size queries. A stop while
// a file trickles in is checked on the tool's crawls (its signal test).
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

// The crawl's rules: each redirect target is judged before it is followed,
// a body may not grow past the limit, whatever its length said, and an
// encoded body may not decode into far more than arrived. Nothing of a
// refused fetch is kept.
TEST_F(CurlCacheTest, RedirectsAndBodiesObeyTheCrawlsRules) {
  test::TestServer outside;
  outside.Declare("/x.gif", "outside bytes");
  server.Redirect("/away.gif", outside.BaseUrl() + "/x.gif");
  server.Redirect("/here.gif", "/d/a.gif", 301);
  server.Declare("/d/a.gif", "inside", "image/gif");
  server.Redirect("/scheme.gif", "ftp://127.0.0.1/x.gif");
  for (int i = 0; i < 11; ++i) {
    server.Redirect("/hop" + std::to_string(i), "/hop" + std::to_string(i + 1), i % 2 ? 301 : 307);
  }
  server.Declare("/hop11", "arrived");
  server.Declare("/big.bin", std::string(5000, 'b'));
  server.Declare("/big-chunked.bin", {.Body = std::string(5000, 'b'), .How = test::Delivery::Chunked});
  server.Declare("/small.bin", std::string(900, 's'));
  const test::DeclaredResponse gzip{.Headers = {{"Content-Encoding", "gzip"}}};
  server.Declare("/packed.bin", {.Body = Gzipped(std::string(5000, 'p')), .Headers = gzip.Headers});
  server.Declare("/bomb.bin", {.Body = Gzipped(std::string(8 << 20, '0')), .Headers = gzip.Headers});
  const struct { const char* path; std::uint64_t limit; std::string body, refused; bool tooLarge; }
      rows[] = {
          {"/away.gif", 0, "<none>", outside.BaseUrl() + "/x.gif", false},
          {"/here.gif", 0, "inside", "", false},
          {"/hop1", 0, "arrived", "", false},  // ten redirects are followed
          {"/hop0", 0, "<none>", "", false},   // eleven are not
          {"/scheme.gif", 0, "<none>", "ftp://127.0.0.1/x.gif", false},
          {"/big.bin", 1000, "<none>", "", true},
          {"/big-chunked.bin", 1000, "<none>", "", true},
          {"/small.bin", 1000, std::string(900, 's'), "", false},
          {"/packed.bin", 1000, "<none>", "", true},
          {"/packed.bin", 0, std::string(5000, 'p'), "", false},
          {"/bomb.bin", 0, "<none>", "", false},
      };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.path);
    CacheRules rules;
    rules.RedirectAllowed = [&](const std::string& to) { return to.starts_with(server.BaseUrl()); };
    rules.MaxBodyBytes = row.limit;
    cache->SetRules(rules);
    cache->BeginCrawl();
    EXPECT_EQ(Fetched(row.path), row.body);
    const CopyFacts facts = cache->FactsOf(Url(row.path));
    EXPECT_EQ(facts.RefusedRedirect, row.refused);
    EXPECT_EQ(facts.TooLarge, row.tooLarge);
    if (row.body == "inside") EXPECT_EQ(facts.FinalUrl, Url("/d/a.gif"));
    if (row.body == "inside") EXPECT_EQ(facts.ContentType, "image/gif");
    cache->EndCrawl();  // the crawl's facts go with it
    EXPECT_EQ(cache->FactsOf(Url(row.path)).FinalUrl, "");
  }
  // Compressed bodies are asked for, and stored decoded.
  EXPECT_NE(server.Requests().back().Headers.find("Accept-Encoding")->second.find("gzip"),
            std::string::npos);
  EXPECT_EQ(outside.Requests().size(), 0u);
  EXPECT_EQ(StrayCacheFiles(), test::Names{});
  EXPECT_EQ(CacheFiles().size(), 4u);  // a.gif, hop11, small.bin, packed.bin
}

TEST_F(CurlCacheTest, HttpsIsFetchedOnlyWhenTheAuthorityIsTrusted) {
  const test::TlsFiles tls = test::MakeTestCertificates(SandboxPath("tls"));
  test::TestServer secure(tls);
  secure.Declare("/secret.html", "over tls");
  const std::string url = secure.BaseUrl() + "/secret.html";

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

TEST_F(CurlCacheTest, ContentLengthAsksWithHeadAndFallsBackToAGetThatKeepsNothing) {
  server.Declare("/big.zip", std::string(2048, 'z'), "application/zip");
  server.Declare("/refusing.zip", {.Body = std::string(300000, 'r'), .ContentType = "application/zip",
                                   .RefuseHead = true});
  server.Redirect("/moved.zip", "/big.zip");
  server.ResetCounts();  // a redirect is followed with HEAD
  EXPECT_EQ(cache->ContentLengthHeader(Url("/moved.zip")), "2048");
  EXPECT_EQ(MethodsSeen(), (test::Names{"HEAD", "HEAD"}));
  server.ResetCounts();  // a refused HEAD falls back to a GET
  EXPECT_EQ(cache->ContentLengthHeader(Url("/refusing.zip")), "300000");
  EXPECT_EQ(MethodsSeen(), (test::Names{"HEAD", "GET"}));
  EXPECT_EQ(cache->ContentLengthHeader("ftp://127.0.0.1/x.zip"), "");
  EXPECT_EQ(CacheFiles(), test::Names{});  // no body was kept

  // A size query costs no copy: the download afterwards is a request of its own.
  server.ResetCounts();
  EXPECT_EQ(Fetched("/big.zip"), std::string(2048, 'z'));
  EXPECT_EQ(MethodsSeen(), test::Names{"GET"});
}

}  // namespace
}  // namespace kestrelin
