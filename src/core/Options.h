#pragma once
// What the command line asked for, read once as the program starts.

namespace qm {

struct Options {
  // Logs the app's decisions to standard error or the journal.
  bool verbose = false;
  // Started together with the suite's other apps: the first intro stays silent.
  bool ensembleLaunch = false;
  // The page's context menu offers Inspect Element.
  bool developer = false;
  // Pages are drawn in software.
  bool noHardwareAcceleration = false;
};

}  // namespace qm
