#pragma once
// No C++ exception may unwind into GLib or GTK: every callback from C runs its body through
// this.

#include <glib.h>

#include <exception>

namespace qm {

template <typename F>
void guarded(F&& f) noexcept {
  try {
    f();
  } catch (const std::exception& e) {
    g_warning("unexpected error: %s", e.what());
  } catch (...) {
    g_warning("unexpected error");
  }
}

}  // namespace qm
