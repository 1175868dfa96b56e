#include <gtest/gtest.h>

#include "fakes/Fakes.h"
#include "fakes/TempHome.h"
#include "pages/Pages.h"
#include "web/WebContent.h"
#include "window/MainWindowController.h"

using namespace qm;

TEST(MainWindow, AnEndedWebProcessShowsThePageAgainUntilItEndsThreeTimesInAMinute) {
  // Steps: 'u' the UI loads, 'n' the user goes on within it, 'o' to another server ('e' the
  // server's secure pages), 'h' a generated page loads, 'x' the web process ends, 'w' 30 s pass,
  // 'r' a click on Reload, 'f' the menu's Reload (each while the page clicked on still shows),
  // 's' a page posts to "qmserver", 'a' another word to "qmapp".
  // Seen: what the view loads ('U' the UI, 'N' where the user went, 'H' the generated page,
  // 'P' the page saying what happened) and the messages handed on ('s', 'a').
  const std::pair<std::string, std::string> rows[] = {
      {"hxx", "HHH"},     {"unx", "UN"},     {"uoxx", "UUU"},        {"uxxx", "UUUP"},
      {"uxxwwx", "UUUU"}, {"uxwxx", "UUUP"}, {"uxxxrf", "UUUPUU"},   {"hxxxrx", "HHHPHP"},
      {"hxxxf", "HHHPH"}, {"xx", "HH"},      {"uxxxrrr", "UUUPUUU"}, {"unsa", "Us"},
      {"uos", "U"},       {"ues", "U"},      {"hsa", "Hsa"},         {"s", ""},
      {"hnx", "HN"}};
  for (auto& [steps, seen] : rows) {
    SCOPED_TRACE(steps);
    test::TempHome home;
    test::FakePlatform f;
    ServerInUse server;
    server.use("s.local");
    WebContent content{f.desktop, f.ui, f.notifier, f.loop, server};
    MainWindowController window{f.ui, f.cookies, f.loop, f.clock, server};
    auto note = [&](const char* what) {
      return [&, what](const ScriptMessage&) { f.ui.window->webView.log.push_back(what); };
    };
    window.build({content, content, note("s"), note("a"), {}});
    auto& view = f.ui.window->webView;
    const std::string ui = "http://s.local:8795";
    for (char step : steps) {
      if (step == 'u') window.loadUi("s.local", ui, {});
      if (step == 'n') view.currentUri = ui + "/checks";
      if (step == 'o') view.currentUri = "http://elsewhere.test/";
      if (step == 'e') view.currentUri = "https://s.local:8795/";
      if (step == 'h') window.loadHtml("<p>page</p>");
      if (step == 'x') f.ui.events->onWebProcessEnded();
      if (step == 'w') f.loop.advance(30);
      if (step == 'r') view.currentUri = "about:blank", f.ui.events->onAppMessage("reload");
      if (step == 'f') view.currentUri = "about:blank", window.reloadFromOrigin();
      if (step == 's') f.ui.events->onServerMessage("mac.local");
      if (step == 'a') f.ui.events->onAppMessage("retry");
    }
    std::string got;
    for (auto& load : view.log)
      got += load.size() == 1                            ? load[0]
             : load == "url:" + ui                       ? 'U'
             : load == "url:" + ui + "/checks"           ? 'N'
             : load == "html:" + pages::webProcessPage() ? 'P'
                                                         : 'H';
    EXPECT_EQ(got, seen);
  }
}
