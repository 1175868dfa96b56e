#pragma once
// One running app on the real desktop: the platform, the delegate and the window's activity,
// put together the same way by the program and by the integration tests.

#include <gtk/gtk.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "adapters/gtk/GtkPlatform.h"
#include "adapters/gtk/GtkUi.h"
#include "app/AppDelegate.h"
#include "core/Options.h"
#include "server/EarlyResolution.h"
#include "session/EarlySignIn.h"

namespace qm::gtk {

class GtkInstance {
 public:
  // Starts resolving the server at once, before there is a display. Without `acceleration`,
  // decided from the options and the settings.
  GtkInstance(Options options, std::string bundleDir,
              std::optional<bool> acceleration = std::nullopt);
  // Off by the option --no-hardware-acceleration or the setting hardwareAcceleration=false.
  static bool accelerationWanted(const Options& options);
  ~GtkInstance();
  GtkInstance(const GtkInstance&) = delete;
  GtkInstance& operator=(const GtkInstance&) = delete;

  // Plants the shared sign-in and starts the main window's web view on the placeholder page.
  // GTK must be up; the launch then builds the window around that view.
  void prepareWeb();
  // Builds everything else and runs the launch sequence; once.
  void launch(GtkApplication* app);
  bool launched() const { return delegate_ != nullptr; }
  GtkPlatform& platform() { return *platform_; }
  AppDelegate& delegate() { return *delegate_; }
  bool hardwareAcceleration() const { return hardwareAcceleration_; }
  // Saves what the window keeps for the next launch.
  void shutdown();

 private:
  Options options_;
  bool hardwareAcceleration_;
  HeadlessPorts headless_;
  EarlyResolution early_;
  webkit::WebKitSession web_;
  std::unique_ptr<EarlySignIn> earlySignIn_;
  std::unique_ptr<GtkPlatform> platform_;
  std::unique_ptr<AppDelegate> delegate_;
  SignalConnection activeChanged_;
};

}  // namespace qm::gtk
