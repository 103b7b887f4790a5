#include "engine/progress_percent.h"

#include <gtest/gtest.h>

#include "engine/tray_tip.h"

namespace kestrelin {
namespace {

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbour) {
  struct Case {
    std::int64_t num, den, expected;
  } cases[] = {
      {1, 2, 0},  {3, 2, 2},   {5, 2, 2},  {7, 2, 4},  {-1, 2, 0}, {-3, 2, -2},
      {-5, 2, -2}, {1, 3, 0},  {2, 3, 1},  {125, 10, 12}, {135, 10, 14}, {10, 5, 2},
      {0, 7, 0},  {1, -2, 0},  {3, -2, -2}, {5, 0, 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(RoundHalfEven(c.num, c.den), c.expected) << c.num << "/" << c.den;
}

TEST(FilePercent, IsTheBarValueAfterEachFile) {
  struct Case {
    long i, count;
    int expected;
  } cases[] = {
      {0, 1, 0},    // the start page alone
      {0, 4, 0},   {1, 4, 25}, {3, 4, 75},
      {1, 8, 12},  // 12.5 rounds down to even
      {3, 8, 38},  // 37.5 rounds up to even
      {1, 200, 0},  // exactly 0.5
      {3, 200, 2},  // exactly 1.5
      {2, 3, 67},  {5, 0, 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(FilePercent(c.i, c.count), c.expected) << c.i << " of " << c.count;
}

TEST(PagePercent, CountsTheCurrentPageAsNotDone) {
  EXPECT_EQ(PagePercent(0, 0), 0);
  EXPECT_EQ(PagePercent(0, 3), 0);   // 100 - 4*100/4
  EXPECT_EQ(PagePercent(3, 3), 75);  // 100 - 100/4
  EXPECT_EQ(PagePercent(1, 3), 25);
  EXPECT_EQ(PagePercent(7, 7), 88);  // 87.5 rounds up to even
  EXPECT_EQ(PagePercent(5, 7), 62);  // 62.5 rounds down to even
}

TEST(DownloadTipPercent, ShowsTheSmallerShareUnlessThePageShareIsZero) {
  EXPECT_EQ(DownloadTipPercent(0, 0, 0, 1), 0);    // first file of a crawl
  EXPECT_EQ(DownloadTipPercent(0, 0, 3, 4), 75);   // pp 0: fp
  EXPECT_EQ(DownloadTipPercent(3, 3, 1, 4), 25);   // pp 75 > fp 25: fp
  EXPECT_EQ(DownloadTipPercent(1, 3, 3, 4), 25);   // pp 25 < fp 75: pp
  EXPECT_EQ(DownloadTipPercent(3, 3, 3, 4), 75);   // equal: pp
}

TEST(DownloadingTip, ShortensLinksLongerThan44Characters) {
  const std::string link44 = "http://example.com/" + std::string(25, 'a');  // 19 + 25
  ASSERT_EQ(link44.size(), 44u);
  EXPECT_EQ(DownloadingTip(link44, 7), "Downloading " + link44 + " (~7%)");

  const std::string link45 = link44 + "Z";
  EXPECT_EQ(DownloadingTip(link45, 100),
            "Downloading http://example.com/...aaaaaaaaaaaaaaaaaaZ (~100%)");
  EXPECT_LE(DownloadingTip(std::string(300, 'q'), 100).size(), 63u);
  EXPECT_EQ(DownloadingTip("http://e.com/", 0), "Downloading http://e.com/ (~0%)");
}

}  // namespace
}  // namespace kestrelin
