#pragma once
// The main window: the window itself, its web view, the sign-in mirror on the view's cookie
// store and the placeholder page shown until the server's UI loads.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/Scoped.h"
#include "platform/Ui.h"
#include "session/SuiteSession.h"

namespace qm {

class MainWindowController {
 public:
  MainWindowController(Ui& ui, const Clock& clock);
  MainWindowController(const MainWindowController&) = delete;
  MainWindowController& operator=(const MainWindowController&) = delete;

  static const char* placeholderPage();

  // Makes the window, its web view and the sign-in mirror; nothing is shown yet.
  void build(MainViewEvents events);
  void showPlaceholder();
  void present();
  // The window became the active one: a sign-in made in a sibling app meanwhile is adopted,
  // and the server's page reloaded when it changed. Only while the page comes from `base`.
  void becameActive(const std::string& base);

  // Loads the server's UI once the shared sign-in for `host` is in the store, then calls
  // `adopted`. A later loadUi replaces one whose adoption is still running.
  void loadUi(const std::string& host, const std::string& base, std::function<void()> adopted);
  void loadHtml(const std::string& html);
  void reload();
  void reloadFromOrigin();
  // A new intro view over the web view; none before the window is built.
  std::unique_ptr<IntroView> createIntroView(const std::string& htmlPath, IntroEvents& events);

  // Read-only views for the other controllers; null until build().
  const WebView* web() const { return web_; }
  CookieStore* cookies() { return window_ ? &window_->cookies() : nullptr; }
  const SuiteSession* suiteSession() const { return suiteSession_.get(); }

 private:
  Ui& ui_;
  const Clock& clock_;
  std::unique_ptr<MainWindow> window_;
  WebView* web_ = nullptr;
  std::unique_ptr<SuiteSession> suiteSession_;
  std::uint64_t uiLoads_ = 0;
  Lifetime life_;
};

}  // namespace qm
