#include <gtest/gtest.h>

#include <filesystem>

#include "app/AppDelegate.h"
#include "core/Files.h"
#include "fakes/Fakes.h"
#include "fakes/TempHome.h"
#include "pages/Pages.h"
#include "server/SuiteServer.h"
#include "session/EarlySignIn.h"

using namespace qm;

// One launch, then each way a connection ends, in an order a user could meet them.
TEST(ConnectionFlow, FromLaunchThroughEachWayAConnectionEnds) {
  test::TempHome home;
  test::FakePlatform fp;
  const std::string dir = home.path() + "/a<b>&c";
  fp.bundle.info = {{"QMQuarnDir", dir}, {"QMHosts", std::string("Mac.Local,\0", 11)}};
  fp.bundle.resources["intro.html"] = "/intro.html";
  test::writeFile(SuiteSession::file(), "tok");
  AppDelegate app{fp.platform};
  app.applicationDidFinishLaunching();
  auto& w = *fp.ui.window;
  EXPECT_EQ(w.webView.log, std::vector<std::string>{"html:" + pages::placeholderPage()});
  EXPECT_EQ(w.intros.size(), 1u);
  EXPECT_TRUE(app.applicationShouldHandleReopen() && w.presented == 2);

  // No server and no service folder: the connect page, naming the host remembered meanwhile.
  test::writeFile(SuiteServer::file(), "r.local");
  while (fp.http.respond(kProbePath, test::FakeHttp::failure())) fp.loop.advance(0.5);
  std::string ask =
      pages::askPage("Quillmarsh Quarn", "r.local", {"Mac.Local", std::string(1, '\0')});
  std::erase(ask, '\0');  // it would end the page early in the engine
  EXPECT_EQ(w.webView.log.back(), "html:" + ask);
  std::filesystem::remove(SuiteServer::file());

  // "Try again" with a service folder whose service never answers: the failure page.
  std::filesystem::create_directories(dir);
  fp.ui.events->onServerMessage(std::string(""));
  EXPECT_EQ(w.webView.log.back(), "html:" + pages::connectingPage());
  while (fp.http.respond(kProbePath, test::FakeHttp::failure())) fp.loop.advance(0.5);
  EXPECT_EQ(w.webView.log.back(),
            "html:" + pages::messagePage("Couldn't start Quillmarsh Quarn.\n\nCheck " + dir +
                                         "/data/quarn.log"));

  // Once more, and the service answers: this computer's server, used once the shared sign-in
  // is planted, and not remembered.
  app.replayIntro();
  fp.cookies.deferred = true;
  fp.ui.events->onServerMessage(std::string(""));
  for (int status : {500, 503, 200}) fp.http.respond(kProbePath, test::FakeHttp::status(status));
  EXPECT_EQ(w.intros.at(1)->scripts, std::vector<std::string>{"window.qmReady && qmReady()"});
  EXPECT_EQ(w.webView.log.back().substr(0, 5), "html:");
  fp.cookies.flush();
  EXPECT_EQ(w.webView.log.back(), "url:http://127.0.0.1:8795");
  EXPECT_EQ(SuiteServer::saved(), std::nullopt);
  app.onScriptMessage("qm", std::string("finished"));  // the intro's channel
  EXPECT_EQ(w.intros.at(1)->fades.size(), 1u);

  // A typed host is remembered at once, and is a candidate while its write is still to land (a
  // folder stands in the file's place); the built-in one answers and is remembered instead, once
  // the file can be written.
  fp.ui.events->onServerMessage(std::string(" HTTP://127.0.0.2:8795/people "));
  EXPECT_EQ(SuiteServer::saved(), "127.0.0.2");
  std::filesystem::remove(SuiteServer::file()),
      std::filesystem::create_directories(SuiteServer::file() + "/x");
  fp.ui.events->onServerMessage(std::string("127.0.0.3"));
  for (int status : {500, 503, 404})  // 127.0.0.1, 127.0.0.3, Mac.Local
    EXPECT_TRUE(fp.http.respond(kProbePath, test::FakeHttp::status(status)));
  fp.cookies.flush();
  EXPECT_EQ(std::tuple(app.server().BASE(), w.webView.log.back(), SuiteServer::saved()),
            std::tuple("http://Mac.Local:8795", "url:http://Mac.Local:8795", std::nullopt));
  std::filesystem::remove_all(SuiteServer::file()), fp.loop.advance(SharedFile::retrySeconds);
  EXPECT_EQ(SuiteServer::saved(), "Mac.Local");

  // Becoming active re-adopts only while the page comes from BASE (the engine lower-cases its
  // host), and reloads on a change.
  test::writeFile(SuiteSession::file(), "new");
  for (auto [page, reloads] :
       {std::pair("http://127.0.0.1:8795/", false), {"http://mac.local:8795/b", true}}) {
    SCOPED_TRACE(page);
    w.webView.loadUrl(page);
    app.applicationDidBecomeActive();
    fp.cookies.flush();
    EXPECT_EQ(w.webView.log.back() == "reload", reloads);
    EXPECT_EQ(SuiteSession::current(fp.cookies.cookies, "Mac.Local"), reloads ? "new" : "tok");
  }

  // Presses while resolving, the last ones while an adoption runs, replace the resolution: one
  // adoption per resolution that found the server, one UI load, one poll.
  w.webView.log.clear(), fp.cookies.setCalls.clear(), fp.http.sent.clear();
  for (int i = 0; i < 5; ++i) {
    fp.ui.events->onServerMessage(std::string(""));
    while (i >= 3 && fp.http.respond(kProbePath, test::FakeHttp::status(200))) {
    }
  }
  fp.cookies.flush();
  auto urls = std::ranges::count_if(w.webView.log, [](auto& l) { return l.starts_with("url:"); });
  auto polls =
      std::ranges::count_if(fp.http.sent, [](auto& r) { return r.url.ends_with("/api/overview"); });
  EXPECT_EQ(std::tuple(fp.cookies.setCalls.size(), urls, polls), std::tuple(2u, 1, 1));
}

// The probes sent as the process starts serve the first connect, answered before or after the
// window asks; a later connect probes anew. The UI goes out at once, without a shared sign-in or
// with one planted before the window, while the cookie stores have not answered.
TEST(ConnectionFlow, FirstConnectTakesTheResolutionAndTheSignInStartedWithTheProcess) {
  for (auto [answeredFirst, signedIn] : {std::pair{true, false}, {false, false}, {false, true}}) {
    SCOPED_TRACE(testing::Message() << answeredFirst << signedIn);
    test::TempHome home;
    test::FakePlatform fp;
    auto probes = [&] {
      return std::ranges::count_if(fp.http.pending,
                                   [](auto& p) { return p.request.url.ends_with(kProbePath); });
    };
    if (signedIn) test::writeFile(SuiteSession::file(), "tok");
    test::FakeCookieStore store;
    store.deferred = true;  // neither store answers
    EarlySignIn early(store, fp.clock, {kLocalHost});
    EarlyResolution resolution(fp.http, fp.bundle, fp.loop);
    if (answeredFirst) fp.http.respond(kProbePath, test::FakeHttp::status(200));
    AppDelegate app{fp.platform, &resolution, signedIn ? &early : nullptr};
    app.applicationDidFinishLaunching();
    fp.cookies.deferred = true;
    EXPECT_EQ(probes(), answeredFirst ? 0 : 1);
    if (!answeredFirst) fp.http.respond(kProbePath, test::FakeHttp::status(200));
    fp.loop.drain();
    EXPECT_EQ(fp.ui.window->webView.log.back(), "url:http://127.0.0.1:8795");
    EXPECT_EQ(store.setCalls.size(), signedIn ? 2u : 0u);  // planted, then made to last
    fp.ui.events->onServerMessage(std::string(""));
    EXPECT_EQ(probes(), 1);
  }
}
