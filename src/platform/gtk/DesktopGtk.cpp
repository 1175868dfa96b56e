// Placeholder until web content handling lands.
#include "platform/gtk/Factories.h"

namespace qm::gtk {

namespace {
class NullDesktop : public Desktop {
 public:
  void openUri(const std::string&) override {}
  bool appInstalled(const std::string&) override { return false; }
  void launchApp(const std::string&) override {}
  void showFileSelected(const std::string&) override {}
  std::optional<std::string> downloadsDir() override { return std::nullopt; }
};
}  // namespace

std::unique_ptr<Desktop> makeDesktop() {
  return std::make_unique<NullDesktop>();
}

}  // namespace qm::gtk
