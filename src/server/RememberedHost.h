#pragma once
// The remembered host: the last remote host used or typed, in a file the whole suite reads.

#include <optional>
#include <string>

namespace qm::SuiteServer {

// ~/Library/Application Support/Quillmarsh/server-host, built on each call.
std::string file();
// The host in file(), trimmed of white space and line ends; none when the file is missing,
// empty or not UTF-8, or holds a control character. Remembering goes through the connection
// flow's SharedFile on file(), which tries a failed write again.
std::optional<std::string> saved();
// A value still to land in file(), when one is: it counts as the remembered host over saved().
using Pending = std::optional<std::optional<std::string>>;
// The remembered host, counting the value still to land.
std::optional<std::string> remembered(const Pending& pending);

}  // namespace qm::SuiteServer
