#include "engine/duplicate_removal.h"

#include <gtest/gtest.h>

#include <random>

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

// A list that grows in rounds, as the crawl's lists do: the remembering
// variant must leave exactly what a whole pass leaves after every round.
TEST(GrowingLinkList, MatchesAWholePassAfterEveryRound) {
  std::mt19937 random(11);
  CrawlState whole, growing;
  GrowingLinkList files, pages;
  whole.PageLinks = growing.PageLinks = {"start"};
  for (int round = 0; round < 60; ++round) {
    const int added = static_cast<int>(random() % 30);
    for (int i = 0; i < added; ++i) {
      const std::string link = "l" + std::to_string(random() % 200);
      for (CrawlState* st : {&whole, &growing}) {
        st->FileLinks.resize(static_cast<std::size_t>(st->FileCount));
        st->FileLinks.push_back(link);
        ++st->FileCount;
        ++st->PageCount;
        st->PageLinks.resize(static_cast<std::size_t>(st->PageCount));
        st->PageLinks.push_back(link);
      }
    }
    RemoveDuplicateFileLinks(whole);
    files.RemoveRepeatsByCount(growing.FileLinks, growing.FileCount);
    ASSERT_EQ(growing.FileCount, whole.FileCount) << round;
    ASSERT_EQ(growing.FileLinks, whole.FileLinks) << round;
    if (whole.PageCount != 0) {
      RemoveDuplicatePageLinks(whole);
      pages.RemoveRepeatsByLastIndex(growing.PageLinks, growing.PageCount);
    }
    ASSERT_EQ(growing.PageCount, whole.PageCount) << round;
    ASSERT_EQ(std::vector<std::string>(growing.PageLinks.begin(),
                                       growing.PageLinks.begin() + growing.PageCount + 1),
              std::vector<std::string>(whole.PageLinks.begin(),
                                       whole.PageLinks.begin() + whole.PageCount + 1))
        << round;
  }
}

}  // namespace
}  // namespace kestrelin
