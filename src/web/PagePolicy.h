#pragma once
// What a page gets beyond navigation: which entries of the engine's context menu it shows, how
// its permission requests are answered, and the languages its text fields are checked in.

#include <string>
#include <string_view>
#include <vector>

namespace qm::web {

// The engine's context menu entries, grouped by what choosing them does.
enum class MenuEntry {
  Separator,
  OpenLink,              // in this view: the navigation policy decides
  OpenLinkInNewWindow,   // a new-window request: the new-window policy decides
  OpenMediaInNewWindow,  // an image, frame, video or audio on its own, outside the app
  Download,              // a link or a medium saved as a download
  CopyAddress,           // a link's, image's or medium's address, or the image itself
  History,               // back and forward
  Stop,
  Reload,
  Editing,   // cut, copy, paste, select all, emoji, fonts and styles, input methods
  Spelling,  // guesses, ignore, learn
  Media,     // play, pause, mute, loop, controls, fullscreen
  InspectElement,
  Other,  // anything added by others or unknown to the app
};

struct MenuContext {
  bool developer = false;  // the program was started with its developer option
  bool appPage = false;    // a page the app made itself (placeholder, connect or message page)
};

// Whether the entry stays in the menu.
bool keepMenuEntry(MenuEntry entry, const MenuContext& context);

// Drops the separators that removals leave at either end or next to each other.
// `separator[i]` tells whether entry i is one; returns the indexes to keep.
std::vector<std::size_t> tidySeparators(const std::vector<bool>& separator);

enum class Permission {
  Notifications,
  Geolocation,
  Camera,
  Microphone,
  ScreenCapture,
  ClipboardRead,
  PointerLock,
  DeviceList,      // the names of cameras and microphones
  ProtectedMedia,  // a DRM key system
  MediaPlugins,    // installing codecs on the system
  StorageAccess,   // another site's cookies inside a frame
  Other,
};

// The name of a permission as pages query it (`navigator.permissions.query`); Other when unknown.
Permission permissionNamed(std::string_view name);
// How the app names it in its log.
std::string_view permissionLabel(Permission permission);
// The one answer a page gets, whether it asks or queries. The suite's pages may notify through
// the desktop as the app itself does; nothing else reaches the user's devices, location,
// clipboard or system, as the app has no place to ask the user.
bool allowPermission(Permission permission);

// The spell-checking languages for the locale's language names, most preferred first (as GLib
// lists them: "de_DE.UTF-8", "de_DE", "de", ..., "C"): codeset and modifier dropped, "C" and
// "POSIX" left out, each once.
std::vector<std::string> spellLanguages(const std::vector<std::string>& localeNames);

}  // namespace qm::web
