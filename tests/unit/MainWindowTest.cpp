#include <gtest/gtest.h>

#include "fakes/Fakes.h"
#include "fakes/TempHome.h"
#include "web/WebContent.h"
#include "window/MainWindowController.h"

using namespace qm;

TEST(MainWindow, AnEndedWebProcessShowsThePageAgainUntilItEndsThreeTimesInAMinute) {
  // Steps: 'u' the UI loads, 'n' the user goes on within it, 'o' to another server, 'h' a
  // generated page loads, 'x' the web process ends, 'w' 30 s pass, 'r' a click on Reload, 'f'
  // the menu's Reload.
  // Seen: what the view loads ('U' the UI, 'N' where the user went, 'H' the generated page,
  // 'P' the page saying what happened) and 'm' for a message handed on to the server's side.
  const std::pair<std::string, std::string> rows[] = {
      {"hxx", "HHH"},     {"unx", "UN"},      {"uoxx", "UUU"},    {"uxxx", "UUUP"},
      {"uxxwwx", "UUUU"}, {"uxwxx", "UUUP"},  {"uxxxr", "UUUPU"}, {"hxxxrx", "HHHPHP"},
      {"ur", "Um"},       {"hxxxf", "HHHPH"}, {"xx", "HH"}};
  for (auto& [steps, seen] : rows) {
    SCOPED_TRACE(steps);
    test::TempHome home;
    test::FakePlatform f;
    ServerInUse server;
    WebContent content{f.desktop, f.ui, f.loop, server};
    MainWindowController window{f.ui, f.loop, f.clock};
    window.build({content,
                  content,
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
      if (step == 'r') f.ui.events->onServerMessage("reload-after-process-end");
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
