#pragma once
// The main window and its web view.

#include <memory>
#include <string>

#include "platform/IntroEvents.h"
#include "platform/IntroView.h"
#include "platform/WebView.h"

namespace qm {

class MainWindow {
 public:
  virtual ~MainWindow() = default;
  virtual WebView& web() = 0;
  // Brings the window to the front, focused, and activates the application.
  virtual void present() = 0;
  virtual void minimize() = 0;
  // Lays a new transparent intro view over the main web view and loads the page at `htmlPath`
  // with read access to its folder. Its "qm" messages and its load finishing go to `events`;
  // its navigations and responses to the main view's content events.
  virtual std::unique_ptr<IntroView> createIntroView(const std::string& htmlPath,
                                                     IntroEvents& events) = 0;
};

}  // namespace qm
