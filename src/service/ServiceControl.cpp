#include "service/ServiceControl.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "core/Constants.h"
#include "core/Files.h"
#include "core/Log.h"
#include "core/Paths.h"

namespace qm {

namespace {

constexpr double kProbeTimeout = 1.5;
constexpr double kProbePause = 0.5;
constexpr int kStartTries = 40;
constexpr double kToolTimeout = 30;
constexpr double kSequenceTimeout = 30;

}  // namespace

ServiceControl::ServiceControl(Http& http, MainLoop& loop, const Clock& clock, Bundle& bundle,
                               ToolRunner& tools, Ui& ui, const ServerInUse& server)
    : clock_(clock),
      bundle_(bundle),
      tools_(tools),
      ui_(ui),
      server_(server),
      http_(http),
      loop_(loop) {}

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

// Every tool run of the service manager goes through runTool(), bounded in time.
static std::unique_ptr<service::ServiceManager> managerOf(ServiceControl& s, Bundle& bundle) {
  service::Agent agent{AGENT_LABEL, s.quarnDir(), s.python(), s.uid()};
  return service::makeServiceManager(service::backendFor(bundle.infoString("QMServiceManager")),
                                     std::move(agent), s.plistPath());
}

void ServiceControl::runSequence(const std::function<void(const service::ToolRun&)>& sequence) {
  deadline_ = clock_.monotonic() + kSequenceTimeout;
  sequence([this](const std::vector<std::string>& args) { return runTool(args); });
  deadline_.reset();
}

bool ServiceControl::installAgent() {
  auto manager = managerOf(*this, bundle_);
  std::string why;
  runSequence([&](const auto& run) { why = manager->install(run); });
  if (why.empty()) return true;
  logProblem(why);
  return false;
}

int ServiceControl::runTool(const std::vector<std::string>& args) {
  double limit = kToolTimeout;
  if (deadline_) limit = std::min(limit, *deadline_ - clock_.monotonic());
  if (limit <= 0) return -1;
  std::string tool = managerOf(*this, bundle_)->tool();
  int status = tools_.run(tool, args, limit);
  for (const auto& a : args) tool += " " + a;
  log(tool + " returned " + std::to_string(status));
  return status;
}

void ServiceControl::logProblem(const std::string& why) {
  service::Agent agent{AGENT_LABEL, quarnDir(), python(), uid()};
  std::string line = "Quillmarsh Quarn did not install the service: " + why;
  for (char& c : line)
    if (static_cast<unsigned char>(c) < 0x20) c = ' ';
  log(line);
  if (!files::makeDirs(agent.dataDir()) || !files::append(agent.logPath(), line + "\n"))
    log("could not note that in " + agent.logPath() + ": " + std::strerror(errno));
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
    // Waiting for a service that cannot run would only delay the failure page.
    if (auto why = managerOf(*this, bundle_)->problem(); !why.empty()) {
      logProblem(why);
      done(false);
      return;
    }
    if (!installAgent()) return done(false);
    waitForServer(kStartTries, std::move(done));
  });
}

void ServiceControl::restartService(std::function<void()> whenUp) {
  log("restarting the service, as asked from the menu");
  auto manager = managerOf(*this, bundle_);
  runSequence([&](const auto& run) { manager->restart(run); });
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
    auto manager = managerOf(*this, bundle_);
    runSequence([&](const auto& run) { manager->stop(run); });
    ui_.quit();
  }));
}

}  // namespace qm
