// Links, downloads and page panels of the main web view against the sample suite server.
// Scenarios that depend on the XDG folders (the default browser, the Downloads folder) run in a
// process of their own, started with those folders set, because GLib reads them only once.
#include <netinet/in.h>
#include <sys/socket.h>

#include <sstream>

#include "app/Files.h"
#include "app/Paths.h"
#include "integration/Harness.h"

namespace qm::itest {
namespace {

int freeLoopbackPort() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  bool ok = bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
            getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0;
  close(fd);
  return ok ? ntohs(addr.sin_port) : 0;
}

void writeFile(const std::string& path, const std::string& content, mode_t mode = 0644) {
  files::makeDirs(files::parent(path));
  ASSERT_TRUE(files::writeAtomic(path, content, mode)) << path;
}

std::vector<std::string> lines(const std::string& path) {
  std::vector<std::string> out;
  std::istringstream in(files::read(path).value_or(""));
  for (std::string l; std::getline(in, l);) out.push_back(l);
  return out;
}

// The app as buildWindow leaves it, showing the sample server's UI. No server resolution runs,
// so nothing else on this machine's loopback can take the view elsewhere.
class SuitePage {
 public:
  explicit SuitePage(const std::string& home)
      : server_("127.0.0.1", freeLoopbackPort(), home + "/server-data") {
    std::string bundle = home + "/bundle";
    writeFile(bundle + "/Info.json", AppHarness::defaultInfo().dump());
    writeFile(gtk::KeyFileSettings::path(), "[Defaults]\nshowIntro=false\n");
    initGlobals();
    platform_ = std::make_unique<gtk::GtkPlatform>(
        application(), std::vector<std::string>{"quillmarsh-quarn"}, bundle);
    delegate_ = std::make_unique<AppDelegate>(platform_->platform);
    delegate_->buildWindow();
  }
  ~SuitePage() {
    delegate_.reset();
    platform_.reset();
    spinUntil([] { return false; }, 0.2);
  }
  bool open() {
    if (!server_.ready()) return false;
    BASE = server_.base();
    delegate_->web->loadUrl(BASE + "/");
    return waitForPage(view(), [](const std::string& u) { return u == BASE + "/"; });
  }
  // Clicks after the script returns, so a panel the click opens does not hold the script.
  void click(const std::string& id) {
    evalJs(view(), "setTimeout(() => document.getElementById('" + id + "').click(), 0); 1");
  }
  std::string uri() { return webkit_web_view_get_uri(view()); }
  WebKitWebView* view() { return platform_->ui->mainWindow()->webView(); }
  AppDelegate& delegate() { return *delegate_; }

 private:
  SampleServer server_;
  std::unique_ptr<gtk::GtkPlatform> platform_;
  std::unique_ptr<AppDelegate> delegate_;
};

// Answers the visible message dialog showing `text` with `button`.
bool answerDialog(const std::string& text, int button) {
  G_GNUC_BEGIN_IGNORE_DEPRECATIONS
  GtkWidget* dialog = nullptr;
  auto find = [&] {
    GList* windows = gtk_window_list_toplevels();
    for (GList* l = windows; l && !dialog; l = l->next) {
      auto* w = static_cast<GtkWidget*>(l->data);
      if (!GTK_IS_MESSAGE_DIALOG(w) || !gtk_widget_get_visible(w)) continue;
      char* t = nullptr;
      g_object_get(w, "text", &t, nullptr);
      if (t && text == t) dialog = w;
      g_free(t);
    }
    g_list_free(windows);
    return dialog != nullptr;
  };
  if (!spinUntil(find, 30)) return false;
  gtk_dialog_response(GTK_DIALOG(dialog), button);
  G_GNUC_END_IGNORE_DEPRECATIONS
  return true;
}

// Owns org.freedesktop.FileManager1 on the session bus and records the items it is asked to show.
struct FileManagerStandIn {
  FileManagerStandIn() {
    info = g_dbus_node_info_new_for_xml(
        "<node><interface name='org.freedesktop.FileManager1'><method name='ShowItems'>"
        "<arg type='as' direction='in'/><arg type='s' direction='in'/></method></interface></node>",
        nullptr);
    owner = g_bus_own_name(
        G_BUS_TYPE_SESSION, "org.freedesktop.FileManager1", G_BUS_NAME_OWNER_FLAGS_NONE,
        [](GDBusConnection* bus, const char*, gpointer self) {
          static const GDBusInterfaceVTable vtable = {&onCall, nullptr, nullptr, {}};
          auto* s = static_cast<FileManagerStandIn*>(self);
          s->bus = bus;
          s->object = g_dbus_connection_register_object(bus, "/org/freedesktop/FileManager1",
                                                        s->info->interfaces[0], &vtable, s, nullptr,
                                                        nullptr);
        },
        [](GDBusConnection*, const char*, gpointer self) {
          static_cast<FileManagerStandIn*>(self)->acquired = true;
        },
        nullptr, this, nullptr);
  }
  ~FileManagerStandIn() {
    if (object) g_dbus_connection_unregister_object(bus, object);
    g_bus_unown_name(owner);
    g_dbus_node_info_unref(info);
  }
  static void onCall(GDBusConnection*, const char*, const char*, const char*, const char*,
                     GVariant* params, GDBusMethodInvocation* invocation, gpointer self) {
    GVariantIter* uris = nullptr;
    const char* uri = nullptr;
    g_variant_get(params, "(as&s)", &uris, nullptr);
    while (g_variant_iter_loop(uris, "&s", &uri))
      static_cast<FileManagerStandIn*>(self)->shown.emplace_back(uri);
    g_variant_iter_free(uris);
    g_dbus_method_invocation_return_value(invocation, nullptr);
  }
  GDBusNodeInfo* info = nullptr;
  GDBusConnection* bus = nullptr;
  guint owner = 0, object = 0;
  bool acquired = false;
  std::vector<std::string> shown;
};

// A desktop entry whose program appends its argument, or `label`, to `log`.
void installRecorder(const std::string& id, const std::string& mimeTypes, const std::string& log,
                     const std::string& label = "") {
  std::string script = paths::xdgDataHome() + "/" + id + ".sh";
  std::string arg = label.empty() ? "\"$1\"" : "'" + label + "'";
  writeFile(script, "#!/bin/sh\nprintf '%s\\n' " + arg + " >> '" + log + "'\n", 0755);
  writeFile(paths::xdgDataHome() + "/applications/" + id,
            "[Desktop Entry]\nType=Application\nName=" + id + "\nExec=" + script +
                " %u\nMimeType=" + mimeTypes + "\nNoDisplay=true\n");
}

// --- Run in a process of their own (see runScenario)

TEST(WebScenario, DISABLED_ExternalLinksAndNewWindows) {
  std::string home = paths::home(), log = home + "/launched.log";
  std::ofstream(home + "/scenario-ran");
  installRecorder("quarn-test-browser.desktop", "x-scheme-handler/http;x-scheme-handler/https;",
                  log);
  installRecorder("app.quillmarsh.studio.desktop", "", log, "studio");
  writeFile(paths::xdgConfigHome() + "/mimeapps.list",
            "[Default Applications]\nx-scheme-handler/http=quarn-test-browser.desktop\n"
            "x-scheme-handler/https=quarn-test-browser.desktop\n");
  SuitePage page(home);
  ASSERT_TRUE(page.open());
  std::string start = page.uri();

  // WebKit refuses some ports (the sample's 9 among them) before asking any policy, so the
  // link is pointed at an ordinary port on the same other host.
  std::string external = "http://127.0.0.3:8099/elsewhere";
  evalJs(page.view(), "document.getElementById('external').href = '" + external + "'; 1");
  page.click("external");
  page.click("studio");  // a new window on the studio's port launches the installed app
  ASSERT_TRUE(spinUntil([&] { return lines(log).size() >= 2; }, 30));
  // window.open gets no window, and the link goes to the browser.
  EXPECT_EQ(evalJs(page.view(), "String(window.open('https://127.0.0.2/x'))"), "null");
  ASSERT_TRUE(spinUntil([&] { return lines(log).size() >= 3; }, 30));
  auto launched = lines(log);
  std::sort(launched.begin(), launched.end());
  EXPECT_EQ(launched, (std::vector<std::string>{external, "https://127.0.0.2/x", "studio"}));
  EXPECT_EQ(page.uri(), start);
}

TEST(WebScenario, DISABLED_AttachmentsLandUnderTheNextFreeName) {
  std::string home = paths::home(), downloads = home + "/Downloads";
  std::ofstream(home + "/scenario-ran");
  writeFile(paths::xdgConfigHome() + "/user-dirs.dirs", "XDG_DOWNLOAD_DIR=\"$HOME/Downloads\"\n");
  writeFile(downloads + "/report.pdf", "older report");
  FileManagerStandIn fileManager;
  ASSERT_TRUE(spinUntil([&] { return fileManager.acquired; }, 30));
  SuitePage page(home);
  ASSERT_TRUE(page.open());
  std::string start = page.uri();

  page.click("download");
  ASSERT_TRUE(spinUntil([&] { return !fileManager.shown.empty(); }, 60));
  std::string saved = downloads + "/report 2.pdf";
  char* uri = g_filename_to_uri(saved.c_str(), nullptr, nullptr);
  EXPECT_EQ(fileManager.shown, std::vector<std::string>{uri});
  g_free(uri);
  EXPECT_EQ(files::read(saved, 1 << 20).value_or("").rfind("%PDF", 0), 0u);
  EXPECT_EQ(files::read(downloads + "/report.pdf"), "older report");
  EXPECT_TRUE(page.delegate().downloads.empty());
  EXPECT_EQ(page.uri(), start);
}

// Runs WebScenario.DISABLED_<name> in a child process whose home and XDG folders are fresh.
void runScenario(const std::string& name) {
  test::TempHome home;
  const std::string& h = home.path();
  char** env = g_get_environ();
  for (auto [k, v] : {std::pair{"HOME", h},
                      {"XDG_CONFIG_HOME", h + "/.config"},
                      {"XDG_DATA_HOME", h + "/.local/share"},
                      {"XDG_CACHE_HOME", h + "/.cache"},
                      {"XDG_STATE_HOME", h + "/.local/state"}})
    env = g_environ_setenv(env, k, v.c_str(), TRUE);
  char* self = g_file_read_link("/proc/self/exe", nullptr);
  std::string filter = "--gtest_filter=WebScenario.DISABLED_" + name;
  const char* argv[] = {self, filter.c_str(), "--gtest_also_run_disabled_tests", nullptr};
  GPid pid = 0;
  gboolean spawned =
      self && g_spawn_async(nullptr, const_cast<char**>(argv), env, G_SPAWN_DO_NOT_REAP_CHILD,
                            nullptr, nullptr, &pid, nullptr);
  g_free(self);
  g_strfreev(env);
  ASSERT_TRUE(spawned);
  std::optional<int> status;
  g_child_watch_add(
      pid,
      [](GPid p, int s, gpointer out) {
        *static_cast<std::optional<int>*>(out) = s;
        g_spawn_close_pid(p);
      },
      &status);
  if (!spinUntil([&] { return status.has_value(); }, 240)) {
    kill(pid, SIGKILL);
    spinUntil([&] { return status.has_value(); }, 30);
    FAIL() << name << " did not finish";
  }
  EXPECT_TRUE(g_spawn_check_wait_status(*status, nullptr)) << name << " failed";
  EXPECT_TRUE(files::exists(h + "/scenario-ran")) << name << " did not run";
}

TEST(WebContent, ExternalLinksGoToTheDefaultBrowserAndSiblingAppsAreLaunched) {
  runScenario("ExternalLinksAndNewWindows");
}

TEST(WebContent, AnAttachmentIsSavedBesideAnOlderOneAndShownInTheFileManager) {
  runScenario("AttachmentsLandUnderTheNextFreeName");
}

TEST(WebContent, PageConfirmsAndAlertsAreNativeDialogs) {
  test::TempHome home;
  SuitePage page(home.path());
  ASSERT_TRUE(page.open());
  auto answer = [&] {
    return evalJs(page.view(), "document.getElementById('answer').textContent");
  };
  for (auto [button, expected] : {std::pair{0, "confirmed"}, {1, "cancelled"}}) {
    page.click("confirm");
    ASSERT_TRUE(answerDialog("Proceed?", button));
    EXPECT_TRUE(spinUntil([&] { return answer() == expected; }, 30)) << expected;
  }
  page.click("alert");
  ASSERT_TRUE(answerDialog("Hello from the suite", 0));
  EXPECT_EQ(evalJs(page.view(), "'still ' + 'running'"), "still running");
}

}  // namespace
}  // namespace qm::itest
