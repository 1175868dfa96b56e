#include "window/MainWindowController.h"

#include "core/Url.h"

namespace qm {

MainWindowController::MainWindowController(Ui& ui, const Clock& clock, EarlySignIn* early)
    : ui_(ui), clock_(clock), early_(early) {}

const char* MainWindowController::placeholderPage() {
  return "<body style='font:15px -apple-system;background:Canvas;color:GrayText;display:flex;"
         "align-items:center;justify-content:center;height:90vh'>Quillmarsh Quarn<br><span "
         "style='font-size:12px'>&nbsp;Starting\u2026</span></body>";
}

void MainWindowController::build(MainViewEvents events) {
  if (window_) return;
  window_ = ui_.createMainWindow(std::move(events));
  web_ = &window_->web();
  suiteSession_ = std::make_unique<SuiteSession>(window_->cookies(), clock_, early_);
}

void MainWindowController::showPlaceholder() {
  loadHtml(placeholderPage());
}

void MainWindowController::present() {
  if (window_) window_->present();
}

void MainWindowController::becameActive(const std::string& base) {
  if (!suiteSession_) return;
  if (!sameHost(urlHost(web_->uri()), urlHost(base))) return;
  suiteSession_->adopt(life_.guard([this](bool changed) {
    if (changed) web_->reload();
  }));
}

void MainWindowController::loadUi(const std::string& host, const std::string& base,
                                  std::function<void()> adopted) {
  if (!suiteSession_) return;
  suiteSession_->setHost(host);
  // The UI goes out only once the shared sign-in is in the store, so its first request
  // already carries it: at once when it was planted early.
  suiteSession_->adopt(
      life_.guard([this, base, load = ++uiLoads_, adopted = std::move(adopted)](bool) {
        if (load != uiLoads_) return;
        web_->loadUrl(base);
        if (adopted) adopted();
      }));
}

void MainWindowController::loadHtml(const std::string& html) {
  if (!web_) return;
  // The engine reads the page as a C string: a NUL from a file or the bundle would end it early,
  // before the page's field and buttons.
  std::string page = html;
  std::erase(page, '\0');
  web_->loadHtml(page);
}

void MainWindowController::reload() {
  if (web_) web_->reload();
}

void MainWindowController::reloadFromOrigin() {
  if (web_) web_->reloadFromOrigin();
}

std::unique_ptr<IntroView> MainWindowController::createIntroView(const std::string& htmlPath,
                                                                 IntroEvents& events) {
  if (!window_) return nullptr;
  return window_->createIntroView(htmlPath, events);
}

}  // namespace qm
