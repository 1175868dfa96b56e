#include <unistd.h>

#include "app/AppDelegate.h"
#include "app/Globals.h"
#include "app/Paths.h"
#include "service/ServiceManager.h"

namespace qm {

namespace {

constexpr const char* kProbePath = "/static/icon.png";
constexpr double kProbeTimeout = 1.5;
constexpr double kProbePause = 0.5;
constexpr int kStartTries = 40;
constexpr double kToolTimeout = 30;

std::unique_ptr<service::ServiceManager> managerOf(AppDelegate& d) {
  service::Agent agent{AGENT_LABEL, d.quarnDir(), d.python(), d.uid()};
  return service::makeServiceManager(
      service::backendFor(d.platform.bundle.infoString("QMServiceManager")), std::move(agent),
      d.plistPath());
}

// Every tool run of the service manager goes through launchctl(), bounded in time.
auto toolOf(AppDelegate& d) {
  return [&d](const std::vector<std::string>& args) { return d.launchctl(args); };
}

}  // namespace

std::string AppDelegate::quarnDir() {
  if (auto v = platform.bundle.infoString("QMQuarnDir")) return *v;
  return service::expandTilde("~/Desktop/Quillmarsh/quarn", paths::home());
}

std::string AppDelegate::python() {
  if (auto v = platform.bundle.infoString("QMPython")) return *v;
  return quarnDir() + "/../bots/.venv/bin/python";
}

std::string AppDelegate::plistPath() {
  return service::expandTilde("~/Library/LaunchAgents/" + AGENT_LABEL + ".plist", paths::home());
}

std::string AppDelegate::uid() {
  return std::to_string(getuid());
}

void AppDelegate::installAgent() {
  managerOf(*this)->install(toolOf(*this));
}

int AppDelegate::launchctl(const std::vector<std::string>& args) {
  return platform.tools.run(managerOf(*this)->tool(), args, kToolTimeout);
}

void AppDelegate::ping(std::function<void(bool)> done) {
  HttpRequest request;
  request.url = BASE + kProbePath;
  request.timeoutSeconds = kProbeTimeout;
  request.wantBody = false;
  platform.http.get(
      request, [done = std::move(done)](HttpResponse r) { done(r.received && r.status == 200); });
}

void AppDelegate::waitForServer(int tries, std::function<void(bool)> done) {
  ping([this, tries, done = std::move(done)](bool up) mutable {
    if (up) {
      done(true);
    } else if (tries > 0) {
      platform.loop.after(kProbePause, [this, tries, done = std::move(done)]() mutable {
        waitForServer(tries - 1, std::move(done));
      });
    } else {
      done(false);
    }
  });
}

void AppDelegate::ensureService(std::function<void(bool)> done) {
  ping([this, done = std::move(done)](bool up) mutable {
    if (up) {
      done(true);
      return;
    }
    installAgent();
    waitForServer(kStartTries, std::move(done));
  });
}

void AppDelegate::restartService() {
  managerOf(*this)->restart(toolOf(*this));
  waitForServer(kStartTries, [this](bool up) {
    if (up && web) web->reload();
  });
}

void AppDelegate::quitAndStop() {
  AlertSpec spec;
  spec.message = "Stop the Quarn service?";
  spec.informative =
      "Signing in to the other apps keeps working; only Quarn's pages close until you open it "
      "again.";
  spec.buttons = {"Stop and quit", "Cancel"};
  platform.ui.alert(spec, [this](int answer) {
    if (answer != kAlertFirstButton) return;
    managerOf(*this)->stop(toolOf(*this));
    platform.ui.quit();
  });
}

}  // namespace qm
