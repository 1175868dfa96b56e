#pragma once

#include <optional>
#include <string>

namespace qm {

// User defaults ("showIntro", "introSound").
class Settings {
 public:
  virtual ~Settings() = default;
  // None when the key is absent or its value is not a Boolean.
  virtual std::optional<bool> getBool(const std::string& key) = 0;
  virtual void setBool(const std::string& key, bool value) = 0;
};

}  // namespace qm
