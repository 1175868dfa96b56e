#include "app/AppDelegate.h"

namespace qm {

AppDelegate::AppDelegate(Platform& p, EarlyResolution* early, EarlySignIn* signIn)
    : platform_(p),
      content_(p.desktop, p.ui, p.loop, server_),
      window_(p.ui, p.loop, p.clock, signIn),
      intro_(window_, p.ui, p.loop, p.clock, p.settings, p.bundle, p.sound, p.args),
      service_(p.http, p.loop, p.clock, p.bundle, p.tools, p.ui, server_),
      poller_(p.http, p.loop, p.notifier, server_, window_),
      flow_(p.http, p.loop, p.bundle, server_, window_, intro_, service_, poller_, early),
      menu_(p.ui, p.desktop) {}

void AppDelegate::applicationDidFinishLaunching() {
  buildMainMenu();
  buildWindow();
  platform_.notifier.requestPermission();
  flow_.connect();
  poller_.start();
}

void AppDelegate::buildWindow() {
  window_.build({content_,
                 content_,
                 [this](const ScriptMessage& body) { onScriptMessage("qmserver", body); },
                 {}});
  if (intro_.introOn()) intro_.startIntro();
  window_.showPlaceholder();
  window_.present();
}

bool AppDelegate::applicationShouldHandleReopen() {
  showWindow();
  return true;
}

void AppDelegate::buildMainMenu() {
  menu_.buildMainMenu(intro_.introOn(), intro_.introSoundOn(),
                      {
                          {"showAbout", [this] { showAbout(); }},
                          {"replayIntro", [this] { replayIntro(); }},
                          {"toggleIntro", [this] { toggleIntro(); }},
                          {"toggleIntroSound", [this] { toggleIntroSound(); }},
                          {"openHQ", [this] { openHQ(); }},
                          {"openStudio", [this] { openStudio(); }},
                          {"openExports", [this] { openExports(); }},
                          {"restartService", [this] { restartService(); }},
                          {"quitAndStop", [this] { quitAndStop(); }},
                          {"reloadWeb", [this] { reloadWeb(); }},
                      });
}

void AppDelegate::onScriptMessage(const std::string& channel, const ScriptMessage& body) {
  if (channel == "qmserver")
    flow_.onServerMessage(body);
  else if (channel == "qm")
    intro_.onIntroMessage(body);
}

}  // namespace qm
