#include "service/ServiceManager.h"

#include <glib.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "core/Files.h"
#include "core/Handle.h"
#include "core/Log.h"
#include "core/Paths.h"

namespace qm::service {

Backend backendFor(const std::optional<std::string>& name) {
  return name && *name == "launchd" ? Backend::Launchd : Backend::Systemd;
}

static std::optional<std::string> toolOverride() {
  const char* v = std::getenv("QUARN_SERVICE_TOOL");
  if (v && *v) return std::string(v);
  return std::nullopt;
}

namespace {

void removeDefinition(const std::string& path) {
  if (!files::remove(path) && errno != ENOENT)
    log("could not remove " + path + ": " + std::strerror(errno));
}

// Writes the definition and makes the service's data folder; why not, or empty.
std::string writeDefinition(const std::string& path, const std::string& text,
                            const std::string& dataDir) {
  if (!files::makeDirs(files::parent(path)) || !files::writeAtomic(path, text))
    return "could not write " + path + ": " + std::strerror(errno);
  if (!files::makeDirs(dataDir)) return "could not make " + dataDir + ": " + std::strerror(errno);
  return {};
}

class Launchd : public ServiceManager {
 public:
  Launchd(Agent agent, std::string plist) : a_(std::move(agent)), plist_(std::move(plist)) {}

  std::string tool() const override { return toolOverride().value_or("/bin/launchctl"); }
  // The property list escapes whatever the paths hold.
  std::string problem() const override { return {}; }

  std::string install(const ToolRun& run) override {
    if (auto why = writeDefinition(plist_, launchdPlist(a_), a_.dataDir()); !why.empty())
      return why;
    run({"bootout", a_.target()});
    run({"bootstrap", a_.domain(), plist_});
    return {};
  }
  void restart(const ToolRun& run) override { run({"kickstart", "-k", a_.target()}); }
  void stop(const ToolRun& run) override {
    run({"bootout", a_.target()});
    removeDefinition(plist_);
  }

 private:
  Agent a_;
  std::string plist_;
};

class Systemd : public ServiceManager {
 public:
  explicit Systemd(Agent agent)
      : a_(std::move(agent)),
        unitPath_(paths::xdgConfigHome() + "/systemd/user/" + a_.unitName()) {}

  std::string tool() const override {
    if (auto t = toolOverride()) return *t;
    if (GCharPtr found{g_find_program_in_path("systemctl")}) return found.get();
    return "/usr/bin/systemctl";
  }
  std::string problem() const override {
    std::string why;
    systemdUnit(a_, why);
    return why;
  }

  std::string install(const ToolRun& run) override {
    // A path that a unit file cannot hold is not written at all: a half-understood unit could
    // run something else than the server.
    std::string why;
    auto unit = systemdUnit(a_, why);
    if (!unit) return why;
    if (why = writeDefinition(unitPath_, *unit, a_.dataDir()); !why.empty()) return why;
    run({"--user", "daemon-reload"});
    run({"--user", "enable", a_.unitName()});
    // A server given up after too many starts is not started again until this is cleared.
    run({"--user", "reset-failed", a_.unitName()});
    // restart, not start: a running server picks up the new definition, as after a reload.
    run({"--user", "restart", a_.unitName()});
    return {};
  }
  void restart(const ToolRun& run) override {
    run({"--user", "reset-failed", a_.unitName()});
    run({"--user", "restart", a_.unitName()});
  }
  void stop(const ToolRun& run) override {
    run({"--user", "disable", "--now", a_.unitName()});
    removeDefinition(unitPath_);
    run({"--user", "daemon-reload"});
  }

 private:
  Agent a_;
  std::string unitPath_;
};

}  // namespace

std::unique_ptr<ServiceManager> makeServiceManager(Backend backend, Agent agent,
                                                   std::string plistPath) {
  if (backend == Backend::Launchd)
    return std::make_unique<Launchd>(std::move(agent), std::move(plistPath));
  return std::make_unique<Systemd>(std::move(agent));
}

}  // namespace qm::service
