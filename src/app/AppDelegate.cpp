#include "app/AppDelegate.h"

namespace qm {

AppDelegate::AppDelegate(Platform& p, EarlyResolution* early, EarlySignIn* signIn)
    : content_(p.desktop, p.dialogs, p.shell, p.notifier, p.loop, server_),
      window_(p.windows, p.cookies, p.loop, p.clock, server_, signIn),
      hang_(p.dialogs, p.loop, [this] { window_.restartPage(); }),
      intro_(window_, p.menuBar, p.loop, p.clock, p.settings, p.bundle, p.sound,
             p.options.ensembleLaunch),
      service_(p.http, p.loop, p.clock, p.bundle, p.tools, p.dialogs, p.shell, server_),
      poller_(p.http, p.loop, p.notifier, server_, window_),
      flow_(p.http, p.loop, p.bundle, server_, window_, intro_, service_, poller_, early),
      reconnect_(p.http, p.loop, p.clock, p.network, server_, window_, flow_),
      menu_(p.menuBar, p.dialogs, p.desktop) {}

void AppDelegate::applicationDidFinishLaunching() {
  buildMainMenu();
  buildWindow();
  flow_.connect();
  poller_.start();
}

void AppDelegate::buildWindow() {
  MainViewEvents events{
      content_, content_, [this](const ScriptMessage& body) { flow_.onServerMessage(body); }, {}};
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
  window_.present();
  return true;
}

void AppDelegate::buildMainMenu() {
  menu_.buildMainMenu(
      intro_.introOn(), intro_.introSoundOn(),
      {
          {Command::ShowAbout, [this] { menu_.showAbout(); }},
          {Command::ReplayIntro, [this] { intro_.replayIntro(); }},
          {Command::ToggleIntro, [this] { toggleIntro(); }},
          {Command::ToggleIntroSound, [this] { toggleIntroSound(); }},
          {Command::OpenHQ, [this] { menu_.openHQ(); }},
          {Command::OpenStudio, [this] { menu_.openStudio(); }},
          {Command::OpenExports, [this] { menu_.openExports(service_.quarnDir()); }},
          {Command::RestartService, [this] { restartService(); }},
          {Command::QuitAndStop, [this] { service_.quitAndStop(); }},
          {Command::ReloadWeb, [this] { reloadWeb(); }},
      });
}

void AppDelegate::restartService() {
  service_.restartService(
      [this] { reconnect_.watching() ? reconnect_.tryNow() : window_.reload(); });
}

void AppDelegate::onAppMessage(const ScriptMessage& body) {
  if (body == "retry") reconnect_.tryNow();
}

}  // namespace qm
