#pragma once

#include <optional>
#include <string>

namespace qm {

// A string posted by a page to a script channel; absent when the page posted something else.
using ScriptMessage = std::optional<std::string>;

}  // namespace qm
