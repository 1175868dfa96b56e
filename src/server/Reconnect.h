#pragma once
// When the server in use cannot be reached: a page of the app's own in place of the engine's
// error page, probes of the server at growing intervals (and at once when the network changes or
// the computer wakes), the page loaded again as soon as the server answers, and after a minute
// without an answer the servers looked for again as at launch. Nothing runs while the UI loads.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "core/ServerInUse.h"
#include "pages/Pages.h"
#include "platform/Clock.h"
#include "platform/MainLoop.h"
#include "platform/MainViewEvents.h"
#include "platform/NetworkEvents.h"
#include "platform/Scoped.h"
#include "server/ConnectionFlow.h"
#include "window/WindowSlices.h"

namespace qm {

// What a failed load's error says, when it is one of those; none for any other failure (a
// cancelled load, a page the engine cannot show).
std::optional<Unreachable> unreachable(const std::string& domain, int code);
// Seconds before the next probe after `failed` probes in a row: 1, 2, 4, ... up to 30.
double retryDelay(int failed);
// Whether to look for the servers again, `unanswered` seconds after the server stopped answering,
// `sinceLook` seconds after the last look (none before the first).
bool lookAgainDue(double unanswered, std::optional<double> sinceLook);

class Reconnect {
 public:
  Reconnect(Http& http, MainLoop& loop, const Clock& clock, NetworkEvents& network,
            const ServerInUse& server, MainPages& window, ConnectionFlow& flow);
  Reconnect(const Reconnect&) = delete;
  Reconnect& operator=(const Reconnect&) = delete;

  // A load of the main frame failed. True when it was the server in use that could not be
  // reached: the app's page shows instead of the engine's, and the server is watched for.
  bool onLoadFailed(const LoadFailure& failure);
  // The page's "Try now".
  void tryNow();
  bool watching() const { return watch_ != nullptr; }

 private:
  void probe(const std::string& why);
  void answered(bool up);
  void reload();
  void lookAgain();
  void stop();
  bool pageShown();

  void schedule();

  ScopedHttp http_;
  ScopedLoop loop_;
  const Clock& clock_;
  NetworkEvents& network_;
  const ServerInUse& server_;
  MainPages& window_;
  ConnectionFlow& flow_;
  std::shared_ptr<void> watch_;  // while the page shows
  std::optional<HttpId> probing_;
  std::optional<TimerId> timer_;
  std::string page_, host_, url_;  // the page shown, for which server, and what it replaced
  int failed_ = 0;
  double since_ = 0, reloaded_ = -1e9;
  std::optional<double> looked_;
  Lifetime life_;
};

}  // namespace qm
