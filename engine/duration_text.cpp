#include "engine/duration_text.h"

#include <cstdio>

namespace kestrelin {
namespace {

int WithinDay(long long seconds) {
  const long long r = seconds % kSecondsPerDay;
  return static_cast<int>(r < 0 ? r + kSecondsPerDay : r);
}

}  // namespace

int ElapsedSeconds(int startSecondsOfDay, int endSecondsOfDay) {
  const int start = WithinDay(startSecondsOfDay);
  const int end = WithinDay(endSecondsOfDay);
  return end < start ? end - start + kSecondsPerDay : end - start;
}

std::string FormatDuration(int elapsedSeconds) {
  const int elapsed = WithinDay(elapsedSeconds);
  const int hours = elapsed / 3600;
  const int minutes = elapsed / 60 % 60;
  const int seconds = elapsed % 60;
  std::string text;
  if (hours >= 1) text += std::to_string(hours) + " hours, ";
  if (minutes >= 1) text += std::to_string(minutes) + " minutes, ";
  text += std::to_string(seconds) + " seconds.";
  return text;
}

std::string TimeOfDayText(int secondsOfDay) {
  const int t = WithinDay(secondsOfDay);
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", t / 3600, t / 60 % 60, t % 60);
  return buffer;
}

}  // namespace kestrelin
