#pragma once
// The operating system's service manager, seen as three operations on the suite server's
// agent. Two back ends: launchd (a property list and launchctl) and systemd (a user unit and
// systemctl --user).

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "service/AgentDefinition.h"

namespace qm::service {

// Runs the manager's tool with the arguments and waits for it; returns its exit status.
using ToolRun = std::function<int(const std::vector<std::string>&)>;

enum class Backend { Launchd, Systemd };

// The Info.json "QMServiceManager" value; systemd unless it says "launchd".
Backend backendFor(const std::optional<std::string>& name);

class ServiceManager {
 public:
  virtual ~ServiceManager() = default;
  // The tool to run: $QUARN_SERVICE_TOOL when set, else the back end's own.
  virtual std::string tool() const = 0;
  // Why the definition cannot be written so that the manager runs the server; empty when it
  // can.
  virtual std::string problem() const = 0;
  // Writes the definition and (re)loads and starts the service; a definition that could not be
  // written is not loaded, and why is returned. Empty once loaded: failures of the tool are
  // ignored, as whether the server came up is judged by probing it.
  virtual std::string install(const ToolRun& run) = 0;
  virtual void restart(const ToolRun& run) = 0;
  // Unloads the service and removes its definition, so it does not start at the next login.
  virtual void stop(const ToolRun& run) = 0;
};

// plistPath is the launchd definition's path; the systemd unit lies in the user's
// $XDG_CONFIG_HOME/systemd/user folder.
std::unique_ptr<ServiceManager> makeServiceManager(Backend backend, Agent agent,
                                                   std::string plistPath);

}  // namespace qm::service
