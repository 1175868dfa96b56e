#pragma once

#include <optional>
#include <string>

namespace qm {

// The app's bundle folder: Info.json and the resources beside it.
class Bundle {
 public:
  virtual ~Bundle() = default;
  // The string value of an Info.json key; none when absent or not a string.
  virtual std::optional<std::string> infoString(const std::string& key) = 0;
  // CFBundleIdentifier, when present.
  virtual std::optional<std::string> identifier() = 0;
  // The path of a resource file (e.g. "intro.html") when it exists.
  virtual std::optional<std::string> resource(const std::string& name) = 0;
};

}  // namespace qm
