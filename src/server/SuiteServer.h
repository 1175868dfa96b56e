#pragma once
// Finding the suite server: the candidates in their order, each probed, the first to answer
// chosen. Stateless; the remembered-host file is the only state that outlives a call.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/Bundle.h"
#include "platform/Http.h"
#include "server/RememberedHost.h"

namespace qm::SuiteServer {

// "QMHosts" of Info.json split at commas, pieces trimmed of spaces and tabs, empty ones dropped.
std::vector<std::string> builtIn(Bundle& bundle);
// "127.0.0.1", then the remembered host, then the built-in hosts, without duplicates.
std::vector<std::string> candidates(Bundle& bundle, const Pending& pending = {});
// Probes every candidate in parallel and calls done exactly once, on the main thread, with the
// first candidate in order that answered with a status below 500, or none. Reports as soon as
// that answer is certain.
void resolve(Http& http, Bundle& bundle, int port, const std::string& probe,
             std::function<void(std::optional<std::string>)> done, const Pending& pending = {});

}  // namespace qm::SuiteServer
