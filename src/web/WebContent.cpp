#include "web/WebContent.h"

#include <sys/stat.h>

#include "app/Files.h"
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

}  // namespace

WebContent::WebContent(Desktop& desktop, Ui& ui, MainLoop& loop, const ServerInUse& server)
    : desktop_(desktop), ui_(ui), server_(server), loop_(loop) {}

bool WebContent::allowNavigation(bool mainView, const std::optional<std::string>& url) {
  if (web::decideNavigation(mainView, url, server_.BASE()) == web::NavigationDecision::Allow)
    return true;
  desktop_.openUri(*url);
  return false;
}

ResponsePolicy WebContent::decideResponse(const std::string& contentDisposition,
                                          bool canShowMimeType) {
  return web::decideResponse(contentDisposition, canShowMimeType);
}

void WebContent::onNewWindowRequest(const std::optional<std::string>& url) {
  auto decision = web::decideNewWindow(
      url, [this](const std::string& id) { return desktop_.appInstalled(id); });
  switch (decision.kind) {
    case web::NewWindowDecision::Kind::LaunchApp:
      desktop_.launchApp(decision.target);
      break;
    case web::NewWindowDecision::Kind::OpenUri:
      desktop_.openUri(decision.target);
      break;
    case web::NewWindowDecision::Kind::Nothing:
      break;
  }
}

// Panels are shown after the engine's callback has returned, never from inside it.
void WebContent::onScriptAlert(const std::string& message, std::function<void()> done) {
  loop_.post([this, message, done = std::move(done)]() mutable {
    ui_.alert({message, {}, {}}, [done = std::move(done)](int) { done(); });
  });
}

void WebContent::onScriptConfirm(const std::string& message, std::function<void(bool)> done) {
  loop_.post([this, message, done = std::move(done)]() mutable {
    ui_.alert({message, {}, {"OK", "Cancel"}},
              [done = std::move(done)](int code) { done(code == kAlertFirstButton); });
  });
}

void WebContent::showDownloadFailed(const std::string& error) {
  loop_.post([this, error] { ui_.alert({"Download failed", error, {}}, [](int) {}); });
}

std::string WebContent::downloadDestination(DownloadId id, const std::string& suggestedName) {
  // Without a known Downloads folder, the usual one in the home folder is made.
  std::string dir = desktop_.downloadsDir().value_or(paths::home() + "/Downloads");
  files::makeDirs(dir, 0755);
  auto claim = web::claimFile(dir, web::safeFileName(suggestedName));
  if (!claim.path) {
    downloads_.erase(id);
    showDownloadFailed(claim.error);
    return {};
  }
  downloads_[id] = *claim.path;
  return *claim.path;
}

void WebContent::onDownloadFinished(DownloadId id) {
  auto it = downloads_.find(id);
  if (it == downloads_.end()) return;
  std::string path = std::move(it->second);
  downloads_.erase(it);
  desktop_.showFileSelected(path);
}

void WebContent::onDownloadFailed(DownloadId id, const std::string& error) {
  if (auto it = downloads_.find(id); it != downloads_.end()) {
    removeIfEmpty(it->second);
    downloads_.erase(it);
  }
  showDownloadFailed(error);
}

}  // namespace qm
