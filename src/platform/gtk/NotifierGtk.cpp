// Placeholder until the poller lands.
#include "platform/gtk/Factories.h"

namespace qm::gtk {

namespace {
class NullNotifier : public Notifier {
 public:
  void requestPermission() override {}
  void post(const std::string&, const std::string&, const std::string&) override {}
  void setBadge(std::optional<std::int64_t>) override {}
};
}  // namespace

std::unique_ptr<Notifier> makeNotifier() {
  return std::make_unique<NullNotifier>();
}

}  // namespace qm::gtk
