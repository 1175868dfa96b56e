#pragma once
// The real platform: GTK 4, WebKitGTK 6.0, libsoup 3, GLib/GIO.

#include <gtk/gtk.h>
#include <webkit/webkit.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "adapters/glib/GlibBundle.h"
#include "adapters/glib/GlibLoop.h"
#include "adapters/glib/GlibNetworkEvents.h"
#include "adapters/glib/GlibSettings.h"
#include "adapters/posix/PosixToolRunner.h"
#include "adapters/soup/SoupHttp.h"
#include "core/Handle.h"
#include "platform/Platform.h"

namespace qm::webkit {
class WebKitSession;
}  // namespace qm::webkit

namespace qm::gtk {

// The ports that need no display, made as the process starts so that the server's resolution
// is under way while GTK and the web engine start.
class HeadlessPorts {
 public:
  explicit HeadlessPorts(std::string bundleDir) : bundle_(std::move(bundleDir)) {}
  GlibLoop& loop() { return loop_; }
  SoupHttp& http() { return http_; }
  GlibBundle& bundle() { return bundle_; }

 private:
  GlibLoop loop_;
  SoupHttp http_;
  GlibBundle bundle_;
};

class GtkUi;
class GtkMainWindow;

// Every port on the real desktop, made once the display is open.
class GtkPlatform {
 public:
  GtkPlatform(GtkApplication* app, const Options& options, HeadlessPorts& headless,
              webkit::WebKitSession& web);
  ~GtkPlatform();
  GtkPlatform(const GtkPlatform&) = delete;
  GtkPlatform& operator=(const GtkPlatform&) = delete;

  Platform& ports() { return ports_; }
  GtkUi& ui() { return *ui_; }
  // The main window once created, else null.
  GtkMainWindow* mainWindow() const;

 private:
  GlibClock clock_;
  GlibSettings settings_;
  PosixToolRunner tools_;
  GlibNetworkEvents network_;
  std::unique_ptr<Desktop> desktop_;
  std::unique_ptr<Notifier> notifier_;
  std::unique_ptr<SoundPlayer> sound_;
  std::unique_ptr<GtkUi> ui_;
  Platform ports_;
};

}  // namespace qm::gtk
