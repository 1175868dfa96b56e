// What only the real program shows: the window, the web engine, the session bus and the
// desktop around it, against real servers on loopback.
#include <sys/wait.h>

#include <functional>
#include <regex>

#include "integration/Harness.h"
#include "server/SuiteServer.h"

namespace qm::itest {
namespace {

// The desktop's side of the session bus: a notification server, and a watch on the launcher
// badge. Each notes what it gets as GVariant text. It stays for the process, as the app's bus
// connection does.
struct BusDesktop {
  std::vector<std::string> notes, badges;
  GPtr<GDBusConnection> bus =
      GPtr<GDBusConnection>::adopt(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr));
  GDBusNodeInfo* xml = g_dbus_node_info_new_for_xml(
      "<node><interface name='org.freedesktop.Notifications'><method name='Notify'><arg "
      "type='s'/><arg type='u'/><arg type='s'/><arg type='s'/><arg type='s'/><arg type='as'/><arg "
      "type='a{sv}'/><arg type='i'/><arg type='u' direction='out'/></method></interface></node>",
      nullptr);
  static void notify(GDBusConnection*, const char*, const char*, const char*, const char*,
                     GVariant* args, GDBusMethodInvocation* call, gpointer self) {
    auto& notes = static_cast<BusDesktop*>(self)->notes;
    notes.push_back(GCharPtr(g_variant_print(args, 0)).get());
    g_dbus_method_invocation_return_value(call, g_variant_new("(u)", guint32(notes.size())));
  }
  static inline const GDBusInterfaceVTable server = {&notify, {}, {}, {}};
  guint object = g_dbus_connection_register_object(bus.get(), "/org/freedesktop/Notifications",
                                                   xml->interfaces[0], &server, this, {}, {});
  guint name = g_bus_own_name_on_connection(bus.get(), "org.freedesktop.Notifications",
                                            G_BUS_NAME_OWNER_FLAGS_NONE, {}, {}, {}, {});
  guint watch = g_dbus_connection_signal_subscribe(
      bus.get(), nullptr, "com.canonical.Unity.LauncherEntry", "Update",
      "/app/quillmarsh/quarn/LauncherEntry", nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
      [](GDBusConnection*, const char*, const char*, const char*, const char*, GVariant* args,
         gpointer self) {
        static_cast<BusDesktop*>(self)->badges.push_back(GCharPtr(g_variant_print(args, 0)).get());
      },
      this, {});
};

std::string badge(int count) {
  return "('application://app.quillmarsh.quarn.desktop', {'count': <int64 " +
         std::to_string(count) + ">, 'count-visible': <" + (count ? "true" : "false") + ">})";
}

// A launch with the intro, signed in to the suite, behind a proxy that never answers, at a
// server whose checks find one problem; the desktop's side of the bus notes what it gets.
struct LaunchTest : AppTest {
  void SetUp() override {
    desktop.badges.clear(), desktop.notes.clear();
    startSampleServer();
    ASSERT_TRUE(fetch(local + "/api/checks/set?bad=1"));
    write(suite + "/suite-session", "0123456789abcdef", 0600);
    // A proxy for every scheme that takes connections and never answers: it never accepts them.
    g_socket_listener_add_address(
        proxy.get(),
        GPtr<GSocketAddress>::adopt(g_inet_socket_address_new_from_string("127.0.0.3", 3128)).get(),
        G_SOCKET_TYPE_STREAM, G_SOCKET_PROTOCOL_TCP, nullptr, nullptr, nullptr);
    for (const char* name : {"http_proxy", "HTTP_PROXY", "https_proxy", "all_proxy"})
      g_setenv(name, "http://127.0.0.3:3128", TRUE);
    launch(true);
    // The intro lies on the overlay, above everything else there. Told ready once the UI loads,
    // its page finishes and its view goes (well before the launch's 25-second guard would end it).
    GtkWidget* overlay = gtk_widget_get_parent(GTK_WIDGET(view()));
    ASSERT_TRUE(WEBKIT_IS_WEB_VIEW(gtk_widget_get_last_child(overlay)));
    ASSERT_TRUE(shows(local + "/"));
    ASSERT_TRUE(
        spinUntil([&] { return !WEBKIT_IS_WEB_VIEW(gtk_widget_get_last_child(overlay)); }, 10));
  }
  void click(unsigned notification, GDBusConnection* from) {
    g_dbus_connection_emit_signal(from, {}, "/org/freedesktop/Notifications",
                                  "org.freedesktop.Notifications", "ActionInvoked",
                                  g_variant_new("(us)", notification, "default"), {});
  }
  // As the app's bus connection, it stays for the process.
  BusDesktop& desktop = *[] {
    static BusDesktop shared;
    return &shared;
  }();
  GPtr<GSocketListener> proxy = GPtr<GSocketListener>::adopt(g_socket_listener_new());
};

TEST_F(LaunchTest, OpensAtTheScreensSizeSignedInAndAfterThreeCrashesOffersAReload) {
  // With no saved state, the first size fits the test display's 1280x800 monitor.
  int width = 0, height = 0;
  gtk_window_get_default_size(window(), &width, &height);
  EXPECT_EQ(std::pair(width, height), std::pair(1280, 800));
  EXPECT_TRUE(gtk_widget_get_visible(GTK_WIDGET(window())));
  EXPECT_STREQ(gtk_window_get_title(window()), "Quillmarsh Quarn");
  // The UI's first request already carries the shared sign-in.
  ASSERT_EQ(uiRequests().size(), 1u);
  EXPECT_EQ(uiRequests()[0]["cookie"], "qmsuite=0123456789abcdef");
  // The page's process is killed, as by a crash: the UI is asked for again, twice. Ended a third
  // time within the minute, the view says so instead; each press of its Reload (a double click
  // here) loads the UI again, and none reaches the remembered host.
  for (int end = 1; end <= 3; ++end) {
    auto requested = uiRequests().size();
    EXPECT_GE(killWebProcesses(), 1);
    EXPECT_TRUE(end == 3 || spinUntil([&] { return uiRequests().size() > requested; }));
  }
  ASSERT_TRUE(shows("about:blank"));
  run(view(), "const b = document.querySelector('button'); b.click(); b.click()");
  ASSERT_TRUE(shows(local + "/"));
  // Nor does a frame of another origin in the server's page, though the page is the server's.
  run(view(),
      "onmessage=()=>document.title='tried';document.body.insertAdjacentHTML('beforeend',"
      "'<iframe src=\"data:text/html,<script>webkit?.messageHandlers.qmserver.postMessage("
      "`elsewhere.test`);parent.postMessage(1,`*`)</script>\">')");
  EXPECT_TRUE(spinUntil([&] { return !g_strcmp0(webkit_web_view_get_title(view()), "tried"); }));
  EXPECT_FALSE(files::exists(suite + "/server-host"));
}

TEST_F(LaunchTest, ChecksAndADownloadReachTheLauncherAndNotificationsActButNotFromAnother) {
  // The poll made on connecting already carried the adopted sign-in; each poll reports once.
  ASSERT_TRUE(spinUntil([&] { return desktop.badges.size() == 1; }));
  for (int bad : {0, 2}) {
    ASSERT_TRUE(fetch(local + "/api/checks/set?bad=" + std::to_string(bad)));
    app->delegate().poll();
    ASSERT_TRUE(spinUntil([&, n = desktop.badges.size()] { return desktop.badges.size() > n; }));
  }
  ASSERT_TRUE(spinUntil([&] { return !desktop.notes.empty(); }));
  EXPECT_EQ(desktop.badges, (std::vector<std::string>{badge(1), badge(0), badge(2)}));
  EXPECT_EQ(desktop.notes,
            std::vector<std::string>{
                "('Quillmarsh Quarn', 0, 'app.quillmarsh.quarn', 'Quillmarsh security', "
                "'Disk encryption: Needs attention', ['default', 'Show'], {'desktop-entry': "
                "<'app.quillmarsh.quarn'>, 'sound-name': <'message-new-instant'>}, -1)"});
  // A slow download while the window is closed: the launcher follows it, leaving the badge as
  // it is, and shows no progress after; its end is notified, and a click on that shows the file.
  gtk_window_close(window());
  run(view(), "location = '/download/big.txt?seconds=2&size=3000000'");
  ASSERT_TRUE(spinUntil([&] { return desktop.notes.size() == 2; }));
  const std::string downloads = home.path() + "/Downloads", opened = home.path() + "/opened";
  EXPECT_NE(desktop.notes[1].find("'big.txt downloaded', '" + downloads + "'"), std::string::npos);
  std::regex running(R"(.*\{'progress': <0\.\d*[1-9]\d*>, 'progress-visible': <true>\}\))");
  EXPECT_TRUE(std::ranges::any_of(desktop.badges, [&](auto& b) { return regex_match(b, running); }))
      << testing::PrintToString(desktop.badges);
  EXPECT_EQ(desktop.badges.back(),
            "('application://app.quillmarsh.quarn.desktop', {'progress-visible': <false>})");
  click(2, desktop.bus.get());
  EXPECT_TRUE(
      spinUntil([&] { return files::read(opened) == downloads + "\n" + downloads + "\n"; }));
  // Clicking the checks' notification brings the closed window back.
  click(1, desktop.bus.get());
  EXPECT_TRUE(spinUntil([&] { return gtk_widget_get_visible(GTK_WIDGET(window())); }));
  // A server that has taken the name since speaks for none of the notifications shown before.
  const char* name = "org.freedesktop.Notifications";
  GCharPtr address(g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, {}, {}));
  auto other = GPtr<GDBusConnection>::adopt(g_dbus_connection_new_for_address_sync(
      address.get(),
      GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                           G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
      {}, {}, {}));
  static bool taken = false;  // the app's connection hears of it before anything sent after
  g_bus_own_name_on_connection(other.get(), name, {},
                               [](GDBusConnection*, const char*, gpointer) { taken = true; }, {},
                               {}, {});
  g_bus_unown_name(desktop.name);
  ASSERT_TRUE(spinUntil([] { return taken; }));
  gtk_window_close(window());
  click(1, other.get());
  EXPECT_TRUE(spinUntil([] { return wasLogged("ignored a notification's action sent by"); }));
  EXPECT_FALSE(gtk_widget_get_visible(GTK_WIDGET(window())));
  app->delegate().applicationShouldHandleReopen();
}

TEST_F(LaunchTest, SigningOutEndsTheSharedSignInAServerGoneShowsTheAppsPageSizesAreKept) {
  run(view(), "document.getElementById('logout').click()");
  EXPECT_TRUE(spinUntil([&] { return !files::exists(suite + "/suite-session"); }));
  ASSERT_TRUE(shows(local + "/"));
  // The server goes away, every connection with it: a load ends on the app's page saying so,
  // and once the server is back the page comes back by itself.
  g_subprocess_force_exit(server.get());
  g_subprocess_wait(server.get(), {}, {});
  app->delegate().reloadWeb();
  EXPECT_TRUE(pageSays("(127.0.0.1) refused the connection"));
  startSampleServer();
  EXPECT_TRUE(shows(local + "/"));
  // A new size is kept at once, with no close or quit (a kill -9 loses nothing), for the next
  // launch; a state file that does not parse is left as it is.
  gtk_window_set_default_size(window(), 1000, 700);
  EXPECT_TRUE(spinUntil([&] {
    return files::read(state).value_or("").find("width=1000\nheight=700") != std::string::npos;
  }));
  gtk_window_close(window());
  EXPECT_FALSE(gtk_widget_get_visible(GTK_WIDGET(window())));
  app.reset();
  settings = "hardwareAcceleration=false\n";  // for a window that would stay blank
  launch();
  int width = 0, height = 0;
  gtk_window_get_default_size(window(), &width, &height);
  EXPECT_EQ(std::pair(width, height), std::pair(1000, 700));
  EXPECT_FALSE(app->hardwareAcceleration());
}

// Signed out at the remembered server, which was chosen while the sign-in was planted for this
// computer's too: a server that answers here at the next launch never gets it.
TEST_F(AppTest, ASignOutAtOneServerReachesNoOtherAtTheNextLaunch) {
  startSampleServer("127.0.0.2");
  write(suite + "/suite-session", "0123456789abcdef", 0600);
  write(suite + "/server-host", "127.0.0.2");
  launch();
  ASSERT_TRUE(shows("http://127.0.0.2:8795/"));
  run(view(), "document.getElementById('logout').click()");
  EXPECT_TRUE(spinUntil([&] { return !files::exists(suite + "/suite-session"); }));
  g_subprocess_force_exit(server.get()), g_subprocess_wait(server.get(), {}, {});
  app.reset(), startSampleServer(), launch();
  ASSERT_TRUE(shows(local + "/"));
  EXPECT_TRUE(uiRequests().at(0)["cookie"].is_null()) << uiRequests().at(0);
}

// Nothing answers on this computer and there is no service folder to start one from: the
// app's page asks for a host, where one answers.
struct HostTest : AppTest {
  void SetUp() override {
    startSampleServer("127.0.0.2");
    // A FIFO in place of the window's state file neither blocks the launch nor is replaced.
    ASSERT_TRUE(files::makeDirs(files::parent(state)));
    ASSERT_EQ(mkfifo(state.c_str(), 0600), 0);
    // The desktop's Downloads folder is the home folder itself, as after the folder was deleted.
    write(home.path() + "/.config/user-dirs.dirs", "XDG_DOWNLOAD_DIR=\"$HOME/\"\n");
    options.noHardwareAcceleration = true;
    launch();
  }
  static std::function<bool(GtkWidget*)> labelled(const char* text) {
    return [=](GtkWidget* l) {
      return GTK_IS_LABEL(l) && g_str_has_prefix(gtk_label_get_text(GTK_LABEL(l)), text);
    };
  }
  const std::string other = "http://127.0.0.2:8795/", downloads = home.path() + "/Downloads";
};

TEST_F(HostTest, ASettingIsNotSavedIntoABrokenFileAndAKeyGoesToThePageFirst) {
  EXPECT_FALSE(app->hardwareAcceleration());
  // That would lose the rest of it; the switch still acts for this run, and the log says why it
  // is not kept.
  const std::string broken = "[Defaults]\nshowIntro=false\nnot a key\n";
  write(GlibSettings::path(), broken);
  logged.clear();
  app->delegate().toggleIntroSound();
  app->delegate().toggleIntro();
  EXPECT_EQ(files::read(GlibSettings::path()), broken);
  EXPECT_FALSE(app->delegate().introOn());
  EXPECT_TRUE(
      wasLogged(" cannot be read as a key file; left as it is, showIntro=false holds until "
                "Quillmarsh Quarn quits but is not saved"))
      << testing::PrintToString(logged);
  // A key goes to the page first: the edit shortcuts typed (XTest) in the page's field are the
  // page's; a key it leaves unhandled reaches the menu (F5 loads the page anew, without the log).
  ASSERT_TRUE(spinUntil([&] {
    return evaluate(view(),
                    "var f = document.getElementById('a'); if (f && !window.keys) keys = "
                    "[], f.addEventListener('keydown', e => e.ctrlKey && e.key != "
                    "'Control' && keys.push(e.key)), f.focus(); !!window.keys") == "true";
  }));
  focusPage();
  xdotool("key --delay 80 ctrl+a ctrl+c ctrl+v ctrl+z");
  EXPECT_TRUE(spinUntil([&] { return evaluate(view(), "keys.join()") == "a,c,v,z"; }));
  xdotool("key F5");
  EXPECT_TRUE(spinUntil([&] { return evaluate(view(), "typeof keys") == "undefined"; }));
  // The page, loaded anew, has its host field focused.
  ASSERT_TRUE(spinUntil([&] { return evaluate(view(), "document.activeElement.id") == "a"; }));
  // Alt and each menu's initial open that menu, F10 the first; the page leaves them unhandled.
  auto menuShows = [&](const char* item) {
    return !widgets(
                GTK_WIDGET(window()),
                [&](GtkWidget* w) {
                  return GTK_IS_POPOVER(w) && (!item || !widgets(w, labelled(item), true).empty());
                },
                true)
                .empty();
  };
  for (auto [key, item] : {std::pair{"alt+q", "About Quillmarsh Quarn"},
                           {"alt+w", "Minimize"},
                           {"F10", "About Quillmarsh Quarn"}}) {
    // From the page, as after a click in it: Escape leaves the focus in the menu bar.
    gtk_widget_grab_focus(GTK_WIDGET(view()));
    xdotool("key " + std::string(key));
    EXPECT_TRUE(spinUntil([&] { return menuShows(item); })) << key;
    xdotool("key Escape");
    ASSERT_TRUE(spinUntil([&] { return !menuShows(nullptr); })) << key;
  }
}

TEST_F(HostTest, ATypedHostsPageHandsLinksFilesAndDialogsOnUntilItGoesForABuiltInOne) {
  // A host typed in the field, which the page focuses, and Enter connect.
  ASSERT_TRUE(spinUntil([&] { return evaluate(view(), "document.activeElement.id") == "a"; }));
  focusPage();
  xdotool("type --delay 80 127.0.0.2");
  xdotool("key Return");
  ASSERT_TRUE(shows(other));
  // Another host's link, and a new window of an app not installed, open in the default browser.
  const std::string opened = home.path() + "/opened";
  run(view(), "document.getElementById('external').click()");
  ASSERT_TRUE(spinUntil([&] { return files::exists(opened); }));
  run(view(), "document.getElementById('studio').click()");
  ASSERT_TRUE(spinUntil([&] { return files::read(opened).value_or("").ends_with(":8790/\n"); }));
  // The page offers a start-up file: it lands in ~/Downloads, no longer hidden, whose folder is
  // shown; never in home.
  run(view(), "location = '/download/.bash_profile'");
  const std::string launched =
      "http://127.0.0.3:8099/elsewhere\nhttp://127.0.0.2:8790/\n" + downloads + "\n";
  EXPECT_TRUE(spinUntil([&] { return files::read(opened) == launched; }));
  EXPECT_EQ(files::read(downloads + "/bash_profile"), fetch(other + "download/.bash_profile"));
  // A confirm() is a dialog of the window's own, whose OK answers true.
  run(view(), "document.getElementById('confirm').click()");
  GtkWindow* dialog =
      toplevel([&](GtkWindow* w) { return gtk_window_get_transient_for(w) == window(); });
  ASSERT_TRUE(dialog);
  char* text = nullptr;
  g_object_get(dialog, "text", &text, nullptr);
  EXPECT_STREQ(GCharPtr(text).get(), "Proceed?");
  gtk_dialog_response(GTK_DIALOG(dialog), 0);
  const std::string answer = "document.getElementById('answer').textContent";
  EXPECT_TRUE(shows(other + "confirmed", "if (" + answer + ") location = '/' + " + answer));
  app->platform().mainWindow()->saveState();
  EXPECT_TRUE(std::filesystem::is_fifo(state));
  GtkApplication* application = app->platform().windows().application();
  int quits = 0;
  g_signal_connect_swapped(g_action_map_lookup_action(G_ACTION_MAP(application), "terminate"),
                           "activate", G_CALLBACK(+[](int* n) { ++*n; }), &quits);
  auto inFront = [&](GType type) {
    return toplevel([&](GtkWindow* w) {
      return G_TYPE_CHECK_INSTANCE_TYPE(w, type) && gtk_window_is_active(w);
    });
  };

  // The menu's keys and commands act on whichever of the app's windows is in front. The About
  // dialog: Copy takes the text selected in it, Ctrl+W closes it and not the window.
  g_action_group_activate_action(G_ACTION_GROUP(application), "showAbout", nullptr);
  GtkWindow* about = inFront(GTK_TYPE_ABOUT_DIALOG);
  ASSERT_TRUE(about);
  auto people = widgets(GTK_WIDGET(about), labelled("People,"));
  ASSERT_FALSE(people.empty());
  GtkWidget* credits = people[0];
  gtk_label_set_selectable(GTK_LABEL(credits), TRUE);
  gtk_widget_grab_focus(credits);
  gtk_label_select_region(GTK_LABEL(credits), 0, 6);
  g_action_group_activate_action(G_ACTION_GROUP(application), "copy", nullptr);
  EXPECT_TRUE(spinUntil([&] { return clipboardText() == "People"; }));
  auto* gone = about;
  g_object_add_weak_pointer(G_OBJECT(about), reinterpret_cast<gpointer*>(&gone));
  xdotool("key ctrl+w");
  EXPECT_TRUE(spinUntil([&] { return !gone; }));
  EXPECT_TRUE(gtk_widget_get_visible(GTK_WIDGET(window())));

  // An alert: Ctrl+Q quits from it, and Close answers it as a dialog closed.
  ASSERT_TRUE(spinUntil([&] { return !webkit_web_view_is_loading(view()); }));
  run(view(), "setTimeout(() => document.title = 'answer ' + confirm('Go?'))");
  ASSERT_TRUE(inFront(GTK_TYPE_MESSAGE_DIALOG));
  xdotool("key ctrl+q");
  EXPECT_TRUE(spinUntil([&] { return quits == 1; }));
  g_action_group_activate_action(G_ACTION_GROUP(application), "close", nullptr);
  EXPECT_TRUE(spinUntil([&] { return evaluate(view(), "document.title") == "answer false"; }));
  EXPECT_TRUE(gtk_widget_get_visible(GTK_WIDGET(window())));
  // The remembered server goes for good while a built-in one answers: after a minute of tries
  // (and one at once from the page's button) the app moves to it, and remembers it.
  write(bundle + "/Info.json", "{\"QMHosts\": \"127.0.0.3\"}");
  g_subprocess_force_exit(server.get());
  g_subprocess_wait(server.get(), {}, {});
  startSampleServer("127.0.0.3");
  app->delegate().reloadWeb();
  EXPECT_TRUE(pageSays("127.0.0.2 refused the connection"));
  logged.clear();
  run(view(), "document.querySelector('button').click()");
  EXPECT_TRUE(spinUntil([&] { return wasLogged("try now: probing 127.0.0.2"); }));
  EXPECT_TRUE(spinUntil([&] { return shows("http://127.0.0.3:8795/"); }, 90));
  EXPECT_EQ(SuiteServer::saved(), "127.0.0.3");
}

// Cancels each dialog of the named type as it appears, counting them; that ends a dialog
// that runs a main loop of its own, so the check runs from the loop as a timer.
G_GNUC_BEGIN_IGNORE_DEPRECATIONS
struct Closer {
  const char* type;
  int closed = 0;
  SourceId source{g_timeout_add(
      100,
      +[](gpointer data) -> gboolean {
        auto* self = static_cast<Closer*>(data);
        for (GtkWindow* w : toplevels([&](GtkWindow* w) {
               return g_str_equal(G_OBJECT_TYPE_NAME(w), self->type) &&
                      gtk_widget_get_visible(GTK_WIDGET(w));
             }))
          ++self->closed, gtk_dialog_response(GTK_DIALOG(w), GTK_RESPONSE_CANCEL);
        return G_SOURCE_CONTINUE;
      },
      this)};
};
G_GNUC_END_IGNORE_DEPRECATIONS

// The page's keys and mouse, each part on a launch of its own showing the server's page.
struct PageKeysTest : AppTest {
  void SetUp() override {
    startSampleServer();
    launch();
    ASSERT_TRUE(shows(local + "/"));
    focusPage();
    xdotool("mousemove 400 400");
  }
  int innerWidth() { return std::stoi("0" + evaluate(view(), "innerWidth")); }
};

TEST_F(PageKeysTest, ZoomStepsAndIsKeptForTheHostAndFindStepsFromMatchToMatch) {
  const int width = innerWidth();
  // Two steps up by keys, one down by the wheel: the page sees a narrower window.
  xdotool("key --delay 80 ctrl+plus ctrl+equal");
  ASSERT_TRUE(spinUntil([&] { return webkit_web_view_get_zoom_level(view()) == 1.25; }));
  xdotool("keydown ctrl click 5 keyup ctrl");
  ASSERT_TRUE(spinUntil([&] { return webkit_web_view_get_zoom_level(view()) == 1.1; }));
  auto narrower = [&] { return std::abs(innerWidth() - width / 1.1) < 2; };
  EXPECT_TRUE(spinUntil(narrower));
  // Typing scrolls to a word far below; Enter, F3 and Ctrl+G go on, Shift back.
  run(view(),
      "document.body.insertAdjacentHTML('beforeend', '<div style=\"height:5000px\">"
      "</div><p>Far NEEDLE below</p><p>needle</p>'), scrollTo(0, 0)");
  xdotool("key ctrl+f");
  auto bars = widgets(gtk_widget_get_parent(GTK_WIDGET(view())), GTK_TYPE_SEARCH_BAR);
  ASSERT_EQ(bars.size(), 1u);
  GtkWidget* bar = bars[0];
  GtkLabel* counter = GTK_LABEL(widgets(bar, GTK_TYPE_LABEL).back());
  auto count = [&] { return std::string(gtk_label_get_text(counter)); };
  // Keys typed before the bar has opened would go to the page.
  ASSERT_TRUE(spinUntil([&] { return gtk_search_bar_get_search_mode(GTK_SEARCH_BAR(bar)); }));
  xdotool("type --delay 80 needle");
  EXPECT_TRUE(spinUntil([&] { return std::stoi("0" + evaluate(view(), "scrollY")) > 3000; }));
  EXPECT_TRUE(spinUntil([&] { return count() == "1 of 2"; }));
  std::pair<const char*, const char*> steps[] = {{"Return", "2 of 2"},
                                                 {"F3", "1 of 2"},
                                                 {"ctrl+g", "2 of 2"},
                                                 {"shift+Return", "1 of 2"},
                                                 {"shift+F3", "2 of 2"},
                                                 {"ctrl+shift+g", "1 of 2"},
                                                 {"End shift+Home z z q", "No matches"}};
  for (auto [keys, want] : steps) {
    xdotool(std::string("key --delay 80 ") + keys);
    EXPECT_TRUE(spinUntil([&] { return count() == want; })) << keys << ": " << count();
  }
  xdotool("key Escape");
  EXPECT_TRUE(spinUntil([&] { return !gtk_search_bar_get_search_mode(GTK_SEARCH_BAR(bar)); }));
  // The level comes back at the next launch, already for the page's first script.
  app.reset();
  launch();
  ASSERT_TRUE(shows(local + "/"));
  EXPECT_TRUE(spinUntil(narrower));
  EXPECT_NEAR(std::stoi("0" + evaluate(view(), "firstWidth")), width / 1.1, 2);
}

TEST_F(PageKeysTest, BackAndForwardPrintAndTheShortcutsWindowByKeysAndMouse) {
  EXPECT_TRUE(webkit_settings_get_enable_back_forward_navigation_gestures(
      webkit_web_view_get_settings(view())));
  run(view(), "location = '/?later'");
  ASSERT_TRUE(shows(local + "/?later"));
  std::pair<const char*, std::string> moves[] = {{"key alt+Left", local + "/"},
                                                 {"key alt+Right", local + "/?later"},
                                                 {"click 8", local + "/"},
                                                 {"click 9", local + "/?later"}};
  for (auto& [input, want] : moves) {
    xdotool(input);
    EXPECT_TRUE(shows(want)) << input;
  }
  // Ctrl+P and the page's own print() show the desktop's print dialog.
  Closer prints{"GtkPrintUnixDialog"};
  xdotool("key ctrl+p");
  EXPECT_TRUE(spinUntil([&] { return prints.closed == 1; }));
  run(view(), "print()");
  EXPECT_TRUE(spinUntil([&] { return prints.closed == 2; }));
  // The shortcuts window lists the menus' keys and the page's.
  xdotool("key ctrl+F1");
  GtkWindow* help = toplevel([](GtkWindow* w) {
    return GTK_IS_SHORTCUTS_WINDOW(w) && gtk_widget_get_visible(GTK_WIDGET(w));
  });
  ASSERT_TRUE(help);
  GtkWidget* section = widgets(GTK_WIDGET(help), GTK_TYPE_SHORTCUTS_SECTION).at(0);
  EXPECT_EQ(widgets(section, GTK_TYPE_SHORTCUTS_SHORTCUT).size(), 24u);
  xdotool("key Escape");
  EXPECT_TRUE(spinUntil([&] { return !gtk_widget_get_visible(GTK_WIDGET(help)); }));
}

TEST_F(PageKeysTest, F11TogglesFullscreenAndAnElementsOwnEndsWithEscape) {
  // F11 toggles fullscreen; a page element's own fullscreen ends with Escape. Only a window
  // manager makes a shown window fullscreen.
  auto wm = spawn({"evilwm", "-fn", "fixed"});
  ASSERT_TRUE(wm);
  std::shared_ptr<void> stop(nullptr, [&](void*) { g_subprocess_force_exit(wm.get()); });
  focusPage();
  xdotool("key F11");
  EXPECT_TRUE(spinUntil([&] { return gtk_window_is_fullscreen(window()); }));
  xdotool("key F11");
  EXPECT_TRUE(spinUntil([&] { return !gtk_window_is_fullscreen(window()); }));
  run(view(), "document.body.requestFullscreen()");
  EXPECT_TRUE(spinUntil([&] {
    return gtk_window_is_fullscreen(window()) &&
           evaluate(view(), "!!document.fullscreenElement") == "true";
  }));
  xdotool("key Escape");
  EXPECT_TRUE(spinUntil([&] {
    return !gtk_window_is_fullscreen(window()) &&
           evaluate(view(), "!!document.fullscreenElement") == "false";
  }));
}

// A script that never ends keeps the page's process busy, a core's worth until it is ended.
TEST_F(AppTest, APageThatStopsAnsweringIsOfferedAReloadThatEnterTakes) {
  startSampleServer();
  launch();
  ASSERT_TRUE(shows(local + "/"));
  auto requested = uiRequests().size();
  run(view(), "setTimeout(() => { for (;;) {} }, 200)");
  focusPage();
  g_usleep(500000);
  xdotool("key a");  // what the engine waits on an answer for
  ASSERT_TRUE(toplevel([&](GtkWindow* w) {
    return GTK_IS_MESSAGE_DIALOG(w) && gtk_window_get_transient_for(w) == window();
  }));
  xdotool("key Return");
  EXPECT_TRUE(spinUntil([&] { return uiRequests().size() > requested; }));
  EXPECT_TRUE(shows(local + "/"));
}

TEST_F(AppTest, ProgramRefusesUnknownOptionsLoadsTheUiAtEachLaunchUnderLoadAndEndsAtASecondSignal) {
  startSampleServer();
  prepare();
  g_setenv("QUARN_BUNDLE_DIR", bundle.c_str(), TRUE);
  // A busy loop per core, bounded in time; `timeout` hands its signal on to all of them.
  auto load = spawn({"timeout", "60", "sh", "-c",
                     "for i in $(seq $(nproc)); do while :; do :; done & done; wait"});
  auto uiLoads = [&] { return g_usleep(200000), uiRequests().size(); };
  // An option not known and an argument (the app opens no files or addresses) are refused
  // before anything starts, whether or not an instance runs: a message and exit status 1.
  auto refuses = [&](const char* when) {
    for (std::string arg : {"--no-such-option", "https://127.0.0.2/x", "notes.txt"}) {
      std::string message =
          arg.starts_with("--")
              ? "Unknown option " + arg
              : "Unexpected argument " + arg + ": Quillmarsh Quarn opens no files or addresses";
      char* said = nullptr;
      int wait = 0;
      std::string command = "timeout 60 " + std::string(kProgram) + " " + arg;
      g_spawn_command_line_sync(command.c_str(), {}, &said, &wait, {});
      EXPECT_EQ(GCharPtr(said).get() + std::to_string(WEXITSTATUS(wait)), message + "\n1") << when;
    }
  };
  refuses("with no instance");
  for (int round = 1; round <= 3; ++round) {
    auto before = uiLoads();
    // Only the first launch, asked to, tells its decisions (the host it chose among them), and
    // every other domain's debug messages that G_MESSAGES_DEBUG asks for besides.
    const std::string errors = home.path() + "/stderr-" + std::to_string(round);
    const char* option = round == 1 ? "--verbose" : "--no-hardware-acceleration";
    auto program = spawn({kProgram, round == 2 ? nullptr : option},
                         {{"G_MESSAGES_DEBUG", round == 1 ? "all" : nullptr}}, errors);
    EXPECT_TRUE(spinUntil([&] { return uiLoads() > before; }, 20)) << "launch " << round;
    if (round == 1) {
      refuses("with an instance running");
      // A second start brings the running window forward, handing on the launcher's token.
      auto again = spawn({"timeout", "60", kProgram}, {{"XDG_ACTIVATION_TOKEN", "quarn-token-1"}});
      EXPECT_TRUE(g_subprocess_wait_check(again.get(), nullptr, nullptr));
      EXPECT_TRUE(spinUntil([&] {
        return files::read(errors, 1 << 26).value_or("").find("activation token quarn-token-1\n") !=
               std::string::npos;
      }));
    }
    // Gone before the next launch, which would otherwise hand over to it; as at logout, the
    // signal quits it as Quit does.
    g_subprocess_send_signal(program.get(), round == 2 ? SIGINT : SIGTERM);
    g_subprocess_wait(program.get(), nullptr, nullptr);
    EXPECT_TRUE(g_subprocess_get_if_exited(program.get()) &&
                g_subprocess_get_exit_status(program.get()) == 0 && files::exists(state))
        << "launch " << round;
    std::string said = files::read(errors, 1 << 26).value_or("");
    EXPECT_EQ(round == 1, std::regex_search(said, std::regex("quarn-INFO: [0-9:.]+: using the "
                                                             "server at 127\\.0\\.0\\.1\n")));
    EXPECT_EQ(round == 1, std::regex_search(said, std::regex("(GLib-GIO|Gtk|Gdk)-DEBUG: ")))
        << said.substr(0, 2000);
  }
  g_subprocess_send_signal(load.get(), SIGTERM);

  // A main loop stuck in a tool run (the service manager's, never ending here) does not keep the
  // app: the first signal asks for the clean quit, a second ends the process at once.
  g_subprocess_force_exit(server.get());
  g_subprocess_wait(server.get(), {}, {});
  const std::string tool = home.path() + "/tool", started = home.path() + "/tool-started";
  write(tool, "#!/bin/sh\necho $$ > '" + started + "'\nexec sleep 600\n", 0755);
  ASSERT_TRUE(files::makeDirs(home.path() + "/service"));
  write(bundle + "/Info.json",
        "{\"QMQuarnDir\": \"" + home.path() + "/service\", \"QMPython\": \"/bin/sh\"}");
  auto stuck = spawn({kProgram}, {{"QUARN_SERVICE_TOOL", tool.c_str()}});
  ASSERT_TRUE(spinUntil([&] { return files::exists(started); }, 60));
  g_subprocess_send_signal(stuck.get(), SIGTERM);
  g_subprocess_send_signal(stuck.get(), SIGINT);
  g_subprocess_wait(stuck.get(), {}, {});
  EXPECT_TRUE(g_subprocess_get_if_signaled(stuck.get()));
  if (int tool = std::atoi(files::read(started).value_or("").c_str()); tool > 0)
    kill(tool, SIGKILL);
}

}  // namespace
}  // namespace qm::itest

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  // Listing the tests (ctest's discovery, at build time) needs no display.
  if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();
  // A stand-in default browser and folder opener that notes what it gets in $HOME/opened. GLib
  // reads the XDG folders once, so they are set and read before any test changes $HOME.
  qm::test::TempHome desktop;
  const std::string dir = desktop.path();
  setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
  setenv("XDG_DATA_HOME", dir.c_str(), 1);
  g_get_user_config_dir();
  g_get_user_data_dir();
  qm::itest::write(dir + "/opener", "#!/bin/sh\necho \"$1\" >> \"$HOME/opened\"\n", 0755);
  qm::itest::write(dir + "/applications/opener.desktop",
                   "[Desktop Entry]\nType=Application\nName=Opener\nExec=" + dir +
                       "/opener %u\nMimeType=x-scheme-handler/http;inode/directory;\n");
  qm::itest::write(dir + "/mimeapps.list",
                   "[Default Applications]\nx-scheme-handler/http=opener.desktop\n"
                   "inode/directory=opener.desktop\n");
  if (!gtk_init_check()) return std::fprintf(stderr, "no display: see with-display.sh\n"), 1;
  g_log_set_writer_func(qm::itest::noteLog, nullptr, nullptr);
  return RUN_ALL_TESTS();
}
