#include "engine/url_helpers.h"

#include <gtest/gtest.h>

#include "engine/paths.h"
#include "engine/text_lines.h"

namespace kestrelin {
namespace {

struct TextCase {
  const char* input;
  const char* expected;
};

TEST(UrlFolder, KeepsTextUpToLastSlash) {
  const TextCase cases[] = {
      {"http://example.com/d/x.html", "http://example.com/d/"},
      {"http://example.com/d/", "http://example.com/d/"},
      {"no-slash-here", ""},
      {"", ""},
      {"https://example.com", "https://"},
  };
  for (const auto& c : cases) EXPECT_EQ(UrlFolder(c.input), c.expected) << c.input;
}

TEST(UrlSiteRoot, EndsAtFirstSlashAfterHost) {
  const TextCase cases[] = {
      {"http://example.com/d/x.html", "http://example.com/"},
      {"http://example.com", "http://example.com"},
      {"http://example.com/", "http://example.com/"},
      {"https://example.com/d/x.html", "https://example.com/"},
      {"https://example.com", "https://example.com"},
      {"ftp://files.example.com/a/b", "ftp://files.example.com/"},
      {"http:/", "http:/"},  // shorter than 8 characters: whole text
      {"abc", "abc"},
      // Without "://" the fixed position rule applies: search from the 8th character.
      {"example.com/d/x.html", "example.com/"},
      {"ab/cdefgh/ij", "ab/cdefgh/"},
  };
  for (const auto& c : cases) EXPECT_EQ(UrlSiteRoot(c.input), c.expected) << c.input;
}

TEST(ToForwardSlashes, ReplacesEveryBackslash) {
  EXPECT_EQ(ToForwardSlashes("host\\a\\b.htm"), "host/a/b.htm");
  EXPECT_EQ(ToForwardSlashes("plain"), "plain");
}

TEST(NormalizeAttributes, FoldsUnderscoresAfterNamesAndEquals) {
  const TextCase cases[] = {
      {"src__=__\"a.gif\"", "src=\"a.gif\""},
      {"href_=_x", "href=x"},
      {"value___=y", "value=y"},
      {"SRC_=x", "SRC_=x"},  // upper case is not folded, but "=_" is
      {"a=___b", "a=b"},
      {"srcsrc_", "srcsrc"},
  };
  for (const auto& c : cases) {
    std::string text = c.input;
    EXPECT_EQ(NormalizeAttributes(text), c.expected) << c.input;
    EXPECT_EQ(text, c.expected);
  }
}

TEST(NormalizePageText, RemovesBlanksAfterAttributesOnly) {
  const TextCase cases[] = {
      {"<img src = 'a.gif'>", "<img src=\"a.gif\">"},
      {"keep_under_scores", "keep_under_scores"},
      {"the src of it", "the srcof it"},
      {"a -.,.- b", "a _ b"},  // the page's own escape text comes out as "_"
      {"<a href  =  \"x y.html\">", "<a href=\"x y.html\">"},
  };
  for (const auto& c : cases) EXPECT_EQ(NormalizePageText(c.input), c.expected) << c.input;
}

TEST(TextLines, CrAndCrLfEndLinesButLfAloneDoesNot) {
  EXPECT_EQ(SplitLinesCr("a\r\nb\rc"), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(SplitLinesCr("a\nb\n"), (std::vector<std::string>{"a\nb\n"}));
  EXPECT_EQ(SplitLinesCr("a\r\n\r\nb\r\n"), (std::vector<std::string>{"a", "", "b"}));
  EXPECT_EQ(SplitLinesAnyEnding("a\nb\r\nc\rd"), (std::vector<std::string>{"a", "b", "c", "d"}));
  EXPECT_TRUE(SplitLinesCr("").empty());
}

TEST(Paths, JoinCollapsesDoubledSeparators) {
  const std::string sep(1, kPathSeparator);
  EXPECT_EQ(JoinPath(sep, "fail.txt"), sep + "fail.txt");
  EXPECT_EQ(JoinPath("a", "b"), "a" + sep + "b");
  EXPECT_EQ(JoinPath("a" + sep, sep + "b"), "a" + sep + sep + "b");  // one pass, as the program always did
  EXPECT_EQ(CollapseSeparators(sep + sep + sep), sep + sep);
}

}  // namespace
}  // namespace kestrelin
