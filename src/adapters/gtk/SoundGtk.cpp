// The intro sound, played by the quarn-sound helper in a child process.
#include <glib.h>

#include "adapters/glib/HelperSound.h"
#include "adapters/gtk/Factories.h"
#include "core/Files.h"
#include "core/Handle.h"

namespace qm::gtk {

namespace {

// Beside the program when it runs from the build folder, else where it is installed.
std::string locateSoundHelper() {
  GCharPtr exe(g_file_read_link("/proc/self/exe", nullptr));
  if (exe) {
    std::string beside = files::parent(exe.get()) + "/quarn-sound";
    if (g_file_test(beside.c_str(), G_FILE_TEST_IS_EXECUTABLE)) return beside;
  }
  return QUARN_SOUND_HELPER_INSTALL_DIR "/quarn-sound";
}

}  // namespace

std::unique_ptr<SoundPlayer> makeSoundPlayer() {
  return makeHelperSoundPlayer(locateSoundHelper());
}

}  // namespace qm::gtk
