#include "core/Paths.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace qm::paths {

namespace {
std::string absoluteEnv(const char* name) {
  const char* v = std::getenv(name);
  if (v && v[0] == '/') return v;
  return {};
}
}  // namespace

std::string home() {
  if (auto h = absoluteEnv("HOME"); !h.empty()) return h;
  if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return pw->pw_dir;
  return "/";
}

std::string suiteSupportDir() {
  return home() + "/Library/Application Support/Quillmarsh";
}
std::string suiteLogDir() {
  return home() + "/Library/Logs/Quillmarsh";
}

static std::string xdg(const char* var, const char* fallback) {
  if (auto v = absoluteEnv(var); !v.empty()) return v;
  return home() + fallback;
}

std::string xdgConfigHome() {
  return xdg("XDG_CONFIG_HOME", "/.config");
}
std::string xdgDataHome() {
  return xdg("XDG_DATA_HOME", "/.local/share");
}
std::string xdgStateHome() {
  return xdg("XDG_STATE_HOME", "/.local/state");
}
std::string xdgCacheHome() {
  return xdg("XDG_CACHE_HOME", "/.cache");
}

}  // namespace qm::paths
