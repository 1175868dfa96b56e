// What the engine offers a page beyond navigation, held to the app's rules: the entries of its
// context menu, and the answers to permission requests and queries.
#include <string>

#include "adapters/webkit/WebKitPageFeatures.h"
#include "core/Guard.h"
#include "core/Log.h"
#include "web/PagePolicy.h"

namespace qm::webkit {

namespace {

using web::MenuEntry;
using web::Permission;

MenuEntry menuEntry(WebKitContextMenuItem* item) {
  if (webkit_context_menu_item_is_separator(item)) return MenuEntry::Separator;
  switch (webkit_context_menu_item_get_stock_action(item)) {
    case WEBKIT_CONTEXT_MENU_ACTION_OPEN_LINK:
      return MenuEntry::OpenLink;
    case WEBKIT_CONTEXT_MENU_ACTION_OPEN_LINK_IN_NEW_WINDOW:
      return MenuEntry::OpenLinkInNewWindow;
    case WEBKIT_CONTEXT_MENU_ACTION_OPEN_IMAGE_IN_NEW_WINDOW:
    case WEBKIT_CONTEXT_MENU_ACTION_OPEN_FRAME_IN_NEW_WINDOW:
    case WEBKIT_CONTEXT_MENU_ACTION_OPEN_VIDEO_IN_NEW_WINDOW:
    case WEBKIT_CONTEXT_MENU_ACTION_OPEN_AUDIO_IN_NEW_WINDOW:
      return MenuEntry::OpenMediaInNewWindow;
    case WEBKIT_CONTEXT_MENU_ACTION_DOWNLOAD_LINK_TO_DISK:
    case WEBKIT_CONTEXT_MENU_ACTION_DOWNLOAD_IMAGE_TO_DISK:
    case WEBKIT_CONTEXT_MENU_ACTION_DOWNLOAD_VIDEO_TO_DISK:
    case WEBKIT_CONTEXT_MENU_ACTION_DOWNLOAD_AUDIO_TO_DISK:
      return MenuEntry::Download;
    case WEBKIT_CONTEXT_MENU_ACTION_COPY_LINK_TO_CLIPBOARD:
    case WEBKIT_CONTEXT_MENU_ACTION_COPY_IMAGE_TO_CLIPBOARD:
    case WEBKIT_CONTEXT_MENU_ACTION_COPY_IMAGE_URL_TO_CLIPBOARD:
    case WEBKIT_CONTEXT_MENU_ACTION_COPY_VIDEO_LINK_TO_CLIPBOARD:
    case WEBKIT_CONTEXT_MENU_ACTION_COPY_AUDIO_LINK_TO_CLIPBOARD:
      return MenuEntry::CopyAddress;
    case WEBKIT_CONTEXT_MENU_ACTION_GO_BACK:
    case WEBKIT_CONTEXT_MENU_ACTION_GO_FORWARD:
      return MenuEntry::History;
    case WEBKIT_CONTEXT_MENU_ACTION_STOP:
      return MenuEntry::Stop;
    case WEBKIT_CONTEXT_MENU_ACTION_RELOAD:
      return MenuEntry::Reload;
    case WEBKIT_CONTEXT_MENU_ACTION_COPY:
    case WEBKIT_CONTEXT_MENU_ACTION_CUT:
    case WEBKIT_CONTEXT_MENU_ACTION_PASTE:
    case WEBKIT_CONTEXT_MENU_ACTION_PASTE_AS_PLAIN_TEXT:
    case WEBKIT_CONTEXT_MENU_ACTION_DELETE:
    case WEBKIT_CONTEXT_MENU_ACTION_SELECT_ALL:
    case WEBKIT_CONTEXT_MENU_ACTION_INPUT_METHODS:
    case WEBKIT_CONTEXT_MENU_ACTION_UNICODE:
    case WEBKIT_CONTEXT_MENU_ACTION_INSERT_EMOJI:
    case WEBKIT_CONTEXT_MENU_ACTION_FONT_MENU:
    case WEBKIT_CONTEXT_MENU_ACTION_BOLD:
    case WEBKIT_CONTEXT_MENU_ACTION_ITALIC:
    case WEBKIT_CONTEXT_MENU_ACTION_UNDERLINE:
    case WEBKIT_CONTEXT_MENU_ACTION_OUTLINE:
      return MenuEntry::Editing;
    case WEBKIT_CONTEXT_MENU_ACTION_SPELLING_GUESS:
    case WEBKIT_CONTEXT_MENU_ACTION_NO_GUESSES_FOUND:
    case WEBKIT_CONTEXT_MENU_ACTION_IGNORE_SPELLING:
    case WEBKIT_CONTEXT_MENU_ACTION_LEARN_SPELLING:
    case WEBKIT_CONTEXT_MENU_ACTION_IGNORE_GRAMMAR:
      return MenuEntry::Spelling;
    case WEBKIT_CONTEXT_MENU_ACTION_TOGGLE_MEDIA_CONTROLS:
    case WEBKIT_CONTEXT_MENU_ACTION_TOGGLE_MEDIA_LOOP:
    case WEBKIT_CONTEXT_MENU_ACTION_ENTER_VIDEO_FULLSCREEN:
    case WEBKIT_CONTEXT_MENU_ACTION_MEDIA_PLAY:
    case WEBKIT_CONTEXT_MENU_ACTION_MEDIA_PAUSE:
    case WEBKIT_CONTEXT_MENU_ACTION_MEDIA_MUTE:
      return MenuEntry::Media;
    case WEBKIT_CONTEXT_MENU_ACTION_INSPECT_ELEMENT:
      return MenuEntry::InspectElement;
    default:
      return MenuEntry::Other;
  }
}

void filterMenu(WebKitContextMenu* menu, const web::MenuContext& context) {
  std::vector<WebKitContextMenuItem*> kept;
  for (GList* l = webkit_context_menu_get_items(menu); l; l = l->next) {
    auto* item = WEBKIT_CONTEXT_MENU_ITEM(l->data);
    if (!keepMenuEntry(menuEntry(item), context)) continue;
    if (WebKitContextMenu* submenu = webkit_context_menu_item_get_submenu(item))
      filterMenu(submenu, context);
    kept.push_back(item);
  }
  std::vector<bool> separators;
  for (auto* item : kept) separators.push_back(webkit_context_menu_item_is_separator(item));
  std::vector<GPtr<WebKitContextMenuItem>> tidy;
  for (std::size_t i : web::tidySeparators(separators))
    tidy.push_back(GPtr<WebKitContextMenuItem>::ref(kept[i]));
  webkit_context_menu_remove_all(menu);
  for (auto& item : tidy) webkit_context_menu_append(menu, item.get());
}

gboolean onContextMenu(WebKitWebView* view, WebKitContextMenu* menu, WebKitHitTestResult*,
                       gpointer) {
  guarded([&] {
    web::MenuContext context;
    context.developer =
        webkit_settings_get_enable_developer_extras(webkit_web_view_get_settings(view));
    // The app's own pages are loaded from strings, with no address of their own.
    context.appPage = g_strcmp0(webkit_web_view_get_uri(view), "about:blank") == 0;
    filterMenu(menu, context);
  });
  // An empty menu is not shown at all.
  return webkit_context_menu_get_n_items(menu) == 0;
}

Permission permissionOf(WebKitPermissionRequest* request) {
  if (WEBKIT_IS_NOTIFICATION_PERMISSION_REQUEST(request)) return Permission::Notifications;
  if (WEBKIT_IS_GEOLOCATION_PERMISSION_REQUEST(request)) return Permission::Geolocation;
  if (WEBKIT_IS_USER_MEDIA_PERMISSION_REQUEST(request)) {
    auto* media = WEBKIT_USER_MEDIA_PERMISSION_REQUEST(request);
    if (webkit_user_media_permission_is_for_display_device(media)) return Permission::ScreenCapture;
    return webkit_user_media_permission_is_for_video_device(media) ? Permission::Camera
                                                                   : Permission::Microphone;
  }
  if (WEBKIT_IS_CLIPBOARD_PERMISSION_REQUEST(request)) return Permission::ClipboardRead;
  if (WEBKIT_IS_POINTER_LOCK_PERMISSION_REQUEST(request)) return Permission::PointerLock;
  if (WEBKIT_IS_DEVICE_INFO_PERMISSION_REQUEST(request)) return Permission::DeviceList;
  if (WEBKIT_IS_MEDIA_KEY_SYSTEM_PERMISSION_REQUEST(request)) return Permission::ProtectedMedia;
  if (WEBKIT_IS_WEBSITE_DATA_ACCESS_PERMISSION_REQUEST(request)) return Permission::StorageAccess;
  return Permission::Other;
}

bool answer(Permission permission, const char* how) {
  bool allowed = web::allowPermission(permission);
  log(std::string("a page ") + how + " " + std::string(web::permissionLabel(permission)) + ": " +
      (allowed ? "allowed" : "denied"));
  return allowed;
}

// Every request is answered here and now, so none waits for an answer that never comes.
gboolean onPermissionRequest(WebKitWebView*, WebKitPermissionRequest* request, gpointer) {
  bool allowed = false;
  guarded([&] { allowed = answer(permissionOf(request), "asked for"); });
  if (allowed)
    webkit_permission_request_allow(request);
  else
    webkit_permission_request_deny(request);
  return TRUE;
}

gboolean onQueryPermission(WebKitWebView*, WebKitPermissionStateQuery* query, gpointer) {
  bool allowed = false;
  guarded([&] {
    const char* name = webkit_permission_state_query_get_name(query);
    allowed = answer(web::permissionNamed(name ? name : ""), "queried");
  });
  webkit_permission_state_query_finish(
      query, allowed ? WEBKIT_PERMISSION_STATE_GRANTED : WEBKIT_PERMISSION_STATE_DENIED);
  return TRUE;
}

}  // namespace

std::vector<SignalConnection> connectPageFeatures(WebKitWebView* view) {
  std::vector<SignalConnection> out;
  out.emplace_back(view,
                   g_signal_connect(view, "context-menu", G_CALLBACK(onContextMenu), nullptr));
  out.emplace_back(
      view, g_signal_connect(view, "permission-request", G_CALLBACK(onPermissionRequest), nullptr));
  out.emplace_back(view, g_signal_connect(view, "query-permission-state",
                                          G_CALLBACK(onQueryPermission), nullptr));
  return out;
}

}  // namespace qm::webkit
