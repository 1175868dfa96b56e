#include <sys/stat.h>

#include "app/AppDelegate.h"
#include "app/Files.h"
#include "app/Globals.h"
#include "app/Paths.h"
#include "web/DownloadNames.h"
#include "web/Policy.h"

namespace qm {

namespace {

// The reservation made for a download that never wrote a byte is ours to take back.
void removeIfEmpty(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size == 0)
    files::remove(path);
}

// Shown after the engine's callback has returned, never from inside it.
void showDownloadFailed(AppDelegate& app, const std::string& error) {
  app.platform.loop.post([&app, error] {
    app.platform.ui.alert({"Download failed", error, {}}, [](int) {});
  });
}

}  // namespace

bool AppDelegate::allowNavigation(bool mainView, const std::optional<std::string>& url) {
  if (!web) return true;
  if (web::decideNavigation(mainView, url, BASE) == web::NavigationDecision::Allow) return true;
  platform.desktop.openUri(*url);
  return false;
}

ResponsePolicy AppDelegate::decideResponse(const std::string& contentDisposition,
                                           bool canShowMimeType) {
  return web::decideResponse(contentDisposition, canShowMimeType);
}

void AppDelegate::onNewWindowRequest(const std::optional<std::string>& url) {
  auto decision = web::decideNewWindow(
      url, [this](const std::string& id) { return platform.desktop.appInstalled(id); });
  switch (decision.kind) {
    case web::NewWindowDecision::Kind::LaunchApp:
      platform.desktop.launchApp(decision.target);
      break;
    case web::NewWindowDecision::Kind::OpenUri:
      platform.desktop.openUri(decision.target);
      break;
    case web::NewWindowDecision::Kind::Nothing:
      break;
  }
}

std::string AppDelegate::downloadDestination(DownloadId id, const std::string& suggestedName) {
  // Without a known Downloads folder, the usual one in the home folder is made.
  std::string dir = platform.desktop.downloadsDir().value_or(paths::home() + "/Downloads");
  files::makeDirs(dir, 0755);
  auto claim = web::claimFile(dir, web::safeFileName(suggestedName));
  if (!claim.path) {
    downloads.erase(id);
    showDownloadFailed(*this, claim.error);
    return {};
  }
  downloads[id] = *claim.path;
  return *claim.path;
}

void AppDelegate::onDownloadFinished(DownloadId id) {
  auto it = downloads.find(id);
  if (it == downloads.end()) return;
  std::string path = std::move(it->second);
  downloads.erase(it);
  platform.desktop.showFileSelected(path);
}

void AppDelegate::onDownloadFailed(DownloadId id, const std::string& error) {
  if (auto it = downloads.find(id); it != downloads.end()) {
    removeIfEmpty(it->second);
    downloads.erase(it);
  }
  showDownloadFailed(*this, error);
}

void AppDelegate::onScriptAlert(const std::string& message, std::function<void()> done) {
  platform.loop.post([this, message, done = std::move(done)]() mutable {
    platform.ui.alert({message, {}, {}}, [done = std::move(done)](int) { done(); });
  });
}

void AppDelegate::onScriptConfirm(const std::string& message, std::function<void(bool)> done) {
  platform.loop.post([this, message, done = std::move(done)]() mutable {
    platform.ui.alert({message, {}, {"OK", "Cancel"}},
                      [done = std::move(done)](int code) { done(code == kAlertFirstButton); });
  });
}

}  // namespace qm
