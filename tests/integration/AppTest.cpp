// What only the real program shows: the window, the web engine, the session bus and the
// desktop around it, against real servers on loopback.
#include <regex>

#include "integration/Harness.h"

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
    static_cast<BusDesktop*>(self)->notes.push_back(GCharPtr(g_variant_print(args, 0)).get());
    g_dbus_method_invocation_return_value(call, g_variant_new("(u)", 1u));
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

TEST_F(AppTest, LaunchShowsIntroAndSignedInSuiteUiFollowsChecksAndKeepsWindowSize) {
  static BusDesktop desktop;
  desktop.badges.clear(), desktop.notes.clear();
  startSampleServer();
  ASSERT_TRUE(fetch(local + "/api/checks/set?bad=1"));
  write(suite + "/suite-session", "0123456789abcdef", 0600);
  launch(true);
  EXPECT_TRUE(gtk_widget_get_visible(GTK_WIDGET(window())));
  EXPECT_STREQ(gtk_window_get_title(window()), "Quillmarsh Quarn");
  // The intro lies on the overlay, above the main view.
  GtkWidget* intro = gtk_widget_get_next_sibling(GTK_WIDGET(view()));
  ASSERT_TRUE(intro && WEBKIT_IS_WEB_VIEW(intro) && GTK_IS_OVERLAY(gtk_widget_get_parent(intro)));
  std::vector<std::string> said;
  g_signal_connect(webkit_web_view_get_user_content_manager(WEBKIT_WEB_VIEW(intro)),
                   "script-message-received::qm",
                   G_CALLBACK(+[](WebKitUserContentManager*, JSCValue* v, decltype(said)* out) {
                     out->push_back(GCharPtr(jsc_value_to_string(v)).get());
                   }),
                   &said);

  // The UI's first request already carries the shared sign-in.
  ASSERT_TRUE(shows(local + "/"));
  std::vector<nlohmann::json> uiCookies;
  auto log = nlohmann::json::parse(fetch(local + "/api/requests").value_or("{}"));
  for (auto& r : log["requests"])
    if (r["path"] == "/") uiCookies.push_back(r["cookie"]);
  EXPECT_EQ(uiCookies, std::vector<nlohmann::json>{"qmsuite=0123456789abcdef"});

  // Told ready once the UI loads, the intro page finishes and its view goes.
  EXPECT_TRUE(spinUntil([&] { return said == std::vector<std::string>{"start", "finished"}; }));
  EXPECT_TRUE(spinUntil([&] { return !gtk_widget_get_next_sibling(GTK_WIDGET(view())); }, 10));

  // The page's process is killed, as by a crash: the UI is asked for again.
  auto uiRequests = [&] {
    auto all = nlohmann::json::parse(fetch(local + "/api/requests").value_or("{}"))["requests"];
    return std::count_if(all.begin(), all.end(), [](auto& r) { return r["path"] == "/"; });
  };
  auto requested = uiRequests();
  EXPECT_GE(killWebProcesses(), 1);
  EXPECT_TRUE(spinUntil([&] { return uiRequests() > requested; }));
  ASSERT_TRUE(shows(local + "/"));
  EXPECT_TRUE(app->hardwareAcceleration());

  // The poll made on connecting already carried the adopted sign-in; each poll reports once.
  ASSERT_TRUE(spinUntil([&] { return desktop.badges.size() == 1; }));
  for (int bad : {0, 2}) {
    ASSERT_TRUE(fetch(local + "/api/checks/set?bad=" + std::to_string(bad)));
    app->delegate().poll();
    ASSERT_TRUE(spinUntil([&, n = desktop.badges.size()] { return desktop.badges.size() > n; }));
  }
  EXPECT_EQ(desktop.badges, (std::vector<std::string>{badge(1), badge(0), badge(2)}));
  ASSERT_TRUE(spinUntil([&] { return !desktop.notes.empty(); }));
  EXPECT_EQ(desktop.notes,
            std::vector<std::string>{
                "('Quillmarsh Quarn', 0, 'app.quillmarsh.quarn', 'Quillmarsh security', "
                "'Disk encryption: Needs attention', ['default', 'Show'], {'desktop-entry': "
                "<'app.quillmarsh.quarn'>, 'sound-name': <'message-new-instant'>}, -1)"});
  // Clicking it brings the closed window back.
  gtk_window_close(window());
  g_dbus_connection_emit_signal(desktop.bus.get(), nullptr, "/org/freedesktop/Notifications",
                                "org.freedesktop.Notifications", "ActionInvoked",
                                g_variant_new("(us)", 1u, "default"), nullptr);
  EXPECT_TRUE(spinUntil([&] { return gtk_widget_get_visible(GTK_WIDGET(window())); }));

  // Signing out in the page ends the shared sign-in.
  run(view(), "document.getElementById('logout').click()");
  EXPECT_TRUE(spinUntil([&] { return !files::exists(suite + "/suite-session"); }));

  // A new size is kept at once, with no close or quit (a kill -9 loses nothing), for the next
  // launch; a state file that does not parse is left as it is.
  const std::string state = home.path() + "/.local/state/app.quillmarsh.quarn/window-state.ini";
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

TEST_F(AppTest, TypedHostIsConnectedToAndItsPageHandsLinksAttachmentsAndConfirmsToTheDesktop) {
  // Nothing answers on this computer and there is no service folder to start one from.
  startSampleServer("127.0.0.2");
  const std::string other = "http://127.0.0.2:8795/", downloads = home.path() + "/Downloads";
  // A FIFO in place of the window's state file neither blocks the launch nor is replaced.
  const std::string state = home.path() + "/.local/state/app.quillmarsh.quarn/window-state.ini";
  files::makeDirs(files::parent(state));
  ASSERT_EQ(mkfifo(state.c_str(), 0600), 0);
  // The desktop's Downloads folder is the home folder itself, as after the folder was deleted.
  write(home.path() + "/.config/user-dirs.dirs", "XDG_DOWNLOAD_DIR=\"$HOME/\"\n");
  args.push_back("--no-hardware-acceleration");
  launch();
  EXPECT_FALSE(app->hardwareAcceleration());
  // A setting is not saved into a file that does not parse, which would lose the rest of it.
  const std::string broken = "[Defaults]\nshowIntro=false\nnot a key\n";
  write(gtk::KeyFileSettings::path(), broken);
  app->delegate().toggleIntroSound();
  EXPECT_EQ(files::read(gtk::KeyFileSettings::path()), broken);
  // A key goes to the page first: the edit shortcuts typed (XTest) in the page's field are the
  // page's; a key it leaves unhandled reaches the menu (F5 loads the page anew, without the log).
  ASSERT_TRUE(spinUntil([&] {
    return evaluate(view(),
                    "var f = document.getElementById('a'); if (f && !window.keys) keys = "
                    "[], f.addEventListener('keydown', e => e.ctrlKey && e.key != "
                    "'Control' && keys.push(e.key)), f.focus(); !!window.keys") == "true";
  }));
  gtk_widget_grab_focus(GTK_WIDGET(view()));
  ASSERT_TRUE(spinUntil([&] { return gtk_window_is_active(window()); }));
  g_spawn_command_line_sync("xdotool key --delay 80 ctrl+a ctrl+c ctrl+v ctrl+z", {}, {}, {}, {});
  EXPECT_TRUE(spinUntil([&] { return evaluate(view(), "keys.join()") == "a,c,v,z"; }));
  g_spawn_command_line_sync("xdotool key F5", {}, {}, {}, {});
  EXPECT_TRUE(spinUntil([&] { return evaluate(view(), "typeof keys") == "undefined"; }));
  ASSERT_TRUE(shows(other,
                    "if (document.querySelector('b').textContent == 'Connect Quillmarsh Quarn to "
                    "the Quillmarsh Mac') document.getElementById('a').value = '127.0.0.2', "
                    "document.querySelector('button').click()"));

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
  GtkWindow* dialog = nullptr;
  ASSERT_TRUE(spinUntil([&] {
    GList* all = gtk_window_list_toplevels();
    for (GList* l = all; l; l = l->next)
      if (gtk_window_get_transient_for(GTK_WINDOW(l->data)) == window())
        dialog = GTK_WINDOW(l->data);
    g_list_free(all);
    return dialog;
  }));
  char* text = nullptr;
  g_object_get(dialog, "text", &text, nullptr);
  EXPECT_STREQ(GCharPtr(text).get(), "Proceed?");
  gtk_dialog_response(GTK_DIALOG(dialog), 0);
  const std::string answer = "document.getElementById('answer').textContent";
  EXPECT_TRUE(shows(other + "confirmed", "if (" + answer + ") location = '/' + " + answer));
  app->platform().mainWindow()->saveState();
  EXPECT_TRUE(std::filesystem::is_fifo(state));
}

TEST_F(AppTest, ProgramRefusesUnknownOptionsAndLoadsTheUiAtEachLaunchUnderLoadTellingWhy) {
  startSampleServer();
  prepare();
  g_setenv("QUARN_BUNDLE_DIR", bundle.c_str(), TRUE);
  // A busy loop per core, bounded in time; `timeout` hands its signal on to all of them.
  auto load = GPtr<GSubprocess>::adopt(
      g_subprocess_new(G_SUBPROCESS_FLAGS_NONE, nullptr, "timeout", "60", "sh", "-c",
                       "for i in $(seq $(nproc)); do while :; do :; done & done; wait", nullptr));
  auto uiLoads = [&] {
    g_usleep(200000);
    auto log = nlohmann::json::parse(fetch(local + "/api/requests").value_or("{}"))["requests"];
    return std::count_if(log.begin(), log.end(), [](auto& r) { return r["path"] == "/"; });
  };
  // An unknown option is refused, with a message and a failing exit status.
  char* said = nullptr;
  int wait = 0;
  g_spawn_command_line_sync(QUARN_BINARY_DIR "/quillmarsh-quarn --no-such-option", {}, &said, &wait,
                            {});
  EXPECT_EQ(GCharPtr(said).get() + std::to_string(g_spawn_check_wait_status(wait, {})),
            "Unknown option --no-such-option\n0");
  for (int round = 1; round <= 3; ++round) {
    auto before = uiLoads();
    // Only the first launch, asked to, tells its decisions: the host it chose among them.
    auto program = GPtr<GSubprocess>::adopt(g_subprocess_new(
        G_SUBPROCESS_FLAGS_STDERR_PIPE, nullptr, QUARN_BINARY_DIR "/quillmarsh-quarn",
        round == 1   ? "--verbose"
        : round == 3 ? "--no-hardware-acceleration"
                     : nullptr,
        nullptr));
    EXPECT_TRUE(spinUntil([&] { return uiLoads() > before; }, 20)) << "launch " << round;
    // Gone before the next launch, which would otherwise hand over to it; as at logout, the
    // signal quits it as Quit does.
    g_subprocess_send_signal(program.get(), round == 2 ? SIGINT : SIGTERM);
    g_subprocess_communicate_utf8(program.get(), {}, {}, {}, &said, {});
    EXPECT_TRUE(g_subprocess_get_if_exited(program.get()) &&
                files::exists(home.path() + "/.local/state/app.quillmarsh.quarn/window-state.ini"))
        << "launch " << round;
    EXPECT_EQ(round == 1, std::regex_search(GCharPtr(said).get(),
                                            std::regex("quarn-INFO: [0-9:.]+: using the server "
                                                       "at 127\\.0\\.0\\.1\n")));
  }
  g_subprocess_send_signal(load.get(), SIGTERM);
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
  return RUN_ALL_TESTS();
}
