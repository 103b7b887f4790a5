#include "engine/flattened_name.h"

#include <gtest/gtest.h>

namespace kestrelin {
namespace {

struct FlatCase {
  const char* link;
  const char* siteRoot;
  const char* relative;
  const char* flattened;
};

TEST(FlattenedName, FollowsTheLinksPathBelowItsSiteRoot) {
  const FlatCase cases[] = {
      {"http://example.com/d/img/a.gif", "http://example.com/", "d/img/a.gif",
       "d%x%img%x%a.gif"},
      {"http://example.com/index.html", "http://example.com/", "index.html", "index.html"},
      // The site root itself, with and without its final "/".
      {"http://example.com/", "http://example.com/", "index.html", "index.html"},
      {"http://example.com", "http://example.com", "index.html", "index.html"},
      // A folder link keeps the marker at its end.
      {"http://example.com/docs/", "http://example.com/", "docs/", "docs%x%"},
      {"http://example.com/a/b/", "http://example.com/", "a/b/", "a%x%b%x%"},
      // A backslash is a folder boundary as well.
      {"http://example.com/a\\b.gif", "http://example.com/", "a\\b.gif", "a%x%b.gif"},
      // Off the start site: "external/" + the last segment.
      {"http://other.org/x/y/logo.gif", "http://example.com/", "external/logo.gif",
       "external%x%logo.gif"},
      {"http://other.org/x/", "http://example.com/", "external/", "external%x%"},
      // Comparison with the site root is case-sensitive.
      {"http://EXAMPLE.com/a.gif", "http://example.com/", "external/a.gif", "external%x%a.gif"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RelativeName(c.link, c.siteRoot), c.relative) << c.link;
    EXPECT_EQ(FlattenedName(c.link, c.siteRoot), c.flattened) << c.link;
  }
}

TEST(FlattenedName, TwoExternalLinksWithTheSameLastSegmentShareTheName) {
  EXPECT_EQ(FlattenedName("http://a.org/1/logo.gif", "http://example.com/"),
            FlattenedName("http://b.org/2/logo.gif", "http://example.com/"));
}

}  // namespace
}  // namespace kestrelin
