#pragma once
// The web views' cookies.

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace qm {

enum class SameSite { None, Lax, Strict };

struct Cookie {
  std::string name;
  std::string value;
  std::string domain;  // host-only cookies have no leading dot
  std::string path = "/";
  std::optional<double> expires;  // seconds since the epoch; none for a session cookie
  bool httpOnly = false;
  bool secure = false;
  SameSite sameSite = SameSite::None;
};

class CookieStore {
 public:
  virtual ~CookieStore() = default;
  // All cookies, in the store's order, delivered on the main thread.
  virtual void getAll(std::function<void(std::vector<Cookie>)> done) = 0;
  // Adds or replaces a cookie; done(false) when the store refused it.
  virtual void set(const Cookie& cookie, std::function<void(bool)> done) = 0;
  // Removes the stored cookie with the name, domain, path and value of `cookie`; done(false)
  // when the store failed to.
  virtual void remove(const Cookie& cookie, std::function<void(bool)> done) = 0;
  // Called on the main thread whenever the store's cookies change.
  virtual void setObserver(std::function<void()> onChange) = 0;
};

}  // namespace qm
