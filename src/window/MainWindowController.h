#pragma once
// The main window: the window itself, its web view, the sign-in mirror on the view's cookie
// store and the placeholder page shown until the server's UI loads.

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/ServerInUse.h"
#include "platform/MainWindowFactory.h"
#include "platform/Scoped.h"
#include "session/SuiteSession.h"
#include "window/WindowSlices.h"

namespace qm {

class MainWindowController : public MainPages, public IntroHost, public CookieSource {
 public:
  // `early` (may be null) holds the sign-in planted before the window was built.
  MainWindowController(MainWindowFactory& windows, CookieStore& cookies, MainLoop& loop,
                       const Clock& clock, const ServerInUse& server, EarlySignIn* early = nullptr);
  MainWindowController(const MainWindowController&) = delete;
  MainWindowController& operator=(const MainWindowController&) = delete;

  // Makes the window, its web view and the sign-in mirror; nothing is shown yet. Only the app's
  // own pages and those of the server in use reach onServerMessage, only the app's own pages
  // onAppMessage, and "reload" stays here.
  void build(MainViewEvents events);
  void showPlaceholder();
  void present() override;
  // The window became the active one: a sign-in made in a sibling app meanwhile is adopted,
  // and the server's page reloaded when it changed. Only while the page comes from `base`.
  void becameActive(const std::string& base);

  void loadUi(const std::string& host, const std::string& base,
              std::function<void()> adopted) override;
  void loadHtml(const std::string& html) override;
  bool showsPage(const std::string& html) const override;
  // Ends the web process of a page that no longer answers and loads the page again.
  void restartPage();
  void reload();
  void reloadFromOrigin();
  std::unique_ptr<IntroView> createIntroView(const std::string& htmlPath,
                                             IntroEvents& events) override;
  bool built() const override { return web_ != nullptr; }

  CookieStore* cookies() override { return window_ ? &cookies_ : nullptr; }

 private:
  MainWindowFactory& windows_;
  CookieStore& cookies_;
  MainLoop& loop_;
  const Clock& clock_;
  const ServerInUse& server_;
  EarlySignIn* early_;
  std::unique_ptr<MainWindow> window_;
  WebView* web_ = nullptr;
  // The web process ended: what was shown is loaded again, unless it keeps ending.
  void webProcessEnded();
  // Keeps where the user has gone in the UI, as long as it is still the UI's server.
  void noteWhereUserIs();
  void showAgain();
  bool showsOwnPageInsteadOfUi() const;

  std::unique_ptr<SuiteSession> suiteSession_;
  std::uint64_t uiLoads_ = 0;
  // What the view was last asked to show: the UI at an address, or a generated page.
  bool showsUi_ = false;
  std::string shown_;
  std::deque<double> processEnds_;  // within the last minute
  bool onProcessPage_ = false;      // for the menu's Reload
  Lifetime life_;
};

}  // namespace qm
