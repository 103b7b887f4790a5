#include "engine/relative_link.h"

#include <gtest/gtest.h>

namespace kestrelin {
namespace {

struct RelativeCase {
  const char* link;
  const char* base;
  const char* expected;
};

TEST(ResolveRelativeLink, DropsOneFolderPerLeadingStepAndStopsAtTheHost) {
  const RelativeCase cases[] = {
      {"../a.gif", "http://example.com/d/e/", "http://example.com/d/a.gif"},
      {"../../a.gif", "http://example.com/d/e/", "http://example.com/a.gif"},
      {"../../a.gif", "http://example.com/d/", "http://example.com/a.gif"},
      {"../../../a.gif", "http://example.com/", "http://example.com/a.gif"},
      {"../x/../y.gif", "http://example.com/d/e/", "http://example.com/d/x/../y.gif"},
      {"../", "http://example.com/d/e/", "http://example.com/d/"},
      {"../c.gif", "http://example.com/a//b/", "http://example.com/c.gif"},
      {"../a.gif", "https://example.com/d/e/", "https://example.com/d/a.gif"},
      // Without its final "/" the last part of the base counts as a file name.
      {"../a.gif", "http://example.com/d/e", "http://example.com/d/a.gif"},
      {"../sub/a b.gif", "http://example.com/d/e/", "http://example.com/d/sub/a b.gif"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ResolveRelativeLink(c.link, c.base), c.expected) << c.link << " on " << c.base;
  }
}

TEST(ResolveRelativeLink, ManyStepsAboveTheHostKeepTheHost) {
  std::string link;
  for (int i = 0; i < 1000; ++i) link += "../";
  link += "a.gif";
  EXPECT_EQ(ResolveRelativeLink(link, "http://example.com/d/e/"), "http://example.com/a.gif");
}

}  // namespace
}  // namespace kestrelin
