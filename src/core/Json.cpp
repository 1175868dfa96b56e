#include "core/Json.h"

namespace qm {

// The parser recurses while it builds values, so a deep document is refused before parsing.
static bool depthWithin(const std::string& text, int maxDepth) {
  int depth = 0;
  bool inString = false, escaped = false;
  for (char c : text) {
    if (inString) {
      if (escaped)
        escaped = false;
      else if (c == '\\')
        escaped = true;
      else if (c == '"')
        inString = false;
      continue;
    }
    if (c == '"') {
      inString = true;
    } else if (c == '[' || c == '{') {
      if (++depth > maxDepth) return false;
    } else if (c == ']' || c == '}') {
      --depth;
    }
  }
  return true;
}

std::optional<nlohmann::json> parseJson(const std::string& text, int maxDepth) {
  if (!depthWithin(text, maxDepth)) return std::nullopt;
  auto j = nlohmann::json::parse(text, nullptr, /*allow_exceptions=*/false);
  if (j.is_discarded()) return std::nullopt;
  return j;
}

}  // namespace qm
