// From a resolved host (or none) to what the main web view shows, and the messages that pages
// post back to the app.
#include <filesystem>
#include <string_view>

#include "app/AppDelegate.h"
#include "app/Globals.h"
#include "app/Markup.h"
#include "server/SuiteServer.h"

namespace qm {

namespace {

constexpr const char* kAppName = "Quillmarsh Quarn";
constexpr const char* kProbePath = "/static/icon.png";
constexpr const char* kLocalHost = "127.0.0.1";
constexpr const char* kConnectingPage =
    "<body style='font:15px -apple-system;color:#525252;display:flex;align-items:center;"
    "justify-content:center;height:90vh'>Connecting\u2026</body>";
constexpr const char* kMessageStart =
    "<body style='font:15px -apple-system;background:Canvas;color:CanvasText;padding:40px;"
    "white-space:pre-wrap'>";
constexpr const char* kMessageEnd = "</body>";
constexpr const char* kReadyScript = "window.qmReady && qmReady()";

// Any file system item counts; a dangling link does not, as nothing is there.
bool itemExists(const std::string& path) {
  if (path.empty()) return false;
  std::error_code ec;
  return std::filesystem::exists(path, ec);
}

}  // namespace

void AppDelegate::connect() {
  SuiteServer::resolve(platform.http, platform.bundle, PORT, kProbePath,
                       [this](std::optional<std::string> host) { connectCompleted(host); });
}

void AppDelegate::connectCompleted(const std::optional<std::string>& host) {
  if (host) {
    use(*host);
    return;
  }
  std::string dir = quarnDir();
  if (itemExists(dir)) {
    ensureService([this, dir](bool up) {
      if (up) {
        use(kLocalHost);
        return;
      }
      endIntro();
      showMessage("Couldn't start Quillmarsh Quarn.\n\nCheck " + dir + "/data/quarn.log");
    });
    return;
  }
  endIntro();
  if (web) web->loadHtml(SuiteServer::askPage(platform.bundle, kAppName));
}

void AppDelegate::use(const std::string& host) {
  BASE = SuiteServer::base(host, PORT);
  if (host != kLocalHost) SuiteServer::save(host);
  if (suiteSession) {
    suiteSession->host = host;
    // The UI goes out only once the shared sign-in is in the store, so its first request
    // already carries it.
    suiteSession->adopt([this](bool) {
      if (web) web->loadUrl(BASE);
    });
  } else if (web) {
    web->loadUrl(BASE);
  }
  introReady = true;
  if (intro) intro->evaluate(kReadyScript);
  poll();
}

void AppDelegate::showMessage(const std::string& text) {
  if (web) web->loadHtml(kMessageStart + escapeMarkup(text) + kMessageEnd);
}

void AppDelegate::onScriptMessage(const std::string& channel,
                                  const std::optional<std::string>& body) {
  if (channel == "qmserver") {
    // Remembered before probing, so the new host is among the candidates of this very
    // resolution and stays remembered whether or not it answers.
    if (auto host = SuiteServer::clean(body.value_or(""))) SuiteServer::save(*host);
    if (web) web->loadHtml(kConnectingPage);
    connect();
    return;
  }
  if (!body) return;
  if (*body == "start") {
    introSound.play();
  } else if (*body == "finished") {
    introSound.fadeOut();
    endIntro();
  }
}

}  // namespace qm
