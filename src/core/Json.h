#pragma once
// JSON parsing for untrusted text: bounded nesting, never throws.

#include <nlohmann/json.hpp>

#include <optional>
#include <string>

namespace qm {

// None when the text is not JSON or nests deeper than maxDepth arrays and objects.
std::optional<nlohmann::json> parseJson(const std::string& text, int maxDepth = 64);

}  // namespace qm
