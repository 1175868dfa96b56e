// Links, downloads and page panels of the main web view against the sample suite server.
// Scenarios that depend on the XDG folders (the default browser, the Downloads folder) run in a
// process of their own, started with those folders set, because GLib reads them only once.
#include <arpa/inet.h>
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
  int port = 0;
  if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
    port = ntohs(addr.sin_port);
  close(fd);
  return port;
}

void writeFile(const std::string& path, const std::string& content, mode_t mode = 0644) {
  files::makeDirs(files::parent(path));
  ASSERT_TRUE(files::writeAtomic(path, content, mode)) << path;
}

// The app as buildWindow leaves it, showing the sample server's UI; no server resolution runs,
// so nothing else on this machine's loopback can take the view elsewhere.
class SuitePage {
 public:
  explicit SuitePage(const std::string& home)
      : server_("127.0.0.1", freeLoopbackPort(), home + "/server-data") {
    std::string bundle = home + "/bundle";
    files::makeDirs(bundle);
    std::ofstream(bundle + "/Info.json") << AppHarness::defaultInfo().dump();
    files::makeDirs(paths::xdgConfigHome() + "/app.quillmarsh.quarn");
    std::ofstream(gtk::KeyFileSettings::path()) << "[Defaults]\nshowIntro=false\n";
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

  // Puts the sample server in use and shows its UI.
  bool open() {
    if (!server_.ready()) return false;
    BASE = server_.base();
    delegate_->web->loadUrl(BASE + "/");
    return waitForPage(view(), [this](const std::string& u) { return u == BASE + "/"; });
  }
  // Clicks an element after the script returns, so a panel it opens does not hold the script.
  void click(const std::string& id) {
    evalJs(view(), "setTimeout(() => document.getElementById('" + id + "').click(), 0); 1");
  }
  std::string uri() { return webkit_web_view_get_uri(view()); }
  WebKitWebView* view() { return platform_->ui->mainWindow()->webView(); }
  AppDelegate& delegate() { return *delegate_; }
  const std::string base() const { return server_.base(); }

 private:
  SampleServer server_;
  std::unique_ptr<gtk::GtkPlatform> platform_;
  std::unique_ptr<AppDelegate> delegate_;
};

// The visible message dialog whose text is `text`, or null.
GtkWidget* findDialog(const std::string& text) {
  GList* windows = gtk_window_list_toplevels();
  GtkWidget* found = nullptr;
  for (GList* l = windows; l && !found; l = l->next) {
    auto* w = static_cast<GtkWidget*>(l->data);
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    if (!GTK_IS_MESSAGE_DIALOG(w) || !gtk_widget_get_visible(w)) continue;
    G_GNUC_END_IGNORE_DEPRECATIONS
    char* t = nullptr;
    g_object_get(w, "text", &t, nullptr);
    if (t && text == t) found = w;
    g_free(t);
  }
  g_list_free(windows);
  return found;
}

bool answerDialog(const std::string& text, int button) {
  GtkWidget* dialog = nullptr;
  if (!spinUntil([&] { return (dialog = findDialog(text)) != nullptr; }, 30)) return false;
  G_GNUC_BEGIN_IGNORE_DEPRECATIONS
  gtk_dialog_response(GTK_DIALOG(dialog), button);
  G_GNUC_END_IGNORE_DEPRECATIONS
  return true;
}

// Owns org.freedesktop.FileManager1 on the session bus and records the items it is asked to show.
class FileManagerStandIn {
 public:
  FileManagerStandIn() {
    static const char* kXml =
        "<node><interface name='org.freedesktop.FileManager1'><method name='ShowItems'>"
        "<arg type='as' name='uris' direction='in'/><arg type='s' name='startup' direction='in'/>"
        "</method></interface></node>";
    info_ = g_dbus_node_info_new_for_xml(kXml, nullptr);
    owner_ = g_bus_own_name(G_BUS_TYPE_SESSION, "org.freedesktop.FileManager1",
                            G_BUS_NAME_OWNER_FLAGS_NONE, &FileManagerStandIn::onBus,
                            &FileManagerStandIn::onName, nullptr, this, nullptr);
  }
  ~FileManagerStandIn() {
    if (registration_) g_dbus_connection_unregister_object(bus_, registration_);
    g_bus_unown_name(owner_);
    g_dbus_node_info_unref(info_);
  }
  bool acquired = false;
  std::vector<std::string> shown;

 private:
  static void onBus(GDBusConnection* bus, const char*, gpointer data) {
    static const GDBusInterfaceVTable vtable = {&FileManagerStandIn::onCall, nullptr, nullptr, {}};
    auto* self = static_cast<FileManagerStandIn*>(data);
    self->bus_ = bus;
    self->registration_ = g_dbus_connection_register_object(bus, "/org/freedesktop/FileManager1",
                                                            self->info_->interfaces[0], &vtable,
                                                            self, nullptr, nullptr);
  }
  static void onName(GDBusConnection*, const char*, gpointer data) {
    static_cast<FileManagerStandIn*>(data)->acquired = true;
  }
  static void onCall(GDBusConnection*, const char*, const char*, const char*, const char* method,
                     GVariant* params, GDBusMethodInvocation* invocation, gpointer data) {
    auto* self = static_cast<FileManagerStandIn*>(data);
    if (std::string(method) == "ShowItems") {
      GVariantIter* uris = nullptr;
      const char* startup = nullptr;
      g_variant_get(params, "(as&s)", &uris, &startup);
      const char* uri;
      while (g_variant_iter_loop(uris, "&s", &uri)) self->shown.emplace_back(uri);
      g_variant_iter_free(uris);
    }
    g_dbus_method_invocation_return_value(invocation, nullptr);
  }
  GDBusNodeInfo* info_ = nullptr;
  GDBusConnection* bus_ = nullptr;
  guint owner_ = 0;
  guint registration_ = 0;
};

// A desktop entry whose program appends its argument (or `label`) to `log`.
void installRecorder(const std::string& id, const std::string& mimeTypes, const std::string& log,
                     const std::string& label = "") {
  std::string script = paths::xdgDataHome() + "/" + id + ".sh";
  std::string line = label.empty() ? "\"$1\"" : "'" + label + "'";
  writeFile(script, "#!/bin/sh\nprintf '%s\\n' " + line + " >> '" + log + "'\n", 0755);
  writeFile(paths::xdgDataHome() + "/applications/" + id,
            "[Desktop Entry]\nType=Application\nName=" + id + "\nExec=" + script +
                " %u\nMimeType=" + mimeTypes + "\nNoDisplay=true\n");
}

std::vector<std::string> lines(const std::string& path) {
  std::vector<std::string> out;
  std::istringstream in(files::read(path).value_or(""));
  for (std::string l; std::getline(in, l);) out.push_back(l);
  return out;
}

// --- Run in a process of their own (see runScenario)

TEST(WebScenario, DISABLED_ExternalLinksAndNewWindows) {
  std::string home = paths::home();
  std::ofstream(home + "/scenario-ran");
  std::string log = home + "/launched.log";
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
  ASSERT_TRUE(spinUntil([&] { return !lines(log).empty(); }, 30));
  EXPECT_EQ(lines(log), std::vector<std::string>{external});
  EXPECT_EQ(page.uri(), start);

  page.click("studio");  // a new window on the studio's port launches the installed app
  ASSERT_TRUE(spinUntil([&] { return lines(log).size() >= 2; }, 30));
  EXPECT_EQ(lines(log).at(1), "studio");

  // window.open gets nothing back, and the link goes to the browser.
  EXPECT_EQ(evalJs(page.view(), "String(window.open('https://127.0.0.2/x'))"), "null");
  ASSERT_TRUE(spinUntil([&] { return lines(log).size() >= 3; }, 30));
  EXPECT_EQ(lines(log).at(2), "https://127.0.0.2/x");
  EXPECT_EQ(page.uri(), start);
}

TEST(WebScenario, DISABLED_AttachmentsLandUnderTheNextFreeName) {
  std::string home = paths::home();
  std::ofstream(home + "/scenario-ran");
  std::string downloads = home + "/Downloads";
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
  std::string h = home.path();
  char** env = g_get_environ();
  const std::pair<const char*, std::string> vars[] = {
      {"HOME", h},
      {"XDG_CONFIG_HOME", h + "/.config"},
      {"XDG_DATA_HOME", h + "/.local/share"},
      {"XDG_CACHE_HOME", h + "/.cache"},
      {"XDG_STATE_HOME", h + "/.local/state"},
  };
  for (auto& [k, v] : vars) env = g_environ_setenv(env, k, v.c_str(), TRUE);
  char* self = g_file_read_link("/proc/self/exe", nullptr);
  ASSERT_NE(self, nullptr);
  std::string filter = "--gtest_filter=WebScenario.DISABLED_" + name;
  const char* argv[] = {self, filter.c_str(), "--gtest_also_run_disabled_tests", nullptr};
  GPid pid = 0;
  GError* error = nullptr;
  gboolean spawned = g_spawn_async(nullptr, const_cast<char**>(argv), env,
                                   G_SPAWN_DO_NOT_REAP_CHILD, nullptr, nullptr, &pid, &error);
  g_free(self);
  g_strfreev(env);
  ASSERT_TRUE(spawned) << (error ? error->message : "");
  struct Exit {
    bool done = false;
    int status = 0;
  } exit;
  g_child_watch_add(
      pid,
      [](GPid p, int status, gpointer data) {
        auto* e = static_cast<Exit*>(data);
        e->done = true;
        e->status = status;
        g_spawn_close_pid(p);
      },
      &exit);
  if (!spinUntil([&] { return exit.done; }, 240)) {
    kill(pid, SIGKILL);
    spinUntil([&] { return exit.done; }, 30);
    FAIL() << name << " did not finish";
  }
  EXPECT_TRUE(g_spawn_check_wait_status(exit.status, nullptr)) << name << " failed";
  // A scenario that did not run at all must not pass for one that did.
  EXPECT_TRUE(files::exists(h + "/scenario-ran")) << name << " did not run";
}

TEST(WebContent, ExternalLinksGoToTheDefaultBrowserAndSiblingAppsAreLaunched) {
  runScenario("ExternalLinksAndNewWindows");
}

TEST(WebContent, AnAttachmentIsSavedBesideAnOlderOneAndShownInTheFileManager) {
  runScenario("AttachmentsLandUnderTheNextFreeName");
}

TEST(WebContent, PageAlertsAndConfirmsAreNativeDialogs) {
  test::TempHome home;
  SuitePage page(home.path());
  ASSERT_TRUE(page.open());
  struct Case {
    int button;
    std::string answer;
  } cases[] = {{0, "confirmed"}, {1, "cancelled"}};
  for (const auto& c : cases) {
    page.click("confirm");
    ASSERT_TRUE(answerDialog("Proceed?", c.button));
    EXPECT_TRUE(spinUntil(
        [&] {
          return evalJs(page.view(), "document.getElementById('answer').textContent") == c.answer;
        },
        30))
        << c.answer;
  }
  page.click("alert");
  ASSERT_TRUE(answerDialog("Hello from the suite", 0));
  // The page runs on once the alert is dismissed.
  EXPECT_EQ(evalJs(page.view(), "'still ' + 'running'"), "still running");
}

}  // namespace
}  // namespace qm::itest
