#pragma once
// The desktop around the app: default applications, sibling apps, the file manager,
// notifications and the launcher badge.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace qm {

class Desktop {
 public:
  virtual ~Desktop() = default;
  // Opens a URI with the user's default application; failures are ignored.
  virtual void openUri(const std::string& uri) = 0;
  // Whether the desktop entry (e.g. "app.quillmarsh.studio.desktop") is installed.
  virtual bool appInstalled(const std::string& desktopId) = 0;
  // Launches the desktop entry (or brings it forward); failures are ignored.
  virtual void launchApp(const std::string& desktopId) = 0;
  // Shows the file selected in the file manager; falls back to opening its folder.
  virtual void showFileSelected(const std::string& path) = 0;
  // The user's Downloads folder; none when it cannot be determined.
  virtual std::optional<std::string> downloadsDir() = 0;
};

class Notifier {
 public:
  virtual ~Notifier() = default;
  virtual void requestPermission() = 0;
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
