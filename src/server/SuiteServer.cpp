#include "server/SuiteServer.h"

#include <cstddef>
#include <memory>
#include <utility>

#include "core/Constants.h"
#include "core/Text.h"
#include "server/HostText.h"

namespace qm::SuiteServer {

namespace {

// One resolve call: its candidates, their answers so far and the probes still running.
struct Call {
  Http& http;
  std::vector<std::string> hosts;
  std::vector<std::optional<bool>> answered;  // none while the probe runs
  std::vector<std::optional<HttpId>> ids;
  std::function<void(std::optional<std::string>)> done;
  bool finished = false;

  explicit Call(Http& h) : http(h) {}

  // The first candidate that answered wins once every candidate before it has answered no.
  void decideIfCertain() {
    if (finished) return;
    std::optional<std::string> chosen;
    for (std::size_t i = 0; i < hosts.size(); ++i) {
      if (!answered[i]) return;
      if (*answered[i]) {
        chosen = hosts[i];
        break;
      }
    }
    finished = true;
    for (std::size_t i = 0; i < hosts.size(); ++i)
      if (!answered[i] && ids[i]) http.cancel(*ids[i]);
    auto report = std::move(done);
    done = nullptr;
    if (report) report(chosen);
  }
};

}  // namespace

std::vector<std::string> builtIn(Bundle& bundle) {
  std::string value = bundle.infoString("QMHosts").value_or("");
  std::vector<std::string> hosts;
  std::size_t start = 0;
  while (start <= value.size()) {
    std::size_t comma = value.find(',', start);
    if (comma == std::string::npos) comma = value.size();
    std::string piece = text::trim(value.substr(start, comma - start), text::spaceInLine);
    if (!piece.empty()) hosts.push_back(std::move(piece));
    start = comma + 1;
  }
  return hosts;
}

std::vector<std::string> candidates(Bundle& bundle, const Pending& pending) {
  std::vector<std::string> list{kLocalHost};
  std::vector<std::string> extra;
  if (auto host = remembered(pending)) extra.push_back(*host);
  for (auto& h : builtIn(bundle)) extra.push_back(h);
  for (auto& h : extra) {
    bool known = false;
    for (auto& c : list) known = known || c == h;
    if (!known) list.push_back(h);
  }
  return list;
}

void resolve(Http& http, Bundle& bundle, int port, const std::string& probe,
             std::function<void(std::optional<std::string>)> done, const Pending& pending) {
  auto call = std::make_shared<Call>(http);
  call->hosts = candidates(bundle, pending);
  call->answered.assign(call->hosts.size(), std::nullopt);
  call->ids.assign(call->hosts.size(), std::nullopt);
  call->done = std::move(done);

  bool anySent = false;
  for (std::size_t i = 0; i < call->hosts.size(); ++i) {
    const std::string& host = call->hosts[i];
    auto url = probeUrl(host, port, probe);
    if (!url) {
      call->answered[i] = false;  // never sent
      continue;
    }
    HttpRequest request;
    request.url = *url;
    request.timeoutSeconds = host == kLocalHost ? 1.0 : 3.0;
    request.wantBody = false;
    // The Http port never completes inside get(), so the table is complete before any answer.
    call->ids[i] = http.get(request, [call, i](HttpResponse r) {
      if (call->finished) return;
      call->answered[i] = r.received && r.status < 500;
      call->decideIfCertain();
    });
    anySent = true;
  }
  if (!anySent) {
    // Only an unusable port or probe path gets here. An empty URL never parses, so the port
    // reports the failure later, on the main thread, without touching the network.
    HttpRequest nothing;
    nothing.url.clear();
    nothing.timeoutSeconds = 1.0;
    nothing.wantBody = false;
    http.get(nothing, [call](HttpResponse) { call->decideIfCertain(); });
  }
}

}  // namespace qm::SuiteServer
