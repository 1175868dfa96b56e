#include "service/ServiceControl.h"

#include <unistd.h>

#include "app/Constants.h"
#include "app/Log.h"
#include "app/Paths.h"
#include "service/ServiceManager.h"

namespace qm {

namespace {

constexpr double kProbeTimeout = 1.5;
constexpr double kProbePause = 0.5;
constexpr int kStartTries = 40;
constexpr double kToolTimeout = 30;

}  // namespace

ServiceControl::ServiceControl(Http& http, MainLoop& loop, Bundle& bundle, ToolRunner& tools,
                               Ui& ui, const ServerInUse& server)
    : bundle_(bundle), tools_(tools), ui_(ui), server_(server), http_(http), loop_(loop) {}

std::string ServiceControl::quarnDir() {
  if (auto v = bundle_.infoString("QMQuarnDir")) return *v;
  return service::expandTilde("~/Desktop/Quillmarsh/quarn", paths::home());
}

std::string ServiceControl::python() {
  if (auto v = bundle_.infoString("QMPython")) return *v;
  return quarnDir() + "/../bots/.venv/bin/python";
}

std::string ServiceControl::plistPath() {
  return service::expandTilde(std::string("~/Library/LaunchAgents/") + AGENT_LABEL + ".plist",
                              paths::home());
}

std::string ServiceControl::uid() {
  return std::to_string(getuid());
}

// Every tool run of the service manager goes through launchctl(), bounded in time.
static std::unique_ptr<service::ServiceManager> managerOf(ServiceControl& s, Bundle& bundle) {
  service::Agent agent{AGENT_LABEL, s.quarnDir(), s.python(), s.uid()};
  return service::makeServiceManager(service::backendFor(bundle.infoString("QMServiceManager")),
                                     std::move(agent), s.plistPath());
}

void ServiceControl::installAgent() {
  managerOf(*this, bundle_)->install([this](const auto& args) { return launchctl(args); });
}

int ServiceControl::launchctl(const std::vector<std::string>& args) {
  std::string tool = managerOf(*this, bundle_)->tool();
  int status = tools_.run(tool, args, kToolTimeout);
  for (const auto& a : args) tool += " " + a;
  log(tool + " returned " + std::to_string(status));
  return status;
}

void ServiceControl::ping(std::function<void(bool)> done) {
  HttpRequest request;
  request.url = server_.BASE() + kProbePath;
  request.timeoutSeconds = kProbeTimeout;
  request.wantBody = false;
  http_.get(request,
            [done = std::move(done)](HttpResponse r) { done(r.received && r.status == 200); });
}

void ServiceControl::waitForServer(int tries, std::function<void(bool)> done) {
  ping([this, tries, done = std::move(done)](bool up) mutable {
    if (up) {
      done(true);
    } else if (tries > 0) {
      loop_.after(kProbePause, [this, tries, done = std::move(done)]() mutable {
        waitForServer(tries - 1, std::move(done));
      });
    } else {
      done(false);
    }
  });
}

void ServiceControl::ensureService(std::function<void(bool)> done) {
  ping([this, done = std::move(done)](bool up) mutable {
    if (up) {
      done(true);
      return;
    }
    log("no server on this computer answers: starting the service in " + quarnDir());
    installAgent();
    waitForServer(kStartTries, std::move(done));
  });
}

void ServiceControl::restartService(std::function<void()> whenUp) {
  log("restarting the service, as asked from the menu");
  managerOf(*this, bundle_)->restart([this](const auto& args) { return launchctl(args); });
  waitForServer(kStartTries, [whenUp = std::move(whenUp)](bool up) {
    if (up && whenUp) whenUp();
  });
}

void ServiceControl::quitAndStop() {
  AlertSpec spec;
  spec.message = "Stop the Quarn service?";
  spec.informative =
      "Signing in to the other apps keeps working; only Quarn's pages close until you open it "
      "again.";
  spec.buttons = {"Stop and quit", "Cancel"};
  ui_.alert(spec, life_.guard([this](int answer) {
    if (answer != kAlertFirstButton) return;
    managerOf(*this, bundle_)->stop([this](const auto& args) { return launchctl(args); });
    ui_.quit();
  }));
}

}  // namespace qm
