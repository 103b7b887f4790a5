#include "platform/system_clock.h"

#include <ctime>

namespace kestrelin {

int SystemClock::SecondsOfDay() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec;
}

}  // namespace kestrelin
