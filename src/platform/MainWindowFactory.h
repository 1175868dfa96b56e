#pragma once
// Where the main window comes from.

#include <memory>

#include "platform/MainViewEvents.h"
#include "platform/MainWindow.h"

namespace qm {

class MainWindowFactory {
 public:
  virtual ~MainWindowFactory() = default;
  // Creates the main window with its web view; the window is not shown yet. The main view's
  // messages, policy decisions, downloads and script panels go to `events` until the window
  // is destroyed.
  virtual std::unique_ptr<MainWindow> createMainWindow(MainViewEvents events) = 0;
};

}  // namespace qm
