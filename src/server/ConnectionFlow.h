#pragma once
// From a resolved host (or none) to what the main web view shows, and the connect page's
// messages back to the app.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/ServerInUse.h"
#include "intro/IntroOverlay.h"
#include "platform/Bundle.h"
#include "platform/Scoped.h"
#include "poller/Poller.h"
#include "server/EarlyResolution.h"
#include "service/ServiceControl.h"
#include "session/SharedFile.h"
#include "window/WindowSlices.h"

namespace qm {

class ConnectionFlow {
 public:
  // early: the launch's resolution, already under way, taken by the first connect.
  ConnectionFlow(Http& http, MainLoop& loop, Bundle& bundle, ServerInUse& server, MainPages& window,
                 IntroStage& intro, LocalService& service, PollTrigger& poller,
                 EarlyResolution* early = nullptr);
  ConnectionFlow(const ConnectionFlow&) = delete;
  ConnectionFlow& operator=(const ConnectionFlow&) = delete;

  // Resolves the server and goes on with connectCompleted. A resolution still running is
  // replaced: its probes are cancelled and its outcome dropped.
  void connect();
  void connectCompleted(const std::optional<std::string>& host);
  // Resolves the server again in the usual order and hands over the host that answered, or none;
  // it starts no service and shows no page. Replaces a resolution still running, as connect does.
  void lookAgain(std::function<void(std::optional<std::string>)> found);
  // Puts the host's server in use and loads its UI.
  void use(const std::string& host);
  void showMessage(const std::string& text);
  // A message of the connect page: the typed host, or "" to try again.
  void onServerMessage(const ScriptMessage& body);

 private:
  // A new attempt, replacing the one before: its probes go through probes_, and `then` gets its
  // outcome only while it is the latest.
  std::function<void(std::optional<std::string>)> newAttempt(
      std::function<void(std::optional<std::string>)> then);

  Bundle& bundle_;
  ServerInUse& server_;
  MainPages& window_;
  IntroStage& intro_;
  LocalService& service_;
  PollTrigger& poller_;
  Http& http_;
  EarlyResolution* early_;
  SharedFile hostFile_;  // the remembered host
  std::unique_ptr<ScopedHttp> probes_;
  // The number of the latest connect(); an outcome of an earlier one is dropped.
  std::uint64_t attempt_ = 0;
  Lifetime life_;
};

}  // namespace qm
