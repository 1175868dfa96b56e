#pragma once

#include <gdk/gdk.h>

#include "window/WindowSize.h"

namespace qm::gtk {

// The work area of the display's first monitor; empty when there is none.
WindowSize firstWorkArea(GdkDisplay* display);

}  // namespace qm::gtk
