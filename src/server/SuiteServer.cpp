#include "server/SuiteServer.h"

#include <glib.h>

#include <cstddef>
#include <memory>
#include <utility>

#include "core/Constants.h"
#include "core/Files.h"
#include "core/Markup.h"
#include "core/Paths.h"
#include "core/Text.h"
#include "core/Url.h"

namespace qm::SuiteServer {

namespace {

bool startsWith(const std::string& s, const std::string& prefix) {
  return s.compare(0, prefix.size(), prefix) == 0;
}

bool hostChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '-';
}

// "[fd7a::1]": an IPv6 address in the brackets a URL writes it in, without a zone (which a URL
// would have to encode).
bool bracketedIpv6(const std::string& host) {
  if (host.size() < 4 || host.front() != '[' || host.back() != ']') return false;
  std::string inner = host.substr(1, host.size() - 2);
  return inner.find_first_not_of("0123456789abcdefABCDEF:.") == std::string::npos &&
         inner.find(':') != std::string::npos && g_hostname_is_ip_address(inner.c_str());
}

// A leading dot, two dots in a row or only dots: as a cookie domain such a host reaches every
// host of a zone. One final dot only marks the name as complete.
bool emptyLabel(const std::string& host) {
  return host.starts_with('.') || host.find("..") != std::string::npos;
}

// Hosts from the file or the bundle are used as they stand, but only when they can be nothing
// but a host inside a URL: no user part, path, port or encoding that would send the probe
// somewhere else.
std::optional<std::string> probeUrl(const std::string& host, int port, const std::string& probe) {
  if (host.empty() || host.size() > 253) return std::nullopt;
  bool v6 = bracketedIpv6(host);
  if (!v6 && emptyLabel(host)) return std::nullopt;
  for (char c : host) {
    bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
              c == '.' || c == '-' || c == '_';
    if (!ok && !v6) return std::nullopt;
  }
  std::string url = base(host, port) + probe;
  auto parts = parseUrl(url);
  if (!parts || parts->scheme != "http" || !parts->host || parts->port != port) return std::nullopt;
  // A URL's host carries an IPv6 address without its brackets.
  if (!equalsIgnoringCase(*parts->host, v6 ? host.substr(1, host.size() - 2) : host))
    return std::nullopt;
  return url;
}

constexpr std::size_t kMaxHost = 253, kMaxLabel = 63;

bool allDigits(const std::string& s) {
  return !s.empty() && s.find_first_not_of("0123456789") == std::string::npos;
}

// A host whose last label is a number is read by the engine as an IPv4 address in any of its
// old shorthands (octal, hexadecimal, fewer parts) and rewritten, so only the plain dotted-quad
// form names the same host everywhere.
bool plainHost(const std::string& host) {
  if (host.size() > kMaxHost) return false;
  std::vector<std::string> labels;
  for (std::size_t start = 0;;) {
    std::size_t dot = host.find('.', start);
    labels.push_back(host.substr(start, dot - start));
    if (labels.back().size() > kMaxLabel) return false;
    if (dot == std::string::npos) break;
    start = dot + 1;
  }
  std::string last =
      labels.back().empty() && labels.size() > 1 ? labels[labels.size() - 2] : labels.back();
  bool numeric = allDigits(last) || last.starts_with("0x");
  if (!numeric) return true;
  if (labels.size() != 4) return false;
  for (auto& label : labels)
    if (!allDigits(label) || label.size() > 3 || (label.size() > 1 && label[0] == '0') ||
        std::stoi(label) > 255)
      return false;
  return true;
}

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

std::string file() {
  return paths::suiteSupportDir() + "/server-host";
}

std::optional<std::string> saved() {
  auto text = files::read(file());
  if (!text || !text::validUtf8(*text)) return std::nullopt;
  std::string host = text::trim(*text, text::anySpace);
  if (host.empty()) return std::nullopt;
  // A control character (a NUL above all) is no part of a host, and would cut short the C
  // strings it is handed on in.
  for (std::size_t i = 0; i < host.size();) {
    unsigned cp = 0;
    i += text::decodeUtf8(host, i, cp);
    if (cp < 0x20 || (cp >= 0x7F && cp <= 0x9F)) return std::nullopt;
  }
  return host;
}

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

std::optional<std::string> clean(const std::string& input) {
  std::string s = text::trim(input, text::anySpace);
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  if (startsWith(s, "https://")) s.erase(0, 8);
  if (startsWith(s, "http://")) s.erase(0, 7);
  std::size_t first = s.find_first_not_of('/');
  s = first == std::string::npos ? std::string() : s.substr(first, s.find('/', first) - first);
  if (s.find(':') != std::string::npos && s.find(']') == std::string::npos) s.erase(s.rfind(':'));
  if (s.empty()) return std::nullopt;
  for (char c : s)
    if (!hostChar(c)) return std::nullopt;
  if (emptyLabel(s) || !plainHost(s)) return std::nullopt;
  if (s.ends_with('.')) s.pop_back();
  return s;
}

std::string base(const std::string& host, int port) {
  return baseUrl(host, port);
}

bool usable(const std::string& host) {
  return probeUrl(host, PORT, kProbePath).has_value();
}

std::vector<std::string> candidates(Bundle& bundle, const Pending& pending) {
  std::vector<std::string> list{kLocalHost};
  std::vector<std::string> extra;
  if (auto remembered = pending ? *pending : saved()) extra.push_back(*remembered);
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
  auto remembered = pending ? *pending : saved();
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
