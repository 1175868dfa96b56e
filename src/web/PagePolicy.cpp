#include "web/PagePolicy.h"

#include <algorithm>
#include <array>
#include <optional>
#include <utility>

namespace qm::web {

bool keepMenuEntry(MenuEntry entry, const MenuContext& context) {
  switch (entry) {
    case MenuEntry::Separator:
    case MenuEntry::OpenLink:
    case MenuEntry::OpenLinkInNewWindow:
    case MenuEntry::Download:
    case MenuEntry::CopyAddress:
    case MenuEntry::History:
    case MenuEntry::Stop:
    case MenuEntry::Editing:
    case MenuEntry::Spelling:
    case MenuEntry::Media:
      return true;
    // The engine reloads a page made from a string as an empty one; F5 loads it again instead.
    case MenuEntry::Reload:
      return !context.appPage;
    case MenuEntry::InspectElement:
      return context.developer;
    // A medium on its own would open in the browser, without the suite's sign-in.
    case MenuEntry::OpenMediaInNewWindow:
    case MenuEntry::Other:
      return false;
  }
  return false;
}

std::vector<std::size_t> tidySeparators(const std::vector<bool>& separator) {
  std::vector<std::size_t> keep;
  std::optional<std::size_t> between;  // the last separator after a kept entry
  for (std::size_t i = 0; i < separator.size(); ++i) {
    if (separator[i]) {
      if (!keep.empty()) between = i;
      continue;
    }
    if (between) keep.push_back(*std::exchange(between, std::nullopt));
    keep.push_back(i);
  }
  return keep;
}

namespace {

constexpr std::array<std::pair<std::string_view, Permission>, 8> kQueryNames{{
    {"notifications", Permission::Notifications},
    {"geolocation", Permission::Geolocation},
    {"camera", Permission::Camera},
    {"microphone", Permission::Microphone},
    {"display-capture", Permission::ScreenCapture},
    {"clipboard-read", Permission::ClipboardRead},
    {"pointer-lock", Permission::PointerLock},
    {"storage-access", Permission::StorageAccess},
}};

}  // namespace

Permission permissionNamed(std::string_view name) {
  for (auto& [query, permission] : kQueryNames)
    if (query == name) return permission;
  return Permission::Other;
}

std::string_view permissionLabel(Permission permission) {
  switch (permission) {
    case Permission::Notifications:
      return "notifications";
    case Permission::Geolocation:
      return "location";
    case Permission::Camera:
      return "camera";
    case Permission::Microphone:
      return "microphone";
    case Permission::ScreenCapture:
      return "screen capture";
    case Permission::ClipboardRead:
      return "clipboard reading";
    case Permission::PointerLock:
      return "pointer lock";
    case Permission::DeviceList:
      return "the list of media devices";
    case Permission::ProtectedMedia:
      return "protected media";
    case Permission::MediaPlugins:
      return "installing media plugins";
    case Permission::StorageAccess:
      return "storage access";
    case Permission::Other:
      break;
  }
  return "an unknown permission";
}

bool allowPermission(Permission permission) {
  return permission == Permission::Notifications;
}

std::vector<std::string> spellLanguages(const std::vector<std::string>& localeNames) {
  std::vector<std::string> out;
  for (const std::string& name : localeNames) {
    std::string language = name.substr(0, name.find_first_of(".@"));
    if (language.empty() || language == "C" || language == "POSIX") continue;
    if (std::find(out.begin(), out.end(), language) == out.end()) out.push_back(language);
  }
  return out;
}

}  // namespace qm::web
