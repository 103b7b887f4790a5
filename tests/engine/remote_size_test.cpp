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

// Files up to the limit are kept; one whose size is unknown (no length, or
// an error) only with "Get files of unknown size".
TEST_F(RemoteSizeTest, LinkExtractionKeepsFilesUpToTheLimit) {
  const std::string u = server.BaseUrl() + "/";
  t->State.SiteRoot = t->State.PageFolder = u;
  for (const int downloadUnknown : {0, 1}) {
    t->State.FileLinks = {u + "index.html"};
    t->State.FileCount = 1;
    std::string page = "<a href=\"f1024.zip\"><a href=\"f1025.zip\"><a href=\"unknown.zip\">"
                       "<a href=\"p.html\"><a href=\"missing.zip\">";
    ExtractLinks(t->Ctx, page, 0, 0, 1, 1024, 1, 0, downloadUnknown);
    using Links = std::vector<std::string>;
    EXPECT_EQ(t->State.FileLinks,
              (downloadUnknown ? Links{u + "index.html", u + "f1024.zip", u + "unknown.zip", u + "p.html",
                                       u + "missing.zip"}
                               : Links{u + "index.html", u + "f1024.zip", u + "p.html"}));
  }
  EXPECT_EQ(server.RequestCount("/p.html"), 0);  // pages are never measured
  for (const auto& request : server.Requests()) EXPECT_EQ(request.Method, "HEAD");
}

}  // namespace
}  // namespace kestrelin
