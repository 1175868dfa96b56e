#include "session/EarlySignIn.h"

#include <utility>

#include "core/Log.h"
#include "session/SuiteSession.h"

namespace qm {

EarlySignIn::EarlySignIn(CookieStore& store, const Clock& clock,
                         const std::vector<std::string>& hosts)
    : store_(store) {
  auto value = SuiteSession::shared();
  if (!value) return;
  std::vector<Cookie> cookies;
  for (const auto& host : hosts) {
    auto cookie = SuiteSession::suiteCookie(host, *value, clock.now());
    if (!cookie) continue;
    cookie->expires.reset();
    cookies.push_back(std::move(*cookie));
    plants_.push_back({host, *value, std::nullopt, false, nullptr});
  }
  // Sent once the table is complete, as an answer may come before the next plant is listed.
  for (std::size_t i = 0; i < cookies.size(); ++i)
    store_.set(cookies[i], life_.guard([this, i](bool stored) {
      Plant& p = plants_[i];
      p.stored = stored;
      if (p.waiting) std::exchange(p.waiting, nullptr)(stored);
    }));
}

bool EarlySignIn::take(const std::string& host, const std::string& value,
                       std::function<void(bool)> done) {
  for (Plant& p : plants_) {
    if (p.taken || p.host != host || p.value != value) continue;
    p.taken = true;
    log(p.stored ? "the sign-in planted at start is in the store"
                 : "waiting for the sign-in planted at start");
    if (p.stored)
      done(*p.stored);
    else
      p.waiting = std::move(done);
    return true;
  }
  return false;
}

}  // namespace qm

namespace qm {

void EarlySignIn::settle(const std::string& chosen, const std::optional<std::string>& value,
                         double now) {
  if (std::exchange(settled_, true)) return;
  for (Plant& p : plants_) {
    // Withdrawn or made to last, no plant stands for the store any more: a later move to its
    // host plants anew.
    p.taken = true;
    auto cookie = SuiteSession::suiteCookie(p.host, p.value, now);
    if (!cookie) continue;
    if (p.host == chosen && p.value == value) {
      store_.set(*cookie, [](bool) {});
      continue;
    }
    log("withdrawing the sign-in planted at start for " + p.host);
    store_.remove(*cookie, [](bool) {});
  }
}

}  // namespace qm
