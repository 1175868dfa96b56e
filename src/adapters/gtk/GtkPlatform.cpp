#include "adapters/gtk/GtkPlatform.h"

#include "adapters/glib/GlibDesktop.h"
#include "adapters/glib/GlibNotifier.h"
#include "adapters/glib/GlibSoundPlayer.h"
#include "adapters/gtk/GtkAppShell.h"
#include "adapters/gtk/GtkDialogs.h"
#include "adapters/gtk/GtkMenuBar.h"
#include "adapters/gtk/GtkWindows.h"

namespace qm::gtk {

namespace {

GPtr<GAppLaunchContext> displayLaunchContext() {
  GdkDisplay* display = gdk_display_get_default();
  if (!display) return {};
  return GPtr<GAppLaunchContext>::adopt(
      G_APP_LAUNCH_CONTEXT(gdk_display_get_app_launch_context(display)));
}

}  // namespace

GtkPlatform::GtkPlatform(GtkApplication* app, const Options& options, HeadlessPorts& headless,
                         webkit::WebKitSession& web)
    : desktop_(makeDesktop(displayLaunchContext)),
      notifier_(makeNotifier([this] {
        if (GtkMainWindow* main = mainWindow()) main->present();
      })),
      sound_(makeSoundPlayer()),
      windows_(std::make_unique<GtkWindows>(app, web, [this] { return menuBar_->menuKeys(); })),
      shell_(std::make_unique<GtkAppShell>(*windows_)),
      menuBar_(std::make_unique<GtkMenuBar>(*windows_, *shell_)),
      dialogs_(std::make_unique<GtkDialogs>(*windows_)),
      ports_{headless.loop(), clock_,    headless.http(), *windows_, *menuBar_, *dialogs_,
             *shell_,         *desktop_, *notifier_,      *sound_,   settings_, headless.bundle(),
             tools_,          network_,  web.cookies(),   options} {}

GtkPlatform::~GtkPlatform() = default;

GtkMainWindow* GtkPlatform::mainWindow() const {
  return windows_->mainWindow();
}

}  // namespace qm::gtk
