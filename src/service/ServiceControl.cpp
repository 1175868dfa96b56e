// Placeholder until local service management lands: keeps the app running.
#include "app/AppDelegate.h"
#include "app/Paths.h"

#include <unistd.h>

namespace qm {

std::string AppDelegate::quarnDir() {
  if (auto v = platform.bundle.infoString("QMQuarnDir")) return *v;
  return paths::home() + "/Desktop/Quillmarsh/quarn";
}
std::string AppDelegate::python() {
  return quarnDir() + "/../bots/.venv/bin/python";
}
std::string AppDelegate::plistPath() {
  return {};
}
std::string AppDelegate::uid() {
  return std::to_string(getuid());
}
void AppDelegate::installAgent() {}
int AppDelegate::launchctl(const std::vector<std::string>&) {
  return -1;
}
void AppDelegate::ping(std::function<void(bool)> done) {
  platform.loop.post([done] { done(false); });
}
void AppDelegate::waitForServer(int, std::function<void(bool)> done) {
  ping(done);
}
void AppDelegate::ensureService(std::function<void(bool)> done) {
  ping(done);
}
void AppDelegate::restartService() {}
void AppDelegate::quitAndStop() {
  platform.ui.quit();
}

}  // namespace qm
