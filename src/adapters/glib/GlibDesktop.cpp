// The desktop around the app through GIO: default applications, desktop entries, the file
// manager over the session bus and the Downloads folder. Nothing here waits.
#include <gio/gdesktopappinfo.h>

#include <memory>

#include "adapters/glib/GlibDesktop.h"
#include "core/Guard.h"
#include "core/Handle.h"
#include "core/Paths.h"

namespace qm {

namespace {

void openDefault(const std::string& uri, const LaunchContexts& contexts) {
  auto ctx = contexts();
  g_app_info_launch_default_for_uri_async(uri.c_str(), ctx.get(), nullptr, nullptr, nullptr);
}

// A file shown selected by the file manager; its folder is opened instead when that fails.
struct ShowItems {
  std::string fileUri;
  std::string folderUri;
  // Lets the file manager come to the front: the startup id is its launch's.
  GPtr<GAppLaunchContext> context;
  std::string startupId;
  LaunchContexts contexts;

  void fallBack() const {
    if (!startupId.empty()) g_app_launch_context_launch_failed(context.get(), startupId.c_str());
    if (!folderUri.empty()) openDefault(folderUri, contexts);
  }

  static void onReply(GObject* source, GAsyncResult* result, gpointer data) {
    guarded([&] {
      std::unique_ptr<ShowItems> self(static_cast<ShowItems*>(data));
      GError* raw = nullptr;
      Owned<GVariant> reply(g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &raw));
      GErrorPtr error(raw);
      if (!reply) self->fallBack();
    });
  }

  static void onBus(GObject*, GAsyncResult* result, gpointer data) {
    guarded([&] {
      std::unique_ptr<ShowItems> self(static_cast<ShowItems*>(data));
      GError* raw = nullptr;
      auto bus = GPtr<GDBusConnection>::adopt(g_bus_get_finish(result, &raw));
      GErrorPtr error(raw);
      if (!bus) {
        self->fallBack();
        return;
      }
      const char* uris[] = {self->fileUri.c_str(), nullptr};
      auto manager =
          GPtr<GAppInfo>::adopt(g_app_info_get_default_for_type("inode/directory", FALSE));
      GCharPtr id(manager && self->context ? g_app_launch_context_get_startup_notify_id(
                                                 self->context.get(), manager.get(), nullptr)
                                           : nullptr);
      if (id) self->startupId = id.get();
      // Released first: the arguments below may be evaluated in any order.
      ShowItems* request = self.release();
      g_dbus_connection_call(bus.get(), "org.freedesktop.FileManager1",
                             "/org/freedesktop/FileManager1", "org.freedesktop.FileManager1",
                             "ShowItems", g_variant_new("(^ass)", uris, request->startupId.c_str()),
                             nullptr, G_DBUS_CALL_FLAGS_NONE, 10000, nullptr, &ShowItems::onReply,
                             request);
    });
  }
};

class GlibDesktop : public Desktop {
 public:
  explicit GlibDesktop(LaunchContexts contexts) : contexts_(std::move(contexts)) {}

  void openUri(const std::string& uri) override {
    if (uri.empty()) return;
    openDefault(uri, contexts_);
  }

  bool appInstalled(const std::string& desktopId) override {
    return static_cast<bool>(entry(desktopId));
  }

  void launchApp(const std::string& desktopId) override {
    auto app = entry(desktopId);
    if (!app) return;
    auto ctx = contexts_();
    g_app_info_launch_uris_async(G_APP_INFO(app.get()), nullptr, ctx.get(), nullptr, nullptr,
                                 nullptr);
  }

  void showFileSelected(const std::string& path) override {
    GCharPtr fileUri(g_filename_to_uri(path.c_str(), nullptr, nullptr));
    if (!fileUri) return;
    GCharPtr folder(g_path_get_dirname(path.c_str()));
    GCharPtr folderUri(g_filename_to_uri(folder.get(), nullptr, nullptr));
    auto* request =
        new ShowItems{fileUri.get(), folderUri ? folderUri.get() : "", contexts_(), {}, contexts_};
    g_bus_get(G_BUS_TYPE_SESSION, nullptr, &ShowItems::onBus, request);
  }

  std::optional<std::string> downloadsDir() override {
    // Read afresh: the folder may have been changed, or reset to home, since the last download.
    g_reload_user_special_dirs_cache();
    const char* dir = g_get_user_special_dir(G_USER_DIRECTORY_DOWNLOAD);
    if (dir && *dir) return std::string(dir);
    return paths::home() + "/Downloads";
  }

 private:
  LaunchContexts contexts_;

  static GPtr<GDesktopAppInfo> entry(const std::string& desktopId) {
    if (desktopId.empty()) return {};
    return GPtr<GDesktopAppInfo>::adopt(g_desktop_app_info_new(desktopId.c_str()));
  }
};

}  // namespace

std::unique_ptr<Desktop> makeDesktop(LaunchContexts contexts) {
  return std::make_unique<GlibDesktop>(std::move(contexts));
}

}  // namespace qm
