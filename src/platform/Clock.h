#pragma once

namespace qm {

class Clock {
 public:
  virtual ~Clock() = default;
  // Wall-clock time, seconds since the Unix epoch.
  virtual double now() const = 0;
  // Seconds on a clock that never steps (unlike the wall clock at a time sync or resume), for
  // deadlines.
  virtual double monotonic() const = 0;
};

}  // namespace qm
