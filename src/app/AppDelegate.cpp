#include "app/AppDelegate.h"

namespace qm {

AppDelegate::AppDelegate(Platform& p, EarlyResolution* early, EarlySignIn* signIn)
    : platform_(p),
      content_(p.desktop, p.ui, p.notifier, p.loop, server_),
      window_(p.ui, p.cookies, p.loop, p.clock, server_, signIn),
      hang_(p.ui, p.loop, [this] { window_.restartPage(); }),
      intro_(window_, p.ui, p.loop, p.clock, p.settings, p.bundle, p.sound,
             p.options.ensembleLaunch),
      service_(p.http, p.loop, p.clock, p.bundle, p.tools, p.ui, server_),
      poller_(p.http, p.loop, p.notifier, server_, window_),
      flow_(p.http, p.loop, p.bundle, server_, window_, intro_, service_, poller_, early),
      reconnect_(p.http, p.loop, p.clock, p.network, server_, window_, flow_),
      menu_(p.ui, p.desktop) {}

void AppDelegate::applicationDidFinishLaunching() {
  buildMainMenu();
  buildWindow();
  flow_.connect();
  poller_.start();
}

void AppDelegate::buildWindow() {
  MainViewEvents events{content_,
                        content_,
                        [this](const ScriptMessage& body) { onScriptMessage("qmserver", body); },
                        {}};
  events.onAppMessage = [this](const ScriptMessage& body) { onAppMessage(body); };
  events.onLoadFailed = [this](const LoadFailure& failure) {
    return reconnect_.onLoadFailed(failure);
  };
  events.onResponsiveChanged = [this](bool responsive) { hang_.responsiveChanged(responsive); };
  window_.build(std::move(events));
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

void AppDelegate::onAppMessage(const ScriptMessage& body) {
  if (body == "retry") reconnect_.tryNow();
}

}  // namespace qm
