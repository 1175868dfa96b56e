#include "poller/Overview.h"

#include "app/Json.h"

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
  return check.title + ": " + check.detail;
}

}  // namespace qm::overview
