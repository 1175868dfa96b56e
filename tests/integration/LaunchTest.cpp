#include "integration/Harness.h"

#include "app/Files.h"

namespace qm::itest {
namespace {

TEST(Launch, WindowComesUpWithThePlaceholderPageWhoseAddressHasNoHost) {
  AppHarness app;
  app.holdStartup();
  app.launch();
  GtkWindow* w = app.window().window();
  EXPECT_TRUE(gtk_widget_get_visible(GTK_WIDGET(w)));
  EXPECT_STREQ(gtk_window_get_title(w), "Quillmarsh Quarn");
  int width = 0, height = 0;
  gtk_window_get_default_size(w, &width, &height);
  EXPECT_EQ(width, 1320);
  EXPECT_EQ(height, 900);
  ASSERT_TRUE(waitForPage(app.webView(), [](const std::string&) { return true; }));
  EXPECT_FALSE(app.delegate().web->uri() && urlHost(app.delegate().web->uri()));
  EXPECT_EQ(evalJs(app.webView(), "document.body.innerText.replace(/\\s+/g, ' ').trim()"),
            "Quillmarsh Quarn Starting\u2026");
}

TEST(Launch, ClosingHidesTheWindowAndReopenBringsTheSameOneBack) {
  AppHarness app;
  app.launch();
  GtkWindow* w = app.window().window();
  ASSERT_TRUE(waitForPage(app.webView(), [](const std::string&) { return true; }));
  gtk_window_close(w);
  spinUntil([&] { return !gtk_widget_get_visible(GTK_WIDGET(w)); }, 5);
  EXPECT_FALSE(gtk_widget_get_visible(GTK_WIDGET(w)));
  EXPECT_TRUE(app.delegate().applicationShouldHandleReopen());
  EXPECT_TRUE(gtk_widget_get_visible(GTK_WIDGET(w)));
  EXPECT_EQ(app.window().window(), w);
}

TEST(Launch, WindowSizeIsRememberedForTheNextLaunch) {
  AppHarness app;
  app.launch();
  gtk_window_set_default_size(app.window().window(), 1000, 700);
  app.window().saveState();
  {
    // A second window in the same home restores the size.
    gtk::GtkUi ui(application(), app.platform().session());
    NullEvents events;
    gtk::GtkMainWindow second(application(), app.platform().session(), events);
    int width = 0, height = 0;
    gtk_window_get_default_size(second.window(), &width, &height);
    EXPECT_EQ(width, 1000);
    EXPECT_EQ(height, 700);
  }
}

TEST(Launch, ProbesTheLocalTheRememberedAndTheBuiltInHostsAndPrefersTheRemembered) {
  // Nothing may listen on 127.0.0.1:8795 for this test: the local server would win.
  test::LoopbackServer builtIn("127.0.0.2", PORT), remembered("127.0.0.3", PORT);
  test::LoopbackServer::Reply notFound;
  notFound.status = 404;  // any status below 500 counts as an answer
  builtIn.handle([&](const std::string&) { return notFound; });
  remembered.handle([&](const std::string&) { return notFound; });
  nlohmann::json info = AppHarness::defaultInfo();
  info["QMHosts"] = " 127.0.0.2 , 127.0.0.3,";
  AppHarness app(info);
  files::makeDirs(app.home() + "/Library/Application Support/Quillmarsh");
  std::ofstream(app.home() + "/Library/Application Support/Quillmarsh/server-host")
      << "127.0.0.3\n";
  app.launch();
  ASSERT_TRUE(spinUntil([&] { return BASE == "http://127.0.0.3:8795"; }, 30)) << BASE;
  ASSERT_FALSE(remembered.seen().empty());
  EXPECT_EQ(remembered.seen().front().path, "/static/icon.png");
  EXPECT_EQ(remembered.seen().front().cookie, "");
  // The UI is then asked for at the chosen host.
  EXPECT_TRUE(spinUntil(
      [&] {
        for (auto& s : remembered.seen())
          if (s.path == "/") return true;
        return false;
      },
      30));
}

}  // namespace
}  // namespace qm::itest
