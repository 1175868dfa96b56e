#include "web/WebContent.h"

#include <glib.h>
#include <sys/stat.h>

#include <utility>

#include "core/Files.h"
#include "core/Handle.h"
#include "core/Paths.h"
#include "web/DownloadNames.h"
#include "web/Policy.h"

namespace qm {

namespace {

constexpr double kRevealSeconds = 3;
constexpr double kProgressSeconds = 0.5;

// The reservation made for a download that never wrote a byte is ours to take back.
void removeIfEmpty(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size == 0)
    (void)files::remove(path);  // an empty file left behind loses nothing
}

// True when both name the same folder, however written.
bool sameFolder(const std::string& a, const std::string& b) {
  struct stat sa {
  }, sb{};
  if (::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0)
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
  GCharPtr ca(g_canonicalize_filename(a.c_str(), "/")), cb(g_canonicalize_filename(b.c_str(), "/"));
  return g_str_equal(ca.get(), cb.get());
}

}  // namespace

WebContent::WebContent(Desktop& desktop, Dialogs& dialogs, AppShell& shell, Notifier& notifier,
                       MainLoop& loop, const ServerInUse& server)
    : desktop_(desktop),
      dialogs_(dialogs),
      shell_(shell),
      notifier_(notifier),
      server_(server),
      loop_(loop) {}

bool WebContent::allowNavigation(const std::optional<std::string>& url) {
  if (web::decideNavigation(url, server_.BASE()) == web::NavigationDecision::Allow) return true;
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
    dialogs_.alert({message, {}, {}}, [done = std::move(done)](int) { done(); });
  });
}

void WebContent::onScriptConfirm(const std::string& message, std::function<void(bool)> done) {
  loop_.post([this, message, done = std::move(done)]() mutable {
    dialogs_.alert({message, {}, {"OK", "Cancel"}},
                   [done = std::move(done)](int code) { done(code == kAlertFirstButton); });
  });
}

void WebContent::showDownloadFailed(const std::string& error) {
  if (failureShowing_) return;
  failureShowing_ = true;
  loop_.post([this, error] {
    dialogs_.alert({"Download failed", error, {}},
                   life_.guard([this](int) { failureShowing_ = false; }));
  });
}

void WebContent::reveal(const std::string& path) {
  if (revealPaused_) {
    toReveal_ = path;
    return;
  }
  // Told only to a user who is elsewhere; the file manager coming forward may be missed there.
  if (!shell_.appInFront()) {
    GCharPtr name(g_path_get_basename(path.c_str()));
    notifier_.postAction(std::string(name.get()) + " downloaded", files::parent(path),
                         [&desktop = desktop_, path] { desktop.showFileSelected(path); });
  }
  desktop_.showFileSelected(path);
  revealPaused_ = true;
  loop_.after(kRevealSeconds, [this] {
    revealPaused_ = false;
    if (auto next = std::exchange(toReveal_, std::nullopt)) reveal(*next);
  });
}

// The user's Downloads folder, never the home folder itself: desktops point Downloads at home
// when its folder was deleted, and a page's file must not land beside the start-up files there.
std::string WebContent::downloadsDir() {
  std::string home = paths::home();
  auto dir = desktop_.downloadsDir();
  if (!dir || !g_path_is_absolute(dir->c_str()) || sameFolder(*dir, home))
    return home + "/Downloads";
  return *dir;
}

std::string WebContent::downloadDestination(DownloadId id, const std::string& suggestedName) {
  std::string dir = downloadsDir();
  (void)files::makeDirs(dir, 0755);  // a folder that cannot be made fails the claim, with why
  auto claim = web::claimFile(dir, web::safeFileName(suggestedName));
  if (!claim.path) {
    downloads_.erase(id);
    showDownloadFailed(claim.error);
    return {};
  }
  downloads_[id] = *claim.path;
  transfers_[id] = {};
  showProgress();
  return *claim.path;
}

void WebContent::onDownloadFinished(DownloadId id) {
  auto it = downloads_.find(id);
  if (it == downloads_.end()) return;
  std::string path = std::move(it->second);
  downloads_.erase(it);
  transfers_.erase(id);
  showProgress();
  reveal(path);
}

void WebContent::onDownloadFailed(DownloadId id, const std::string& error) {
  if (auto it = downloads_.find(id); it != downloads_.end()) {
    removeIfEmpty(it->second);
    downloads_.erase(it);
  }
  transfers_.erase(id);
  showProgress();
  showDownloadFailed(error);
}

void WebContent::onDownloadProgress(DownloadId id, std::uint64_t received, std::uint64_t expected) {
  auto it = transfers_.find(id);
  if (it == transfers_.end()) return;
  it->second = {received, expected};
  showProgress();
}

void WebContent::showProgress() {
  auto level = web::overallProgress(transfers_);
  if (!level) {
    if (std::exchange(progressShown_, std::nullopt)) notifier_.setProgress(std::nullopt);
    return;
  }
  if (progressPaused_ || level == progressShown_) return;
  notifier_.setProgress(level);
  progressShown_ = level;
  progressPaused_ = true;
  loop_.after(kProgressSeconds, [this] {
    progressPaused_ = false;
    showProgress();
  });
}

}  // namespace qm
