#include "adapters/webkit/WebKitView.h"

#include "core/Guard.h"

namespace qm::webkit {

namespace {

constexpr guint kLoadTimeoutSeconds = 60;

// The app's own pages by keyboard alone: their first field has the focus, and Enter in it
// presses the page's first button, as a form would.
constexpr const char* kFormKeys =
    "(() => { const field = document.querySelector('input:not([type=hidden])');"
    " const button = document.querySelector('button'); if (!field || !button) return;"
    " field.focus(); field.addEventListener('keydown', e => { if (e.key == 'Enter' &&"
    " !e.isComposing && !e.defaultPrevented) { e.preventDefault(); button.click(); } }); })()";

}  // namespace

WebKitView::WebKitView(WebKitWebView* view, std::string loading)
    : view_(view), html_(std::move(loading)), loadingHtml_(!html_.empty()) {
  // A view made before this one only ever loads the app's own page.
  if (const char* uri = webkit_web_view_get_uri(view)) committed_ = uri;
  signals_.emplace_back(view,
                        g_signal_connect(view, "load-failed", G_CALLBACK(onLoadFailed), this));
  // An answer has come: the time-out is over.
  signals_.emplace_back(
      view, g_signal_connect_swapped(
                view, "load-changed", G_CALLBACK(+[](WebKitView* self, WebKitLoadEvent event) {
                  if (event != WEBKIT_LOAD_COMMITTED) return;
                  self->timeout_.reset();
                  const char* uri = webkit_web_view_get_uri(self->view_);
                  self->committed_ = uri ? std::optional<std::string>(uri) : std::nullopt;
                }),
                this));
  signals_.emplace_back(
      view, g_signal_connect_swapped(
                view, "load-changed", G_CALLBACK(+[](WebKitView* self, WebKitLoadEvent event) {
                  if (event == WEBKIT_LOAD_FINISHED && self->showsOwnPage())
                    webkit_web_view_evaluate_javascript(self->view_, kFormKeys, -1, nullptr,
                                                        nullptr, nullptr, nullptr, nullptr);
                }),
                this));
}

void WebKitView::loadHtml(const std::string& html) {
  timeout_.reset();
  if (std::exchange(loadingHtml_, false) && html == html_) return;
  html_ = html;
  webkit_web_view_load_html(view_, html.c_str(), nullptr);
}
void WebKitView::loadUrl(const std::string& url) {
  html_.clear();
  loadingHtml_ = false;
  // The UI request's time-out: a server that takes the connection and never answers does not
  // leave the window loading for ever.
  timedOut_ = false;
  timeout_ = SourceId(g_timeout_add_seconds(kLoadTimeoutSeconds, &WebKitView::onTimeout, this));
  webkit_web_view_load_uri(view_, url.c_str());
}
void WebKitView::reload() {
  timeout_.reset();
  loadingHtml_ = false;
  if (showsOwnPage()) return loadHtml(std::string(html_));
  webkit_web_view_reload(view_);
}
void WebKitView::reloadFromOrigin() {
  timeout_.reset();
  loadingHtml_ = false;
  // The engine reloads a page loaded from a string as an empty one: it is loaded again instead.
  if (showsOwnPage()) return loadHtml(std::string(html_));
  webkit_web_view_reload_bypass_cache(view_);
}

void WebKitView::terminateWebProcess() {
  timeout_.reset();
  webkit_web_view_terminate_web_process(view_);
}

bool WebKitView::showsOwnPage() const {
  return !html_.empty() && g_strcmp0(webkit_web_view_get_uri(view_), "about:blank") == 0;
}

gboolean WebKitView::onTimeout(gpointer data) {
  auto* self = static_cast<WebKitView*>(data);
  self->timeout_.forget();
  self->timedOut_ = true;
  webkit_web_view_stop_loading(self->view_);
  return G_SOURCE_REMOVE;
}

// The stop is reported as a cancellation, for which the engine shows nothing; it is reported
// again as the time-out it is, so the engine shows its error page as for any failed load.
gboolean WebKitView::onLoadFailed(WebKitWebView* view, WebKitLoadEvent event, char* uri,
                                  GError* error, gpointer data) {
  auto* self = static_cast<WebKitView*>(data);
  if (!self->timedOut_ ||
      !g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_CANCELLED))
    return FALSE;
  self->timedOut_ = false;
  GErrorPtr timedOut(g_error_new_literal(G_IO_ERROR, G_IO_ERROR_TIMED_OUT, "Socket I/O timed out"));
  gboolean handled = FALSE;
  g_signal_emit_by_name(view, "load-failed", event, uri, timedOut.get(), &handled);
  return TRUE;
}
std::optional<std::string> WebKitView::uri() const {
  const char* u = webkit_web_view_get_uri(view_);
  if (!u) return std::nullopt;
  return std::string(u);
}

}  // namespace qm::webkit
