#include "app/AppDelegate.h"

#include "app/Globals.h"
#include "app/Url.h"
#include "server/SuiteServer.h"

namespace qm {

AppDelegate::AppDelegate(Platform& p)
    : platform(p), introSound(p.sound, p.settings, p.bundle, p.loop, p.clock, p.args) {}

AppDelegate::~AppDelegate() = default;

const char* AppDelegate::placeholderPage() {
  return "<body style='font:15px -apple-system;background:Canvas;color:GrayText;display:flex;"
         "align-items:center;justify-content:center;height:90vh'>Quillmarsh Quarn<br><span "
         "style='font-size:12px'>&nbsp;Starting\u2026</span></body>";
}

void AppDelegate::applicationDidFinishLaunching() {
  buildMainMenu();
  buildWindow();
  platform.notifier.requestPermission();
  SuiteServer::resolve(platform.http, platform.bundle, PORT, "/static/icon.png",
                       [this](std::optional<std::string> host) { connectCompleted(host); });
  poller = platform.loop.every(60.0, [this] { poll(); });
}

void AppDelegate::buildWindow() {
  window = platform.ui.createMainWindow(*this);
  web = &window->web();
  suiteSession = std::make_unique<SuiteSession>(window->cookies(), platform.clock);
  if (introOn()) startIntro();
  web->loadHtml(placeholderPage());
  window->present();
}

void AppDelegate::applicationDidBecomeActive() {
  if (!suiteSession || !web) return;
  if (urlHost(web->uri()) != urlHost(BASE)) return;
  suiteSession->adopt([this](bool changed) {
    if (changed) web->reload();
  });
}

bool AppDelegate::applicationShouldHandleReopen() {
  showWindow();
  return true;
}

void AppDelegate::showWindow() {
  if (window) window->present();
}

}  // namespace qm
