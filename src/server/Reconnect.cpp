#include "server/Reconnect.h"

#include <gio/gio.h>

#include <algorithm>
#include <cmath>

#include "core/Constants.h"
#include "core/Log.h"
#include "core/Url.h"

namespace qm {

namespace {

constexpr double kLongestRetry = 30;
// A minute of tries before the servers are looked for again, and as long between two looks.
constexpr double kLookAgainAfter = 60;

const char* said(Unreachable why) {
  switch (why) {
    case Unreachable::Refused:
      return "refused";
    case Unreachable::NoAnswer:
      return "no answer";
    case Unreachable::TimedOut:
      return "timed out";
    case Unreachable::NameNotFound:
      return "name not found";
    case Unreachable::NoNetwork:
      return "no network";
  }
  return "";
}

}  // namespace

std::optional<Unreachable> unreachable(const std::string& domain, int code) {
  if (domain == "g-resolver-error-quark" &&
      (code == G_RESOLVER_ERROR_NOT_FOUND || code == G_RESOLVER_ERROR_TEMPORARY_FAILURE))
    return Unreachable::NameNotFound;
  if (domain != "g-io-error-quark") return std::nullopt;
  switch (code) {
    case G_IO_ERROR_CONNECTION_REFUSED:
      return Unreachable::Refused;
    case G_IO_ERROR_TIMED_OUT:
      return Unreachable::TimedOut;
    case G_IO_ERROR_CONNECTION_CLOSED:
    case G_IO_ERROR_PARTIAL_INPUT:
      return Unreachable::NoAnswer;
    case G_IO_ERROR_HOST_NOT_FOUND:
      return Unreachable::NameNotFound;
    case G_IO_ERROR_NETWORK_UNREACHABLE:
    case G_IO_ERROR_HOST_UNREACHABLE:
      return Unreachable::NoNetwork;
    default:
      return std::nullopt;
  }
}

double retryDelay(int failed) {
  return failed < 5 ? std::pow(2.0, std::max(failed, 0)) : kLongestRetry;
}

bool lookAgainDue(double unanswered, std::optional<double> sinceLook) {
  return unanswered >= kLookAgainAfter && (!sinceLook || *sinceLook >= kLookAgainAfter);
}

Reconnect::Reconnect(Http& http, MainLoop& loop, const Clock& clock, NetworkEvents& network,
                     const ServerInUse& server, MainPages& window, ConnectionFlow& flow)
    : http_(http),
      loop_(loop),
      clock_(clock),
      network_(network),
      server_(server),
      window_(window),
      flow_(flow) {}

bool Reconnect::onLoadFailed(const LoadFailure& failure) {
  auto why = unreachable(failure.domain, failure.code);
  // Another port of the same host is some other program, not the server in use.
  if (!why || !sameOrigin(failure.uri, server_.BASE())) return false;
  log("the UI at " + server_.BASE() + " could not be loaded (" + said(*why) +
      "): showing that the server cannot be reached");
  host_ = server_.host(), url_ = failure.uri, page_ = pages::unreachablePage(host_, *why);
  if (!watching()) {
    double now = clock_.monotonic();
    // Failing again right after it answered, it goes on where the tries had got to, one step
    // further: a page that fails while the probe answers is not loaded again every second.
    if (now - reloaded_ >= kLookAgainAfter)
      failed_ = 0, since_ = now, looked_.reset();
    else
      ++failed_;
    watch_ = network_.watch(life_.guard([this](const std::string& what) {
      if (!watching()) return;
      failed_ = 0;  // a new network: short intervals again
      probe(what);
    }));
    schedule();
  }
  // Shown once the engine is done with the failure it reports.
  loop_.post([this, page = page_] {
    if (watching() && page == page_) window_.loadHtml(page);
  });
  return true;
}

void Reconnect::tryNow() {
  if (watching()) probe("try now");
}

void Reconnect::schedule() {
  double delay = retryDelay(failed_);
  // The servers are looked for again on time, whatever the interval has grown to.
  double look = (looked_ ? *looked_ : since_) + kLookAgainAfter - clock_.monotonic();
  if (look > 0) delay = std::min(delay, look);
  log("probing " + host_ + " again in " + std::to_string(static_cast<int>(std::ceil(delay))) +
      " s");
  timer_ = loop_.after(delay, [this] {
    timer_.reset();
    probe("time to try again");
  });
}

bool Reconnect::pageShown() {
  if (window_.showsPage(page_)) return true;
  log("the page saying that " + host_ + " cannot be reached was left: no more probes");
  stop();
  return false;
}

void Reconnect::probe(const std::string& why) {
  if (probing_ || !pageShown()) return;
  if (timer_) loop_.cancel(*timer_), timer_.reset();
  log(why + ": probing " + host_);
  HttpRequest request;
  request.url = server_.BASE() + kProbePath;
  request.timeoutSeconds = host_ == kLocalHost ? 1.0 : 3.0;
  request.wantBody = false;
  probing_ = http_.get(request, [this](HttpResponse r) {
    probing_.reset();
    answered(r.received && r.status < 500);
  });
}

void Reconnect::answered(bool up) {
  if (!pageShown()) return;
  if (up) {
    log(host_ + " answers again: loading the page again");
    return reload();
  }
  ++failed_;
  double now = clock_.monotonic();
  if (lookAgainDue(now - since_, looked_ ? std::optional(now - *looked_) : std::nullopt))
    lookAgain();
  schedule();
}

void Reconnect::reload() {
  std::string host = host_, url = url_;
  stop();
  reloaded_ = clock_.monotonic();
  window_.loadUi(host, url, {});
}

void Reconnect::lookAgain() {
  looked_ = clock_.monotonic();
  log(host_ + " has not answered for a minute: looking for the server again");
  flow_.lookAgain(life_.guard([this](const std::optional<std::string>& found) {
    if (!watching() || !pageShown()) return;
    if (!found) return log("no server answered: trying " + host_ + " on");
    if (equalsIgnoringCase(*found, host_)) {
      log(host_ + " answers again: loading the page again");
      return reload();
    }
    log("the server at " + *found + " answers: using it instead of " + host_);
    stop();
    flow_.use(*found);
  }));
}

void Reconnect::stop() {
  watch_.reset();
  if (timer_) loop_.cancel(*timer_), timer_.reset();
  if (probing_) http_.cancel(*probing_), probing_.reset();
}

}  // namespace qm
