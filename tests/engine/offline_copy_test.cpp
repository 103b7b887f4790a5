// A whole crawl of a site written the way blogs and documentation are
// (folder links, pages without extension, srcset, @import chains, url()
// of every form, <object data>, inline styles, absolute links to the site):
// with CompletePages and OfflineLinks every reference of every copied page
// and style sheet, resolved from disk, lies in the copy; with both off the
// copy is what the plain crawl makes.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "engine/css_references.h"
#include "engine/page_references.h"
#include "engine/url_decoding.h"
#include "engine/url_resolution.h"
#include "tests/engine/curl_crawl_test.h"
#include "tests/engine/generated_site.h"

namespace kestrelin {
namespace {

class OfflineCopyTest : public test::CurlCrawlTest {
 protected:
  void SetUp() override {
    CurlCrawlTest::SetUp();
    StartCache(5, 5);
    NewContext();
    const std::string b = server.BaseUrl();
    site = {
        {"index.html",
         "<html><head><link rel=stylesheet href=\"/css/main.css?v=2\">\r\n"
         "<style>body{background:url('img/bg.png')}</style></head><body>\r\n"
         "<a href=\"guide/\">g</a> <a href='about'>a</a> <a href=\"" + b + "/docs/page.html#s2\">"
         "d</a>\r\n<img src=\"img/a.png\" srcset=\"img/a-2x.png 2x, /img/a-3x.png 3x\">"
         "<picture><source srcset=\"img/p.webp\"></picture>\r\n<object data=\"fig/d.svg\">"
         "</object><video poster=img/poster.jpg></video><p style=\"background:url(img/st.png)\">"
         "\r\n<a href=\"http://elsewhere.invalid/x.html\">x</a> <a href=\"missing.html\">m</a>"
         "</body></html>"},
        {"css/main.css", "@import \"base.css\";\n@import url(/css/print.css) print;\n"
                         ".h{background:url(../img/h.png)} .f{src:url(\"fonts/f.woff2\")}\n"
                         ".a{background:url(" + b + "/img/abs.png)}"},
        {"css/base.css", ".b{background:url( 'img2/b.png' )}"},
        {"css/print.css", "p{color:black}"},
        {"docs/page.html", "<p id=s2>docs</p>"}};
    for (const std::string file : {"img/bg.png", "img/a.png", "img/a-2x.png", "img/a-3x.png",
                                   "img/p.webp", "fig/d.svg", "img/poster.jpg", "img/st.png",
                                   "img/h.png", "css/fonts/f.woff2", "img/abs.png",
                                   "css/img2/b.png", "guide/g.png", "img/about.png"}) {
      site[file] = test::FileBytes(file);
    }
    for (const auto& [path, bytes] : site) WriteFileAt("site/" + path, bytes);
    server.Declare("/guide/", "<a href=\"../index.html\">home</a><img src=\"g.png\">"
                              "<a href=\"/about\">about</a> <a href=\"step/\">step</a>");
    server.Declare("/about", "<img src=\"img/about.png\"><a href=\"guide\">g</a>");
    server.Declare("/guide/step/", "<a href=\"../\">up</a><img src=\"/img/a.png\">");
    server.Redirect("/guide", b + "/guide/");
  }

  void CrawlWith(int both) {
    Crawl(server.BaseUrl() + "/index.html", {.RipPageOnly = 0, .NoGoUp = 0,
                                             .CompletePages = both, .OfflineLinks = both});
  }

  std::map<std::string, std::string> site;
};

// Where `reference`, written in the copied file `from`, leads from disk;
// empty for what needs no file (fragments, mailto:) or lies on the web.
std::string OnDisk(const std::string& from, const std::string& reference) {
  if (reference.empty() || reference[0] == '#') return {};
  const std::string resolved = ResolveUrl("file:///copy/" + from, reference);
  if (!resolved.starts_with("file:///")) return {};
  if (!resolved.starts_with("file:///copy/")) return "outside the copy";
  const std::string path = resolved.substr(13, resolved.find_first_of("?#") - 13);
  return DecodeUrlText(path);
}

TEST_F(OfflineCopyTest, EveryReferenceOfTheCopyLiesInTheCopy) {
  CrawlWith(0);  // with both off the copy is the plain crawl's
  EXPECT_EQ(test::ListTree(savePath), (std::vector<std::string>{
                                          "about", "css/main.css", "docs/page.html",
                                          "img/a.png", "index.html"}));
  for (const std::string file : {"css/main.css", "docs/page.html", "img/a.png", "index.html"}) {
    EXPECT_EQ(ReadFileAt("save/" + file), site[file]) << file;
  }
  std::filesystem::remove_all(savePath);
  server.ResetCounts();
  CrawlWith(1);
  const auto copied = test::ListTree(savePath);
  const std::set<std::string> files(copied.begin(), copied.end());
  std::set<std::string> expected = {"about.html", "guide/index.html", "guide/step/index.html"};
  for (const auto& [path, bytes] : site) expected.insert(path);
  EXPECT_EQ(files, expected);
  std::set<std::string> online;
  for (const std::string& file : copied) {
    const std::string text = ReadFileAt("save/" + file);
    std::vector<std::string> refs;
    if (file.ends_with(".css")) {
      for (const CssReference& r : FindCssReferences(text)) refs.push_back(r.Url);
    } else if (file.ends_with(".html")) {
      for (const PageReference& r : FindPageReferences(text)) refs.push_back(r.Url);
    } else {
      EXPECT_EQ(text, site[file]) << file;  // only pages and style sheets are rewritten
    }
    for (const std::string& ref : refs) {
      const std::string target = OnDisk(file, ref);
      if (ref.starts_with("http")) online.insert(ref);
      EXPECT_TRUE(target.empty() || files.count(target)) << file << ": " << ref;
    }
  }
  EXPECT_EQ(online, (std::set<std::string>{"http://elsewhere.invalid/x.html",
                                            server.BaseUrl() + "/missing.html"}));
  EXPECT_EQ(ReadFileAt("save/css/print.css"), site["css/print.css"]);
  EXPECT_EQ(server.RequestCount("/img/a.png"), 1);
}

}  // namespace
}  // namespace kestrelin
