#pragma once
#include "engine/clock.h"

namespace kestrelin {

// The local time of day.
class SystemClock : public Clock {
 public:
  int SecondsOfDay() override;
};

}  // namespace kestrelin
