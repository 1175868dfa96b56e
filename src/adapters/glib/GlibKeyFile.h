#pragma once
// GLib key files, read bounded and written atomically.

#include <glib.h>

#include <functional>
#include <string>

#include "core/Handle.h"

namespace qm {

// The key file at `path`, read bounded (a regular file of at most 1 MiB); empty when there is
// none or it cannot be read or does not parse.
Owned<GKeyFile> readKeyFile(const std::string& path);
// Changes keys of the key file at `path` and writes it back atomically. A file that is there
// but cannot be read or does not parse is left as it is and false returned: writing would
// drop what else it holds. A change not saved is logged with why, followed by `instead`.
bool updateKeyFile(const std::string& path, const std::function<void(GKeyFile*)>& change,
                   const std::string& instead = "the change is not saved");

}  // namespace qm
