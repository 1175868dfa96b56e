// From launch to the server's UI, the connect page, and the badge and notifications on the bus.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include "app/Files.h"
#include "app/Paths.h"
#include "integration/BusWatch.h"
#include "integration/Harness.h"
#include "platform/gtk/Factories.h"
#include "server/SuiteServer.h"
#include "session/SuiteSession.h"

namespace qm::itest {
namespace {

using Badge = std::optional<std::int64_t>;

// The app's port is fixed, so a test needs it free on each address it serves or leaves silent.
bool portFree(const std::string& host) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return false;
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(PORT);
  inet_pton(AF_INET, host.c_str(), &sa.sin_addr);
  int one = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  bool ok = bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0;
  close(fd);
  return ok;
}

#define REQUIRE_PORT(host)                             \
  if (!portFree(host))                                 \
  GTEST_SKIP() << "port 8795 on " << (host)            \
               << " is taken by another program; run " \
                  "in a network namespace of its own"

std::optional<std::string> fetch(const std::string& url) {
  SoupHttp http;
  HttpRequest request;
  request.url = url;
  request.timeoutSeconds = 10;
  std::optional<HttpResponse> got;
  http.get(request, [&](HttpResponse r) { got = std::move(r); });
  test::spinUntil([&] { return got.has_value(); }, 20);
  if (!got || got->status != 200) return std::nullopt;
  return got->body;
}

void shareSignIn(const std::string& value) {
  files::makeDirs(paths::suiteSupportDir(), 0700);
  files::writeAtomic(SuiteSession::file(), value, 0600);
}

TEST(NotifierBus, PostsNotificationsAndBadgesAsTheDesktopExpects) {
  struct Case {
    std::vector<std::string> caps;
    std::string body;
  } cases[] = {
      {{"body"}, "Firewall <on> & up: Needs attention"},
      {{"body", "body-markup"}, "Firewall &lt;on&gt; &amp; up: Needs attention"},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.caps.size());
    FakeNotificationServer server(c.caps);
    ASSERT_TRUE(server.owned());
    BadgeWatch badges;
    auto notifier = gtk::makeNotifier();
    notifier->requestPermission();
    notifier->post("id-1", "Quillmarsh security", "Firewall <on> & up: Needs attention");
    notifier->setBadge(3);
    notifier->setBadge(std::nullopt);
    ASSERT_TRUE(test::spinUntil([&] { return server.notes().size() == 1; }));
    ASSERT_TRUE(test::spinUntil([&] { return badges.updates().size() == 2; }));
    auto& n = server.notes()[0];
    EXPECT_EQ(n.app, "Quillmarsh Quarn");
    EXPECT_EQ(n.replacesId, 0u);
    EXPECT_EQ(n.icon, "app.quillmarsh.quarn");
    EXPECT_EQ(n.summary, "Quillmarsh security");
    EXPECT_EQ(n.body, c.body);
    EXPECT_TRUE(n.actions.empty());
    EXPECT_EQ(n.hints,
              (std::map<std::string, std::string>{{"desktop-entry", "app.quillmarsh.quarn"},
                                                  {"sound-name", "message-new-instant"}}));
    EXPECT_EQ(n.timeout, -1);
    for (auto& u : badges.updates()) {
      EXPECT_EQ(u.path, "/app/quillmarsh/quarn/LauncherEntry");
      EXPECT_EQ(u.appUri, "application://app.quillmarsh.quarn.desktop");
    }
    EXPECT_EQ(badges.updates()[0].count, 3);
    EXPECT_EQ(badges.updates()[0].visible, true);
    EXPECT_EQ(badges.updates()[1].visible, false);
  }
}

TEST(NotifierBus, WithoutANotificationServerTheBadgeStillGoesOut) {
  BadgeWatch badges;
  auto notifier = gtk::makeNotifier();
  notifier->post("id", "Quillmarsh security", "A check: ");
  notifier->setBadge(1);
  ASSERT_TRUE(test::spinUntil([&] { return badges.updates().size() == 1; }));
  EXPECT_EQ(badges.shown(), std::vector<Badge>{1});
  // The failed notification settles without harm.
  test::spinUntil([] { return false; }, 0.5);
}

TEST(FlowApp, WithNothingAnsweringTheConnectPageConnectsToTheTypedHost) {
  REQUIRE_PORT("127.0.0.1");
  REQUIRE_PORT("127.0.0.2");
  AppHarness app;
  app.launch();
  ASSERT_TRUE(test::spinUntil(
      [&] { return evalJs(app.webView(), "document.getElementById('a') ? 'yes' : ''") == "yes"; },
      60));
  EXPECT_EQ(evalJs(app.webView(), "document.querySelector('b').textContent"),
            "Connect Quillmarsh Quarn to the Quillmarsh Mac");

  SampleServer server("127.0.0.2", PORT, app.home() + "/server-data");
  ASSERT_TRUE(server.ready());
  evalJs(app.webView(),
         "var a = document.getElementById('a'); a.focus(); a.value = ' HTTP://127.0.0.2:8795/x ';"
         "document.querySelector('button').click(); 'ok'");
  ASSERT_TRUE(waitForPage(
      app.webView(), [](const std::string& u) { return u == "http://127.0.0.2:8795/"; }, 60));
  EXPECT_EQ(SuiteServer::saved(), "127.0.0.2");
  EXPECT_EQ(BASE, "http://127.0.0.2:8795");
}

// One launch against the sample server: the UI loads signed in, then the badge and
// notifications follow the server's failing checks.
TEST(FlowApp, LaunchLoadsTheSignedInUiAndFollowsTheServersFailingChecks) {
  REQUIRE_PORT("127.0.0.1");
  FakeNotificationServer notes;
  ASSERT_TRUE(notes.owned());
  BadgeWatch badges;
  AppHarness app;
  shareSignIn("0123456789abcdef");
  SampleServer server("127.0.0.1", PORT, app.home() + "/server-data");
  ASSERT_TRUE(server.ready());
  app.launch();
  ASSERT_TRUE(waitForPage(
      app.webView(), [](const std::string& u) { return u == "http://127.0.0.1:8795/"; }, 60));
  EXPECT_EQ(BASE, "http://127.0.0.1:8795");
  EXPECT_FALSE(SuiteServer::saved());
  auto log = fetch(server.base() + "/api/requests");
  ASSERT_TRUE(log);
  std::string firstUiCookie = "<none>";
  auto doc = nlohmann::json::parse(*log);
  for (auto& r : doc["requests"]) {
    if (r["path"] == "/") {
      firstUiCookie = r["cookie"].is_string() ? r["cookie"].get<std::string>() : "";
      break;
    }
  }
  EXPECT_NE(firstUiCookie.find("qmsuite=0123456789abcdef"), std::string::npos) << firstUiCookie;
  EXPECT_EQ(evalJs(app.webView(), "document.getElementById('session').textContent"),
            "Signed in: the qmsuite cookie is present.");

  // The poll made on connecting may run before the sign-in is planted; the next one (the
  // timer's) sees it and finds no failing check.
  ASSERT_TRUE(test::spinUntil([&] { return badges.updates().size() == 1; }));
  app.delegate().poll();
  ASSERT_TRUE(test::spinUntil([&] { return badges.updates().size() == 2; }));
  EXPECT_EQ(badges.shown().back(), std::nullopt);
  EXPECT_EQ(app.delegate().lastBad, 0);

  struct Step {
    int bad;
    Badge shown;
    size_t notes;
  } steps[] = {{2, 2, 1}, {1, 1, 1}, {3, 3, 2}, {3, 3, 2}, {0, std::nullopt, 2}, {1, 1, 3}};
  for (auto& s : steps) {
    SCOPED_TRACE(s.bad);
    ASSERT_TRUE(fetch(server.base() + "/api/checks/set?bad=" + std::to_string(s.bad)));
    size_t before = badges.updates().size();
    app.delegate().poll();
    ASSERT_TRUE(test::spinUntil([&] { return badges.updates().size() == before + 1; }));
    EXPECT_EQ(badges.shown().back(), s.shown);
    test::spinUntil([&] { return notes.notes().size() >= s.notes; });
    EXPECT_EQ(notes.notes().size(), s.notes);
  }
  test::spinUntil([] { return false; }, 0.5);
  ASSERT_EQ(notes.notes().size(), 3u);
  for (auto& n : notes.notes()) {
    EXPECT_EQ(n.summary, "Quillmarsh security");
    EXPECT_EQ(n.body, "Disk encryption: Needs attention");
  }
}

}  // namespace
}  // namespace qm::itest
