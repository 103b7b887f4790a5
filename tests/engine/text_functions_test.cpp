// The engine's pure text and number functions: URL parts, decoding, names
// in the working folder, durations and progress percentages.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "engine/duration_text.h"
#include "engine/flattened_name.h"
#include "engine/progress_percent.h"
#include "engine/recording_host.h"
#include "engine/relative_link.h"
#include "engine/safe_names.h"
#include "engine/text_lines.h"
#include "engine/tray_tip.h"
#include "engine/url_decoding.h"
#include "engine/url_helpers.h"
#include "engine/web_domain.h"

namespace kestrelin {
namespace {

struct TextCase {
  std::string input;
  std::string expected;
};

void ExpectEach(const std::vector<TextCase>& cases,
                const std::function<std::string(const std::string&)>& f) {
  for (const auto& c : cases) EXPECT_EQ(f(c.input), c.expected) << c.input;
}

std::string Nul(const char* text, std::size_t size) { return std::string(text, size); }

TEST(UrlText, PageNormalizing) {
  ExpectEach({{"<img src = 'a.gif'>", "<img src=\"a.gif\">"},
              {"keep_under_scores", "keep_under_scores"}, {"the src of it", "the srcof it"},
              {"a -.,.- b", "a _ b"},  // the page's own escape text comes out as "_"
              {"x-.,._y", "x_.,.-y"},  // and an underscore right after ".,." joins it
              {"<a href  =  \"x y.html\">", "<a href=\"x y.html\">"},
              // Blanks stay after other words, also ones ending as a name does.
              {"= 'v' value  =x the  ref \xff src", "=\"v\" value=x the  ref \xff src"}},
             [](const std::string& s) { return NormalizePageText(s); });
}

// The program's own files: a line feed alone does not end a line.
TEST(UrlText, CrAndCrLfEndLinesButLfAloneDoesNot) {
  EXPECT_EQ(SplitLinesCr("a\r\nb\rc\nd\r\n"), (std::vector<std::string>{"a", "b", "c\nd"}));
}

TEST(UrlText, DecodesEscapesInOnePassAndKeepsTheFolderMarker) {
  ExpectEach({{"a+b", "a b"}, {"%41%2f", "A/"},
              {"dir%x%file%20a.html", "dir%x%file a.html"}, {"%x%41", "%x%41"}, {"%2541", "%41"},
              {"%4z", "\x04"}, {"%zz", Nul("\0", 1)}, {"abc%", Nul("abc\0", 4)},
              {"%C3%A9t", "\xC3\xA9t"}, {"%ff", "\xff"}, {"", ""}},
             [](const std::string& s) { return DecodeUrlText(s); });
}

TEST(UrlText, RelativeLinksDropOneFolderPerStepAndStopAtTheHost) {
  struct Case { std::string link, base, expected; };
  const Case cases[] = {
      {"../../../a.gif", "http://example.com/", "http://example.com/a.gif"},
      {"../x/../y.gif", "http://example.com/d/e/", "http://example.com/d/x/../y.gif"},
      {"../", "http://example.com/d/e/", "http://example.com/d/"},
      {"../c.gif", "http://example.com/a//b/", "http://example.com/c.gif"},
      // Without its final "/" the last part of the base counts as a file name.
      {"../a.gif", "http://example.com/d/e", "http://example.com/d/a.gif"},
      {[] { std::string l; for (int i = 0; i < 1000; ++i) l += "../"; return l + "a.gif"; }(),
       "http://example.com/d/e/", "http://example.com/a.gif"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ResolveRelativeLink(c.link, c.base), c.expected) << c.link.substr(0, 40) << c.base;
}

TEST(UrlText, WebDomainKeepsTheLastLabelsBehindWwwOrIsOneRedLine) {
  const TextCase cases[] = {  // empty: fails with the red line
      {"http://www.example.com/", "http://www.example.com/"},
      {"http://example.com/", "http://www.example.com/"},
      {"http://a.b.example.com/", "http://www.example.com/"},
      {"http://www.shop.co.zz/", "http://www.shop.co.zz/"},
      {"http://www.example.com:8080/", "http://www.example.com:8080/"},
      {"https://shop.example.com/", "https://www.example.com/"},
      {"http://localhost/", ""}, {"http://co.zz/", ""}, {"", ""}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.input);
    RecordingHost host;
    EXPECT_EQ(DetectWebDomain(host, c.input), c.expected);
    ASSERT_EQ(host.LineCount(), c.expected.empty() ? 1 : 0);
    if (c.expected.empty()) {
      EXPECT_EQ(host.LineText(1), "Could not detect actual web domain.");
      EXPECT_TRUE(host.Log().Line(1).Red);
    }
  }
}

// The crawls cover the rest of the names; comparison with the site root is
// case-sensitive.
TEST(Names, FlattenedNamesCompareTheSiteRootCaseSensitively) {
  EXPECT_EQ(RelativeName("http://EXAMPLE.com/a.gif", "http://example.com/"), "external/a.gif");
}

TEST(Names, SafeAndWorkingNamesNeverLeaveTheFolder) {
  ExpectEach({{"..", "%2e%2e"},
              {".", "%2e"}, {"...", "..."}, {"../../etc", "..%2f..%2fetc"}, {"a\\b", "a%5cb"},
              {Nul("a\0b", 3), "a%00b"}, {"c d.html", "c d.html"},
              {"img%x%a.gif", "img%x%a.gif"},  // markers are left for the next level
              {std::string(kMaxNameBytes, 'x'), std::string(kMaxNameBytes, 'x')}},
             [](const std::string& s) { return SafeName(s); });
  ExpectEach({{"d/img/a.gif", "d%x%img%x%a.gif"}, {"docs/", "docs%x%"}, {"a\\b/c", "a%x%b%x%c"},
              {"a/../../x", "a%x%%2e%2e%x%%2e%2e%x%x"}, {"./x", "%2e%x%x"}, {"..", "%2e%2e"},
              {"../", "%2e%2e%x%"},
              {"a//b", "a%x%b"},  // empty segments vanish
              {"/x", "x"}, {"/", "%x%"},
              // A "%x" from a URL never reads as, or makes, a folder marker.
              {"i%x%a.gif", "i%25x%a.gif"}, {"a%x/b%", "a%25x%x%b%"},
              {Nul("a\0/b", 4), "a%00%x%b"}},
             [](const std::string& s) { return WorkingFileName(s); });
}

TEST(Names, OverlongNamesAreCutKeepingTheExtensionAndApartByHash) {
  const std::string safeA = SafeName(std::string(300, 'a') + ".html");
  EXPECT_EQ(safeA.size(), kMaxNameBytes);
  EXPECT_TRUE(safeA.ends_with(".html")) << safeA;
  EXPECT_NE(safeA.find('~'), std::string::npos);
  EXPECT_NE(safeA, SafeName(std::string(299, 'a') + "b.html"));
  EXPECT_EQ(SafeName(std::string(300, 'a') + ".html"), safeA);  // stable

  std::string path;
  for (int i = 0; i < 40; ++i) path += "folder" + std::to_string(i) + "/";
  const std::string name = WorkingFileName(path + "picture.gif");
  EXPECT_LE(name.size(), kMaxNameBytes);
  EXPECT_TRUE(name.starts_with("folder0%x%folder1%x%")) << name;
  EXPECT_TRUE(name.ends_with(".gif")) << name;
  EXPECT_NE(name.find("picture~"), std::string::npos) << name;
  // Paths that differ only in a dropped folder stay apart.
  std::string other = path;
  other.replace(other.find("folder39"), 8, "folderXX");
  EXPECT_NE(WorkingFileName(other + "picture.gif"), name);

  // A long folder link still ends with the marker (it names no file).
  const std::string folderLink = WorkingFileName(path);
  EXPECT_LE(folderLink.size(), kMaxNameBytes);
  EXPECT_TRUE(folderLink.ends_with("%x%")) << folderLink;
}

// The time of day: the failure report's heading in the crawl's final-log
// test.
TEST(Durations, TextsAndMidnight) {
  const std::pair<int, const char*> cases[] = {
      {0, "0 seconds."}, {3605, "1 hours, 5 seconds."}, {65, "1 minutes, 5 seconds."},
      {2 * 3600 + 3 * 60 + 4, "2 hours, 3 minutes, 4 seconds."},
      {kSecondsPerDay + 7, "7 seconds."},  // modulo 24 hours
  };
  for (const auto& [seconds, text] : cases) EXPECT_EQ(FormatDuration(seconds), text) << seconds;
  EXPECT_EQ(ElapsedSeconds(100, 99), kSecondsPerDay - 1);
}

// Each row: the function's arguments and the percentage it must give.
TEST(Progress, PercentagesRoundHalfToEven) {
  struct Case { const char* what; std::int64_t a, b, expected; };
  const Case cases[] = {
      {"round", 1, 2, 0},   {"round", 3, 2, 2},  {"round", 5, 2, 2},  {"round", -3, 2, -2},
      {"round", -5, 2, -2}, {"round", 2, 3, 1},  {"round", 3, -2, -2}, {"round", 5, 0, 0},
      // The bar after file i of count; the start page alone is 0.
      {"file", 0, 4, 0},    {"file", 3, 4, 75},  {"file", 1, 8, 12},  {"file", 3, 8, 38},
      {"file", 2, 3, 67},   {"file", 5, 0, 0},
      // The current page counts as not done: 100 - (count+1-i)*100/(count+1).
      {"page", 0, 0, 0},    {"page", 3, 3, 75},  {"page", 7, 7, 88},  {"page", 5, 7, 62},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.what) + " " + std::to_string(c.a) + "/" + std::to_string(c.b));
    const std::int64_t got = c.what[0] == 'r'   ? RoundHalfEven(c.a, c.b)
                             : c.what[0] == 'f' ? FilePercent(c.a, c.b) : PagePercent(c.a, c.b);
    EXPECT_EQ(got, c.expected);
  }
}

TEST(Progress, TrayTipShowsTheSmallerShareAndShortensLongLinks) {
  EXPECT_EQ(DownloadTipPercent(0, 0, 0, 1), 0);   // first file of a crawl
  EXPECT_EQ(DownloadTipPercent(0, 0, 3, 4), 75);  // page share 0: the file share
  EXPECT_EQ(DownloadTipPercent(3, 3, 1, 4), 25);  // page 75 > file 25: file
  EXPECT_EQ(DownloadTipPercent(1, 3, 3, 4), 25);  // page 25 < file 75: page
  EXPECT_EQ(DownloadTipPercent(3, 3, 3, 4), 75);  // equal: page

  const std::string link44 = "http://example.com/" + std::string(25, 'a');
  ASSERT_EQ(link44.size(), 44u);
  EXPECT_EQ(DownloadingTip(link44, 7), "Downloading " + link44 + " (~7%)");
  EXPECT_EQ(DownloadingTip(link44 + "Z", 100),
            "Downloading http://example.com/...aaaaaaaaaaaaaaaaaaZ (~100%)");
  EXPECT_LE(DownloadingTip(std::string(300, 'q'), 100).size(), 63u);
  EXPECT_EQ(DownloadingTip("http://e.com/", 0), "Downloading http://e.com/ (~0%)");
}

}  // namespace
}  // namespace kestrelin
