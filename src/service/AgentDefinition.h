#pragma once
// Where the local suite server lives and the service manager definitions that run it. Pure
// text building: nothing here touches the disk or runs a tool.

#include <optional>
#include <string>

namespace qm::service {

// One snapshot of the locations; every path is built by appending to quarnDir as it stands.
struct Agent {
  std::string label;
  std::string quarnDir;
  std::string python;
  std::string uid;

  std::string serverPath() const { return quarnDir + "/server.py"; }
  std::string dataDir() const { return quarnDir + "/data"; }
  std::string logPath() const { return quarnDir + "/data/quarn.log"; }
  // The user's launchd domain and the agent inside it.
  std::string domain() const { return "gui/" + uid; }
  std::string target() const { return domain() + "/" + label; }
  // The systemd unit name.
  std::string unitName() const { return label + ".service"; }
};

// "~" and "~/..." with the home folder put in; anything else unchanged.
std::string expandTilde(const std::string& path, const std::string& home);

// The launchd property list: eleven lines, no line feed after the last.
std::string launchdPlist(const Agent& agent);

// The program of an ExecStart= line. systemd expands no variables and no escapes in it, and
// refuses control characters, backslashes and quotes: none for such a path, or one that is not
// absolute (a leading "-", "@", "+", "!" or ":" would be read as a flag).
std::optional<std::string> systemdProgramWord(const std::string& path);
// A path setting's value (WorkingDirectory=, append:): only "%" needs doubling. None when the
// path cannot be written on one line of a unit file (control characters, surrounding blanks).
std::optional<std::string> systemdPathValue(const std::string& path);

// The user unit; none when a path cannot be expressed safely in a unit file, with the reason
// in `problem`.
std::optional<std::string> systemdUnit(const Agent& agent, std::string& problem);

}  // namespace qm::service
