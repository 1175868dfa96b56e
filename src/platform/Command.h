#pragma once
// The app's menu commands, each with the one name the toolkit knows it by.

#include <cstddef>
#include <iterator>

namespace qm {

enum class Command {
  // Run by the app; these come first (runByApp).
  ShowAbout,
  ReplayIntro,
  ToggleIntro,
  ToggleIntroSound,
  OpenHQ,
  OpenStudio,
  OpenExports,
  RestartService,
  QuitAndStop,
  ReloadWeb,
  // Run by the toolkit, on the window in front and its focused view.
  Hide,
  Terminate,
  Undo,
  Redo,
  Cut,
  Copy,
  Paste,
  SelectAll,
  Minimize,
  Close,
};

struct CommandName {
  Command command;
  const char* name;  // the action's name in the toolkit
};

// In the order of the enum.
inline constexpr CommandName kCommandNames[] = {
    {Command::ShowAbout, "showAbout"},
    {Command::ReplayIntro, "replayIntro"},
    {Command::ToggleIntro, "toggleIntro"},
    {Command::ToggleIntroSound, "toggleIntroSound"},
    {Command::OpenHQ, "openHQ"},
    {Command::OpenStudio, "openStudio"},
    {Command::OpenExports, "openExports"},
    {Command::RestartService, "restartService"},
    {Command::QuitAndStop, "quitAndStop"},
    {Command::ReloadWeb, "reloadWeb"},
    {Command::Hide, "hide"},
    {Command::Terminate, "terminate"},
    {Command::Undo, "undo"},
    {Command::Redo, "redo"},
    {Command::Cut, "cut"},
    {Command::Copy, "copy"},
    {Command::Paste, "paste"},
    {Command::SelectAll, "selectAll"},
    {Command::Minimize, "minimize"},
    {Command::Close, "close"},
};

constexpr bool namesInOrder() {
  for (std::size_t i = 0; i < std::size(kCommandNames); ++i)
    if (static_cast<std::size_t>(kCommandNames[i].command) != i) return false;
  return std::size(kCommandNames) == static_cast<std::size_t>(Command::Close) + 1;
}
static_assert(namesInOrder(), "one name per command, in the order of the enum");

constexpr const char* commandName(Command c) {
  return kCommandNames[static_cast<std::size_t>(c)].name;
}

// Whether the app runs it; the others the toolkit runs itself.
constexpr bool runByApp(Command c) {
  return c < Command::Hide;
}

}  // namespace qm
