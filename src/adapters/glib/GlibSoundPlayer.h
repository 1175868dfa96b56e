#pragma once
// Sounds played by the quarn-sound helper, one short-lived child process per play, so that the
// audio libraries never stay loaded in the app.

#include <memory>
#include <string>

#include "platform/SoundPlayer.h"

namespace qm {

// `helper` is the path of the quarn-sound program; open() gives none when it is missing.
std::unique_ptr<SoundPlayer> makeHelperSoundPlayer(std::string helper);
// The player with the helper installed beside the program (or in libexec/ of its prefix).
std::unique_ptr<SoundPlayer> makeSoundPlayer();

}  // namespace qm
