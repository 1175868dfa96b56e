#pragma once
// What the main web view reports to the application.

#include <functional>
#include <string>

#include "platform/ContentEvents.h"
#include "platform/DownloadEvents.h"
#include "platform/ScriptMessage.h"

namespace qm {

// A load of the main frame that failed: the address, and the error as the engine names it (the
// name of GLib's error domain and the code within it).
struct LoadFailure {
  std::string uri;
  std::string domain;
  int code = 0;
};

// Everything the main view reports, handed over when the window is made.
struct MainViewEvents {
  ContentEvents& content;
  DownloadEvents& downloads;
  // Messages posted to the "qmserver" channel.
  std::function<void(const ScriptMessage&)> onServerMessage;
  // Messages posted to the "qmapp" channel by the app's own pages.
  std::function<void(const ScriptMessage&)> onAppMessage = {};
  // The view's web process ended abnormally (crashed, or ran out of memory): the view shows
  // nothing live until something is loaded again.
  std::function<void()> onWebProcessEnded = {};
  // True when the app shows a page of its own for the failure instead of the engine's.
  std::function<bool(const LoadFailure&)> onLoadFailed = {};
  // The view's web process stopped answering (false), or answers again (true).
  std::function<void(bool)> onResponsiveChanged = {};
};

}  // namespace qm
