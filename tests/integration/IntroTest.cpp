#include <gio/gio.h>

#include <fstream>

#include "app/Files.h"
#include "integration/Harness.h"
#include "platform/gtk/Factories.h"

namespace qm::itest {
namespace {

// An intro page that records what the app tells it and says only what the test asks.
constexpr const char* kProbePage = R"(<!DOCTYPE html><html><head><meta charset="utf-8">
<style>html,body{background:transparent;margin:0}</style></head><body>intro
<script>
window.readyCalls = 0;
window.qmReady = function () { window.readyCalls++; };
window.say = function (m) { window.webkit.messageHandlers.qm.postMessage(m); return "sent"; };
</script></body></html>)";

constexpr const char* kHasQm =
    "String(!!(window.webkit && window.webkit.messageHandlers && "
    "window.webkit.messageHandlers.qm))";

// The web views lying above the main one, bottom to top.
std::vector<WebKitWebView*> introViews(AppHarness& app) {
  std::vector<WebKitWebView*> out;
  GtkWidget* overlay = gtk_window_get_child(app.window().window());
  for (GtkWidget* c = gtk_widget_get_first_child(overlay); c; c = gtk_widget_get_next_sibling(c))
    if (WEBKIT_IS_WEB_VIEW(c) && WEBKIT_WEB_VIEW(c) != app.webView())
      out.push_back(WEBKIT_WEB_VIEW(c));
  return out;
}

void writeDefaults(AppHarness& app, const std::string& body) {
  std::string dir = app.home() + "/.config/app.quillmarsh.quarn";
  files::makeDirs(dir);
  std::ofstream(dir + "/defaults.ini") << "[Defaults]\n" << body;
}

struct IntroApp : AppHarness {
  explicit IntroApp(bool probePage = true) {
    if (probePage)
      std::ofstream(bundleDir() + "/intro.html") << kProbePage;
    else
      copyResource("intro.html");
    copyResource("intro-sound.m4a");
    holdStartup();
  }
  WebKitWebView* intro() {
    auto v = introViews(*this);
    return v.empty() ? nullptr : v.back();
  }
  bool introGone(double seconds = 20) {
    return spinUntil([&] { return introViews(*this).empty(); }, seconds);
  }
  bool introLoaded(double seconds = 30) {
    return spinUntil([&] { return intro() && !webkit_web_view_is_loading(intro()); }, seconds);
  }
  // An intro view of the bundle's page made directly, reporting to `events`.
  std::unique_ptr<IntroView> makeView(WebEvents& events) {
    auto* overlay = GTK_OVERLAY(gtk_window_get_child(window().window()));
    return gtk::makeIntroView(overlay, platform().session(), bundleDir() + "/intro.html", events);
  }
  std::string readyCalls() { return evalJs(intro(), "String(readyCalls)"); }
};

void settle(double seconds) {
  spinUntil([] { return false; }, seconds);
}

TEST(IntroOverlay, LiesAboveTheMainViewGoesWhenEndedAndIsToldReadyOnceTheUiLoads) {
  IntroApp app;
  app.launch();
  ASSERT_TRUE(app.introLoaded());
  WebKitWebView* v = app.intro();
  GdkRGBA bg;
  webkit_web_view_get_background_color(v, &bg);
  EXPECT_EQ(bg.alpha, 0.0);
  EXPECT_EQ(gtk_widget_get_parent(GTK_WIDGET(v)), gtk_widget_get_parent(GTK_WIDGET(app.webView())));
  EXPECT_EQ(gtk_widget_get_next_sibling(GTK_WIDGET(app.webView())), GTK_WIDGET(v));
  EXPECT_EQ(evalJs(v, "location.protocol"), "file:");
  settle(0.3);
  EXPECT_EQ(app.readyCalls(), "0");  // the page finished before the UI started loading

  app.delegate().endIntro();  // what "finished" and the connection flow's give-up do
  EXPECT_EQ(app.delegate().intro, nullptr);
  ASSERT_TRUE(app.introGone());
  // An intro whose page finishes after the UI started loading is told as soon as it has loaded.
  app.delegate().introReady = true;
  app.delegate().replayIntro();
  ASSERT_TRUE(app.introLoaded());
  EXPECT_TRUE(spinUntil([&] { return app.readyCalls() == "1"; }));
}

TEST(IntroOverlay, ShowIntroSettingDecidesAtLaunch) {
  struct Case {
    const char* defaults;
    bool shown;
  } cases[] = {{"showIntro=false\n", false}, {"showIntro=yes\n", true}};
  for (auto& c : cases) {
    SCOPED_TRACE(c.defaults);
    IntroApp app;
    writeDefaults(app, c.defaults);
    app.launch();
    ASSERT_TRUE(waitForPage(app.webView(), [](const std::string&) { return true; }));
    settle(0.5);
    EXPECT_EQ(!introViews(app).empty(), c.shown);
  }
}

TEST(IntroOverlay, PageMessagesReachTheApplicationOnTheQmChannelOnly) {
  struct Recorder : NullEvents {
    std::vector<std::pair<std::string, std::optional<std::string>>> messages;
    int finished = 0;
    void onScriptMessage(const std::string& c, const std::optional<std::string>& b) override {
      messages.emplace_back(c, b);
    }
    void onIntroLoadFinished(IntroView&) override { ++finished; }
  } events;
  IntroApp app;
  app.launch();
  auto view = app.makeView(events);
  ASSERT_TRUE(spinUntil([&] { return events.finished == 1; }, 30));
  WebKitWebView* v = introViews(app).back();
  EXPECT_EQ(evalJs(v, "say('start')"), "sent");
  EXPECT_EQ(evalJs(v, "say(42)"), "sent");
  ASSERT_TRUE(spinUntil([&] { return events.messages.size() == 2; }));
  EXPECT_EQ(events.messages[0],
            (std::pair<std::string, std::optional<std::string>>{"qm", "start"}));
  EXPECT_EQ(events.messages[1].second, std::nullopt);
  // The main view has no "qm" channel.
  EXPECT_EQ(evalJs(app.webView(), kHasQm), "false");

  bool faded = false;
  view->fadeOut(0.2, [&] { faded = true; });
  ASSERT_TRUE(spinUntil([&] { return faded; }));
  EXPECT_EQ(gtk_widget_get_opacity(GTK_WIDGET(v)), 0.0);
  view->remove();
  EXPECT_EQ(evalJs(v, kHasQm), "false");
  auto count = introViews(app).size();
  view.reset();
  EXPECT_EQ(introViews(app).size(), count);
}

TEST(IntroOverlay, RealPageStartsHoldsUntilReadyThenFinishes) {
  struct Recorder : NullEvents {
    std::vector<std::string> bodies;
    void onScriptMessage(const std::string&, const std::optional<std::string>& b) override {
      bodies.push_back(b.value_or("<none>"));
    }
  } events;
  IntroApp app(false);
  app.launch();
  auto view = app.makeView(events);
  ASSERT_TRUE(spinUntil([&] { return !events.bodies.empty(); }, 30));
  EXPECT_EQ(events.bodies, std::vector<std::string>{"start"});
  settle(4);  // well past its own timeline
  EXPECT_EQ(events.bodies, std::vector<std::string>{"start"});
  for (int i = 0; i < 2; ++i) view->evaluate("window.qmReady && qmReady()");
  ASSERT_TRUE(spinUntil([&] { return events.bodies.size() >= 2; }, 30));
  settle(1);
  EXPECT_EQ(events.bodies, (std::vector<std::string>{"start", "finished"}));
}

TEST(IntroOverlay, GuardEndsAnIntroThatNeverFinishes) {
  IntroApp app;
  // A server in use, so that nothing but the guard ends the intro.
  SampleServer server("127.0.0.1", PORT, app.home() + "/server-data");
  ASSERT_TRUE(server.ready());
  app.launch();
  ASSERT_TRUE(app.introLoaded());
  EXPECT_TRUE(app.introGone(60));
  EXPECT_EQ(app.delegate().intro, nullptr);
}

TEST(IntroSoundPlayer, OpensOnlyReadableFilesAndStopsAtTheEnd) {
  IntroApp app;
  auto player = gtk::makeSoundPlayer();
  EXPECT_EQ(player->open(app.bundleDir() + "/missing.m4a"), nullptr);
  EXPECT_EQ(player->open(app.bundleDir()), nullptr);
  auto sound = player->open(app.bundleDir() + "/intro-sound.m4a");
  ASSERT_NE(sound, nullptr);
  sound->setVolume(0.0f);
  if (sound->play()) {
    // Without an audio device the pipeline fails; either way it is not playing at the end.
    EXPECT_TRUE(spinUntil([&] { return !sound->isPlaying(); }, 30));
  }
  EXPECT_EQ(sound->currentTime(), 0.0);
  sound->stop();
  EXPECT_FALSE(sound->isPlaying());
}

TEST(Menu, ActionsShortcutsAndStates) {
  IntroApp app;
  writeDefaults(app, "introSound=false\n");
  app.launch();
  GtkApplication* a = application();
  struct Case {
    const char* action;
    const char* accel;  // nullptr for none
  } cases[] = {
      {"showAbout", nullptr},        {"replayIntro", nullptr},    {"toggleIntro", nullptr},
      {"toggleIntroSound", nullptr}, {"openHQ", "<Control>1"},    {"openStudio", "<Control>2"},
      {"openExports", nullptr},      {"restartService", nullptr}, {"hide", "<Control>h"},
      {"terminate", "<Control>q"},   {"quitAndStop", nullptr},    {"undo", "<Control>z"},
      {"redo", "<Shift><Control>z"}, {"cut", "<Control>x"},       {"copy", "<Control>c"},
      {"paste", "<Control>v"},       {"selectAll", "<Control>a"}, {"reloadWeb", "<Control>r"},
      {"minimize", "<Control>m"},    {"close", "<Control>w"}};
  for (auto& c : cases) {
    SCOPED_TRACE(c.action);
    EXPECT_TRUE(g_action_group_has_action(G_ACTION_GROUP(a), c.action));
    std::string detailed = std::string("app.") + c.action;
    char** accels = gtk_application_get_accels_for_action(a, detailed.c_str());
    // Compared as parsed, since GTK may spell the modifiers in another order.
    guint k1 = 0, k2 = 0;
    GdkModifierType m1{}, m2{};
    if (accels && accels[0]) {
      EXPECT_TRUE(gtk_accelerator_parse(accels[0], &k1, &m1));
    }
    if (c.accel) {
      EXPECT_TRUE(gtk_accelerator_parse(c.accel, &k2, &m2));
    }
    EXPECT_EQ(std::pair(k1, m1), std::pair(k2, m2));
    g_strfreev(accels);
  }
  auto state = [&](const char* name) {
    GVariant* v = g_action_group_get_action_state(G_ACTION_GROUP(a), name);
    bool on = v && g_variant_get_boolean(v);
    if (v) g_variant_unref(v);
    return on;
  };
  EXPECT_TRUE(state("toggleIntro"));
  EXPECT_FALSE(state("toggleIntroSound"));
  for (const char* name : {"toggleIntro", "toggleIntroSound"})
    g_action_group_activate_action(G_ACTION_GROUP(a), name, nullptr);
  EXPECT_FALSE(state("toggleIntro"));
  EXPECT_TRUE(state("toggleIntroSound"));
  auto saved = files::read(app.home() + "/.config/app.quillmarsh.quarn/defaults.ini");
  ASSERT_TRUE(saved);
  EXPECT_NE(saved->find("showIntro=false"), std::string::npos);
  EXPECT_NE(saved->find("introSound=true"), std::string::npos);
}

}  // namespace
}  // namespace qm::itest
