// Reading what pages and style sheets name (url(), @import, srcset, tags)
// and rewriting those references for a copy read from disk.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/css_references.h"
#include "engine/offline_links.h"
#include "engine/page_references.h"
#include "engine/srcset.h"
#include "engine/url_resolution.h"

namespace kestrelin {
namespace {

using Case = std::pair<std::string, std::string>;  // input, expected

// Each reference as "raw" (as written), "raw=decoded" when they differ,
// "@" before an import; joined by "|".
std::string Css(const std::string& css) {
  std::string out;
  for (const CssReference& r : FindCssReferences(css)) {
    const std::string raw = css.substr(r.Begin, r.End - r.Begin);
    out += (out.empty() ? "" : "|") + std::string(r.Import ? "@" : "") + raw;
    if (raw != r.Url) out += "=" + r.Url;
  }
  return out;
}

TEST(CssReferences, FindsUrlAndImportWithTheirPlaces) {
  const std::vector<Case> cases = {
      {"a{b:url( \"y z.png\" ) c:URL('q.gif')}", "y z.png|q.gif"},
      {"a{b:url(  sp.png  )}", "sp.png"},
      {"@import \"a.css\";@import url(b.css) screen;@IMPORT 'c.css';", "@a.css|@b.css|@c.css"},
      {"@import /* note */ \"d.css\";", "@d.css"},
      {"/* url(no.png) */ p{content:\"url(no2.png)\"}", ""},
      {"myurl(no.png) x-url(no.png) url(yes.png)", "yes.png"},
      {"u\\72l(esc.png)", "esc.png"},
      {"url(a\\29 b.png) url(\"q\\\"x\")", "a\\29 b.png=a)b.png|q\\\"x=q\"x"},
      {"url(a b.png) url(c\"d) url(ok.png)", "ok.png"},
      {"a{b:\"broken\nurl(after.png)}", "after.png"},
      {"url(\"unclosed", "unclosed"},
      {"url(open.png", "open.png"},
      {"/* unclosed url(x.png)", ""},
      {"@import \"a.css\" url(x.png)", "@a.css|x.png"},
      {"@media print{@import 'late.css'}", "@late.css"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(Css(in), out) << in;
}

TEST(SrcsetAndPageReferences, CandidatesAndTagsAreRead) {
  const std::vector<Case> srcsets = {
      {"  a.png,  b.png ,c.png", "|a.png|b.png|c.png"}, {"a.png,b.png,,c.png", "|a.png,b.png,,c.png"},
      {"", ""},
      {"x.png 100w (max-width: 5px, 6px) junk, y.png", "|x.png|y.png"},
      {"data:image/png;base64,AAA= 1x", "|data:image/png;base64,AAA="},
  };
  for (const auto& [in, expected] : srcsets) {
    std::string out;
    for (const SrcsetCandidate& c : ParseSrcset(in))
      out += "|" + in.substr(c.Begin, c.End - c.Begin);
    EXPECT_EQ(out, expected) << in;
  }
  const std::string page =
      "<!-- <img src=c.png> --><IMG SRC='i.png' srcset=\"s1.png 1x, s2.png 2x\">"
      "<picture><source srcset=p.webp></picture><link rel=preload imagesrcset='l1.png 1x'>"
      "<object data=\"f.svg\"></object><div data='not.svg'></div><video poster=v.jpg>"
      "<p style=\"background:url(st.png)\">x</p><style>@import 'b.css';</style>"
      "<script>var s='<a href=\"no.html\">';</script><a href=\"guide/\">g</a>"
      "<a href=\"about\">a</a><form action=\"/q/\"></form><a href=>e</a>";
  std::string seen;
  for (const PageReference& r : FindPageReferences(page)) {
    EXPECT_EQ(page.substr(r.Begin, r.End - r.Begin), r.Url);
    seen += (r.What == PageReference::Kind::Needed ? "+" : "") + r.Url + " ";
  }
  EXPECT_EQ(seen, "i.png +s1.png +s2.png +p.webp +l1.png +f.svg +v.jpg +st.png +b.css guide/ "
                  "about /q/  ");
}

TEST(UrlResolution, ResolvesAsABrowser) {
  const std::string base = "http://h.org/d/e/p.html?q=1";
  const std::vector<Case> cases = {
      {"../../../a.png", "http://h.org/a.png"}, {"/x/./y/../z.css", "http://h.org/x/z.css"},
      {"?v=2", "http://h.org/d/e/p.html?v=2"},
      {"#top", "http://h.org/d/e/p.html?q=1#top"}, {"", "http://h.org/d/e/p.html?q=1"},
      {" sub/\n ", "http://h.org/d/e/sub/"},   {"http:rel.png", "http://h.org/d/e/rel.png"},
      {"HTTPS://O.org", "https://O.org/"},      {"mailto:a@b.c", "mailto:a@b.c"},
      {".", "http://h.org/d/e/"},              {"..", "http://h.org/d/"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(ResolveUrl(base, in), out) << in;
  EXPECT_EQ(ResolveUrl("http://h.org", "a.png"), "http://h.org/a.png");
  EXPECT_EQ(ResolveUrl("no-scheme", "a.png"), "");
}

TEST(OfflineLinks, CopiedFilesBecomeRelativeOthersAbsolute) {
  const CopyPaths copied = {{"http://h.org/d/p.html", "d/p.html"},
                            {"http://h.org/img/a%20b.png", "img/a b.png"},
                            {"http://h.org/x%20y.css", "x%20y.css"},
                            {"http://h.org/guide/", "guide/index.html"},
                            {"http://h.org/about", "about.html"},
                            {"http://h.org/d/c:d.png", "d/c:d.png"}};
  const std::vector<Case> pages = {
      {"<a href=\"p.html#s\">", "<a href=\"p.html#s\">"},
      {"<img src=/img/a%20b.png alt=x>", "<img src=../img/a%20b.png alt=x>"},
      {"<link href=\"../x%20y.css?v=3\">", "<link href=\"../x%2520y.css\">"},
      {"<img srcset=\"gone.png 1x, /img/a%20b.png 2x\">",
       "<img srcset=\"http://h.org/d/gone.png 1x, ../img/a%20b.png 2x\">"},
      // A control byte keeps a candidate as written, so a second rewrite
      // reads the same candidates.
      {"<img srcset=\"a.png,\x14 ../s.css 2x\">", "<img srcset=\"a.png,\x14 ../s.css 2x\">"},
      {"<p style=\"b:url('/d/c:d.png')\">", "<p style=\"b:url('./c:d.png')\">"},
      {"<a href=\"#top\"><a href=\"mailto:x@y.z\"><a href=\"\"><a href=\"javascript:f()\">",
       "<a href=\"#top\"><a href=\"mailto:x@y.z\"><a href=\"\"><a href=\"javascript:f()\">"},
      {"<a href=\"miss ing.html\">", "<a href=\"http://h.org/d/miss%20ing.html\">"},
      {"<a href=\" HTTPS://o.org/w/C_(x)#F_(y)\"><a href=http://o.org>",
       "<a href=\" HTTPS://o.org/w/C_(x)#F_(y)\"><a href=http://o.org>"},
      {"text href=p.html <!-- <a href=x> -->", "text href=p.html <!-- <a href=x> -->"},
  };
  for (const auto& [in, out] : pages)
    EXPECT_EQ(RewriteLinks(in, false, "http://h.org/d/p.html", "d/p.html", copied), out) << in;
  EXPECT_EQ(RewriteLinks("@import \"d/p.html\";\na{b:url( img/a\\20 b.png )}/*url(z)*/",
                         true, "http://h.org/s.css", "s.css", copied),
            "@import \"d/p.html\";\na{b:url( img/a%20b.png )}/*url(z)*/");
}

}  // namespace
}  // namespace kestrelin
