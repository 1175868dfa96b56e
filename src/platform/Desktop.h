#pragma once
// The desktop around the app: default applications, sibling apps, the file manager.

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

}  // namespace qm
