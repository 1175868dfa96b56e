#pragma once
// Fixed names and numbers of the app and its suite, each written once.

#include <array>
#include <optional>
#include <string_view>

namespace qm {

// The port every suite server serves on.
inline constexpr int PORT = 8795;
// The app's own name, id and service label.
inline constexpr const char* kAppName = "Quillmarsh Quarn";
inline constexpr const char* kAppId = "app.quillmarsh.quarn";
inline constexpr const char* AGENT_LABEL = kAppId;
// This computer, compared by exact string equality.
inline constexpr const char* kLocalHost = "127.0.0.1";
// What is fetched to learn whether a suite server answers.
inline constexpr const char* kProbePath = "/static/icon.png";

// The ports the suite's sibling apps serve on: the management console (HQ) and the studio.
inline constexpr int HQ_PORT = 8787;
inline constexpr int STUDIO_PORT = 8790;

// The suite's sibling apps by the port they serve on, as desktop entry ids.
struct SuiteApp {
  int port;
  std::string_view desktopId;
};
inline constexpr std::array<SuiteApp, 2> SUITE_APPS = {{
    {HQ_PORT, "app.quillmarsh.console.desktop"},
    {STUDIO_PORT, "app.quillmarsh.studio.desktop"},
}};

inline constexpr std::optional<std::string_view> suiteAppOnPort(int port) {
  for (const auto& app : SUITE_APPS)
    if (app.port == port) return app.desktopId;
  return std::nullopt;
}

}  // namespace qm
