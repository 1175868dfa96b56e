#pragma once
// Everything the logic needs from the platform, handed to AppDelegate in one piece.

#include <string>
#include <vector>

#include "platform/Desktop.h"
#include "platform/Http.h"
#include "platform/MainLoop.h"
#include "platform/System.h"
#include "platform/Ui.h"
#include "platform/Web.h"

namespace qm {

struct Platform {
  MainLoop& loop;
  Clock& clock;
  Http& http;
  Ui& ui;
  Desktop& desktop;
  Notifier& notifier;
  SoundPlayer& sound;
  Settings& settings;
  Bundle& bundle;
  ToolRunner& tools;
  NetworkEvents& network;
  // The process's command-line arguments, the program path first.
  std::vector<std::string> args;
};

}  // namespace qm
