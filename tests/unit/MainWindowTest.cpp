#include <gtest/gtest.h>

#include "fakes/Fakes.h"
#include "fakes/TempHome.h"
#include "web/WebContent.h"
#include "window/MainWindowController.h"

using namespace qm;

TEST(MainWindow, AnEndedWebProcessShowsThePageAgainUntilItEndsThreeTimesInAMinute) {
  // Steps: 'u' the UI loads, 'n' the user goes on within it, 'o' to another server, 'h' a
  // generated page loads, 'x' the web process ends, 'w' 30 s pass, 'r' a click on Reload, 'p'
  // the page clicked on still shows, 'f' the menu's Reload.
  // Seen: what the view loads ('U' the UI, 'N' where the user went, 'H' the generated page,
  // 'P' the page saying what happened) and 'm' for a message handed on to the app's side.
  const std::pair<std::string, std::string> rows[] = {
      {"hxx", "HHH"},     {"unx", "UN"},      {"uoxx", "UUU"},    {"uxxx", "UUUP"},
      {"uxxwwx", "UUUU"}, {"uxwxx", "UUUP"},  {"uxxxr", "UUUPU"}, {"hxxxrx", "HHHPHP"},
      {"ur", "U"},        {"hxxxf", "HHHPH"}, {"xx", "HH"},       {"uxxxrprpr", "UUUPUUU"}};
  for (auto& [steps, seen] : rows) {
    SCOPED_TRACE(steps);
    test::TempHome home;
    test::FakePlatform f;
    ServerInUse server;
    WebContent content{f.desktop, f.ui, f.loop, server};
    MainWindowController window{f.ui, f.clock, server};
    window.build({content,
                  content,
                  {},
                  [&](const ScriptMessage&) { f.ui.window->webView.log.push_back("m"); },
                  {}});
    auto& view = f.ui.window->webView;
    const std::string ui = "http://s.local:8795";
    for (char step : steps) {
      if (step == 'u') window.loadUi("s.local", ui, {});
      if (step == 'n') view.currentUri = ui + "/checks";
      if (step == 'o') view.currentUri = "http://elsewhere.test/";
      if (step == 'h') window.loadHtml("<p>page</p>");
      if (step == 'x') f.ui.events->onWebProcessEnded();
      if (step == 'w') f.loop.advance(30);
      if (step == 'r') f.ui.events->onAppMessage("reload");
      if (step == 'p') view.currentUri = "about:blank";
      if (step == 'f') window.reloadFromOrigin();
    }
    std::string got;
    for (auto& load : view.log)
      got += load == "m"                                                ? 'm'
             : load == "url:" + ui                                      ? 'U'
             : load == "url:" + ui + "/checks"                          ? 'N'
             : load == "html:" + MainWindowController::webProcessPage() ? 'P'
                                                                        : 'H';
    EXPECT_EQ(got, seen);
  }
}

// Which pages shown in the main view reach each channel: "qmserver" the app's own and those of
// the server in use, "qmapp" only the app's own.
TEST(MainWindow, OnlyTheAppsOwnPagesAndTheServersSpeakForTheApp) {
  const std::tuple<std::optional<std::string>, std::string, std::string> rows[] = {
      {"about:blank", "s.local", "sa"},
      {"http://s.local:8795/people?x", "s.local", "s"},
      {"HTTP://S.Local:8795", "s.local", "s"},
      {"http://[fd7a::1]:8795/", "[fd7a::1]", "s"},
      {"http://s.local/", "s.local", ""},
      {"http://s.local:80/", "s.local", ""},
      {"https://s.local:8795/", "s.local", ""},
      {"http://s.local:8796/", "s.local", ""},
      {"http://127.0.0.1:9999/", "127.0.0.1", ""},
      {"http://127.0.0.1:8795/", "s.local", ""},
      {"http://s.local.evil:8795/", "s.local", ""},
      {"data:text/html,x", "s.local", ""},
      {"about:blank#x", "s.local", ""},
      {std::nullopt, "s.local", ""},
  };
  for (auto& [page, host, reached] : rows) {
    SCOPED_TRACE(page.value_or("none") + " " + host);
    test::TempHome home;
    test::FakePlatform f;
    ServerInUse server;
    server.use(host);
    WebContent content{f.desktop, f.ui, f.loop, server};
    MainWindowController window{f.ui, f.clock, server};
    std::string got;
    window.build({content, content, [&](auto&) { got += 's'; }, [&](auto&) { got += 'a'; }, {}});
    f.ui.window->webView.currentUri = page;
    f.ui.events->onServerMessage("mac.local");
    f.ui.events->onAppMessage("retry");
    EXPECT_EQ(got, reached);
  }
}
