#include "server/SuiteServer.h"

#include <cstddef>
#include <memory>
#include <utility>

#include "core/Constants.h"
#include "core/Markup.h"
#include "core/Text.h"
#include "server/HostText.h"

namespace qm::SuiteServer {

namespace {

std::string quoted(const std::string& s) {
  return "\"" + s + "\"";
}

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

std::string askPage(Bundle& bundle, const std::string& app, const std::optional<std::string>& error,
                    const Pending& pending) {
  auto remembered = SuiteServer::remembered(pending);
  std::string message;
  if (error) {
    message = escapeMarkup(*error, true);
  } else {
    std::string tried = "this Mac";
    if (remembered) tried += ", " + escapeMarkup(*remembered, true);
    for (auto& h : builtIn(bundle)) tried += ", " + escapeMarkup(h, true);
    message = "Couldn't find the Quillmarsh Mac automatically (tried " + tried +
              "). Make sure it's awake, then enter its name or address. On the same Wi-Fi that's "
              "its name ending in .local; anywhere else, its Tailscale address.";
  }
  const std::string pageStyle =
      "font:15px -apple-system,'IBM Plex Sans',sans-serif;background:#F4F4F4;color:#161616;"
      "display:flex;align-items:center;justify-content:center;height:92vh;margin:0";
  const std::string cardStyle =
      "background:#fff;padding:32px;width:440px;display:flex;flex-direction:column;gap:12px";
  const std::string fieldStyle =
      "font:inherit;height:40px;border:0;border-bottom:1px solid "
      "#8D8D8D;background:#F4F4F4;padding:0 12px";
  const std::string connectScript =
      "window.webkit.messageHandlers.qmserver.postMessage(document.getElementById('a').value)";
  const std::string primaryStyle =
      "font:inherit;height:40px;padding:0 18px;border:0;background:#0F62FE;color:#fff;cursor:"
      "pointer";
  const std::string retryScript = "window.webkit.messageHandlers.qmserver.postMessage('')";
  const std::string secondaryStyle =
      "font:inherit;height:40px;padding:0 14px;border:0;background:transparent;color:#0F62FE;"
      "cursor:pointer";

  std::vector<std::string> lines{
      "<body style=" + quoted(pageStyle) + ">",
      "<div style=" + quoted(cardStyle) + ">",
      "<b style=" + quoted("font-size:18px") + ">Connect " + escapeMarkup(app, true) +
          " to the Quillmarsh Mac</b>",
      "<span style=" + quoted("color:#525252;line-height:1.5") + ">" + message + "</span>",
      "<input id=" + quoted("a") + " placeholder=" + quoted("quillmarsh-mac.local") +
          " value=" + quoted(remembered ? escapeMarkup(*remembered, true) : "") +
          " style=" + quoted(fieldStyle) + ">",
      "<div style=" + quoted("display:flex;gap:8px") + "><button onclick=" + quoted(connectScript) +
          " style=" + quoted(primaryStyle) + ">Connect</button>",
      "<button onclick=" + quoted(retryScript) + " style=" + quoted(secondaryStyle) +
          ">Try again</button></div>",
      "</div></body>",
  };
  std::string page;
  for (std::size_t i = 0; i < lines.size(); ++i) page += (i ? "\n" : "") + lines[i];
  return page;
}

}  // namespace qm::SuiteServer
