#include "window/MainWindowController.h"

#include "core/Log.h"
#include "core/Url.h"
#include "pages/Pages.h"

namespace qm {

namespace {
constexpr std::size_t kProcessEndsBeforeGivingUp = 3;
constexpr double kProcessEndsWindowSeconds = 60;
}  // namespace

MainWindowController::MainWindowController(MainWindowFactory& windows, CookieStore& cookies,
                                           MainLoop& loop, const Clock& clock,
                                           const ServerInUse& server, EarlySignIn* early)
    : windows_(windows),
      cookies_(cookies),
      loop_(loop),
      clock_(clock),
      server_(server),
      early_(early) {}

void MainWindowController::build(MainViewEvents events) {
  if (window_) return;
  // The message rewrites the host file the whole suite trusts and moves the sign-in.
  events.onServerMessage = [this,
                            server = std::move(events.onServerMessage)](const ScriptMessage& body) {
    auto page = web_->committedUri();
    if (!ownPage(page) && !sameOrigin(page, server_.BASE()))
      return log("ignored a \"qmserver\" message of a page of neither the app nor its server, on " +
                 urlHost(page).value_or("no host"));
    if (server) server(body);
  };
  events.onAppMessage = [this, app = std::move(events.onAppMessage)](const ScriptMessage& body) {
    auto page = web_->committedUri();
    if (!ownPage(page))
      return log("ignored a \"qmapp\" message of a page not the app's own, on " +
                 urlHost(page).value_or("no host"));
    if (body == "reload") return showAgain();
    if (app) app(body);
  };
  events.onWebProcessEnded = [this] { webProcessEnded(); };
  window_ = windows_.createMainWindow(std::move(events));
  web_ = &window_->web();
  suiteSession_ = std::make_unique<SuiteSession>(cookies_, loop_, clock_, early_);
}

void MainWindowController::showPlaceholder() {
  loadHtml(pages::placeholderPage());
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
  // already carries it; at once when it was planted early, before the view existed.
  suiteSession_->adopt(
      life_.guard([this, base, load = ++uiLoads_, adopted = std::move(adopted)](bool) {
        if (load != uiLoads_) return;
        showsUi_ = true, shown_ = base, onProcessPage_ = false;
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
  showsUi_ = false, shown_ = page, onProcessPage_ = false;
  web_->loadHtml(page);
}

void MainWindowController::webProcessEnded() {
  double now = clock_.now();
  std::erase_if(processEnds_,
                [&](double t) { return t > now || now - t >= kProcessEndsWindowSeconds; });
  processEnds_.push_back(now);
  noteWhereUserIs();
  if (processEnds_.size() >= kProcessEndsBeforeGivingUp) {
    log("the web process keeps ending: showing what happened instead of reloading");
    onProcessPage_ = true;
    web_->loadHtml(pages::webProcessPage());
    return;
  }
  log("the web process ended: showing the page again");
  showAgain();
}

void MainWindowController::noteWhereUserIs() {
  // Back, Forward or a swipe may have gone from one of the app's own pages to the server's.
  if (auto page = web_->committedUri(); !onProcessPage_ && sameOrigin(page, server_.BASE())) {
    showsUi_ = true, shown_ = *page;
    return;
  }
  auto at = web_->uri();
  if (showsUi_ && !onProcessPage_ && at && sameHost(urlHost(at), urlHost(shown_))) shown_ = *at;
}

bool MainWindowController::showsPage(const std::string& html) const {
  return web_ && !showsUi_ && !onProcessPage_ && shown_ == html && !urlHost(web_->uri());
}

void MainWindowController::restartPage() {
  if (!web_) return;
  noteWhereUserIs();
  web_->terminateWebProcess();
  showAgain();
}

void MainWindowController::showAgain() {
  onProcessPage_ = false;
  if (!showsUi_) return web_->loadHtml(shown_.empty() ? pages::placeholderPage() : shown_);
  web_->loadUrl(shown_);
}

// On the page saying that the web process keeps ending, a reload means what the button does;
// so does one while the UI asked for has not replaced the app's own page yet (a second press).
bool MainWindowController::showsOwnPageInsteadOfUi() const {
  return web_ && (onProcessPage_ || (showsUi_ && ownPage(web_->committedUri())));
}

void MainWindowController::reload() {
  if (showsOwnPageInsteadOfUi()) return showAgain();
  if (web_) web_->reload();
}

void MainWindowController::reloadFromOrigin() {
  if (showsOwnPageInsteadOfUi()) return showAgain();
  if (web_) web_->reloadFromOrigin();
}

std::unique_ptr<IntroView> MainWindowController::createIntroView(const std::string& htmlPath,
                                                                 IntroEvents& events) {
  if (!window_) return nullptr;
  return window_->createIntroView(htmlPath, events);
}

}  // namespace qm
