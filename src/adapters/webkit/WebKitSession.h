#pragma once

#include <webkit/webkit.h>

#include <memory>
#include <string>

#include "core/Handle.h"
#include "platform/CookieStore.h"

namespace qm::webkit {

// The network session every web view shares, and the main window's web view, which can be made
// as soon as GTK is up: its web processes then start while the app registers on the bus and
// builds its window, not after.
class WebKitSession {
 public:
  // Without hardware acceleration the engine draws in software: slower, but seen on desktops
  // whose GPU driver cannot show its accelerated output (the window stays blank). Decided before
  // the first web process starts, for every view.
  explicit WebKitSession(bool hardwareAcceleration = true)
      : hardwareAcceleration_(hardwareAcceleration) {}
  // What the engine reads from the environment for that choice. It changes the environment, so
  // only main calls it, before any thread starts.
  static void setEnvironment(bool hardwareAcceleration);
  WebKitSession(const WebKitSession&) = delete;
  WebKitSession& operator=(const WebKitSession&) = delete;

  // Data and cache in the app's own folders, cookies kept on disk so a sign-in survives a
  // restart. Made on first use.
  WebKitNetworkSession* session();
  // The session's cookies, for the sign-in planted early and for the window; made on first use.
  CookieStore& cookies();
  // Whether the main view offers the engine's developer tools (Inspect Element).
  void setDeveloper(bool on) { developer_ = on; }
  // Makes the main view and starts loading `html` in it; once, before the window is built.
  void prepare(const std::string& html);

  struct View {
    GPtr<WebKitWebView> view;
    std::string loading;  // the page it was prepared with, if any
  };
  // The prepared view, else a new one.
  View takeView();

 private:
  GPtr<WebKitNetworkSession> session_;
  // Gone before the session; a request it still has running holds the session until it ends.
  std::unique_ptr<CookieStore> cookies_;
  View prepared_;
  bool developer_ = false;
  bool hardwareAcceleration_;
};

}  // namespace qm::webkit
