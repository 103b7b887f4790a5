#include "engine/duration_text.h"

#include <gtest/gtest.h>

namespace kestrelin {
namespace {

TEST(FormatDuration, ShowsHoursAndMinutesOnlyWhenPresent) {
  struct Case {
    int seconds;
    const char* expected;
  } cases[] = {
      {5, "5 seconds."},
      {0, "0 seconds."},
      {3605, "1 hours, 5 seconds."},
      {65, "1 minutes, 5 seconds."},
      {3600, "1 hours, 0 seconds."},
      {2 * 3600 + 3 * 60 + 4, "2 hours, 3 minutes, 4 seconds."},
      {kSecondsPerDay + 7, "7 seconds."},  // modulo 24 hours
  };
  for (const auto& c : cases) EXPECT_EQ(FormatDuration(c.seconds), c.expected) << c.seconds;
}

TEST(ElapsedSeconds, CrossesMidnight) {
  EXPECT_EQ(ElapsedSeconds(10, 15), 5);
  EXPECT_EQ(ElapsedSeconds(23 * 3600 + 59 * 60 + 50, 10), 20);
  EXPECT_EQ(ElapsedSeconds(100, 100), 0);
  EXPECT_EQ(ElapsedSeconds(100, 99), kSecondsPerDay - 1);
}

TEST(TimeOfDayText, WritesHoursMinutesSeconds) {
  EXPECT_EQ(TimeOfDayText(0), "00:00:00");
  EXPECT_EQ(TimeOfDayText(9 * 3600 + 5 * 60 + 7), "09:05:07");
  EXPECT_EQ(TimeOfDayText(kSecondsPerDay - 1), "23:59:59");
}

}  // namespace
}  // namespace kestrelin
