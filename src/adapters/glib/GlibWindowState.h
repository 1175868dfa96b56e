#pragma once
// The main window's size and maximized state, kept under "QuillmarshQuarnMain" in a key file
// of the app's state folder.

#include <string>

#include "window/WindowSize.h"

namespace qm {

struct WindowState {
  WindowSize size;
  bool maximized = false;
};

class GlibWindowState {
 public:
  static std::string path();
  // What the file keeps; `defaults` for what it does not, and for a size below `minimum` or
  // beyond any screen.
  static WindowState read(WindowState defaults, WindowSize minimum);
  // A size that is not known yet (zero) keeps the one in the file.
  static void write(const WindowState& state);
};

}  // namespace qm
