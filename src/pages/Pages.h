#pragma once
// The app's own pages: what the main view shows when it shows no page of a server. Each is one
// HTML text, loaded from a string; what they insert is escaped. Pure.

#include <optional>
#include <string>
#include <vector>

namespace qm {

// Why a server could not be reached.
enum class Unreachable { Refused, NoAnswer, TimedOut, NameNotFound, NoNetwork };

namespace pages {

// Shown from the start until the server's UI loads.
std::string placeholderPage();
// While the servers are looked for after the connect page's buttons.
std::string connectingPage();
// A message of the app's, its line breaks kept.
std::string messagePage(const std::string& text);
// The connect page of `app`: its field holds the remembered host; its message names this
// computer, the remembered host and the built-in hosts as tried, unless `error` says more.
std::string askPage(const std::string& app, const std::optional<std::string>& remembered,
                    const std::vector<std::string>& builtIn,
                    const std::optional<std::string>& error = std::nullopt);
// Shown instead of reloading once the web process has ended three times within a minute.
std::string webProcessPage();
// The page naming the server and what happened, with its "Try now" button.
std::string unreachablePage(const std::string& host, Unreachable why);

}  // namespace pages
}  // namespace qm
