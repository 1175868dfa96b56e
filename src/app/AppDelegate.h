#pragma once
// The composition root: builds the controllers from the platform's ports, wires them to each
// other and to the main window's events, and keeps the few operations the platform calls.
// Everything runs on the main thread.

#include <string>

#include "app/Menu.h"
#include "core/ServerInUse.h"
#include "intro/IntroOverlay.h"
#include "platform/Platform.h"
#include "poller/Poller.h"
#include "server/ConnectionFlow.h"
#include "server/Reconnect.h"
#include "service/ServiceControl.h"
#include "web/WebContent.h"
#include "window/MainWindowController.h"
#include "window/PageHang.h"

namespace qm {

class AppDelegate {
 public:
  // `early` and `signIn` (each may be null) are what the launch began before the toolkit.
  explicit AppDelegate(Platform& platform, EarlyResolution* early = nullptr,
                       EarlySignIn* signIn = nullptr);
  AppDelegate(const AppDelegate&) = delete;
  AppDelegate& operator=(const AppDelegate&) = delete;

  // The menu bar, the window with its placeholder (and the intro), then the first connect and
  // the poll timer.
  void applicationDidFinishLaunching();
  void applicationDidBecomeActive() { window_.becameActive(server_.BASE()); }
  // The app was started again while running: the window comes to the front.
  bool applicationShouldHandleReopen();

  // On the page saying that the server cannot be reached, a reload is a try at once.
  void reloadWeb() { reconnect_.watching() ? reconnect_.tryNow() : window_.reloadFromOrigin(); }
  bool introOn() { return intro_.introOn(); }
  void toggleIntro() { intro_.toggleIntro(); }
  void toggleIntroSound() { intro_.toggleIntroSound(); }
  void showMessage(const std::string& text) { flow_.showMessage(text); }
  void poll() { poller_.poll(); }

  // Read-only state, for whoever watches the app (tests, the platform).
  const Reconnect& reconnect() const { return reconnect_; }

 private:
  void buildMainMenu();
  void buildWindow();
  void restartService();
  // A message of one of the app's own pages ("qmapp").
  void onAppMessage(const ScriptMessage& body);

  // Destroyed in reverse: the window goes before the web content its view reports to.
  ServerInUse server_;
  WebContent content_;
  MainWindowController window_;
  PageHang hang_;
  IntroOverlay intro_;
  ServiceControl service_;
  StatusPoller poller_;
  ConnectionFlow flow_;
  Reconnect reconnect_;
  MenuController menu_;
  // First to go: from then on no page message reaches the controllers.
  Lifetime life_;
};

}  // namespace qm
