// Placeholder until local service management lands.
#include "platform/gtk/Factories.h"

namespace qm::gtk {

namespace {
class NullTools : public ToolRunner {
 public:
  int run(const std::string&, const std::vector<std::string>&, double) override { return -1; }
};
}  // namespace

std::unique_ptr<ToolRunner> makeToolRunner() {
  return std::make_unique<NullTools>();
}

}  // namespace qm::gtk
