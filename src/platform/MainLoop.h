#pragma once
// Main loop, timers and the clock. Everything the logic does runs on the main thread;
// these are the only ways it defers work.

#include <cstdint>
#include <functional>

namespace qm {

using TimerId = std::uint64_t;

class MainLoop {
 public:
  virtual ~MainLoop() = default;
  // Runs fn on the main thread soon, after the current callback returns.
  virtual void post(std::function<void()> fn) = 0;
  // Runs fn once after `seconds`; the id may be passed to cancel.
  virtual TimerId after(double seconds, std::function<void()> fn) = 0;
  // Runs fn every `seconds` until cancelled.
  virtual TimerId every(double seconds, std::function<void()> fn) = 0;
  // Cancelling an id that already fired or was cancelled does nothing.
  virtual void cancel(TimerId id) = 0;
};

class Clock {
 public:
  virtual ~Clock() = default;
  // Wall-clock time, seconds since the Unix epoch.
  virtual double now() const = 0;
};

}  // namespace qm
