#pragma once
// The one owner of the application's long-lived state. Each subsystem implements its own
// operations of this class in its own folder; everything runs on the main thread.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "intro/IntroSound.h"
#include "platform/Platform.h"
#include "session/SuiteSession.h"

namespace qm {

class AppDelegate : public WebEvents {
 public:
  explicit AppDelegate(Platform& platform);
  ~AppDelegate() override;

  // --- Application shell (app/AppDelegate.cpp)
  void applicationDidFinishLaunching();
  void applicationDidBecomeActive();
  // The app was started again while running: same effect as showWindow.
  bool applicationShouldHandleReopen();
  void showWindow();
  void buildWindow();
  static const char* placeholderPage();

  // --- Menu (app/Menu.cpp)
  void buildMainMenu();
  // Delegate menu items arrive here by action name.
  void onMenuAction(const std::string& action);
  void reloadWeb();
  void openHQ();
  void openStudio();
  void openExports();
  void showAbout();

  // --- Local service (service/ServiceControl.cpp)
  std::string quarnDir();
  std::string python();
  std::string plistPath();
  std::string uid();
  void installAgent();
  int launchctl(const std::vector<std::string>& args);
  void ping(std::function<void(bool)> done);
  void waitForServer(int tries, std::function<void(bool)> done);
  void ensureService(std::function<void(bool)> done);
  void restartService();
  void quitAndStop();

  // --- Connection flow (server/ConnectionFlow.cpp)
  void connect();
  void connectCompleted(const std::optional<std::string>& host);
  void use(const std::string& host);
  void showMessage(const std::string& text);
  void onScriptMessage(const std::string& channel, const std::optional<std::string>& body) override;

  // --- Intro (intro/IntroOverlay.cpp)
  bool introOn();
  void startIntro();
  void endIntro();
  void onIntroLoadFinished(IntroView& view) override;
  void replayIntro();
  void toggleIntro();
  void toggleIntroSound();

  // --- Web content (web/WebContent.cpp)
  bool allowNavigation(bool mainView, const std::optional<std::string>& url) override;
  ResponsePolicy decideResponse(const std::string& contentDisposition,
                                bool canShowMimeType) override;
  void onNewWindowRequest(const std::optional<std::string>& url) override;
  std::string downloadDestination(DownloadId id, const std::string& suggestedName) override;
  void onDownloadFinished(DownloadId id) override;
  void onDownloadFailed(DownloadId id, const std::string& error) override;
  void onScriptAlert(const std::string& message, std::function<void()> done) override;
  void onScriptConfirm(const std::string& message, std::function<void(bool)> done) override;

  // --- Poller (poller/Poller.cpp)
  void poll();
  void notify(const std::string& title, const std::string& body);

  // --- State, in the order the application owns it
  Platform& platform;
  std::unique_ptr<MainWindow> window;
  WebView* web = nullptr;
  std::unique_ptr<IntroView> intro;
  bool introReady = false;
  std::optional<TimerId> poller;
  IntroSound introSound;
  std::unique_ptr<SuiteSession> suiteSession;
  std::map<DownloadId, std::string> downloads;
  std::int64_t lastBad = -1;

 private:
  // Intro views fading out; each is removed when its fade ends.
  std::vector<std::unique_ptr<IntroView>> fading_;
};

}  // namespace qm
