#pragma once
// Waiting on the real GLib main loop, for tests of the adapters and of the whole program.

#include <glib.h>

#include <chrono>
#include <functional>

namespace qm::test {

// Runs the default main context until pred() holds or the bound passes; true when it held.
inline bool spinUntil(const std::function<bool()>& pred, double seconds = 30) {
  auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!pred()) {
    if (std::chrono::steady_clock::now() > end) return false;
    if (!g_main_context_iteration(nullptr, FALSE)) g_usleep(1000);
  }
  return true;
}

}  // namespace qm::test
