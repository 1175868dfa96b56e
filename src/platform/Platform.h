#pragma once
// Everything the logic needs from the platform, handed to AppDelegate in one piece.

#include "core/Options.h"
#include "platform/Bundle.h"
#include "platform/Clock.h"
#include "platform/CookieStore.h"
#include "platform/Desktop.h"
#include "platform/Http.h"
#include "platform/MainLoop.h"
#include "platform/NetworkEvents.h"
#include "platform/Notifier.h"
#include "platform/Settings.h"
#include "platform/SoundPlayer.h"
#include "platform/ToolRunner.h"
#include "platform/Ui.h"

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
  // The network session's cookies, which every web view shares.
  CookieStore& cookies;
  Options options;
};

}  // namespace qm
