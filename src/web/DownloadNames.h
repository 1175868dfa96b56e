#pragma once
// Names for downloaded files: a plain file name made from the engine's suggestion, and the first
// free name in the Downloads folder, claimed so that no existing file is ever overwritten.

#include <optional>
#include <string>

namespace qm::web {

// The suggestion reduced to a plain file name: '/' becomes '_', control characters and invalid
// UTF-8 are dropped, at most 255 bytes; empty or all-dots gives "download". Ordinary names come
// back unchanged.
std::string safeFileName(const std::string& suggested);

// The n-th choice for a name: n == 1 is the name itself, then "report 2.pdf", "archive.tar 3.gz",
// "notes 2". The extension is what follows the last dot (a leading dot does not start one).
std::string numberedName(const std::string& name, int n);

struct ClaimResult {
  std::optional<std::string> path;  // the created, empty file
  std::string error;                // why nothing could be claimed
};

// Creates the first free numbered name of `name` in `dir` exclusively (never following a link),
// so a file that exists or appears meanwhile is never taken.
ClaimResult claimFile(const std::string& dir, const std::string& name);

}  // namespace qm::web
