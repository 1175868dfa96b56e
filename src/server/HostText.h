#pragma once
// Host text: what a user typed made into a host, and whether a remembered or built-in host can
// be probed. Pure.

#include <optional>
#include <string>

namespace qm::SuiteServer {

// The host in what a user typed (a scheme, a path or a port around it, white space and capitals
// allowed), when it is one the engine keeps as written; none otherwise.
std::optional<std::string> clean(const std::string& input);
// The probe's URL for a host from the file or the bundle, used as it stands; none when the host
// could send the probe anywhere but that host and port.
std::optional<std::string> probeUrl(const std::string& host, int port, const std::string& probe);
// Whether a remembered or built-in host can be probed at all; unusable ones are skipped.
bool usable(const std::string& host);

}  // namespace qm::SuiteServer
