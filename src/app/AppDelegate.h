#pragma once
// The object the platform calls. It keeps the operations the app is known by, each handed to
// the controller that owns the state it touches; everything runs on the main thread.

#include <functional>
#include <optional>
#include <string>
#include <vector>

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
  // early: the launch's resolution when the program started it before the window.
  // `early` and `signIn` (each may be null) are what the launch began before the toolkit.
  explicit AppDelegate(Platform& platform, EarlyResolution* early = nullptr,
                       EarlySignIn* signIn = nullptr);
  AppDelegate(const AppDelegate&) = delete;
  AppDelegate& operator=(const AppDelegate&) = delete;

  // --- Application shell
  void applicationDidFinishLaunching();
  void applicationDidBecomeActive() { window_.becameActive(server_.BASE()); }
  // The app was started again while running: same effect as showWindow.
  bool applicationShouldHandleReopen();
  void showWindow() { window_.present(); }
  void buildWindow();

  // --- Menu
  void buildMainMenu();
  void onMenuAction(const std::string& action) { menu_.onMenuAction(action); }
  // On the page saying that the server cannot be reached, a reload is a try at once.
  void reloadWeb() { reconnect_.watching() ? reconnect_.tryNow() : window_.reloadFromOrigin(); }
  void openHQ() { menu_.openHQ(); }
  void openStudio() { menu_.openStudio(); }
  void openExports() { menu_.openExports(service_.quarnDir()); }
  void showAbout() { menu_.showAbout(); }

  // --- Local service
  std::string quarnDir() { return service_.quarnDir(); }
  std::string python() { return service_.python(); }
  std::string plistPath() { return service_.plistPath(); }
  std::string uid() { return service_.uid(); }
  bool installAgent() { return service_.installAgent(); }
  void ping(std::function<void(bool)> done) { service_.ping(std::move(done)); }
  void waitForServer(int tries, std::function<void(bool)> done) {
    service_.waitForServer(tries, std::move(done));
  }
  void ensureService(std::function<void(bool)> done) { service_.ensureService(std::move(done)); }
  void restartService() {
    service_.restartService(
        [this] { reconnect_.watching() ? reconnect_.tryNow() : window_.reload(); });
  }
  void quitAndStop() { service_.quitAndStop(); }

  // --- Connection flow
  void connect() { flow_.connect(); }
  void connectCompleted(const std::optional<std::string>& host) { flow_.connectCompleted(host); }
  void use(const std::string& host) { flow_.use(host); }
  void showMessage(const std::string& text) { flow_.showMessage(text); }
  // A page's message on "qmserver" (the connect page) or "qm" (the intro page).
  void onScriptMessage(const std::string& channel, const ScriptMessage& body);
  // A message of one of the app's own pages ("qmapp").
  void onAppMessage(const ScriptMessage& body);

  // --- Intro
  bool introOn() { return intro_.introOn(); }
  void startIntro() { intro_.startIntro(); }
  void endIntro() { intro_.endIntro(); }
  void onIntroLoadFinished(IntroView& view) { intro_.onIntroLoadFinished(view); }
  void replayIntro() { intro_.replayIntro(); }
  void toggleIntro() { intro_.toggleIntro(); }
  void toggleIntroSound() { intro_.toggleIntroSound(); }

  // --- Web content
  bool allowNavigation(const std::optional<std::string>& url) {
    return content_.allowNavigation(url);
  }
  ResponsePolicy decideResponse(const std::string& disposition, bool canShowMimeType) {
    return content_.decideResponse(disposition, canShowMimeType);
  }
  void onNewWindowRequest(const std::optional<std::string>& url) {
    content_.onNewWindowRequest(url);
  }
  std::string downloadDestination(DownloadId id, const std::string& suggestedName) {
    return content_.downloadDestination(id, suggestedName);
  }
  void onDownloadFinished(DownloadId id) { content_.onDownloadFinished(id); }
  void onDownloadFailed(DownloadId id, const std::string& error) {
    content_.onDownloadFailed(id, error);
  }
  void onScriptAlert(const std::string& message, std::function<void()> done) {
    content_.onScriptAlert(message, std::move(done));
  }
  void onScriptConfirm(const std::string& message, std::function<void(bool)> done) {
    content_.onScriptConfirm(message, std::move(done));
  }

  // --- Poller
  void poll() { poller_.poll(); }
  void notify(const std::string& title, const std::string& body) { poller_.notify(title, body); }

  // --- Read-only state, for whoever watches the app (tests, the platform)
  const ServerInUse& server() const { return server_; }
  const MainWindowController& window() const { return window_; }
  const IntroOverlay& intro() const { return intro_; }
  const StatusPoller& poller() const { return poller_; }
  const WebContent& content() const { return content_; }
  const Reconnect& reconnect() const { return reconnect_; }

 private:
  // Destroyed in reverse: the window goes before the web content its view reports to.
  Platform& platform_;
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
