// The intro sound, played by the quarn-sound helper in a child process.
#include <glib.h>

#include "adapters/glib/HelperSound.h"
#include "adapters/gtk/Factories.h"
#include "adapters/gtk/GtkPlatform.h"
#include "core/Files.h"
#include "core/Handle.h"

namespace qm::gtk {

namespace {

// Beside the program when it runs from the build folder, else in libexec/ of its prefix.
std::string locateSoundHelper() {
  std::string beside = besideProgram("quarn-sound");
  if (g_file_test(beside.c_str(), G_FILE_TEST_IS_EXECUTABLE)) return beside;
  return besideProgram(QUARN_SOUND_HELPER_FROM_BIN "/quarn-sound");
}

}  // namespace

std::unique_ptr<SoundPlayer> makeSoundPlayer() {
  return makeHelperSoundPlayer(locateSoundHelper());
}

}  // namespace qm::gtk
