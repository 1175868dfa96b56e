#pragma once
// The periodic overview poll: the launcher badge counts the failing checks, and a rise in that
// count posts a notification.

#include <cstdint>
#include <string>

#include "core/ServerInUse.h"
#include "platform/Desktop.h"
#include "platform/MainLoop.h"
#include "platform/Notifier.h"
#include "platform/Scoped.h"
#include "poller/Overview.h"
#include "window/WindowSlices.h"

namespace qm {

class StatusPoller {
 public:
  StatusPoller(Http& http, MainLoop& loop, Notifier& notifier, const ServerInUse& server,
               CookieSource& window);
  StatusPoller(const StatusPoller&) = delete;
  StatusPoller& operator=(const StatusPoller&) = delete;

  // Polls every 60 seconds from now on.
  void start();
  void poll();
  void notify(const std::string& title, const std::string& body);

 private:
  // Whether the result of poll `seq`, made against `base`, may still be applied: it is the
  // newest so far and its server is still the one in use. Taken, it makes older ones stale.
  bool current(std::uint64_t seq, const std::string& base);
  // Badge and notification for the bad checks of a usable overview.
  void apply(const std::vector<overview::BadCheck>& bad);

  Notifier& notifier_;
  const ServerInUse& server_;
  CookieSource& window_;
  ScopedHttp http_;
  ScopedLoop loop_;
  Lifetime life_;
  std::int64_t lastBad_ = -1;  // failing checks of the last usable overview; -1 before the first
  // Polls are numbered as they start; answers may come back in any order.
  std::uint64_t polls_ = 0, applied_ = 0;
};

}  // namespace qm
