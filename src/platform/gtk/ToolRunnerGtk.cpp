// Tool runs block the main thread by design; the runner itself needs nothing from GTK.
#include "platform/gtk/Factories.h"
#include "service/ProcessRunner.h"

namespace qm::gtk {

std::unique_ptr<ToolRunner> makeToolRunner() {
  return std::make_unique<service::ProcessRunner>();
}

}  // namespace qm::gtk
