#pragma once
// Notifications and the launcher badge.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace qm {

class Notifier {
 public:
  virtual ~Notifier() = default;
  // Posts a notification with the default sound.
  virtual void post(const std::string& title, const std::string& body) = 0;
  // Shows the count on the launcher icon; none removes the badge.
  virtual void setBadge(std::optional<std::int64_t> count) = 0;
  // Posts a notification whose click calls onClicked instead of bringing the window forward.
  virtual void postAction(const std::string& title, const std::string& body,
                          std::function<void()> onClicked) = 0;
  // Shows a progress from 0 to 1 on the launcher icon, beside the badge; none hides it.
  virtual void setProgress(std::optional<double> progress) = 0;
};

}  // namespace qm
