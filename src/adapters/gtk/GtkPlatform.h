#pragma once
// The real platform: GTK 4, WebKitGTK 6.0, libsoup 3, GLib/GIO.

#include <gtk/gtk.h>
#include <webkit/webkit.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "adapters/glib/GlibLoop.h"
#include "adapters/glib/NetworkWatch.h"
#include "adapters/glib/ProcessRunner.h"
#include "adapters/soup/SoupHttp.h"
#include "core/Handle.h"
#include "platform/Platform.h"

namespace qm::gtk {

// The key file at `path`, read bounded (a regular file of at most 1 MiB); empty when there is
// none or it cannot be read or does not parse.
Owned<GKeyFile> readKeyFile(const std::string& path);
// Changes keys of the key file at `path` and writes it back atomically. A file that is there
// but cannot be read or does not parse is left as it is and false returned: writing would
// drop what else it holds. A change not saved is logged with why, followed by `instead`.
bool updateKeyFile(const std::string& path, const std::function<void(GKeyFile*)>& change,
                   const std::string& instead = "the change is not saved");

// "defaults.ini" in $XDG_CONFIG_HOME/app.quillmarsh.quarn, group [Defaults]. A value that
// cannot be saved still holds until the app ends.
class KeyFileSettings : public Settings {
 public:
  std::optional<bool> getBool(const std::string& key) override;
  void setBool(const std::string& key, bool value) override;
  static std::string path();

 private:
  std::map<std::string, bool> unsaved_;
};

// Info.json and the resources in the bundle folder.
class FolderBundle : public Bundle {
 public:
  explicit FolderBundle(std::string dir);
  std::optional<std::string> infoString(const std::string& key) override;
  std::optional<std::string> identifier() override;
  std::optional<std::string> resource(const std::string& name) override;
  const std::string& dir() const { return dir_; }
  // $QUARN_BUNDLE_DIR; else "bundle" beside the program (the build folder); else
  // share/quillmarsh-quarn of the program's prefix.
  static std::string locate(const std::string& programPath);

 private:
  std::string dir_;
};

// `relative` resolved against the folder of the running program (`programPath`, argv[0], when
// the system does not tell it), so that nothing depends on where the build meant to install it.
std::string besideProgram(const std::string& relative, const std::string& programPath = {});

// The ports that need no display, made as the process starts so that the server's resolution
// is under way while GTK and the web engine start.
class HeadlessPorts {
 public:
  explicit HeadlessPorts(std::string bundleDir) : bundle_(std::move(bundleDir)) {}
  GlibLoop& loop() { return loop_; }
  SoupHttp& http() { return http_; }
  FolderBundle& bundle() { return bundle_; }

 private:
  GlibLoop loop_;
  SoupHttp http_;
  FolderBundle bundle_;
};

class GtkUi;
class GtkMainWindow;
class WebStart;

// Every port on the real desktop, made once the display is open.
class GtkPlatform {
 public:
  GtkPlatform(GtkApplication* app, std::vector<std::string> args, HeadlessPorts& headless,
              WebStart& web);
  ~GtkPlatform();
  GtkPlatform(const GtkPlatform&) = delete;
  GtkPlatform& operator=(const GtkPlatform&) = delete;

  Platform& ports() { return ports_; }
  GtkUi& ui() { return *ui_; }
  // The main window once created, else null.
  GtkMainWindow* mainWindow() const;

 private:
  SystemClock clock_;
  KeyFileSettings settings_;
  ProcessRunner tools_;
  GioNetworkEvents network_;
  std::unique_ptr<Desktop> desktop_;
  std::unique_ptr<Notifier> notifier_;
  std::unique_ptr<SoundPlayer> sound_;
  std::unique_ptr<GtkUi> ui_;
  Platform ports_;
};

}  // namespace qm::gtk
