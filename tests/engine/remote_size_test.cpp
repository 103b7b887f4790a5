// Size queries and the size limit of link extraction against the local server.
#include "engine/remote_size.h"

#include <gtest/gtest.h>

#include "engine/link_extraction.h"
#include "tests/engine/curl_crawl_test.h"

namespace kestrelin {
namespace {

class RemoteSizeTest : public test::CurlCrawlTest {
 protected:
  void SetUp() override {
    CurlCrawlTest::SetUp();
    StartCache(5, 5);
    NewContext();
    for (int size : {1024, 1025}) {
      server.Declare("/f" + std::to_string(size) + ".zip", std::string(size, 'z'), "application/zip");
    }
    server.Declare("/unknown.zip", {.Body = std::string(5000, 'c'), .ContentType = "application/zip",
                                    .How = test::Delivery::Chunked});
  }
};

// A size is the Content-length of a HEAD answer; none (a chunked answer,
// a missing file) is 0, which the limit lets through.
TEST_F(RemoteSizeTest, LinkExtractionKeepsFilesUpToTheLimit) {
  t->State.SiteRoot = server.BaseUrl() + "/";
  t->State.PageFolder = server.BaseUrl() + "/";
  t->State.FileLinks = {server.BaseUrl() + "/index.html"};
  t->State.FileCount = 1;
  std::string page = "<a href=\"f1024.zip\"><a href=\"f1025.zip\"><a href=\"unknown.zip\">"
                     "<a href=\"missing.zip\"><a href=\"p.html\">";
  ExtractLinks(t->Ctx, page, 0, 0, 1, 1024, 1, 0);
  const std::vector<std::string> expected = {
      server.BaseUrl() + "/index.html", server.BaseUrl() + "/f1024.zip",
      server.BaseUrl() + "/unknown.zip", server.BaseUrl() + "/missing.zip",
      server.BaseUrl() + "/p.html"};
  EXPECT_EQ(t->State.FileLinks, expected);
  EXPECT_EQ(server.RequestCount("/p.html"), 0);  // pages are never measured
  EXPECT_EQ(server.RequestCount("/f1025.zip"), 1);
  for (const auto& request : server.Requests()) EXPECT_EQ(request.Method, "HEAD");
  EXPECT_EQ(GetRemoteSize(t->Ctx, "http://127.0.0.1:1/x.zip"), 0);
}

}  // namespace
}  // namespace kestrelin
