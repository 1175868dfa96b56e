#include "service/ServiceManager.h"

#include <glib.h>

#include <cstdlib>

#include "core/Files.h"
#include "core/Handle.h"
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

class Launchd : public ServiceManager {
 public:
  Launchd(Agent agent, std::string plist) : a_(std::move(agent)), plist_(std::move(plist)) {}

  std::string tool() const override { return toolOverride().value_or("/bin/launchctl"); }
  std::string definitionPath() const override { return plist_; }
  // The property list escapes whatever the paths hold.
  std::string problem() const override { return {}; }

  void install(const ToolRun& run) override {
    const std::string text = launchdPlist(a_);
    files::makeDirs(files::parent(plist_));
    files::makeDirs(a_.dataDir());
    files::writeAtomic(plist_, text);
    run({"bootout", a_.target()});
    run({"bootstrap", a_.domain(), plist_});
  }
  void restart(const ToolRun& run) override { run({"kickstart", "-k", a_.target()}); }
  void stop(const ToolRun& run) override {
    run({"bootout", a_.target()});
    files::remove(plist_);
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
  std::string definitionPath() const override { return unitPath_; }
  std::string problem() const override {
    std::string why;
    systemdUnit(a_, why);
    return why;
  }

  void install(const ToolRun& run) override {
    // A path that a unit file cannot hold is not written at all: a half-understood unit could
    // run something else than the server.
    std::string why;
    auto unit = systemdUnit(a_, why);
    if (!unit) return;
    files::makeDirs(files::parent(unitPath_));
    files::makeDirs(a_.dataDir());
    files::writeAtomic(unitPath_, *unit);
    run({"--user", "daemon-reload"});
    run({"--user", "enable", a_.unitName()});
    // A server given up after too many starts is not started again until this is cleared.
    run({"--user", "reset-failed", a_.unitName()});
    // restart, not start: a running server picks up the new definition, as after a reload.
    run({"--user", "restart", a_.unitName()});
  }
  void restart(const ToolRun& run) override {
    run({"--user", "reset-failed", a_.unitName()});
    run({"--user", "restart", a_.unitName()});
  }
  void stop(const ToolRun& run) override {
    run({"--user", "disable", "--now", a_.unitName()});
    files::remove(unitPath_);
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
