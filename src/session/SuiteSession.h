#pragma once
// Keeps the suite sign-in cookie "qmsuite" and the suite-session file shared with the sibling
// apps in step.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/Web.h"

namespace qm {

class SuiteSession {
 public:
  static constexpr const char* cookieName = "qmsuite";
  // ~/Library/Application Support/Quillmarsh/suite-session, built on each call.
  static std::string file();

  // Starts watching the store at once.
  explicit SuiteSession(CookieStore& store);

  // The server host whose suite cookie is mirrored.
  std::string host = "127.0.0.1";

  // Plants the shared sign-in into the store; done(true) when the store's cookie was replaced.
  void adopt(std::function<void(bool)> done);
  // The store's observer.
  void cookiesDidChange(CookieStore& store);

 private:
  std::optional<std::string> shared() const;
  void share(const std::optional<std::string>& value) const;

  CookieStore& store_;
  std::optional<std::string> known_;
  bool ready_ = false;
};

}  // namespace qm
