#pragma once
// The launch's resolution, started as the process starts: it needs no display and no web
// engine, so its answer is usually in by the time the window is there to use it.

#include <functional>
#include <optional>
#include <string>

#include "platform/Bundle.h"
#include "platform/MainLoop.h"
#include "platform/Scoped.h"

namespace qm {

class EarlyResolution {
 public:
  using Done = std::function<void(std::optional<std::string>)>;

  // Sends the probes at once.
  EarlyResolution(Http& http, Bundle& bundle, MainLoop& loop);
  EarlyResolution(const EarlyResolution&) = delete;
  EarlyResolution& operator=(const EarlyResolution&) = delete;

  // Hands the result to done, never from inside this call; only the first caller gets it.
  // False when it was already taken.
  bool take(Done done);

 private:
  void finish(std::optional<std::string> host);

  ScopedHttp http_;
  ScopedLoop loop_;
  bool known_ = false;
  bool taken_ = false;
  std::optional<std::string> host_;
  Done waiting_;
  Lifetime life_;
};

}  // namespace qm
