#pragma once

#include <map>
#include <optional>
#include <string>

#include "platform/Settings.h"

namespace qm {

// "defaults.ini" in $XDG_CONFIG_HOME/app.quillmarsh.quarn, group [Defaults]. A value that
// cannot be saved still holds until the app ends.
class GlibSettings : public Settings {
 public:
  std::optional<bool> getBool(const std::string& key) override;
  void setBool(const std::string& key, bool value) override;
  static std::string path();

 private:
  std::map<std::string, bool> unsaved_;
};

}  // namespace qm
