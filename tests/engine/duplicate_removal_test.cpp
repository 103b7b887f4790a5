#include "engine/duplicate_removal.h"

#include <gtest/gtest.h>

namespace kestrelin {
namespace {

using Links = std::vector<std::string>;

TEST(RemoveDuplicateLinks, FilesKeepFirstOccurrencesInOrder) {
  struct Case {
    Links before;
    Links after;
  };
  const Case cases[] = {
      {{"A", "B", "A", "C", "A"}, {"A", "B", "C"}},
      {{"A"}, {"A"}},
      {{"a", "A"}, {"a", "A"}},
      {{"B", "B", "B"}, {"B"}},
      // Long texts and short ones alike (no small-string shortcuts).
      {{std::string(100, 'x'), "y", std::string(100, 'x'), "y"}, {std::string(100, 'x'), "y"}},
  };
  for (const auto& c : cases) {
    CrawlState st;
    st.FileLinks = c.before;
    st.FileCount = static_cast<long>(c.before.size());
    RemoveDuplicateFileLinks(st);
    EXPECT_EQ(st.FileLinks, c.after);
    EXPECT_EQ(st.FileCount, static_cast<long>(c.after.size()));
  }
}

TEST(RemoveDuplicateLinks, PagesCountByLastIndex) {
  CrawlState st;
  st.PageLinks = {"S", "P", "S"};
  st.PageCount = 2;
  RemoveDuplicatePageLinks(st);
  EXPECT_EQ(st.PageLinks, (Links{"S", "P"}));
  EXPECT_EQ(st.PageCount, 1);

  st.PageLinks = {"S", "S"};
  st.PageCount = 1;
  RemoveDuplicatePageLinks(st);
  EXPECT_EQ(st.PageCount, 0);
  EXPECT_EQ(st.PageLinks.front(), "S");
}

TEST(RemoveDuplicateLinks, LargeListsBeyondSixteenBits) {
  CrawlState st;
  for (int i = 0; i < 50000; ++i) st.FileLinks.push_back("http://h/" + std::to_string(i % 40000));
  st.FileCount = 50000;
  RemoveDuplicateFileLinks(st);
  ASSERT_EQ(st.FileCount, 40000);
  EXPECT_EQ(st.FileLinks[39999], "http://h/39999");
}

}  // namespace
}  // namespace kestrelin
