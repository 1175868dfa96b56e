#pragma once
// Integration tests: the real GTK/WebKit platform under Xvfb and a private session bus (see
// scripts/with-display.sh), a fresh $HOME per test, a bundle folder of the test's own.

#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "app/AppDelegate.h"
#include "app/Globals.h"
#include "app/Url.h"
#include "fakes/LoopbackServer.h"
#include "fakes/TempHome.h"
#include "platform/gtk/GtkPlatform.h"
#include "platform/gtk/GtkUi.h"

namespace qm::itest {

using test::spinUntil;

// Web events that nobody listens to, for views made outside an AppDelegate.
struct NullEvents : WebEvents {
  void onScriptMessage(const std::string&, const std::optional<std::string>&) override {}
  bool allowNavigation(bool, const std::optional<std::string>&) override { return true; }
  ResponsePolicy decideResponse(const std::string&, bool) override { return ResponsePolicy::Allow; }
  void onNewWindowRequest(const std::optional<std::string>&) override {}
  void onIntroLoadFinished(IntroView&) override {}
  std::string downloadDestination(DownloadId, const std::string&) override { return {}; }
  void onDownloadFinished(DownloadId) override {}
  void onDownloadFailed(DownloadId, const std::string&) override {}
  void onScriptAlert(const std::string&, std::function<void()> d) override { d(); }
  void onScriptConfirm(const std::string&, std::function<void(bool)> d) override { d(false); }
};

// The GtkApplication shared by every test of the binary (registered, never run).
GtkApplication* application();

// Runs a script in a web view and waits for its result as a string ("" on error or timeout).
std::string evalJs(WebKitWebView* view, const std::string& script, double seconds = 20);

// Waits until the web view's URI satisfies pred and it has finished loading.
bool waitForPage(WebKitWebView* view, const std::function<bool(const std::string&)>& pred,
                 double seconds = 30);

// The sample suite server (examples/quarn/server.py) as a child process.
class SampleServer {
 public:
  SampleServer(const std::string& host, int port, const std::string& dataDir);
  ~SampleServer();
  bool ready() const { return ready_; }
  std::string base() const { return "http://" + host_ + ":" + std::to_string(port_); }
  void stop();

 private:
  std::string host_;
  int port_;
  pid_t pid_ = -1;
  bool ready_ = false;
};

// A whole app as main() builds it, in a fresh home, with a bundle folder made from `info`.
class AppHarness {
 public:
  explicit AppHarness(nlohmann::json info = defaultInfo(),
                      std::vector<std::string> args = {"quillmarsh-quarn"});
  ~AppHarness();

  static nlohmann::json defaultInfo();
  // Copies a resource of the real bundle (build/bundle) into the test's bundle folder.
  void copyResource(const std::string& name);
  // Constructs the platform and delegate and runs the launch sequence.
  void launch();
  // Gives the app a local service folder whose service never comes up, so that with no server
  // answering it keeps the placeholder and the intro through the readiness wait (about 20
  // seconds) instead of showing the connect page at once. Call before launch().
  void holdStartup();

  const std::string& home() const { return home_.path(); }
  const std::string& bundleDir() const { return bundleDir_; }
  gtk::GtkPlatform& platform() { return *platform_; }
  AppDelegate& delegate() { return *delegate_; }
  gtk::GtkMainWindow& window() { return *platform_->ui->mainWindow(); }
  WebKitWebView* webView() { return window().webView(); }

 private:
  test::TempHome home_;
  std::string bundleDir_;
  std::vector<std::string> args_;
  std::unique_ptr<gtk::GtkPlatform> platform_;
  std::unique_ptr<AppDelegate> delegate_;
};

}  // namespace qm::itest
