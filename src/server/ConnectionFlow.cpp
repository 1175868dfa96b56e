#include "server/ConnectionFlow.h"

#include <filesystem>

#include "core/Constants.h"
#include "core/Log.h"
#include "pages/Pages.h"
#include "server/HostText.h"
#include "server/SuiteServer.h"

namespace qm {

namespace {

// Any file system item counts; a dangling link does not, as nothing is there.
bool itemExists(const std::string& path) {
  if (path.empty()) return false;
  std::error_code ec;
  return std::filesystem::exists(path, ec);
}

}  // namespace

ConnectionFlow::ConnectionFlow(Http& http, MainLoop& loop, Bundle& bundle, ServerInUse& server,
                               MainPages& window, IntroOverlay& intro, ServiceControl& service,
                               StatusPoller& poller, EarlyResolution* early)
    : bundle_(bundle),
      server_(server),
      window_(window),
      intro_(intro),
      service_(service),
      poller_(poller),
      http_(http),
      early_(early),
      hostFile_(loop, &SuiteServer::file, 0666) {}

std::function<void(std::optional<std::string>)> ConnectionFlow::newAttempt(
    std::function<void(std::optional<std::string>)> then) {
  ++attempt_;
  probes_ = std::make_unique<ScopedHttp>(http_);
  return life_.guard(
      [this, attempt = attempt_, then = std::move(then)](std::optional<std::string> host) {
        if (attempt == attempt_) then(host);
      });
}

void ConnectionFlow::connect() {
  auto done = newAttempt([this](std::optional<std::string> host) { connectCompleted(host); });
  if (early_ && early_->take(done)) return;
  SuiteServer::resolve(*probes_, bundle_, PORT, kProbePath, done, hostFile_.pending());
}

void ConnectionFlow::lookAgain(std::function<void(std::optional<std::string>)> found) {
  auto done = newAttempt(std::move(found));
  SuiteServer::resolve(*probes_, bundle_, PORT, kProbePath, done, hostFile_.pending());
}

void ConnectionFlow::connectCompleted(const std::optional<std::string>& host) {
  log(host ? "using the server at " + *host : "no server answered");
  if (host) {
    use(*host);
    return;
  }
  std::string dir = service_.quarnDir();
  if (itemExists(dir)) {
    service_.ensureService(life_.guard([this, dir, attempt = attempt_](bool up) {
      if (attempt != attempt_) return;
      if (up) {
        use(kLocalHost);
        return;
      }
      log("the local server did not come up: showing the failure page");
      intro_.endIntro();
      showMessage("Couldn't start Quillmarsh Quarn.\n\nCheck " + dir + "/data/quarn.log");
    }));
    return;
  }
  intro_.endIntro();
  window_.loadHtml(pages::askPage(kAppName, SuiteServer::remembered(hostFile_.pending()),
                                  SuiteServer::builtIn(bundle_)));
}

void ConnectionFlow::use(const std::string& host) {
  server_.use(host);
  if (host != kLocalHost) hostFile_.put(host);
  // The first poll waits for the adoption, so that it already carries an adopted sign-in.
  window_.loadUi(host, server_.BASE(), life_.guard([this] { poller_.poll(); }));
  intro_.uiLoading();
}

void ConnectionFlow::showMessage(const std::string& text) {
  window_.loadHtml(pages::messagePage(text));
}

void ConnectionFlow::onServerMessage(const ScriptMessage& body) {
  // Remembered before probing, so the new host is among the candidates of this very
  // resolution, even while its write is still to land, and stays remembered whether or not it
  // answers.
  if (auto host = SuiteServer::clean(body.value_or(""))) hostFile_.put(*host);
  window_.loadHtml(pages::connectingPage());
  connect();
}

}  // namespace qm
