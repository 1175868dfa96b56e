#include "adapters/gtk/GtkInstance.h"

#include "adapters/glib/GlibSettings.h"
#include "core/Constants.h"
#include "core/Guard.h"
#include "pages/Pages.h"
#include "server/HostText.h"
#include "server/RememberedHost.h"

namespace qm::gtk {

bool GtkInstance::accelerationWanted(const Options& options) {
  if (options.noHardwareAcceleration) return false;
  GlibSettings settings;
  return settings.getBool("hardwareAcceleration").value_or(true);
}

GtkInstance::GtkInstance(Options options, std::string bundleDir, std::optional<bool> acceleration)
    : options_(options),
      hardwareAcceleration_(acceleration.value_or(accelerationWanted(options_))),
      headless_(std::move(bundleDir)),
      early_(headless_.http(), headless_.bundle(), headless_.loop()),
      web_(hardwareAcceleration_) {
  web_.setDeveloper(options_.developer);
}

void GtkInstance::prepareWeb() {
  // The sign-in goes into the store while the view and the window are still to be made, for
  // this computer's server and the remembered one (those a launch nearly always uses): the UI's
  // load then need not wait for it.
  std::vector<std::string> hosts{kLocalHost};
  if (auto remembered = SuiteServer::saved();
      remembered && *remembered != kLocalHost && SuiteServer::usable(*remembered))
    hosts.push_back(*remembered);
  earlySignIn_ = std::make_unique<EarlySignIn>(web_.cookies(), GlibClock(), hosts);
  web_.prepare(pages::placeholderPage());
}

void GtkInstance::launch(GtkApplication* app) {
  if (launched()) return;
  platform_ = std::make_unique<GtkPlatform>(app, options_, headless_, web_);
  delegate_ = std::make_unique<AppDelegate>(platform_->ports(), &early_, earlySignIn_.get());
  delegate_->applicationDidFinishLaunching();
  GtkMainWindow* main = platform_->mainWindow();
  if (!main) return;
  GtkWindow* w = main->window();
  activeChanged_ = SignalConnection(
      w, g_signal_connect(w, "notify::is-active",
                          G_CALLBACK(+[](GtkWindow* window, GParamSpec*, AppDelegate* delegate) {
                            if (gtk_window_is_active(window))
                              guarded([&] { delegate->applicationDidBecomeActive(); });
                          }),
                          delegate_.get()));
  if (gtk_window_is_active(w)) delegate_->applicationDidBecomeActive();
}

GtkInstance::~GtkInstance() {
  activeChanged_.reset();
  delegate_.reset();
  platform_.reset();
}

void GtkInstance::shutdown() {
  if (!platform_) return;
  if (GtkMainWindow* main = platform_->mainWindow()) main->saveState();
}

}  // namespace qm::gtk
