#pragma once
// The program's command-line options, parsed by GApplication's GOption.

#include <gio/gio.h>

#include "core/Options.h"

namespace qm {

// Our options with their help texts; anything else is refused by GApplication with a message.
void addOptions(GApplication* app);
// What GApplication parsed, as handed to "handle-local-options": fills `out` and returns -1 to
// go on, or the exit status once the program is done (the version shown, an argument refused).
int readOptions(GVariantDict* options, Options& out);

}  // namespace qm
