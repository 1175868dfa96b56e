#include "poller/Overview.h"

#include "core/Json.h"

namespace qm::overview {

namespace {

std::optional<std::string> stringMember(const nlohmann::json& object, const char* key) {
  auto it = object.find(key);
  if (it == object.end() || !it->is_string()) return std::nullopt;
  return it->get<std::string>();
}

}  // namespace

std::optional<std::vector<BadCheck>> badChecks(const std::string& body) {
  if (body.size() > kMaxBytes) return std::nullopt;
  auto doc = parseJson(body, kMaxDepth);
  if (!doc || !doc->is_object()) return std::nullopt;
  auto checks = doc->find("checks");
  if (checks == doc->end() || !checks->is_array()) return std::nullopt;
  std::vector<BadCheck> bad;
  for (const auto& check : *checks) {
    // One element that is not an object makes the whole list unreadable.
    if (!check.is_object()) return std::nullopt;
    if (stringMember(check, "status") != "bad") continue;
    bad.push_back({stringMember(check, "title").value_or("A check"),
                   stringMember(check, "detail").value_or("")});
  }
  return bad;
}

std::string describe(const BadCheck& check) {
  std::string text = check.title + ": " + check.detail;
  // Characters counted by their first bytes; the cut keeps room for the ellipsis.
  std::size_t characters = 0, cut = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;
    if (++characters == kMaxDescribed) cut = i;
  }
  if (characters <= kMaxDescribed) return text;
  return text.substr(0, cut) + "\u2026";
}

}  // namespace qm::overview
