#pragma once
// Small-file helpers shared by the subsystems. None of them throws. Those that change the file
// system report whether they did; after a failure errno tells why.

#include <sys/types.h>

#include <cstddef>
#include <optional>
#include <string>

namespace qm::files {

// The whole file, when it exists, is readable, is a regular file and holds at most maxBytes.
[[nodiscard]] std::optional<std::string> read(const std::string& path,
                                              std::size_t maxBytes = 64 * 1024);

// Modes: one with no group or other bits is a private item's and is set exactly; any other is
// narrowed by the user's umask, as any program's new files are.

// Writes content to a temporary file ".<name>.quarn-tmp.XXXXXX" beside `path` (named <name>),
// created with `mode` before anything is written, then renames it over `path` and syncs the
// folder. Readers see the old or the new content, never a part. Temporaries of `path` left by
// an earlier write that died are removed; no other file is.
[[nodiscard]] bool writeAtomic(const std::string& path, const std::string& content,
                               mode_t mode = 0666);

// Creates the folder and its missing parents with `mode`. True when it exists after.
[[nodiscard]] bool makeDirs(const std::string& path, mode_t mode = 0777);

// Appends data with one write to a file opened for appending, creating it when missing.
[[nodiscard]] bool append(const std::string& path, const std::string& data, mode_t mode = 0666);

[[nodiscard]] bool remove(const std::string& path);
[[nodiscard]] bool exists(const std::string& path);  // any kind of file system item

// The folder part of a path ("/a/b" for "/a/b/c").
std::string parent(const std::string& path);

}  // namespace qm::files
