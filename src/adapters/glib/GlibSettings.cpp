#include "adapters/glib/GlibSettings.h"

#include "adapters/glib/GlibKeyFile.h"
#include "core/Constants.h"
#include "core/Paths.h"
#include "core/Text.h"

namespace qm {

std::string GlibSettings::path() {
  return paths::xdgConfigHome() + "/" + kAppId + "/defaults.ini";
}

static constexpr const char* kGroup = "Defaults";

std::optional<bool> GlibSettings::getBool(const std::string& key) {
  if (auto it = unsaved_.find(key); it != unsaved_.end()) return it->second;
  auto kf = readKeyFile(path());
  GCharPtr value(g_key_file_get_value(kf.get(), kGroup, key.c_str(), nullptr));
  if (!value) return std::nullopt;
  std::string v = text::trim(value.get());
  if (v == "true") return true;
  if (v == "false") return false;
  return std::nullopt;
}

void GlibSettings::setBool(const std::string& key, bool value) {
  const std::string setting = key + "=" + (value ? "true" : "false");
  bool saved = updateKeyFile(
      path(),
      [&](GKeyFile* kf) {
        g_key_file_set_value(kf, kGroup, key.c_str(), value ? "true" : "false");
      },
      setting + " holds until Quillmarsh Quarn quits but is not saved");
  // The menu's switch still acts for this run.
  if (saved)
    unsaved_.erase(key);
  else
    unsaved_[key] = value;
}

}  // namespace qm
