#include "adapters/gtk/WebStart.h"

#include <utility>

#include "adapters/gtk/WebKitCompat.h"
#include "core/Constants.h"
#include "core/Files.h"
#include "core/Paths.h"
#include "web/PagePolicy.h"

namespace qm::gtk {

WebStart::WebStart(bool hardwareAcceleration) : hardwareAcceleration_(hardwareAcceleration) {
  // The renderer that hands GPU buffers to the window is what such drivers fail at.
  if (!hardwareAcceleration) g_setenv("WEBKIT_DISABLE_DMABUF_RENDERER", "1", FALSE);
}

WebKitNetworkSession* WebStart::session() {
  if (session_) return session_.get();
  std::string data = paths::xdgDataHome() + "/" + kAppId;
  std::string cache = paths::xdgCacheHome() + "/" + kAppId;
  for (const auto& dir : {data, cache})
    if (!files::makeDirs(dir, 0700))
      g_warning("%s cannot be made (%s): pages keep nothing there", dir.c_str(), g_strerror(errno));
  session_ =
      GPtr<WebKitNetworkSession>::adopt(webkit_network_session_new(data.c_str(), cache.c_str()));
  WebKitCookieManager* cookies = webkit_network_session_get_cookie_manager(session_.get());
  webkit_cookie_manager_set_persistent_storage(cookies, (data + "/cookies.sqlite").c_str(),
                                               WEBKIT_COOKIE_PERSISTENT_STORAGE_SQLITE);
  // Text fields are checked in the languages of the user's locale; those without a dictionary
  // on this computer are left out by the engine.
  std::vector<std::string> names;
  for (const char* const* n = g_get_language_names(); *n; ++n) names.emplace_back(*n);
  std::vector<const char*> languages;
  auto spell = web::spellLanguages(names);
  for (const auto& l : spell) languages.push_back(l.c_str());
  languages.push_back(nullptr);
  // Even an empty list starts the engine's spell checker in this process (about 9 MiB), so a
  // locale with no language to check leaves it alone.
  if (spell.empty()) return session_.get();
  WebKitWebContext* context = webkit_web_context_get_default();
  webkit_web_context_set_spell_checking_languages(context, languages.data());
  webkit_web_context_set_spell_checking_enabled(context, TRUE);
  return session_.get();
}

namespace {

GPtr<WebKitWebView> makeMainView(WebKitNetworkSession* session, bool developer,
                                 bool hardwareAcceleration) {
  auto content = GPtr<WebKitUserContentManager>::adopt(webkit_user_content_manager_new());
  registerScriptChannel(content.get(), "qmserver");
  auto* view = g_object_new(WEBKIT_TYPE_WEB_VIEW, "network-session", session,
                            "user-content-manager", content.get(), nullptr);
  webkit_settings_set_enable_developer_extras(webkit_web_view_get_settings(WEBKIT_WEB_VIEW(view)),
                                              developer);
  if (!hardwareAcceleration)
    webkit_settings_set_hardware_acceleration_policy(
        webkit_web_view_get_settings(WEBKIT_WEB_VIEW(view)),
        WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
  return GPtr<WebKitWebView>::adopt(WEBKIT_WEB_VIEW(g_object_ref_sink(view)));
}

}  // namespace

void WebStart::prepare(const std::string& html) {
  if (prepared_.view) return;
  prepared_ = {makeMainView(session(), developer_, hardwareAcceleration_), html};
  webkit_web_view_load_html(prepared_.view.get(), html.c_str(), nullptr);
}

WebStart::View WebStart::takeView() {
  if (prepared_.view) return std::exchange(prepared_, {});
  return {makeMainView(session(), developer_, hardwareAcceleration_), {}};
}

}  // namespace qm::gtk
