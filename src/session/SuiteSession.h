#pragma once
// Keeps the suite sign-in cookie "qmsuite" and the suite-session file shared with the sibling
// apps in step.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/Constants.h"
#include "platform/Clock.h"
#include "platform/CookieStore.h"
#include "platform/MainLoop.h"
#include "platform/Scoped.h"
#include "session/SharedFile.h"

namespace qm {

class EarlySignIn;

class SuiteSession {
 public:
  static constexpr const char* cookieName = "qmsuite";
  // How long a planted suite cookie lives: 30 days.
  static constexpr double cookieLifetime = 2592000.0;
  // A burst of store changes (a page setting many cookies) is read from the store once, this
  // long after its first change.
  static constexpr double changeDelay = 0.2;
  // ~/Library/Application Support/Quillmarsh/suite-session, built on each call.
  static std::string file();

  // Starts watching the store at once. All must outlive this object; `early` may be null.
  SuiteSession(CookieStore& store, MainLoop& loop, const Clock& clock,
               EarlySignIn* early = nullptr);
  ~SuiteSession();
  SuiteSession(const SuiteSession&) = delete;
  SuiteSession& operator=(const SuiteSession&) = delete;

  // The server host whose suite cookie is mirrored; this computer's until set.
  const std::string& host() const { return host_; }
  // A new host's sign-in is unknown until the next adopt(): store changes wait for it.
  void setHost(const std::string& host);

  // Plants the shared sign-in into the store; done(true) when the store's cookie was replaced.
  // When it was planted early for this host, done runs at once, unless the store refused that.
  void adopt(std::function<void(bool)> done);
  // Reads the store and shares what changed; the store's observer calls it once per burst.
  // When the sign-in ends here, every suite cookie that carried it, or that this object
  // planted, is removed, whatever its host.
  void cookiesDidChange(CookieStore& store);

  // The value of the first cookie named "qmsuite" whose domain is the host's, as the engine
  // keeps it: an IPv6 address without its brackets, in any case (the engine stores domains
  // lower-cased; a remembered host may not be).
  static std::optional<std::string> current(const std::vector<Cookie>& cookies,
                                            const std::string& host);
  // The suite cookie for `host` carrying `value`, living from `now`; none when the value cannot
  // travel in a Cookie header unchanged.
  static std::optional<Cookie> suiteCookie(const std::string& host, const std::string& value,
                                           double now);
  // The sign-in in the suite-session file, if any.
  static std::optional<std::string> shared();

 private:
  void adoptFromStore(std::uint64_t query, std::function<void(bool)> done);
  void share(const std::optional<std::string>& value);
  // The shared sign-in as this app knows it: a value still to land counts over the file's
  // until another app writes the file.
  std::optional<std::string> sharedNow();
  void notePlant(const std::string& host, const std::string& value);
  // The sign-in `ended` is over: removes every suite cookie carrying it or planted here. The
  // cookies that stay.
  std::vector<Cookie> endSignIn(std::vector<Cookie> cookies, const std::string& ended);

  std::string host_ = kLocalHost;
  CookieStore& store_;
  const Clock& clock_;
  EarlySignIn* early_;
  SharedFile file_;
  ScopedLoop loop_;
  TimerId changes_ = 0;  // the read that a burst of changes is waiting for
  std::optional<std::string> known_;
  // The file's value as last read or shared here: once the file has none, that sign-in ended.
  std::optional<std::string> lastShared_;
  // The (domain, value) of each cookie planted here since the last sign-out.
  std::vector<std::pair<std::string, std::string>> planted_;
  bool ready_ = false;
  // Store answers can arrive after a newer answer, a plant or a host switch has already set
  // known_; each query is numbered, and carries its host, so that such a stale answer is
  // dropped instead of writing an old sign-in back into the shared file or deleting it.
  std::uint64_t issued_ = 0;
  std::uint64_t applied_ = 0;
  // Store completions still queued when this object goes away must not touch it.
  Lifetime life_;
};

}  // namespace qm
