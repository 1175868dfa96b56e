#pragma once
// The main window's size on the screen it opens on.

namespace qm {

struct WindowSize {
  int width = 0, height = 0;
  bool operator==(const WindowSize&) const = default;
};

// `wanted` reduced to fit `area`, the monitor's work area, so that without a window manager's
// help the window does not run off the screen; never below `minimum`, which the window keeps
// anyway. An empty area (none known) changes nothing.
WindowSize fitToArea(WindowSize wanted, WindowSize area, WindowSize minimum);

}  // namespace qm
