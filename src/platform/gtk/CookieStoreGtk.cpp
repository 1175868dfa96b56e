// Placeholder until sign-in sharing lands.
#include "platform/gtk/Factories.h"

namespace qm::gtk {

namespace {
class NullCookies : public CookieStore {
 public:
  void getAll(std::function<void(std::vector<Cookie>)> done) override { done({}); }
  void set(const Cookie&, std::function<void(bool)> done) override { done(false); }
  void setObserver(std::function<void()>) override {}
};
}  // namespace

std::unique_ptr<CookieStore> makeCookieStore(WebKitNetworkSession*) {
  return std::make_unique<NullCookies>();
}

}  // namespace qm::gtk
