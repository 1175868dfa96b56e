// Placeholder until the connection flow lands: loads the UI of the host found.
#include "app/AppDelegate.h"
#include "app/Globals.h"
#include "server/SuiteServer.h"

namespace qm {

void AppDelegate::connect() {
  SuiteServer::resolve(platform.http, platform.bundle, PORT, "/static/icon.png",
                       [this](std::optional<std::string> host) { connectCompleted(host); });
}
void AppDelegate::connectCompleted(const std::optional<std::string>& host) {
  if (host) use(*host);
}
void AppDelegate::use(const std::string& host) {
  BASE = SuiteServer::base(host, PORT);
  if (web) web->loadUrl(BASE);
  introReady = true;
}
void AppDelegate::showMessage(const std::string&) {}
void AppDelegate::onScriptMessage(const std::string&, const std::optional<std::string>&) {}

}  // namespace qm
