#include "adapters/glib/GlibOptions.h"

#include <cstdio>

#include "core/Handle.h"

namespace qm {

namespace {

// The app opens no files or addresses; arguments are collected only to be refused.
const GOptionEntry kOptions[] = {
    {"version", 0, 0, G_OPTION_ARG_NONE, nullptr, "Show the version and exit", nullptr},
    {"verbose", 'v', 0, G_OPTION_ARG_NONE, nullptr,
     "Log the app's decisions to standard error or the journal", nullptr},
    {"qm-ensemble", 0, 0, G_OPTION_ARG_NONE, nullptr,
     "Started together with the suite's other apps: the first intro stays silent", nullptr},
    {"developer", 0, 0, G_OPTION_ARG_NONE, nullptr,
     "Offer Inspect Element in the page's context menu", nullptr},
    {"no-hardware-acceleration", 0, 0, G_OPTION_ARG_NONE, nullptr,
     "Draw pages in software, for a window that stays blank (also the setting "
     "hardwareAcceleration=false)",
     nullptr},
    {G_OPTION_REMAINING, 0, G_OPTION_FLAG_HIDDEN, G_OPTION_ARG_FILENAME_ARRAY, nullptr, nullptr,
     nullptr},
    {}};

}  // namespace

void addOptions(GApplication* app) {
  g_application_add_main_option_entries(app, kOptions);
  g_application_set_option_context_summary(
      app,
      "The window onto your organisation's Quillmarsh suite server. It finds the server by\n"
      "itself (this computer, the remembered host, then the hosts built into the app), starts\n"
      "the server on this computer when it has to, and shares the suite sign-in with the\n"
      "suite's other apps.");
  g_application_set_option_context_description(
      app,
      "Environment:\n"
      "  QUARN_BUNDLE_DIR    folder holding Info.json and the intro resources\n"
      "  QUARN_SERVICE_TOOL  replaces the service manager's command-line tool\n"
      "  G_MESSAGES_DEBUG    \"quarn\" logs as --verbose does; other domains as GLib says");
}

int readOptions(GVariantDict* options, Options& out) {
  // Refused before anything starts, whether or not an instance runs: an argument handed on to
  // a running instance, which opens nothing, would leave a process with no window.
  g_autofree const char** rest = nullptr;
  if (g_variant_dict_lookup(options, G_OPTION_REMAINING, "^a&ay", &rest) && rest && *rest) {
    GCharPtr shown(g_filename_display_name(rest[0]));
    std::fprintf(stderr, "Unexpected argument %s: Quillmarsh Quarn opens no files or addresses\n",
                 shown.get());
    return 1;
  }
  if (g_variant_dict_contains(options, "version")) {
    std::printf("Quillmarsh Quarn %s\n", QUARN_VERSION);
    return 0;
  }
  out.verbose = g_variant_dict_contains(options, "verbose");
  out.ensembleLaunch = g_variant_dict_contains(options, "qm-ensemble");
  out.developer = g_variant_dict_contains(options, "developer");
  out.noHardwareAcceleration = g_variant_dict_contains(options, "no-hardware-acceleration");
  return -1;
}

}  // namespace qm
