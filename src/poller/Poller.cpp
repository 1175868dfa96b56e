#include "poller/Poller.h"

#include "core/Log.h"
#include "core/Url.h"
#include "poller/Overview.h"
#include "session/SuiteSession.h"

namespace qm {

namespace {
constexpr const char* kNotificationTitle = "Quillmarsh security";
constexpr double kPollSeconds = 60.0;
}  // namespace

StatusPoller::StatusPoller(Http& http, MainLoop& loop, Notifier& notifier,
                           const ServerInUse& server, CookieSource& window)
    : notifier_(notifier), server_(server), window_(window), http_(http), loop_(loop) {}

void StatusPoller::start() {
  loop_.every(kPollSeconds, [this] { poll(); });
}

void StatusPoller::poll() {
  CookieStore* cookies = window_.cookies();
  if (!cookies) return;
  // Address and host are taken together now: the cookie must belong to the server the request
  // goes to, even if another server is put in use while the store answers.
  std::string base = server_.BASE(), url = base + "/api/overview";
  std::optional<std::string> host = urlHost(base);
  cookies->getAll(life_.guard([this, base, url, host, seq = ++polls_](std::vector<Cookie> all) {
    auto signIn = host ? SuiteSession::current(all, *host) : std::nullopt;
    if (!signIn) {
      if (!current(seq, base)) return;
      notifier_.setBadge(std::nullopt);
      log("poll dropped: no sign-in for the server in use");
      return;
    }
    HttpRequest request;
    request.url = url;
    request.timeoutSeconds = 60;
    request.headers = {{"Cookie", std::string(SuiteSession::cookieName) + "=" + *signIn}};
    request.maxBodyBytes = overview::kMaxBytes;
    http_.get(request, [this, base, seq](HttpResponse response) {
      if (!response.received || response.status != 200 || !response.body)
        return log("poll dropped: no overview (HTTP status " + std::to_string(response.status) +
                   ")");
      // A large overview would freeze the window while it is read: only the bad checks come back.
      using Bad = std::optional<std::vector<overview::BadCheck>>;
      inBackground<Bad>(
          loop_, [body = std::move(*response.body)] { return overview::badChecks(body); },
          [this, base, seq](Bad bad) {
            if (!bad) return log("poll dropped: the overview is not understood");
            // A slower answer of an earlier poll, or of a server switched away from, would
            // put back an old count and notify of another server's checks.
            if (!current(seq, base))
              return log("poll dropped: a newer poll or another server came first");
            apply(*bad);
          });
    });
  }));
}

bool StatusPoller::current(std::uint64_t seq, const std::string& base) {
  if (seq <= applied_ || base != server_.BASE()) return false;
  applied_ = seq;
  return true;
}

void StatusPoller::apply(const std::vector<overview::BadCheck>& bad) {
  auto n = static_cast<std::int64_t>(bad.size());
  notifier_.setBadge(n > 0 ? std::optional<std::int64_t>(n) : std::nullopt);
  if (lastBad_ >= 0 && n > lastBad_) notify(kNotificationTitle, overview::describe(bad.front()));
  lastBad_ = n;
}

void StatusPoller::notify(const std::string& title, const std::string& body) {
  notifier_.post(title, body);
}

}  // namespace qm
