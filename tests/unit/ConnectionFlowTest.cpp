#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/AppDelegate.h"
#include "app/Files.h"
#include "app/Globals.h"
#include "fakes/Fakes.h"
#include "fakes/TempHome.h"
#include "server/SuiteServer.h"

namespace qm {
namespace {

namespace fs = std::filesystem;

const std::string kConnecting =
    "html:<body style='font:15px "
    "-apple-system;color:#525252;display:flex;align-items:center;justify-content:center;height:"
    "90vh'>Connecting\u2026</body>";
const std::string kMessageStart =
    "html:<body style='font:15px "
    "-apple-system;background:Canvas;color:CanvasText;padding:40px;white-space:pre-wrap'>";

// Remembers, for every load, what the shared sign-in looked like in the store at that moment.
class RecordingView : public test::FakeWebView {
 public:
  test::FakeCookieStore* store = nullptr;
  std::vector<std::vector<Cookie>> storeAtLoad;
  std::vector<std::optional<std::string>> savedAtHtml;
  void loadUrl(const std::string& url) override {
    storeAtLoad.push_back(store->cookies);
    FakeWebView::loadUrl(url);
  }
  void loadHtml(const std::string& html) override {
    savedAtHtml.push_back(SuiteServer::saved());
    FakeWebView::loadHtml(html);
  }
  std::vector<std::string> urls() const {
    std::vector<std::string> out;
    for (auto& l : log)
      if (l.rfind("url:", 0) == 0) out.push_back(l.substr(4));
    return out;
  }
};

class Flow : public ::testing::Test {
 protected:
  test::TempHome home;
  test::FakePlatform fp;
  AppDelegate app{fp.platform};
  RecordingView view;
  test::FakeCookieStore* store = nullptr;
  std::string dir;

  void SetUp() override {
    initGlobals();
    dir = home.path() + "/quarn";
    fp.bundle.info["QMQuarnDir"] = dir;
    fp.settings.values["showIntro"] = false;
    app.buildWindow();
    store = &fp.ui.window->cookieStore;
    view.store = store;
    app.web = &view;
  }

  test::FakeWebView* showIntro() {
    auto intro = std::make_unique<test::FakeWebView>();
    auto* raw = intro.get();
    app.intro = std::move(intro);
    return raw;
  }
  bool introEnded(test::FakeWebView* intro) {
    // Ending may fade the view first; either way it is no longer the intro on screen.
    return !app.intro || intro->removed || !intro->fades.empty();
  }
  // Answers every readiness probe with `answer` and lets retries run, until none is left.
  void settleProbes(const HttpResponse& answer) {
    for (int i = 0; i < 400; ++i) {
      bool any = false;
      while (fp.http.respond("/static/icon.png", answer)) any = true;
      fp.loop.advance(0.5);
      if (!any && fp.loop.posted.empty() && fp.http.pending.empty()) break;
    }
  }
  void withIntroSound() {
    fp.bundle.resources["intro-sound.m4a"] = home.path() + "/intro-sound.m4a";
    std::ofstream(home.path() + "/intro-sound.m4a") << "x";
  }
  void share(const std::string& value) {
    files::makeDirs(home.path() + "/Library/Application Support/Quillmarsh", 0700);
    std::ofstream(SuiteSession::file()) << value;
  }
};

// A host given, or none and the local service's folder present: the UI loads behind the intro.
TEST_F(Flow, CompletionWithAHostOrTheLocalServicePutsItInUse) {
  struct Case {
    std::optional<std::string> host;
    std::string base;
    std::optional<std::string> remembered;
  } cases[] = {
      {"127.0.0.1", "http://127.0.0.1:8795", std::nullopt},
      {"127.0.0.2", "http://127.0.0.2:8795", "127.0.0.2"},
      {std::nullopt, "http://127.0.0.1:8795", std::nullopt},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.host.value_or("local"));
    fs::remove(SuiteServer::file());
    view.log.clear();
    if (!c.host) fs::create_directories(dir);
    auto* intro = showIntro();
    app.connectCompleted(c.host);
    settleProbes(test::FakeHttp::status(200));
    EXPECT_EQ(BASE, c.base);
    EXPECT_EQ(SuiteServer::saved(), c.remembered);
    EXPECT_EQ(view.urls(), std::vector<std::string>{c.base});
    EXPECT_FALSE(introEnded(intro));
  }
}

TEST_F(Flow, CompletionWithoutAHostAndNoServiceFolderShowsTheConnectPage) {
  auto* intro = showIntro();
  app.connectCompleted(std::nullopt);
  fp.loop.drain();
  EXPECT_TRUE(introEnded(intro));
  EXPECT_EQ(view.lastLoad(), "html:" + SuiteServer::askPage(fp.bundle, "Quillmarsh Quarn"));
  EXPECT_NE(view.lastLoad().find("Connect Quillmarsh Quarn to the Quillmarsh Mac"),
            std::string::npos);
  EXPECT_TRUE(view.urls().empty());
  EXPECT_TRUE(fp.tools.runs.empty());
}

TEST_F(Flow, ServiceThatDoesNotComeUpShowsTheFailurePageWithItsLogEscaped) {
  struct Case {
    std::string folder;
    std::string shown;
  } cases[] = {
      {"quarn", "quarn"},
      {"it's here", "it's here"},
      {"a<b>&c", "a&lt;b&gt;&amp;c"},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.folder);
    dir = home.path() + "/" + c.folder;
    fp.bundle.info["QMQuarnDir"] = dir;
    fs::create_directories(dir);
    auto* intro = showIntro();
    app.connectCompleted(std::nullopt);
    settleProbes(test::FakeHttp::failure());
    EXPECT_TRUE(introEnded(intro));
    EXPECT_EQ(view.lastLoad(), kMessageStart + "Couldn't start Quillmarsh Quarn.\n\nCheck " +
                                   home.path() + "/" + c.shown + "/data/quarn.log</body>");
    EXPECT_TRUE(view.urls().empty());
  }
}

TEST_F(Flow, UseLoadsTheUiOnlyOnceTheSharedSignInIsInTheStore) {
  share("token-1");
  store->deferred = true;
  auto* intro = showIntro();
  app.use("127.0.0.2");
  // Everything but the UI happens at once.
  EXPECT_TRUE(app.introReady);
  EXPECT_EQ(intro->scripts, std::vector<std::string>{"window.qmReady && qmReady()"});
  EXPECT_EQ(app.suiteSession->host, "127.0.0.2");
  EXPECT_TRUE(view.urls().empty());
  for (int i = 0; i < 10 && !store->queued.empty(); ++i) store->flush();
  fp.loop.drain();
  ASSERT_EQ(view.urls(), std::vector<std::string>{"http://127.0.0.2:8795"});
  bool signedIn = false;
  for (auto& c : view.storeAtLoad.front())
    signedIn |= c.name == "qmsuite" && c.value == "token-1" && c.domain == "127.0.0.2";
  EXPECT_TRUE(signedIn);
}

TEST_F(Flow, UseWithoutIntroStillMarksReadyAndPolls) {
  Cookie signIn;
  signIn.name = "qmsuite";
  signIn.value = "v";
  signIn.domain = "127.0.0.3";
  store->cookies.push_back(signIn);
  app.use("127.0.0.3");
  fp.loop.drain();
  EXPECT_TRUE(app.introReady);
  ASSERT_EQ(fp.http.sent.size(), 1u);
  EXPECT_EQ(fp.http.sent[0].url, "http://127.0.0.3:8795/api/overview");
}

TEST_F(Flow, ServerMessageRemembersTheHostBeforeConnectingAndResolvesAgain) {
  struct Case {
    std::string name;
    std::optional<std::string> body;
    std::optional<std::string> remembered;
  } cases[] = {
      {"typed url", "HTTP://127.0.0.2:8795/", "127.0.0.2"},
      {"try again", "", "127.0.0.3"},
      {"not a string", std::nullopt, "127.0.0.3"},
      {"unacceptable", "no_such host", "127.0.0.3"},
      {"start is a host here", "start", "start"},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    SuiteServer::save(std::string("127.0.0.3"));
    view.log.clear();
    view.savedAtHtml.clear();
    fp.http.pending.clear();
    fp.http.sent.clear();
    app.onScriptMessage("qmserver", c.body);
    EXPECT_EQ(view.log, std::vector<std::string>{kConnecting});
    EXPECT_EQ(view.savedAtHtml, std::vector<std::optional<std::string>>{c.remembered});
    // The new resolution already counts the remembered host among its candidates.
    bool probed = false;
    for (auto& r : fp.http.sent)
      probed |= r.url == "http://" + *c.remembered + ":8795/static/icon.png";
    EXPECT_TRUE(probed);
    EXPECT_TRUE(fp.sound.openedPaths.empty());
  }
}

TEST_F(Flow, IntroMessagesPlayAndFinishOnlyOnExactBodies) {
  withIntroSound();
  struct Case {
    std::string channel;
    std::optional<std::string> body;
    int plays;
    bool ends;
  } cases[] = {
      {"qm", "start", 1, false},    {"qm", "finished", 0, true},   {"other", "start", 1, false},
      {"qm", "Start", 0, false},    {"qm", "finished ", 0, false}, {"qm", std::nullopt, 0, false},
      {"qm", "qmserver", 0, false},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.channel + "/" + c.body.value_or("<none>"));
    int before = 0;
    for (auto& s : fp.sound.sounds) before += s->plays;
    auto* intro = showIntro();
    app.onScriptMessage(c.channel, c.body);
    fp.loop.drain();
    int after = 0;
    for (auto& s : fp.sound.sounds) after += s->plays;
    EXPECT_EQ(after - before, c.plays);
    EXPECT_EQ(introEnded(intro), c.ends);
    EXPECT_TRUE(view.log.empty());
    EXPECT_TRUE(fp.http.sent.empty());
    fp.loop.advance(30);
  }
}

TEST_F(Flow, FinishedFadesAPlayingSound) {
  withIntroSound();
  showIntro();
  app.onScriptMessage("qm", std::string("start"));
  ASSERT_EQ(fp.sound.sounds.size(), 1u);
  ASSERT_TRUE(fp.sound.sounds[0]->playing);
  app.onScriptMessage("qm", std::string("finished"));
  fp.loop.advance(5);
  EXPECT_FALSE(fp.sound.sounds[0]->playing);
  EXPECT_FALSE(app.intro);
}

}  // namespace
}  // namespace qm
