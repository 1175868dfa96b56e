#pragma once
// Escaping text for generated HTML pages and XML files.

#include <string>
#include <string_view>

namespace qm {

// Replaces &, < and > (and " when `quotes`), so ordinary text, apostrophes included, passes
// byte for byte.
std::string escapeMarkup(std::string_view text, bool quotes = false);

}  // namespace qm
