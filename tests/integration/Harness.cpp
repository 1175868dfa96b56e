#include "integration/Harness.h"

#include <fcntl.h>

#include <chrono>
#include <thread>

#include "app/Files.h"

namespace qm::itest {

GtkApplication* application() {
  static GtkApplication* app = [] {
    GtkApplication* a = gtk_application_new("app.quillmarsh.quarn.tests", G_APPLICATION_NON_UNIQUE);
    g_application_register(G_APPLICATION(a), nullptr, nullptr);
    g_application_hold(G_APPLICATION(a));
    return a;
  }();
  return app;
}

std::string evalJs(WebKitWebView* view, const std::string& script, double seconds) {
  struct Result {
    bool done = false;
    std::string value;
  } r;
  webkit_web_view_evaluate_javascript(
      view, script.c_str(), -1, nullptr, nullptr, nullptr,
      [](GObject* src, GAsyncResult* res, gpointer data) {
        auto* r = static_cast<Result*>(data);
        GError* err = nullptr;
        JSCValue* v = webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(src), res, &err);
        if (v) {
          if (!jsc_value_is_undefined(v) && !jsc_value_is_null(v)) {
            char* s = jsc_value_to_string(v);
            r->value = s ? s : "";
            g_free(s);
          }
          g_object_unref(v);
        }
        g_clear_error(&err);
        r->done = true;
      },
      &r);
  spinUntil([&] { return r.done; }, seconds);
  if (!r.done) {
    // The callback still points at r: wait it out rather than leave it dangling.
    spinUntil([&] { return r.done; }, 120);
  }
  return r.value;
}

bool waitForPage(WebKitWebView* view, const std::function<bool(const std::string&)>& pred,
                 double seconds) {
  return spinUntil(
      [&] {
        const char* uri = webkit_web_view_get_uri(view);
        return uri && pred(uri) && !webkit_web_view_is_loading(view);
      },
      seconds);
}

// --- SampleServer

SampleServer::SampleServer(const std::string& host, int port, const std::string& dataDir)
    : host_(host), port_(port) {
  std::string script = std::string(QUARN_SOURCE_DIR) + "/examples/quarn/server.py";
  files::makeDirs(dataDir);
  pid_ = fork();
  if (pid_ == 0) {
    int devnull = open("/dev/null", O_WRONLY);
    if (devnull >= 0 && !getenv("QUARN_TEST_VERBOSE")) {
      dup2(devnull, 1);
      dup2(devnull, 2);
    }
    std::string portText = std::to_string(port);
    execlp("python3", "python3", script.c_str(), "--host", host.c_str(), "--port", portText.c_str(),
           "--data", dataDir.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  // Ready when the icon answers.
  HttpRequest probe;
  probe.url = base() + "/static/icon.png";
  probe.timeoutSeconds = 1;
  probe.wantBody = false;
  SoupHttp http;
  auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!ready_ && std::chrono::steady_clock::now() < end) {
    bool done = false;
    http.get(probe, [&](HttpResponse r) {
      ready_ = r.received && r.status == 200;
      done = true;
    });
    spinUntil([&] { return done; }, 5);
    if (!ready_) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    int status;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      break;
    }
  }
}

SampleServer::~SampleServer() {
  stop();
}

void SampleServer::stop() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  int status;
  for (int i = 0; i < 100 && waitpid(pid_, &status, WNOHANG) == 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  if (waitpid(pid_, &status, WNOHANG) == 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, &status, 0);
  }
  pid_ = -1;
}

// --- AppHarness

nlohmann::json AppHarness::defaultInfo() {
  return {{"CFBundleIdentifier", "app.quillmarsh.quarn"}, {"QMServiceManager", "systemd"}};
}

AppHarness::AppHarness(nlohmann::json info, std::vector<std::string> args)
    : args_(std::move(args)) {
  initGlobals();
  bundleDir_ = home_.path() + "/bundle";
  files::makeDirs(bundleDir_);
  std::ofstream(bundleDir_ + "/Info.json") << info.dump(2);
  // The app must never touch a real service manager from a test.
  setenv("QUARN_SERVICE_TOOL", "/bin/false", 1);
}

AppHarness::~AppHarness() {
  delegate_.reset();
  platform_.reset();
  // Let WebKit finish tearing its views down before the next test.
  spinUntil([] { return false; }, 0.2);
}

void AppHarness::copyResource(const std::string& name) {
  std::filesystem::copy_file(std::string(QUARN_BINARY_DIR) + "/bundle/" + name,
                             bundleDir_ + "/" + name,
                             std::filesystem::copy_options::overwrite_existing);
}

void AppHarness::holdStartup() {
  std::string dir = home_.path() + "/quarn";
  files::makeDirs(dir);
  nlohmann::json info =
      nlohmann::json::parse(files::read(bundleDir_ + "/Info.json").value_or("{}"));
  info["QMQuarnDir"] = dir;
  std::ofstream(bundleDir_ + "/Info.json") << info.dump(2);
}

void AppHarness::launch() {
  platform_ = std::make_unique<gtk::GtkPlatform>(application(), args_, bundleDir_);
  delegate_ = std::make_unique<AppDelegate>(platform_->platform);
  delegate_->applicationDidFinishLaunching();
}

}  // namespace qm::itest
