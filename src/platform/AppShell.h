#pragma once
// The application as a whole: whether it is in front, and quitting it.

namespace qm {

class AppShell {
 public:
  virtual ~AppShell() = default;
  // Whether one of the app's windows is the active one (in front, with the focus).
  virtual bool appInFront() = 0;
  virtual void quit() = 0;
};

}  // namespace qm
