#pragma once
// Where the app's and the suite's files live.

#include <string>

namespace qm::paths {

// $HOME when set and absolute, else the account's home folder. Read afresh on every call.
std::string home();
// home() + "/Library/Application Support/Quillmarsh": shared with the suite's sibling apps.
std::string suiteSupportDir();
// home() + "/Library/Logs/Quillmarsh".
std::string suiteLogDir();
// XDG base folders, honouring the environment variables, with the XDG defaults.
std::string xdgConfigHome();
std::string xdgDataHome();
std::string xdgStateHome();
std::string xdgCacheHome();

}  // namespace qm::paths
