#include "session/SuiteSession.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <tuple>

#include "app/AppDelegate.h"
#include "app/Files.h"
#include "app/Globals.h"
#include "fakes/Fakes.h"
#include "fakes/TempHome.h"

namespace qm {
namespace {

Cookie suite(const std::string& value, const std::string& domain = "127.0.0.1",
             const std::string& path = "/") {
  Cookie c;
  c.name = "qmsuite", c.value = value, c.domain = domain, c.path = path;
  return c;
}

mode_t modeOf(const std::string& p) {
  struct stat st {};
  return ::stat(p.c_str(), &st) == 0 ? st.st_mode & 0777 : 0;
}

struct SuiteSessionTest : ::testing::Test {
  test::TempHome home;
  test::FakeClock clock;
  test::FakeCookieStore store;
  std::unique_ptr<SuiteSession> session = std::make_unique<SuiteSession>(store, clock);

  void writeShared(const std::string& text) {
    files::makeDirs(files::parent(SuiteSession::file()), 0700);
    std::ofstream(SuiteSession::file(), std::ios::binary) << text;
  }
  std::optional<std::string> fileText() { return files::read(SuiteSession::file(), 1 << 20); }
  std::optional<bool> adopt() {
    std::optional<bool> result;
    session->adopt([&](bool planted) { result = planted; });
    return result;
  }
  // The engine changes its cookies (a Set-Cookie, a sign-out) and tells the observer.
  void engineSets(std::vector<Cookie> cookies) {
    store.cookies = std::move(cookies);
    store.changed();
  }
};

TEST_F(SuiteSessionTest, AdoptPlantsOnlyAReadableDifferentSharedValue) {
  const std::vector<Cookie> two = {suite("a", "127.0.0.1", "/"), suite("b", "127.0.0.1", "/x")};
  const std::vector<Cookie> others = {suite("t", "127.0.0.2"), suite("t", ".127.0.0.1"),
                                      suite("t", "127.0.0.10")};
  using V = std::optional<std::string>;
  struct Case {
    V file;  // none: missing
    std::vector<Cookie> cookies;
    V planted;
  } cases[] = {
      {"t\n", {}, "t"},
      {"  \n\t\n", {}, {}},
      {{}, {suite("x")}, {}},
      {"\xff\xfe", {}, {}},
      {std::string(64 * 1024 + 1, 'a'), {}, {}},
      {"a; b=c", {}, {}},
      {"new", {suite("old")}, "new"},
      {"same", {suite("same")}, {}},
      {"t", others, "t"},
      {"a", two, {}},
      {"b", two, "b"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file.value_or("(missing)").substr(0, 20));
    test::FakeCookieStore s;
    s.cookies = c.cookies;
    SuiteSession fresh(s, clock);
    files::remove(SuiteSession::file());
    if (c.file) writeShared(*c.file);
    std::optional<bool> result;
    fresh.adopt([&](bool planted) { result = planted; });
    EXPECT_EQ(result, c.planted.has_value());
    EXPECT_EQ(s.setCalls.empty() ? V() : V(s.setCalls.back().value), c.planted);
    EXPECT_EQ(fileText(), c.file);  // adopting never writes the file
  }
}

TEST_F(SuiteSessionTest, PlantedCookieIsHostOnlyStrictHttpOnlyForThirtyDaysAndNotEchoed) {
  writeShared("new\n");
  engineSets({suite("old")});
  EXPECT_EQ(adopt(), true);
  auto all = [](const Cookie& c) {
    return std::tuple(c.name, c.value, c.domain, c.path, c.expires, c.httpOnly, c.secure,
                      c.sameSite);
  };
  Cookie want = suite("new");
  want.expires = clock.t + 2592000.0, want.httpOnly = true, want.sameSite = SameSite::Strict;
  ASSERT_EQ(store.setCalls.size(), 1u);
  EXPECT_EQ(all(store.setCalls[0]), all(want));
  EXPECT_EQ(fileText(), "new\n");  // the plant's own notification wrote nothing
}

TEST_F(SuiteSessionTest, ChangesAreSharedOnlyOnceReadyAndOnlyWhenNew) {
  store.deferred = true;
  engineSets({suite("early")});
  session->adopt([](bool) {});
  engineSets({suite("during")});  // before the first adopt has finished
  store.flush();
  EXPECT_FALSE(fileText());
  engineSets({suite("early")});  // known since adopt: nothing new
  store.flush();
  EXPECT_FALSE(fileText());
  engineSets({suite("signed-in")});
  store.flush();
  EXPECT_EQ(fileText(), "signed-in");
  EXPECT_EQ(SuiteSession::file(),
            home.path() + "/Library/Application Support/Quillmarsh/suite-session");
  EXPECT_EQ(modeOf(SuiteSession::file()), 0600u);
  EXPECT_EQ(modeOf(files::parent(SuiteSession::file())), 0700u);
  engineSets({suite("x", "127.0.0.2")});  // sign-out here deletes the file
  store.flush();
  EXPECT_FALSE(files::exists(SuiteSession::file()));
  writeShared("sibling");  // already signed out: nothing more to delete
  engineSets({});
  store.flush();
  EXPECT_EQ(fileText(), "sibling");
}

TEST_F(SuiteSessionTest, HostSwitchMovesTheSignInAndTheWatch) {
  engineSets({suite("tok")});
  writeShared("tok");
  ::chmod(files::parent(SuiteSession::file()).c_str(), 0755);  // a sibling's choice: kept
  ::chmod(SuiteSession::file().c_str(), 0644);
  EXPECT_EQ(adopt(), false);
  session->host = "quillmarsh-mac.local";
  EXPECT_EQ(adopt(), true);
  EXPECT_EQ(store.setCalls.at(0).domain, "quillmarsh-mac.local");
  engineSets({suite("loopback-only"), suite("tok", "quillmarsh-mac.local")});
  EXPECT_EQ(fileText(), "tok");
  engineSets({suite("remote", "quillmarsh-mac.local")});
  EXPECT_EQ(fileText(), "remote");
  EXPECT_EQ(modeOf(SuiteSession::file()), 0600u);
  EXPECT_EQ(modeOf(files::parent(SuiteSession::file())), 0755u);
}

TEST_F(SuiteSessionTest, StaleAnswerDoesNotWriteAnOldSignInBack) {
  engineSets({suite("old")});
  adopt();
  writeShared("new");
  store.deferred = true;
  session->adopt([](bool) {});  // asks first
  engineSets({suite("old")});   // asks second, answered with the pre-plant cookies
  for (int answered = 0; answered < 2; ++answered) {  // the plant, then the stale answer
    auto next = std::move(store.queued.front());
    store.queued.pop_front();
    next();
  }
  EXPECT_EQ(fileText(), "new");
  store.flush();
  EXPECT_EQ(fileText(), "new");
}

TEST_F(SuiteSessionTest, RefusedPlantReportsFalseAndStillMakesReady) {
  writeShared("new");
  store.refuse = true;
  EXPECT_EQ(adopt(), false);
  engineSets({suite("mine")});
  EXPECT_EQ(fileText(), "mine");
  // Answers still queued when the session goes away touch nothing.
  store.deferred = true;
  bool called = false;
  session->adopt([&](bool) { called = true; });
  session.reset();
  store.flush();
  store.changed();
  EXPECT_FALSE(called);
}

TEST(BecomingActive, ReadoptsAndReloadsOnlyOnTheServersPage) {
  struct Case {
    const char* name;
    std::optional<std::string> page;
    std::string host, file;  // the server in use is http://host:8795
    bool reloads;
  } cases[] = {
      {"placeholder", "about:blank", "127.0.0.1", "new", false},
      {"no page", std::nullopt, "127.0.0.1", "new", false},
      {"server page, new sign-in", "http://127.0.0.1:8795/x", "127.0.0.1", "new", true},
      {"server page, same sign-in", "http://127.0.0.1:8795/", "127.0.0.1", "old", false},
      {"page of the old server", "http://127.0.0.1:8795/", "mac.local", "new", false},
      {"page of the remote server", "http://mac.local:8795/", "mac.local", "new", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempHome home;
    test::FakePlatform fp;
    AppDelegate app(fp.platform);
    app.buildWindow();
    auto& w = *fp.ui.window;
    app.suiteSession->host = c.host;
    w.cookieStore.cookies = {suite("old", c.host)};
    files::makeDirs(files::parent(SuiteSession::file()), 0700);
    files::writeAtomic(SuiteSession::file(), c.file, 0600);
    w.webView.currentUri = c.page;
    w.webView.log.clear();
    BASE = "http://" + c.host + ":8795";
    app.applicationDidBecomeActive();
    EXPECT_EQ(w.webView.log, std::vector<std::string>(c.reloads, "reload"));
    initGlobals();
  }
}

}  // namespace
}  // namespace qm
