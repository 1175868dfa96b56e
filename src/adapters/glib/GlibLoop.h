#pragma once
// MainLoop and Clock on the GLib main context.

#include <map>

#include "core/Handle.h"
#include "platform/Clock.h"
#include "platform/MainLoop.h"

namespace qm {

class GlibLoop : public MainLoop {
 public:
  ~GlibLoop() override;
  void post(std::function<void()> fn) override;
  TimerId after(double seconds, std::function<void()> fn) override;
  TimerId every(double seconds, std::function<void()> fn) override;
  void cancel(TimerId id) override;
  // A GTask in GLib's thread pool; done runs on the context that is thread-default here.
  void background(std::function<void()> work, std::function<void()> done) override;

 private:
  struct Entry;
  TimerId add(double seconds, bool repeat, std::function<void()> fn);
  static int fire(void* data);
  std::map<TimerId, SourceId> sources_;
  TimerId next_ = 1;
};

class GlibClock : public Clock {
 public:
  double now() const override;
  double monotonic() const override;
};

}  // namespace qm
