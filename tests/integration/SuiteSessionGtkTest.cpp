// Sign-in sharing with a real web view, its network session's cookie store and real servers.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <tuple>

#include "app/Files.h"
#include "app/Paths.h"
#include "fakes/LoopbackServer.h"
#include "fakes/TempHome.h"
#include "integration/Harness.h"
#include "platform/gtk/Factories.h"
#include "platform/soup/GObjectPtr.h"
#include "platform/soup/GlibLoop.h"
#include "session/SuiteSession.h"

namespace qm {
namespace {

mode_t modeOf(const std::string& p) {
  struct stat st {};
  return ::stat(p.c_str(), &st) == 0 ? st.st_mode & 0777 : 0;
}

// "/login/NAME" signs NAME in, "/logout" signs out, anything else is a page.
test::LoopbackServer::Reply suiteServer(const std::string& path) {
  test::LoopbackServer::Reply r;
  r.contentType = "text/html";
  r.body = "<p>" + path;
  if (path.rfind("/login/", 0) == 0)
    r.headers["Set-Cookie"] = "qmsuite=" + path.substr(7) + "; Path=/; HttpOnly";
  else if (path == "/logout")
    r.headers["Set-Cookie"] = "qmsuite=; Path=/; Max-Age=0";
  return r;
}

struct SuiteSessionGtk : ::testing::Test {
  test::TempHome home;
  GPtr<WebKitNetworkSession> network;
  std::unique_ptr<CookieStore> store;
  SystemClock clock;
  std::unique_ptr<SuiteSession> session;
  GPtr<WebKitWebView> view;
  test::LoopbackServer server{"127.0.0.1"};

  SuiteSessionGtk() {
    std::string data = paths::xdgDataHome() + "/app.quillmarsh.quarn";
    files::makeDirs(data, 0700);
    network = GPtr<WebKitNetworkSession>::adopt(
        webkit_network_session_new(data.c_str(), (home.path() + "/cache").c_str()));
    webkit_cookie_manager_set_persistent_storage(
        webkit_network_session_get_cookie_manager(network.get()),
        (data + "/cookies.sqlite").c_str(), WEBKIT_COOKIE_PERSISTENT_STORAGE_SQLITE);
    store = gtk::makeCookieStore(network.get());
    session = std::make_unique<SuiteSession>(*store, clock);
    view = GPtr<WebKitWebView>::adopt(WEBKIT_WEB_VIEW(g_object_ref_sink(
        g_object_new(WEBKIT_TYPE_WEB_VIEW, "network-session", network.get(), nullptr))));
    server.handle(suiteServer);
  }

  std::optional<bool> adopt() {
    auto result = std::make_shared<std::optional<bool>>();
    session->adopt([result](bool planted) { *result = planted; });
    test::spinUntil([&] { return result->has_value(); });
    return *result;
  }
  void load(const test::LoopbackServer& s, const std::string& path) {
    size_t before = s.seen().size();
    webkit_web_view_load_uri(view.get(), s.url(path).c_str());
    ASSERT_TRUE(test::spinUntil([&] { return s.seen().size() > before; }));
  }
  std::vector<Cookie> cookies() {
    auto out = std::make_shared<std::optional<std::vector<Cookie>>>();
    store->getAll([out](std::vector<Cookie> all) { *out = std::move(all); });
    test::spinUntil([&] { return out->has_value(); });
    return out->value_or(std::vector<Cookie>{});
  }
};

std::optional<std::string> fileText() {
  return files::read(SuiteSession::file());
}

TEST_F(SuiteSessionGtk, SignInHereReachesTheFileAndSignOutRemovesIt) {
  ASSERT_EQ(adopt(), false);
  load(server, "/login/alice");
  ASSERT_TRUE(test::spinUntil([] { return fileText() == "alice"; }));
  EXPECT_EQ(modeOf(SuiteSession::file()), 0600u);
  EXPECT_EQ(modeOf(files::parent(SuiteSession::file())), 0700u);

  test::LoopbackServer other{"127.0.0.2"};
  other.handle(suiteServer);
  load(other, "/login/mallory");
  ASSERT_TRUE(test::spinUntil([&] {
    for (auto& c : cookies())
      if (c.domain == "127.0.0.2") return true;
    return false;
  }));
  test::spinUntil([] { return false; }, 0.5);  // let any stray write happen
  EXPECT_EQ(fileText(), "alice");

  load(server, "/logout");
  EXPECT_TRUE(test::spinUntil([] { return !files::exists(SuiteSession::file()); }));
}

TEST_F(SuiteSessionGtk, SharedSignInIsPlantedAndSentToTheServer) {
  files::makeDirs(files::parent(SuiteSession::file()), 0700);
  files::writeAtomic(SuiteSession::file(), "carol\n", 0600);
  ASSERT_EQ(adopt(), true);

  std::optional<Cookie> planted;
  for (auto& c : cookies())
    if (c.name == "qmsuite") planted = c;
  ASSERT_TRUE(planted);
  auto& p = *planted;
  EXPECT_EQ(std::tuple(p.value, p.domain, p.path, p.httpOnly, p.secure, p.sameSite),
            std::tuple("carol", "127.0.0.1", "/", true, false, SameSite::Strict));
  ASSERT_TRUE(planted->expires);
  EXPECT_NEAR(*planted->expires, clock.now() + 30 * 86400.0, 3600.0);

  load(server, "/");
  EXPECT_EQ(server.seen().back().cookie, "qmsuite=carol");
  EXPECT_EQ(adopt(), false);         // already held
  EXPECT_EQ(fileText(), "carol\n");  // the plant is not written back
}

// The sample server's recorded requests to "/", each with its Cookie header.
std::vector<std::string> pageCookies(const itest::SampleServer& srv) {
  HttpRequest r;
  r.url = srv.base() + "/api/requests";
  std::optional<HttpResponse> got;
  SoupHttp http;
  http.get(r, [&](HttpResponse a) { got = std::move(a); });
  test::spinUntil([&] { return got.has_value(); });
  std::vector<std::string> out;
  auto doc = nlohmann::json::parse(got && got->body ? *got->body : "{}", nullptr, false);
  if (doc.is_object() && doc["requests"].is_array())
    for (auto& q : doc["requests"])
      if (q.value("path", "") == "/") out.push_back(q["cookie"].is_string() ? q["cookie"] : "");
  return out;
}

int freePort() {
  test::LoopbackServer probe;
  return probe.port();
}

TEST(SuiteSignIn, SampleServerSignInIsSharedAndASiblingsSignInIsUsedOnReturn) {
  test::TempHome home;
  initGlobals();
  itest::SampleServer srv("127.0.0.1", freePort(), home.path() + "/srv");
  ASSERT_TRUE(srv.ready());
  gtk::GtkPlatform platform(itest::application(), {"quillmarsh-quarn"}, home.path());
  AppDelegate app(platform.platform);
  app.buildWindow();
  WebKitWebView* view = platform.ui->mainWindow()->webView();

  // What the connection flow does when it puts a server in use.
  BASE = srv.base();
  std::optional<bool> adopted;
  app.suiteSession->adopt([&](bool planted) { adopted = planted; });
  ASSERT_TRUE(test::spinUntil([&] { return adopted.has_value(); }));
  app.web->loadUrl(srv.base() + "/login");  // the page's "Sign in" link
  ASSERT_TRUE(test::spinUntil([] { return fileText().value_or("").size() == 32; }, 30));
  ASSERT_TRUE(itest::waitForPage(view, [](const std::string& u) { return u.ends_with("/"); }));

  // A sibling app signs in as someone else while this app is in the background.
  files::writeAtomic(SuiteSession::file(), "sibling0123456789", 0600);
  app.applicationDidBecomeActive();
  EXPECT_TRUE(test::spinUntil([&] {
    auto seen = pageCookies(srv);
    return !seen.empty() && seen.back() == "qmsuite=sibling0123456789";
  }));
  EXPECT_EQ(fileText(), "sibling0123456789");
  ASSERT_TRUE(itest::waitForPage(view, [](const std::string& u) { return u.ends_with("/"); }));

  app.web->loadUrl(srv.base() + "/logout");
  ASSERT_TRUE(test::spinUntil([&] { return pageCookies(srv).size() >= 3; }, 30));
  EXPECT_TRUE(test::spinUntil([] { return !files::exists(SuiteSession::file()); }, 30));
  initGlobals();
}

}  // namespace
}  // namespace qm
