#include "pages/Pages.h"

#include <cstddef>

#include "core/Constants.h"
#include "core/Markup.h"

namespace qm::pages {

namespace {

std::string quoted(const std::string& s) {
  return "\"" + s + "\"";
}

}  // namespace

std::string placeholderPage() {
  return "<body style='font:15px -apple-system;background:Canvas;color:GrayText;display:flex;"
         "align-items:center;justify-content:center;height:90vh'>Quillmarsh Quarn<br><span "
         "style='font-size:12px'>&nbsp;Starting\u2026</span></body>";
}

std::string connectingPage() {
  return "<body style='font:15px -apple-system;color:#525252;display:flex;align-items:center;"
         "justify-content:center;height:90vh'>Connecting\u2026</body>";
}

std::string messagePage(const std::string& text) {
  return "<body style='font:15px -apple-system;background:Canvas;color:CanvasText;padding:40px;"
         "white-space:pre-wrap'>" +
         escapeMarkup(text) + "</body>";
}

std::string askPage(const std::string& app, const std::optional<std::string>& remembered,
                    const std::vector<std::string>& builtIn,
                    const std::optional<std::string>& error) {
  std::string message;
  if (error) {
    message = escapeMarkup(*error, true);
  } else {
    std::string tried = "this Mac";
    if (remembered) tried += ", " + escapeMarkup(*remembered, true);
    for (auto& h : builtIn) tried += ", " + escapeMarkup(h, true);
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

std::string webProcessPage() {
  return "<body style='font:15px -apple-system,sans-serif;background:Canvas;color:CanvasText;"
         "display:flex;align-items:center;justify-content:center;height:90vh'><div "
         "style='max-width:440px;line-height:1.5'><b>The page stopped working</b><p>The "
         "part of Quillmarsh Quarn that shows the page ended unexpectedly three times within a "
         "minute, for instance for lack of memory.</p><button onclick=\"window.webkit."
         "messageHandlers.qmapp.postMessage('reload')\" style='font:inherit;padding:8px "
         "18px'>Reload</button></div></body>";
}

std::string unreachablePage(const std::string& host, Unreachable why) {
  std::string name = "<b>" + escapeMarkup(host) + "</b>";
  std::string server =
      host == kLocalHost ? "The server on this computer (" + name + ")" : "The server at " + name;
  std::string what;
  switch (why) {
    case Unreachable::Refused:
      what = server + " refused the connection: it may be restarting, or it is not running.";
      break;
    case Unreachable::NoAnswer:
      what = server + " closed the connection without answering.";
      break;
    case Unreachable::TimedOut:
      what = server + " did not answer within a minute: the request timed out.";
      break;
    case Unreachable::NameNotFound:
      what = "The name " + name +
             " was not found: this computer may be on another network, or the VPN may be off.";
      break;
    case Unreachable::NoNetwork:
      what = "There is no network to reach " + name + ": this computer seems to be offline.";
      break;
  }
  return "<body style='font:15px -apple-system,sans-serif;background:Canvas;color:CanvasText;"
         "display:flex;align-items:center;justify-content:center;height:90vh'><div "
         "style='max-width:440px;line-height:1.5'><b>Can't reach the server</b><p>" +
         what +
         "</p><p>Quillmarsh Quarn keeps trying, and shows the page again as soon as the server "
         "answers.</p><button onclick=\"window.webkit.messageHandlers.qmapp.postMessage('retry')\" "
         "style='font:inherit;padding:8px 18px'>Try now</button></div></body>";
}

}  // namespace qm::pages
