#include "engine/duplicate_removal.h"

#include <gtest/gtest.h>

#include <random>
#include <unordered_set>

namespace kestrelin {
namespace {

using Links = std::vector<std::string>;

// The first occurrence of each link, in order: what removing repeats leaves.
Links FirstOccurrences(const Links& links) {
  Links kept;
  std::unordered_set<std::string> seen;
  for (const auto& link : links) {
    if (seen.insert(link).second) kept.push_back(link);
  }
  return kept;
}

// Lists that grow in rounds, as the crawl's lists do: after every round the
// whole pass and the remembering variant leave the first occurrences, in
// order (case-sensitive, long texts as short ones), the page list counted
// by its last index. The last round takes the file list past 16 bits.
TEST(GrowingLinkList, LeavesTheFirstOccurrencesAfterEveryRound) {
  std::mt19937 random(11);
  CrawlState whole, growing;
  GrowingLinkList files, pages;
  whole.PageLinks = growing.PageLinks = {"start"};
  Links allFiles, allPages = {"start"};
  for (int round = 0; round < 61; ++round) {
    const int added = round == 60 ? 40000 : static_cast<int>(random() % 30);
    for (int i = 0; i < added; ++i) {
      const unsigned n = round == 60 ? 1000 + i : random() % 200;
      std::string link = (n % 3 ? "l" : "L") + std::to_string(n);
      if (n % 7 == 0) link += std::string(100, 'x');
      allFiles.push_back(link);
      allPages.push_back(link);
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
    const Links expected = FirstOccurrences(allFiles);
    for (const CrawlState* st : {&whole, &growing}) {
      ASSERT_EQ(st->FileLinks, expected) << round;
      ASSERT_EQ(st->FileCount, static_cast<long>(expected.size())) << round;
    }
    if (whole.PageCount != 0) {
      RemoveDuplicatePageLinks(whole);
      pages.RemoveRepeatsByLastIndex(growing.PageLinks, growing.PageCount);
    }
    const Links expectedPages = FirstOccurrences(allPages);
    for (const CrawlState* st : {&whole, &growing}) {
      ASSERT_EQ(Links(st->PageLinks.begin(), st->PageLinks.begin() + st->PageCount + 1),
                expectedPages)
          << round;
    }
  }
}

}  // namespace
}  // namespace kestrelin
