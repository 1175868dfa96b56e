#include "adapters/webkit/WebKitSession.h"

#include <utility>

#include "adapters/glib/GlibProxyResolver.h"
#include "adapters/webkit/WebKitCompat.h"
#include "adapters/webkit/WebKitCookieStore.h"
#include "core/Constants.h"
#include "core/Files.h"
#include "core/Log.h"
#include "core/Paths.h"
#include "web/PagePolicy.h"

namespace qm::webkit {

void WebKitSession::setEnvironment(bool hardwareAcceleration) {
  // The renderer that hands GPU buffers to the window is what such drivers fail at.
  if (!hardwareAcceleration) g_setenv("WEBKIT_DISABLE_DMABUF_RENDERER", "1", FALSE);
}

namespace {

// With proxy variables in the environment the engine takes the same proxies as the app's own
// requests, loopback and no_proxy going direct; without, it follows the desktop's settings (whose
// default list of hosts to ignore holds loopback).
void useEnvironmentProxy(WebKitNetworkSession* session) {
  auto proxy = environmentProxy();
  if (!proxy) return;
  std::vector<const char*> ignore;
  for (auto& h : proxy->ignoreHosts) ignore.push_back(h.c_str());
  ignore.push_back(nullptr);
  WebKitNetworkProxySettings* settings = webkit_network_proxy_settings_new(
      proxy->fallback.empty() ? nullptr : proxy->fallback.c_str(), ignore.data());
  for (auto& [scheme, uri] : proxy->schemes)
    webkit_network_proxy_settings_add_proxy_for_scheme(settings, scheme.c_str(), uri.c_str());
  webkit_network_session_set_proxy_settings(session, WEBKIT_NETWORK_PROXY_MODE_CUSTOM, settings);
  webkit_network_proxy_settings_free(settings);
  log("proxies: those of the environment's variables, loopback and no_proxy going direct");
}

}  // namespace

WebKitNetworkSession* WebKitSession::session() {
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
  useEnvironmentProxy(session_.get());
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

CookieStore& WebKitSession::cookies() {
  if (!cookies_) cookies_ = makeCookieStore(session());
  return *cookies_;
}

namespace {

// The engine offers a channel to every frame of a page and does not say which one posted. So
// the main view's channels live in a script world of the app's own, and the pages' usual
// window.webkit.messageHandlers hands each message to it through the frame's document; it is
// passed on only from the top frame and frames of the top frame's origin, never from a frame of
// another site embedded in a page.
constexpr const char* kChannelWorld = "quarn";
constexpr const char* kPageChannels =
    "(() => { if (window.webkit) return; const channel = name => Object.freeze({ postMessage(body)"
    " { document.dispatchEvent(new CustomEvent('quarn-message', { detail: JSON.stringify([name,"
    " typeof body == 'string' ? body : null]) })); } }); Object.defineProperty(window, 'webkit',"
    " { value: Object.freeze({ messageHandlers: Object.freeze({ qmserver: channel('qmserver'),"
    " qmapp: channel('qmapp') }) }) }); })()";
constexpr const char* kChannelRelay =
    "document.addEventListener('quarn-message', e => { let ours = window === window.top; try {"
    " ours = ours || (location.origin != 'null' && window.top.location.origin === location.origin);"
    " } catch (_) {} if (!ours || typeof e.detail != 'string') return; let m; try { m ="
    " JSON.parse(e.detail); } catch (_) { return; } if (!Array.isArray(m) || (m[0] !== 'qmserver'"
    " && m[0] !== 'qmapp')) return; window.webkit.messageHandlers[m[0]].postMessage(typeof m[1] =="
    " 'string' ? m[1] : null); }, true);";

void addScript(WebKitUserContentManager* content, const char* source, const char* world) {
  auto frames = WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES;
  auto start = WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START;
  auto* script =
      world ? webkit_user_script_new_for_world(source, frames, start, world, nullptr, nullptr)
            : webkit_user_script_new(source, frames, start, nullptr, nullptr);
  webkit_user_content_manager_add_script(content, script);
  webkit_user_script_unref(script);
}

GPtr<WebKitWebView> makeMainView(WebKitNetworkSession* session, bool developer,
                                 bool hardwareAcceleration) {
  auto content = GPtr<WebKitUserContentManager>::adopt(webkit_user_content_manager_new());
  registerScriptChannel(content.get(), "qmserver", kChannelWorld);
  registerScriptChannel(content.get(), "qmapp", kChannelWorld);
  addScript(content.get(), kPageChannels, nullptr);
  addScript(content.get(), kChannelRelay, kChannelWorld);
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

void WebKitSession::prepare(const std::string& html) {
  if (prepared_.view) return;
  prepared_ = {makeMainView(session(), developer_, hardwareAcceleration_), html};
  webkit_web_view_load_html(prepared_.view.get(), html.c_str(), nullptr);
}

WebKitSession::View WebKitSession::takeView() {
  if (prepared_.view) return std::exchange(prepared_, {});
  return {makeMainView(session(), developer_, hardwareAcceleration_), {}};
}

}  // namespace qm::webkit
