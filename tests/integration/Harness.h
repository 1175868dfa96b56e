#pragma once
// The real program, built as main() builds it (qm::gtk::GtkInstance), under Xvfb and a private
// session bus (scripts/with-display.sh), each test in a fresh home with its own bundle folder.

#include <gio/gio.h>
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "adapters/gtk/GtkInstance.h"
#include "core/Constants.h"
#include "core/Files.h"
#include "fakes/Spin.h"
#include "fakes/TempHome.h"

namespace qm::itest {

using test::spinUntil;

inline const char* const kProgram = QUARN_BINARY_DIR "/quillmarsh-quarn";

inline void write(const std::string& path, const std::string& text, mode_t mode = 0644) {
  ASSERT_TRUE(files::makeDirs(files::parent(path)) && files::writeAtomic(path, text, mode)) << path;
}

// The body of a GET answered with 200, else none.
inline std::optional<std::string> fetch(const std::string& url) {
  SoupHttp http;
  std::optional<HttpResponse> got;
  http.get({url, 10, {}}, [&](HttpResponse r) { got = std::move(r); });
  spinUntil([&] { return got.has_value(); });
  return got && got->status == 200 ? got->body : std::nullopt;
}

// Runs a script in the page without waiting for it.
inline void run(WebKitWebView* view, const std::string& script) {
  webkit_web_view_evaluate_javascript(view, script.c_str(), -1, nullptr, nullptr, nullptr, nullptr,
                                      nullptr);
}

// A script's value in the page as text, once it has run ("" when it failed).
inline std::string evaluate(WebKitWebView* view, const std::string& script) {
  static std::optional<std::string> got;
  got.reset();
  webkit_web_view_evaluate_javascript(
      view, script.c_str(), -1, nullptr, nullptr, nullptr,
      [](GObject* v, GAsyncResult* r, gpointer) {
        auto value = GPtr<JSCValue>::adopt(
            webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(v), r, {}));
        got = value ? GCharPtr(jsc_value_to_string(value.get())).get() : "";
      },
      nullptr);
  spinUntil([] { return got.has_value(); });
  return got.value_or("");
}

// Keys typed (XTest) into the focused window, and the pointer's moves and buttons.
inline void xdotool(const std::string& args) {
  g_spawn_command_line_sync(("xdotool " + args).c_str(), {}, {}, {}, {});
}

// The widgets under `w`, itself included, that `match` accepts, in order; with `mapped`, only
// those shown.
inline std::vector<GtkWidget*> widgets(GtkWidget* w, const std::function<bool(GtkWidget*)>& match,
                                       bool mapped = false) {
  std::vector<GtkWidget*> out;
  if (mapped && !gtk_widget_get_mapped(w)) return out;
  if (match(w)) out.push_back(w);
  for (GtkWidget* c = gtk_widget_get_first_child(w); c; c = gtk_widget_get_next_sibling(c))
    for (GtkWidget* found : widgets(c, match, mapped)) out.push_back(found);
  return out;
}
inline std::vector<GtkWidget*> widgets(GtkWidget* w, GType type) {
  return widgets(w, [type](GtkWidget* c) { return G_TYPE_CHECK_INSTANCE_TYPE(c, type); });
}

// The top-level windows that `match` accepts; the last of them once there is one.
inline std::vector<GtkWindow*> toplevels(const std::function<bool(GtkWindow*)>& match) {
  std::vector<GtkWindow*> out;
  GList* all = gtk_window_list_toplevels();
  for (GList* l = all; l; l = l->next)
    if (match(GTK_WINDOW(l->data))) out.push_back(GTK_WINDOW(l->data));
  g_list_free(all);
  return out;
}
inline GtkWindow* toplevel(const std::function<bool(GtkWindow*)>& match) {
  std::vector<GtkWindow*> found;
  spinUntil([&] { return !(found = toplevels(match)).empty(); });
  return found.empty() ? nullptr : found.back();
}

// The text on the desktop's clipboard, once read ("" when there is none).
inline std::string clipboardText() {
  static std::optional<std::string> got;
  got.reset();
  gdk_clipboard_read_text_async(
      gdk_display_get_clipboard(gdk_display_get_default()), nullptr,
      [](GObject* c, GAsyncResult* r, gpointer) {
        GCharPtr text(gdk_clipboard_read_text_finish(GDK_CLIPBOARD(c), r, nullptr));
        got = text ? text.get() : "";
      },
      nullptr);
  spinUntil([] { return got.has_value(); });
  return got.value_or("");
}

// A child process with `env` changed (a null value unsets) and its standard error into `errors`.
inline GPtr<GSubprocess> spawn(std::vector<const char*> argv,
                               const std::vector<std::pair<const char*, const char*>>& env = {},
                               const std::string& errors = "") {
  auto launcher =
      GPtr<GSubprocessLauncher>::adopt(g_subprocess_launcher_new(G_SUBPROCESS_FLAGS_NONE));
  for (auto [name, value] : env)
    if (value)
      g_subprocess_launcher_setenv(launcher.get(), name, value, TRUE);
    else
      g_subprocess_launcher_unsetenv(launcher.get(), name);
  if (!errors.empty()) g_subprocess_launcher_set_stderr_file_path(launcher.get(), errors.c_str());
  argv.push_back(nullptr);
  return GPtr<GSubprocess>::adopt(g_subprocess_launcher_spawnv(launcher.get(), argv.data(), {}));
}

// Every message logged in this process so far, whatever its level and domain (main() installs
// noteLog); cleared by a test before what it looks for.
inline std::vector<std::string> logged;
inline GLogWriterOutput noteLog(GLogLevelFlags level, const GLogField* fields, gsize n, gpointer) {
  for (gsize i = 0; i < n; ++i)
    if (g_str_equal(fields[i].key, "MESSAGE"))
      logged.emplace_back(static_cast<const char*>(fields[i].value));
  return g_log_writer_default(level, fields, n, nullptr);
}
inline bool wasLogged(const std::string& text) {
  return std::ranges::any_of(logged, [&](auto& l) { return l.find(text) != std::string::npos; });
}

// Kills the web engine's page processes that this process (the app) started, as a crash ends
// them. Returns how many.
inline int killWebProcesses() {
  // The parent of a process, from /proc/PID/stat: "PID (NAME) STATE PPID ...".
  auto parent = [](const std::string& pid) {
    std::ifstream in("/proc/" + pid + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), {});
    auto close = text.rfind(')');
    return close == std::string::npos || close + 4 > text.size() ? 0 : std::atol(&text[close + 4]);
  };
  int killed = 0;
  std::error_code ec;
  for (auto& entry : std::filesystem::directory_iterator("/proc", ec)) {
    std::string pid = entry.path().filename(), name;
    if (!(std::ifstream(entry.path() / "comm") >> name) || name != "WebKitWebProces") continue;
    for (long up = parent(pid); up > 1; up = parent(std::to_string(up)))
      if (up == getpid()) {
        killed += kill(std::stoi(pid), SIGKILL) == 0;
        break;
      }
  }
  return killed;
}

class AppTest : public testing::Test {
 protected:
  ~AppTest() override {
    if (server) g_subprocess_force_exit(server.get());
  }

  // Starts the app as main() does, on the GtkApplication the tests share (registered, never
  // run), with the command-line options in `options`. The intro shows only when asked for.
  void launch(bool intro = false) {
    static GtkApplication* shared = gtk_application_new(kAppId, G_APPLICATION_NON_UNIQUE);
    g_application_register(G_APPLICATION(shared), nullptr, nullptr);
    prepare(intro);
    app = std::make_unique<gtk::GtkInstance>(options, bundle);
    app->prepareWeb();
    app->launch(shared);
  }

  // The bundle folder and settings a launch reads.
  void prepare(bool intro = false) {
    // No service folder: the app never starts a server of its own.
    write(bundle + "/Info.json", "{\"QMQuarnDir\": \"" + home.path() + "/no-service\"}");
    for (std::string name : {"intro.html", "intro-sound.m4a"})
      if (intro)
        std::filesystem::copy_file(QUARN_BINARY_DIR "/bundle/" + name, bundle + "/" + name);
    if (!intro) write(GlibSettings::path(), "[Defaults]\nshowIntro=false\n" + settings);
  }

  // The sample suite server on the suite's port, as a child process.
  void startSampleServer(const std::string& host = "127.0.0.1") {
    server = spawn({"python3", QUARN_SOURCE_DIR "/examples/quarn/server.py", "--host", host.c_str(),
                    "--data", (home.path() + "/server").c_str()});
    ASSERT_TRUE(spinUntil([&] { return !!fetch("http://" + host + ":8795/static/icon.png"); }));
  }

  // The sample server's log of the UI's requests, oldest first.
  std::vector<nlohmann::json> uiRequests() {
    std::vector<nlohmann::json> out;
    auto log = nlohmann::json::parse(fetch(local + "/api/requests").value_or("{}"));
    for (auto& r : log["requests"])
      if (r["path"] == "/") out.push_back(r);
    return out;
  }

  // The page's view focused, in the window in front.
  void focusPage() {
    gtk_widget_grab_focus(GTK_WIDGET(view()));
    EXPECT_TRUE(spinUntil([&] { return gtk_window_is_active(window()); }));
  }

  GtkWindow* window() { return app->platform().mainWindow()->window(); }
  WebKitWebView* view() { return app->platform().mainWindow()->webView(); }

  // Waits until the main view has loaded `url`, running `script` in it now and then meanwhile.
  bool shows(const std::string& url, const std::string& script = "") {
    gint64 next = 0;
    return spinUntil([&] {
      if (!script.empty() && g_get_monotonic_time() > next) {
        run(view(), script);
        next = g_get_monotonic_time() + 200000;
      }
      // The page in the view, not the one asked for: that address is set before the load starts.
      WebKitWebResource* now = webkit_web_view_get_main_resource(view());
      return now && url == webkit_web_resource_get_uri(now) && !webkit_web_view_is_loading(view());
    });
  }

  // Waits until the page's text holds `text`.
  bool pageSays(const std::string& text) {
    return spinUntil([&] {
      return evaluate(view(), "document.body.innerText").find(text) != std::string::npos;
    });
  }

  test::TempHome home;
  const std::string bundle = home.path() + "/bundle";
  const std::string suite = home.path() + "/Library/Application Support/Quillmarsh";
  const std::string local = "http://127.0.0.1:8795";
  const std::string state = home.path() + "/.local/state/app.quillmarsh.quarn/window-state.ini";
  GPtr<GSubprocess> server;
  Options options;
  std::string settings;  // more lines for [Defaults], without the intro
  std::unique_ptr<gtk::GtkInstance> app;
};

}  // namespace qm::itest
