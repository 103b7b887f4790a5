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

TEST_F(RemoteSizeTest, ReadsTheContentLengthOrZero) {
  EXPECT_EQ(GetRemoteSize(t->Ctx, server.BaseUrl() + "/f1024.zip"), 1024);
  EXPECT_EQ(t->State.ContentLength, "1024");
  EXPECT_EQ(GetRemoteSize(t->Ctx, server.BaseUrl() + "/f1025.zip"), 1025);
  EXPECT_EQ(t->State.ContentLength, "1025");
  EXPECT_EQ(GetRemoteSize(t->Ctx, server.BaseUrl() + "/unknown.zip"), 0);
  EXPECT_EQ(GetRemoteSize(t->Ctx, server.BaseUrl() + "/missing.zip"), 0);
  EXPECT_EQ(GetRemoteSize(t->Ctx, "http://127.0.0.1:1/x.zip"), 0);
  // Only headers were asked for.
  for (const auto& request : server.Requests()) EXPECT_EQ(request.Method, "HEAD");
}

TEST_F(RemoteSizeTest, LinkExtractionKeepsFilesUpToTheLimit) {
  t->State.SiteRoot = server.BaseUrl() + "/";
  t->State.PageFolder = server.BaseUrl() + "/";
  t->State.FileLinks = {server.BaseUrl() + "/index.html"};
  t->State.FileCount = 1;
  std::string page =
      "<a href=\"f1024.zip\"><a href=\"f1025.zip\"><a href=\"unknown.zip\"><a href=\"p.html\">";
  ExtractLinks(t->Ctx, page, 0, 0, 1, 1024, 1, 0);
  const std::vector<std::string> expected = {server.BaseUrl() + "/index.html",
                                             server.BaseUrl() + "/f1024.zip",
                                             server.BaseUrl() + "/unknown.zip",
                                             server.BaseUrl() + "/p.html"};
  EXPECT_EQ(t->State.FileLinks, expected);
  EXPECT_EQ(server.RequestCount("/p.html"), 0);  // pages are never measured
}

}  // namespace
}  // namespace kestrelin
