#include "session/SuiteSession.h"

#include <algorithm>
#include <memory>
#include <utility>

#include "core/Files.h"
#include "core/Log.h"
#include "core/Paths.h"
#include "core/Text.h"
#include "core/Url.h"
#include "session/EarlySignIn.h"

namespace qm {

namespace {
// Far beyond any real sign-in token; a bigger file is not one.
constexpr std::size_t kMaxFileBytes = 64 * 1024;
// The most a cookie's name and value may hold together and still be kept by every engine.
constexpr std::size_t kMaxCookieBytes = 4096;

// The domain the engine keeps for a host's cookies: an IPv6 address without its brackets.
std::string cookieDomain(const std::string& host) {
  if (host.size() > 2 && host.front() == '[' && host.back() == ']')
    return host.substr(1, host.size() - 2);
  return host;
}
}  // namespace

std::string SuiteSession::file() {
  return paths::suiteSupportDir() + "/suite-session";
}

SuiteSession::SuiteSession(CookieStore& store, MainLoop& loop, const Clock& clock,
                           EarlySignIn* early)
    : store_(store), clock_(clock), early_(early), file_(loop, &file, 0600), loop_(loop) {
  store_.setObserver(life_.guard([this] {
    if (!ready_ || changes_) return;
    changes_ = loop_.after(changeDelay, [this] {
      changes_ = 0;
      cookiesDidChange(store_);
    });
  }));
}

SuiteSession::~SuiteSession() {
  store_.setObserver({});
}

std::optional<std::string> SuiteSession::current(const std::vector<Cookie>& cookies,
                                                 const std::string& host) {
  for (const auto& c : cookies)
    if (c.name == cookieName && equalsIgnoringCase(c.domain, cookieDomain(host))) return c.value;
  return std::nullopt;
}

std::optional<Cookie> SuiteSession::suiteCookie(const std::string& host, const std::string& value,
                                                double now) {
  if (host.empty() || value.size() + std::string(cookieName).size() > kMaxCookieBytes)
    return std::nullopt;
  // A control character or ';' would end the value early or smuggle in another cookie.
  for (unsigned char ch : value)
    if (ch < 0x20 || ch == 0x7F || ch == ';') return std::nullopt;
  Cookie c;
  c.name = cookieName;
  c.value = value;
  c.domain = cookieDomain(host);
  c.path = "/";
  c.expires = now + cookieLifetime;
  c.httpOnly = true;
  c.secure = false;
  c.sameSite = SameSite::Strict;
  return c;
}

void SuiteSession::setHost(const std::string& host) {
  if (host == host_) return;
  host_ = host;
  ready_ = false;
}

void SuiteSession::adopt(std::function<void(bool)> done) {
  std::uint64_t query = ++issued_;
  auto value = sharedNow();
  // The host is chosen: what was planted for others before the choice goes, and the chosen
  // host's plant is made to last; after the UI went out when that plant serves it, as the
  // engine writes its cookie file meanwhile.
  auto settle = [&] {
    if (early_) early_->settle(host_, value, clock_.now());
  };
  if (!value) {
    settle();
    // Nothing to plant: the UI need not wait for the store, whose answer only tells the mirror
    // what it starts from. The engine answers it before any change the UI's load makes. A
    // sign-in shared until now has ended in another app: it ends here too.
    auto ended = std::exchange(lastShared_, std::nullopt);
    store_.getAll(life_.guard([this, query, host = host_, ended](std::vector<Cookie> cookies) {
      if (host != host_) return;
      if (ended) cookies = endSignIn(std::move(cookies), *ended);
      if (query > applied_) {
        known_ = current(cookies, host);
        applied_ = query;
      }
      ready_ = true;
    }));
    done(false);
    return;
  }
  lastShared_ = value;
  // Planted before the window was built: the engine took the plant before anything of the view,
  // so the UI goes out at once unless the store has already refused it; the store's answer then
  // only says what it holds. A refusal that comes later starts the mirror over from the store;
  // the UI went out without the sign-in, as it would after any refusal.
  auto waiting = std::make_shared<std::function<void(bool)>>(std::move(done));
  auto planted = [this, query, host = host_, value = *value, waiting](bool stored) {
    auto then = std::exchange(*waiting, nullptr);  // none once the UI went out
    if (host != host_) return then ? then(false) : void();
    if (!stored)
      return adoptFromStore(
          query, then ? then : [](bool) {});
    if (query > applied_) {
      known_ = value;
      applied_ = query;
    }
    notePlant(host, value);
    ready_ = true;
    if (then) then(false);
  };
  if (early_ && early_->take(host_, *value, life_.guard(planted))) {
    if (auto then = std::exchange(*waiting, nullptr)) then(false);
    return settle();
  }
  settle();
  adoptFromStore(query, std::move(*waiting));
}

void SuiteSession::adoptFromStore(std::uint64_t query, std::function<void(bool)> done) {
  store_.getAll(
      life_.guard([this, query, host = host_, done = std::move(done)](std::vector<Cookie> cookies) {
        if (host != host_) {  // asked for a host no longer mirrored
          done(false);
          return;
        }
        auto now = current(cookies, host);
        auto value = sharedNow();
        if (value && value != now) {
          // Set before planting, so the change notification that follows finds nothing new; back
          // to what the store still holds when the plant does not happen, so that a later change
          // does not take the store's old sign-in for a new one and write it over the file.
          known_ = value;
          applied_ = ++issued_;
          auto cookie = suiteCookie(host, *value, clock_.now());
          if (!cookie) {
            known_ = now;
            ready_ = true;
            done(false);
            return;
          }
          store_.set(*cookie, life_.guard([this, host, now, done, cookie](bool stored) {
            if (host == host_) {
              if (!stored) known_ = now;
              ready_ = true;
            }
            if (stored) notePlant(host, cookie->value);
            done(stored);
          }));
          return;
        }
        if (query > applied_) {
          known_ = now;
          applied_ = query;
        }
        ready_ = true;
        done(false);
      }));
}

void SuiteSession::cookiesDidChange(CookieStore& store) {
  if (!ready_) return;
  std::uint64_t query = ++issued_;
  store.getAll(life_.guard([this, query, host = host_](std::vector<Cookie> cookies) {
    if (query < applied_) return;
    applied_ = query;
    auto now = current(cookies, host);
    if (now == known_) return;
    auto ended = std::exchange(known_, now);
    share(now);
    if (!now && ended) endSignIn(std::move(cookies), *ended);
  }));
}

void SuiteSession::notePlant(const std::string& host, const std::string& value) {
  std::pair<std::string, std::string> plant{cookieDomain(host), value};
  if (std::find(planted_.begin(), planted_.end(), plant) == planted_.end())
    planted_.push_back(std::move(plant));
}

std::vector<Cookie> SuiteSession::endSignIn(std::vector<Cookie> cookies, const std::string& ended) {
  log("the sign-in ended: removing the suite cookies that carried it");
  auto plantedHere = [this](const Cookie& c) {
    return std::ranges::any_of(planted_, [&](const auto& p) {
      return equalsIgnoringCase(c.domain, p.first) && c.value == p.second;
    });
  };
  std::erase_if(cookies, [&](const Cookie& c) {
    bool gone = c.name == cookieName && (c.value == ended || plantedHere(c));
    if (gone) store_.remove(c, [](bool) {});
    return gone;
  });
  planted_.clear();
  return cookies;
}

std::optional<std::string> SuiteSession::shared() {
  auto text = files::read(file(), kMaxFileBytes);
  if (!text || !text::validUtf8(*text)) return std::nullopt;
  auto value = text::trim(*text);
  if (value.empty()) return std::nullopt;
  return value;
}

std::optional<std::string> SuiteSession::sharedNow() {
  if (const auto& pending = file_.pending()) return *pending;
  return shared();
}

void SuiteSession::share(const std::optional<std::string>& value) {
  lastShared_ = value;
  // The temporary file is 600 before the value is in it, so no other user can ever read it.
  file_.put(value);
}

}  // namespace qm
