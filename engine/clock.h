#pragma once
// The time of day, in whole seconds since midnight.

namespace kestrelin {

class Clock {
 public:
  virtual ~Clock() = default;
  virtual int SecondsOfDay() = 0;
};

}  // namespace kestrelin
