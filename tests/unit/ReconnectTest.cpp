#include <gio/gio.h>
#include <gtest/gtest.h>

#include <map>

#include "app/AppDelegate.h"
#include "core/Proxy.h"
#include "fakes/Fakes.h"
#include "fakes/TempHome.h"
#include "server/SuiteServer.h"

using namespace qm;

namespace {

// Launched with this computer's server answering and "mac.local" built in.
struct Launched {
  test::TempHome home;
  test::FakePlatform fp;
  AppDelegate app{fp.platform};
  Launched() {
    fp.bundle.info["QMHosts"] = "mac.local";
    app.applicationDidFinishLaunching();
    fp.http.respond(kProbePath, test::FakeHttp::status(200));
  }
  MainViewEvents& events() { return *fp.ui.events; }
  test::FakeWebView& view() { return fp.ui.window->webView; }
};

}  // namespace

TEST(Reconnect, RetryIntervalsGrowToHalfAMinuteAndTheServersAreLookedForAgainEachMinute) {
  for (auto [failed, delay] :
       {std::pair{-1, 1.0}, {0, 1.0}, {1, 2.0}, {4, 16.0}, {5, 30.0}, {9, 30.0}})
    EXPECT_EQ(retryDelay(failed), delay) << failed;
  for (auto [unanswered, sinceLook, due] : {std::tuple{59.9, std::optional<double>(), false},
                                            {60.0, std::nullopt, true},
                                            {130.0, 59.9, false},
                                            {130.0, 60.0, true}})
    EXPECT_EQ(lookAgainDue(unanswered, sinceLook), due) << unanswered;
}

// In virtual time, each probe of this computer's server answered as it goes out.
TEST(Reconnect, ThePageShowsUntilTheServerAnswersAndAfterAMinuteAnotherServerIsUsed) {
  Launched t;
  auto& fp = t.fp;
  const std::string at = "http://127.0.0.1:8795/people";
  std::vector<double> probes;  // when, from the failure on
  auto answerProbes = [&](double seconds, int status, double from) {
    probes.clear();
    for (double end = fp.loop.now + seconds; fp.loop.now < end;) {
      fp.loop.advance(0.5);
      while (fp.http.respond("127.0.0.1:8795/static", test::FakeHttp::status(status)))
        probes.push_back(fp.loop.now - from);
      fp.http.respond("mac.local", test::FakeHttp::status(200));
    }
  };
  // Another host's failure, or a load the engine cancelled, is no business of the app's.
  EXPECT_FALSE(t.events().onLoadFailed({"http://mac.local:8795/", "g-io-error-quark", 39}));
  EXPECT_FALSE(t.events().onLoadFailed({"http://127.0.0.1:8080/", "g-io-error-quark", 39}));
  EXPECT_FALSE(t.events().onLoadFailed({at, "WebKitNetworkError", 302}));
  EXPECT_FALSE(t.events().onLoadFailed({at, "g-resolver-error-quark", 2}));
  // Refused, then the page's button; a name not found, then the network changing. Each probes
  // at once; the next one comes on time after a manual try (from 3 s, 8 s on) and soon after a
  // new network (2 s on); the one that answers brings back the page that failed.
  for (auto& [failure, trigger, says, next] :
       {std::tuple{LoadFailure{at, "g-io-error-quark", 39}, "retry",
                   "The server on this computer (<b>127.0.0.1</b>) refused the connection", 11.0},
        {{at, "g-resolver-error-quark", 0},
         "the network changed",
         "The name <b>127.0.0.1</b> was not found",
         5.0}}) {
    answerProbes(61, 200, 0);
    EXPECT_TRUE(probes.empty());  // none while the UI shows
    EXPECT_TRUE(t.events().onLoadFailed(failure));
    fp.loop.drain();
    EXPECT_NE(t.view().log.back().find(says), std::string::npos) << t.view().log.back();
    double from = fp.loop.now;
    answerProbes(3, 503, from);
    EXPECT_EQ(std::tuple(probes, fp.http.sent.back().timeoutSeconds, fp.http.sent.back().wantBody),
              std::tuple(std::vector<double>{1, 3}, 1.0, false));
    trigger == std::string("retry") ? t.events().onAppMessage(trigger) : fp.network.fn(trigger);
    EXPECT_TRUE(fp.http.respond("127.0.0.1:8795/static", test::FakeHttp::status(500)));
    answerProbes(9, 404, from);
    EXPECT_EQ(probes, std::vector<double>{next});
    EXPECT_EQ(std::tuple(t.view().log.back(), t.app.reconnect().watching(), !fp.network.fn),
              std::tuple("url:" + at, false, true));
  }
  // Another page in its place ends the watch.
  EXPECT_TRUE(t.events().onLoadFailed({at, "g-io-error-quark", G_IO_ERROR_NETWORK_UNREACHABLE}));
  fp.loop.drain();
  EXPECT_NE(t.view().log.back().find("no network to reach <b>127.0.0.1</b>"), std::string::npos);
  t.app.showMessage("elsewhere");
  answerProbes(5, 503, 0);  // failing again soon after the reload: one step further, at 4 s
  EXPECT_EQ(std::tuple(probes.size(), t.app.reconnect().watching()), std::tuple(0u, false));
  // A look that ends once the page was left changes nothing.
  answerProbes(61, 200, 0);
  EXPECT_TRUE(t.events().onLoadFailed({at, "g-io-error-quark", 39}));
  for (double end = fp.loop.now + 61; fp.loop.now < end; fp.loop.advance(0.5))
    while (fp.http.respond("127.0.0.1:8795/static", test::FakeHttp::status(503))) {
    }
  t.app.showMessage("left");
  while (fp.http.respond("127.0.0.1:8795/static", test::FakeHttp::status(503))) {
  }
  EXPECT_TRUE(fp.http.respond("mac.local", test::FakeHttp::status(200)));
  EXPECT_EQ(t.view().log.back().rfind("html:", 0), 0u) << t.view().log.back();
  // Gone for good: about a minute of tries, then the servers are looked for again in the
  // usual order, and the built-in one that answers is used and remembered.
  answerProbes(61, 200, 0);
  EXPECT_TRUE(t.events().onLoadFailed({at, "g-io-error-quark", G_IO_ERROR_TIMED_OUT}));
  answerProbes(61, 503, fp.loop.now);
  EXPECT_EQ(probes, (std::vector<double>{1, 3, 7, 15, 31, 60, 60}));
  EXPECT_EQ(
      std::tuple(t.view().log.back(), SuiteServer::saved(), t.app.reconnect().watching()),
      std::tuple("url:http://mac.local:8795", std::optional<std::string>("mac.local"), false));
}

TEST(PageHang, AskedAfterTenSecondsGoneWhenThePageAnswersAgainAndWaitAsksAgainOnlyIfItStaysSo) {
  // Steps: 'u' the page stops answering, 'a' it answers again, 'w' 5 s pass, 'R' Reload is
  // chosen, 'W' Wait. Seen: 'A' the alert, 'C' it taken away, 'T' the web process ended, 'L' the
  // page loaded again.
  const std::pair<std::string, std::string> rows[] = {
      {"uw", ""},          {"uww", "A"},   {"uwaww", ""},    {"uwwa", "AC"},   {"uwwR", "ATL"},
      {"uwwRuww", "ATLA"}, {"uwwWw", "A"}, {"uwwWww", "AA"}, {"uwwWaww", "A"}, {"uuwwa", "AC"}};
  for (auto& [steps, seen] : rows) {
    SCOPED_TRACE(steps);
    Launched t;
    auto& ui = t.fp.ui;
    std::string got;
    std::size_t alerts = 0, closed = 0, loads = t.view().log.size();
    for (char step : steps) {
      if (step == 'u' || step == 'a') t.events().onResponsiveChanged(step == 'a');
      if (step == 'w') t.fp.loop.advance(5);
      if (step == 'R' || step == 'W') ui.alerts.back().done(kAlertFirstButton + (step == 'W'));
      for (; alerts < ui.alerts.size(); ++alerts)
        got += ui.alerts[alerts].spec.message == "The page is not responding" &&
                       ui.alerts[alerts].spec.buttons == std::vector<std::string>{"Reload", "Wait"}
                   ? 'A'
                   : '?';
      for (; closed < ui.closed.size(); ++closed) got += ui.closed[closed] == alerts ? "C" : "?";
      for (auto& l = t.view().log; loads < l.size(); ++loads)
        got += l[loads] == "terminate"                        ? 'T'
               : l[loads].starts_with("url:http://127.0.0.1") ? 'L'
                                                              : '?';
    }
    EXPECT_EQ(got, seen);
  }
}

TEST(Proxy, LoopbackNeverGoesToAProxyAndTheEnvironmentSaysWhereTheRestGoes) {
  using Env = std::map<std::string, std::string>;
  const std::pair<Env, std::string> rows[] = {
      {{{"no_proxy", "x"}}, "the desktop's"},
      {{{"http_proxy", "proxy:3128"},
        {"HTTP_PROXY", "http://other:1"},
        {"HTTPS_PROXY", "http://p:8"},
        {"all_proxy", "socks5://s:1080"},
        {"NO_PROXY", " .corp.example,10.0.0.0/8 ,bad entry,,"}},
       "socks5://s:1080|http=http://proxy:3128https=http://p:8|localhost,127.0.0.0/8,::1,"
       ".corp.example,10.0.0.0/8"},
      {{{"http_proxy", ""}, {"ALL_PROXY", "p:1"}, {"no_proxy", "a.test,*"}},
       "||localhost,127.0.0.0/8,::1"}};
  for (auto& [env, seen] : rows) {
    auto got = proxyFromEnvironment([&](const char* name) { return test::lookup(env, name); });
    std::string text = got ? got->fallback + "|" : "the desktop's";
    for (auto& [scheme, uri] : got ? got->schemes : decltype(got->schemes){})
      text += scheme + "=" + uri;
    for (std::size_t i = 0; got && i < got->ignoreHosts.size(); ++i)
      text += (i ? "," : "|") + got->ignoreHosts[i];
    EXPECT_EQ(text, seen);
  }
  for (auto [host, loopback] : {std::pair{"127.0.0.1", true},
                                {"127.9.8.7", true},
                                {"[::1]", true},
                                {"LocalHost", true},
                                {"10.0.0.1", false},
                                {"::2", false},
                                {"localhost.example", false}})
    EXPECT_EQ(isLoopback(host), loopback) << host;
}
