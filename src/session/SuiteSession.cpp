// Placeholder until sign-in sharing lands.
#include "session/SuiteSession.h"

#include "app/Paths.h"

namespace qm {

std::string SuiteSession::file() {
  return paths::suiteSupportDir() + "/suite-session";
}
SuiteSession::SuiteSession(CookieStore& store) : store_(store) {}
void SuiteSession::adopt(std::function<void(bool)> done) {
  ready_ = true;
  done(false);
}
void SuiteSession::cookiesDidChange(CookieStore&) {}
std::optional<std::string> SuiteSession::shared() const {
  return std::nullopt;
}
void SuiteSession::share(const std::optional<std::string>&) const {}

}  // namespace qm
