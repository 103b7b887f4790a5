#pragma once
// How long a crawl took, from two times of day, and how it is written in the
// completion message.
#include <string>

namespace kestrelin {

constexpr int kSecondsPerDay = 24 * 60 * 60;

// end - start in seconds, plus a day when the crawl crossed midnight (end
// earlier in the day than start); always 0 to one day minus a second.
int ElapsedSeconds(int startSecondsOfDay, int endSecondsOfDay);

// "H hours, " when H >= 1, then "M minutes, " when M >= 1, then always
// "S seconds." (durations of a day or more are taken modulo 24 hours).
std::string FormatDuration(int elapsedSeconds);

// A time of day as HH:MM:SS (taken modulo a day).
std::string TimeOfDayText(int secondsOfDay);

}  // namespace kestrelin
