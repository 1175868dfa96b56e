#include "adapters/gtk/GtkPlatform.h"

#include "adapters/glib/GlibDesktop.h"
#include "adapters/glib/GlibNotifier.h"
#include "adapters/glib/GlibSoundPlayer.h"
#include "adapters/gtk/GtkUi.h"

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
      ui_(std::make_unique<GtkUi>(app, web)),
      ports_{headless.loop(), clock_,    headless.http(),   *ui_,   *desktop_, *notifier_,
             *sound_,         settings_, headless.bundle(), tools_, network_,  web.cookies(),
             options} {}

GtkPlatform::~GtkPlatform() = default;

GtkMainWindow* GtkPlatform::mainWindow() const {
  return ui_->mainWindow();
}

}  // namespace qm::gtk
