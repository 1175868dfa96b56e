#pragma once
// The suite server on this computer as a per-user service: where it lives, installing and
// restarting it, waiting until it answers, and stopping it on the way out.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/ServerInUse.h"
#include "platform/Bundle.h"
#include "platform/Clock.h"
#include "platform/MainLoop.h"
#include "platform/Scoped.h"
#include "platform/ToolRunner.h"
#include "platform/Ui.h"
#include "service/ServiceManager.h"

namespace qm {

class ServiceControl {
 public:
  ServiceControl(Http& http, MainLoop& loop, const Clock& clock, Bundle& bundle, ToolRunner& tools,
                 Ui& ui, const ServerInUse& server);
  ServiceControl(const ServiceControl&) = delete;
  ServiceControl& operator=(const ServiceControl&) = delete;

  // Info.json "QMQuarnDir", else ~/Desktop/Quillmarsh/quarn.
  std::string quarnDir();
  // Info.json "QMPython", else quarnDir() + "/../bots/.venv/bin/python".
  std::string python();
  std::string plistPath();
  std::string uid();
  // False when the definition could not be written (nothing is loaded then), with the reason
  // in the service's log and the app's.
  bool installAgent();
  // Runs the service manager's tool, bounded in time, and within a sequence by what is left of
  // the sequence's time; its exit status.
  int runTool(const std::vector<std::string>& args);
  // One probe of the server in use: true for a 200 answer.
  void ping(std::function<void(bool)> done);
  // Probes until the server answers, at most tries + 1 times, 0.5 s apart.
  void waitForServer(int tries, std::function<void(bool)> done);
  // Up already, or installed, started and then up.
  void ensureService(std::function<void(bool)> done);
  // Restarts the service; whenUp runs once it answers again.
  void restartService(std::function<void()> whenUp);
  // Asks first; then stops the service, removes its definition and quits.
  void quitAndStop();

 private:
  // Runs one tool sequence of the service manager: the window is blocked meanwhile, so the
  // whole sequence is bounded, not only each run.
  void runSequence(const std::function<void(const service::ToolRun&)>& sequence);
  // Notes in the service's log, which the failure page names, and in the app's, why the service
  // was not installed.
  void logProblem(const std::string& why);

  const Clock& clock_;
  Bundle& bundle_;
  ToolRunner& tools_;
  Ui& ui_;
  const ServerInUse& server_;
  ScopedHttp http_;
  ScopedLoop loop_;
  Lifetime life_;
  // When the running tool sequence must end, in Clock::monotonic() seconds.
  std::optional<double> deadline_;
};

}  // namespace qm
