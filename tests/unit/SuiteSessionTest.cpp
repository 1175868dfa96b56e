#include "session/SuiteSession.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

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

TEST_F(SuiteSessionTest, FileLivesInTheSharedSuiteFolder) {
  EXPECT_EQ(SuiteSession::file(),
            home.path() + "/Library/Application Support/Quillmarsh/suite-session");
}

TEST_F(SuiteSessionTest, AdoptPlantsOnlyAReadableDifferentSharedValue) {
  struct Case {
    const char* name;
    std::optional<std::string> file;  // none: missing
    std::vector<Cookie> cookies;
    bool planted;
    std::string value;  // planted value
  } cases[] = {
      {"trailing newline", "tok\n", {}, true, "tok"},
      {"only white space", "  \n\t\n", {}, false, ""},
      {"missing file", std::nullopt, {suite("x")}, false, ""},
      {"not UTF-8", "\xff\xfe", {}, false, ""},
      {"huge", std::string(64 * 1024 + 1, 'a'), {}, false, ""},
      {"would smuggle a cookie", "a; other=b", {}, false, ""},
      {"store holds another value", "new", {suite("old")}, true, "new"},
      {"store holds the same value", "same", {suite("same")}, false, ""},
      {"other host, dotted, other case",
       "tok",
       {suite("tok", "127.0.0.2"), suite("tok", ".127.0.0.1"), suite("tok", "LOCALHOST")},
       true,
       "tok"},
      {"first of two matching counts",
       "a",
       {suite("a", "127.0.0.1", "/"), suite("b", "127.0.0.1", "/x")},
       false,
       ""},
      {"second of two matching ignored",
       "b",
       {suite("a", "127.0.0.1", "/"), suite("b", "127.0.0.1", "/x")},
       true,
       "b"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::FakeCookieStore s;
    s.cookies = c.cookies;
    SuiteSession fresh(s, clock);
    files::remove(SuiteSession::file());
    if (c.file) writeShared(*c.file);
    std::optional<bool> result;
    fresh.adopt([&](bool planted) { result = planted; });
    EXPECT_EQ(result, c.planted);
    ASSERT_EQ(s.setCalls.size(), c.planted ? 1u : 0u);
    if (c.planted) {
      EXPECT_EQ(s.setCalls[0].value, c.value);
    }
    EXPECT_EQ(fileText(), c.file);  // adopting never writes the file
  }
}

TEST_F(SuiteSessionTest, PlantedCookieIsHostOnlyStrictHttpOnlyForThirtyDaysAndNotEchoed) {
  writeShared("new\n");
  engineSets({suite("old")});
  EXPECT_EQ(adopt(), true);
  ASSERT_EQ(store.setCalls.size(), 1u);
  const Cookie& c = store.setCalls[0];
  EXPECT_EQ(c.name, "qmsuite");
  EXPECT_EQ(c.domain, "127.0.0.1");
  EXPECT_EQ(c.path, "/");
  EXPECT_EQ(c.expires, clock.t + 2592000.0);
  EXPECT_TRUE(c.httpOnly);
  EXPECT_FALSE(c.secure);
  EXPECT_EQ(c.sameSite, SameSite::Strict);
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

TEST_F(SuiteSessionTest, ExistingFolderKeepsItsModeAndFileBecomes600) {
  writeShared("old");
  ::chmod(files::parent(SuiteSession::file()).c_str(), 0755);
  ::chmod(SuiteSession::file().c_str(), 0644);
  adopt();
  engineSets({suite("old"), suite("fresh")});
  engineSets({suite("fresh")});
  EXPECT_EQ(fileText(), "fresh");
  EXPECT_EQ(modeOf(SuiteSession::file()), 0600u);
  EXPECT_EQ(modeOf(files::parent(SuiteSession::file())), 0755u);
}

TEST_F(SuiteSessionTest, HostSwitchMovesTheSignInAndTheWatch) {
  engineSets({suite("tok")});
  writeShared("tok");
  EXPECT_EQ(adopt(), false);
  session->host = "quillmarsh-mac.local";
  EXPECT_EQ(adopt(), true);
  EXPECT_EQ(store.setCalls.at(0).domain, "quillmarsh-mac.local");
  engineSets({suite("loopback-only"), suite("tok", "quillmarsh-mac.local")});
  EXPECT_EQ(fileText(), "tok");
  engineSets({suite("remote", "quillmarsh-mac.local")});
  EXPECT_EQ(fileText(), "remote");
}

TEST_F(SuiteSessionTest, StaleAnswerDoesNotWriteAnOldSignInBack) {
  engineSets({suite("old")});
  adopt();
  writeShared("new");
  store.deferred = true;
  session->adopt([](bool) {});  // asks first
  engineSets({suite("old")});   // asks second, answered with the pre-plant cookies
  auto step = [&] {
    auto fn = std::move(store.queued.front());
    store.queued.pop_front();
    fn();
  };
  step();  // adopt plants "new"
  step();  // the stale answer
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
}

TEST_F(SuiteSessionTest, AnswersArrivingAfterDestructionAreDropped) {
  store.deferred = true;
  writeShared("new");
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
    std::string base, host, file;
    bool reloads;
  } cases[] = {
      {"placeholder", "about:blank", "http://127.0.0.1:8795", "127.0.0.1", "new", false},
      {"no page", std::nullopt, "http://127.0.0.1:8795", "127.0.0.1", "new", false},
      {"server page, new sign-in", "http://127.0.0.1:8795/x", "http://127.0.0.1:8795", "127.0.0.1",
       "new", true},
      {"server page, same sign-in", "http://127.0.0.1:8795/", "http://127.0.0.1:8795", "127.0.0.1",
       "old", false},
      {"page of the old server", "http://127.0.0.1:8795/", "http://mac.local:8795", "mac.local",
       "new", false},
      {"page of the remote server", "http://mac.local:8795/", "http://mac.local:8795", "mac.local",
       "new", true},
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
    BASE = c.base;
    app.applicationDidBecomeActive();
    EXPECT_EQ(w.webView.log,
              c.reloads ? std::vector<std::string>{"reload"} : std::vector<std::string>{});
    initGlobals();
  }
}

}  // namespace
}  // namespace qm
