#pragma once
// SIGTERM and SIGINT quit the application as the menu's Quit does.

#include <gio/gio.h>

namespace qm {

// Logout ends the app with SIGTERM: it quits as Quit does, saving the window state. Once, before
// the main loop runs.
void quitOnSignals(GApplication* app);

}  // namespace qm
