#pragma once

#include <functional>
#include <string>

namespace qm {

// The transparent intro view lying on top of the main web view.
class IntroView {
 public:
  virtual ~IntroView() = default;
  // Runs a script in the page; result and errors are ignored.
  virtual void evaluate(const std::string& script) = 0;
  // Animates the view's opacity to 0 over `seconds`, then calls done.
  virtual void fadeOut(double seconds, std::function<void()> done) = 0;
  // Unregisters the "qm" channel and takes the view off the window. Nothing may be called
  // afterwards except the destructor.
  virtual void remove() = 0;
};

}  // namespace qm
