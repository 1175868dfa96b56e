#pragma once
// The app's own account of its decisions: GLib structured logging under the one domain "quarn".
// Silent unless G_MESSAGES_DEBUG names the domain (or --verbose does so); under systemd the
// default writer sends it to the journal.

#include <glib.h>

#include <string>

namespace qm {

inline constexpr const char* kLogDomain = "quarn";

inline void log(const std::string& text) {
  g_log_structured(kLogDomain, G_LOG_LEVEL_INFO, "MESSAGE", "%s", text.c_str());
}

}  // namespace qm
