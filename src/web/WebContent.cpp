// Placeholder until web content handling lands.
#include "app/AppDelegate.h"

namespace qm {

bool AppDelegate::allowNavigation(bool, const std::optional<std::string>&) {
  return true;
}
ResponsePolicy AppDelegate::decideResponse(const std::string& cd, bool canShow) {
  if (cd.find("attachment") != std::string::npos || !canShow) return ResponsePolicy::Download;
  return ResponsePolicy::Allow;
}
void AppDelegate::onNewWindowRequest(const std::optional<std::string>&) {}
std::string AppDelegate::downloadDestination(DownloadId, const std::string&) {
  return {};
}
void AppDelegate::onDownloadFinished(DownloadId) {}
void AppDelegate::onDownloadFailed(DownloadId, const std::string&) {}
void AppDelegate::onScriptAlert(const std::string&, std::function<void()> done) {
  done();
}
void AppDelegate::onScriptConfirm(const std::string&, std::function<void(bool)> done) {
  done(false);
}

}  // namespace qm
