#pragma once
// Names for downloaded files: a plain file name made from the engine's suggestion, and the first
// free name in the Downloads folder, claimed so that no existing file is ever overwritten.

#include <cstddef>
#include <optional>
#include <string>

namespace qm::web {

// The most bytes a file name may hold on the usual file systems.
constexpr std::size_t kNameMax = 255;

// The suggestion reduced to a plain, visible file name: '/' becomes '_'; control and invisible
// format characters (direction overrides, zero-width characters, byte-order marks) and invalid
// UTF-8 are dropped; the rest is normalised to NFC; dots and white space at either end go, so a
// name never makes a hidden file; at most kNameMax bytes, the extension kept. Nothing left gives
// "download". Ordinary names come back unchanged.
std::string safeFileName(const std::string& suggested);

// The n-th choice for a name, at most maxBytes long: n == 1 is the name itself, then
// "report 2.pdf", "archive.tar 3.gz", "notes 2". The extension is what follows the last dot (a
// leading dot does not start one); a name too long keeps its extension and loses the end of its
// stem, never part of a character.
std::string numberedName(const std::string& name, int n, std::size_t maxBytes = kNameMax);

struct ClaimResult {
  std::optional<std::string> path;  // the created, empty file
  std::string error;                // why nothing could be claimed
};

// Creates the first free numbered name of `name` in `dir` exclusively (never following a link),
// so a file that exists or appears meanwhile is never taken. A name the file system finds too
// long is shortened until it fits.
ClaimResult claimFile(const std::string& dir, const std::string& name);

}  // namespace qm::web
