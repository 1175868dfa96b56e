#include "adapters/glib/GlibBundle.h"

#include <glib.h>

#include "core/Files.h"
#include "core/Handle.h"
#include "core/Json.h"

namespace qm {

GlibBundle::GlibBundle(std::string dir) : dir_(std::move(dir)) {}

std::optional<std::string> GlibBundle::infoString(const std::string& key) {
  auto text = files::read(dir_ + "/Info.json", 1024 * 1024);
  if (!text) return std::nullopt;
  auto json = parseJson(*text);
  if (!json || !json->is_object()) return std::nullopt;
  auto it = json->find(key);
  if (it == json->end() || !it->is_string()) return std::nullopt;
  return it->get<std::string>();
}

std::optional<std::string> GlibBundle::identifier() {
  return infoString("CFBundleIdentifier");
}

std::optional<std::string> GlibBundle::resource(const std::string& name) {
  if (name.empty() || name.find('/') != std::string::npos) return std::nullopt;
  std::string p = dir_ + "/" + name;
  if (!g_file_test(p.c_str(), G_FILE_TEST_IS_REGULAR)) return std::nullopt;
  return p;
}

std::string GlibBundle::locate(const std::string& programPath) {
  if (const char* env = g_getenv("QUARN_BUNDLE_DIR"); env && *env) return env;
  std::string beside = besideProgram("bundle", programPath);
  if (g_file_test((beside + "/Info.json").c_str(), G_FILE_TEST_IS_REGULAR)) return beside;
  return besideProgram(QUARN_BUNDLE_FROM_BIN, programPath);
}

std::string besideProgram(const std::string& relative, const std::string& programPath) {
  GCharPtr exe(g_file_read_link("/proc/self/exe", nullptr));
  std::string program = exe ? exe.get() : programPath;
  GCharPtr path(g_canonicalize_filename(relative.c_str(), files::parent(program).c_str()));
  return path.get();
}

}  // namespace qm
