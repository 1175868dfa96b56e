#pragma once
// The shared sign-in planted as soon as the web engine's cookie store exists, before the window
// and before the server is chosen, for the hosts a launch most likely uses: the UI's load need
// then not wait for the store. Until the choice, each plant is a session cookie, which the
// engine keeps in memory only: a host that is not used never keeps the sign-in, even when the
// app ends first.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "platform/CookieStore.h"
#include "platform/MainLoop.h"
#include "platform/Scoped.h"

namespace qm {

class EarlySignIn {
 public:
  // Plants the shared sign-in, when there is one, for each host at once. The store must outlive
  // this object.
  EarlySignIn(CookieStore& store, const Clock& clock, const std::vector<std::string>& hosts);
  EarlySignIn(const EarlySignIn&) = delete;
  EarlySignIn& operator=(const EarlySignIn&) = delete;

  // When `value` was planted here for `host`: hands over that plant, which no later call gets,
  // and calls done(stored) once the store has answered (at once when it already has). False
  // otherwise, and done is not called.
  bool take(const std::string& host, const std::string& value, std::function<void(bool)> done);
  // The server is chosen, with `value` shared now: the plant for `chosen` of that value becomes
  // the lasting cookie, every other plant is withdrawn. Once; later calls do nothing.
  void settle(const std::string& chosen, const std::optional<std::string>& value, double now);

 private:
  struct Plant {
    std::string host;
    std::string value;
    std::optional<bool> stored;  // none while the store has not answered
    bool taken;
    std::function<void(bool)> waiting;
  };
  CookieStore& store_;
  std::vector<Plant> plants_;
  bool settled_ = false;
  Lifetime life_;
};

}  // namespace qm
