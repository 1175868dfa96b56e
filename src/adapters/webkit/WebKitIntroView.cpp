// The intro's transparent web view, laid on the window's overlay above the main web view.
#include <algorithm>
#include <vector>

#include "adapters/webkit/WebKitCompat.h"
#include "adapters/webkit/WebKitContent.h"
#include "adapters/webkit/WebKitIntroView.h"
#include "core/Guard.h"
#include "core/Handle.h"

namespace qm::webkit {

namespace {

constexpr guint kFadeFrameMs = 16;

class WebKitIntroView : public IntroView {
 public:
  WebKitIntroView(GtkOverlay* overlay, WebKitNetworkSession* session, IntroEvents& events,
                  ContentEvents& content, std::function<void()> gone)
      : gone_(std::move(gone)),
        overlay_(GPtr<GtkOverlay>::ref(overlay)),
        ucm_(GPtr<WebKitUserContentManager>::adopt(webkit_user_content_manager_new())),
        events_(events) {
    // Sharing the main view's web process spares a second process start while the UI loads.
    GtkWidget* main = gtk_overlay_get_child(overlay);
    auto* view =
        WEBKIT_WEB_VIEW(main && WEBKIT_IS_WEB_VIEW(main)
                            ? g_object_new(WEBKIT_TYPE_WEB_VIEW, "related-view", main,
                                           "user-content-manager", ucm_.get(), nullptr)
                            : g_object_new(WEBKIT_TYPE_WEB_VIEW, "network-session", session,
                                           "user-content-manager", ucm_.get(), nullptr));
    view_ = GPtr<WebKitWebView>::adopt(WEBKIT_WEB_VIEW(g_object_ref_sink(view)));
    // Drawn as the main view is, hardware acceleration switched off included.
    if (main && WEBKIT_IS_WEB_VIEW(main))
      webkit_settings_set_hardware_acceleration_policy(
          webkit_web_view_get_settings(view_.get()),
          webkit_settings_get_hardware_acceleration_policy(
              webkit_web_view_get_settings(WEBKIT_WEB_VIEW(main))));

    signals_.emplace_back(ucm_.get(), g_signal_connect(ucm_.get(), "script-message-received::qm",
                                                       G_CALLBACK(onMessage), this));
    registerScriptChannel(ucm_.get(), "qm");
    signals_.emplace_back(view_.get(), g_signal_connect(view_.get(), "load-changed",
                                                        G_CALLBACK(onLoadChanged), this));
    signals_.emplace_back(
        view_.get(), g_signal_connect(view_.get(), "load-failed", G_CALLBACK(onLoadFailed), this));

    GdkRGBA clear = {0, 0, 0, 0};
    webkit_web_view_set_background_color(view_.get(), &clear);
    GtkWidget* w = GTK_WIDGET(view_.get());
    gtk_widget_set_hexpand(w, TRUE);
    gtk_widget_set_vexpand(w, TRUE);
    gtk_widget_set_halign(w, GTK_ALIGN_FILL);
    gtk_widget_set_valign(w, GTK_ALIGN_FILL);
    gtk_widget_add_css_class(w, "quarn-intro");
    // Added last, so it lies above the main view and above any intro still fading.
    gtk_overlay_add_overlay(overlay_.get(), w);
    for (auto& c : connectWebContent(view_.get(), content, false)) signals_.push_back(std::move(c));
  }

  ~WebKitIntroView() override {
    remove();
    signals_.clear();
    if (gone_) gone_();
  }

  void load(const std::string& htmlPath) {
    GCharPtr uri(g_filename_to_uri(htmlPath.c_str(), nullptr, nullptr));
    if (uri) webkit_web_view_load_uri(view_.get(), uri.get());
  }

  void evaluate(const std::string& script) override {
    if (removed_) return;
    webkit_web_view_evaluate_javascript(view_.get(), script.c_str(), -1, nullptr, nullptr, nullptr,
                                        nullptr, nullptr);
  }

  void fadeOut(double seconds, std::function<void()> done) override {
    stopFade();
    fadeDone_ = std::move(done);
    fadeStart_ = g_get_monotonic_time();
    fadeFrom_ = gtk_widget_get_opacity(GTK_WIDGET(view_.get()));
    fadeUs_ = std::max<gint64>(1, static_cast<gint64>(std::max(0.0, seconds) * G_USEC_PER_SEC));
    // A plain timer, not the frame clock: the fade must end even while the window is hidden.
    fadeTimer_ = SourceId(g_timeout_add(kFadeFrameMs, &WebKitIntroView::onFadeTick, this));
  }

  void remove() override {
    if (removed_) return;
    removed_ = true;
    stopFade();
    unregisterScriptChannel(ucm_.get(), "qm");
    webkit_web_view_stop_loading(view_.get());
    GtkWidget* w = GTK_WIDGET(view_.get());
    if (gtk_widget_get_parent(w) == GTK_WIDGET(overlay_.get()))
      gtk_overlay_remove_overlay(overlay_.get(), w);
  }

 private:
  void stopFade() { fadeTimer_.reset(); }

  static gboolean onFadeTick(gpointer data) {
    auto* self = static_cast<WebKitIntroView*>(data);
    double t = static_cast<double>(g_get_monotonic_time() - self->fadeStart_) / self->fadeUs_;
    t = std::clamp(t, 0.0, 1.0);
    // Ease out: quick at first, settling at the end.
    double eased = 1.0 - (1.0 - t) * (1.0 - t);
    gtk_widget_set_opacity(GTK_WIDGET(self->view_.get()), self->fadeFrom_ * (1.0 - eased));
    if (t < 1.0) return G_SOURCE_CONTINUE;
    self->fadeTimer_.forget();
    // Last thing: the callback may release this view.
    auto done = std::move(self->fadeDone_);
    if (done) guarded(done);
    return G_SOURCE_REMOVE;
  }

  static void onMessage(WebKitUserContentManager*, JSCValue* value, gpointer data) {
    auto* self = static_cast<WebKitIntroView*>(data);
    if (self->removed_) return;
    GCharPtr body(scriptMessageString(value));
    guarded([&] { self->events_.onIntroMessage(body ? ScriptMessage(body.get()) : std::nullopt); });
  }

  static void onLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer data) {
    auto* self = static_cast<WebKitIntroView*>(data);
    if (event == WEBKIT_LOAD_STARTED) self->failed_ = false;
    if (event != WEBKIT_LOAD_FINISHED || self->failed_ || self->removed_) return;
    guarded([&] { self->events_.onIntroLoadFinished(*self); });
  }

  static gboolean onLoadFailed(WebKitWebView*, WebKitLoadEvent, char*, GError*, gpointer data) {
    static_cast<WebKitIntroView*>(data)->failed_ = true;
    return FALSE;
  }

  std::function<void()> gone_;
  GPtr<GtkOverlay> overlay_;
  GPtr<WebKitUserContentManager> ucm_;
  GPtr<WebKitWebView> view_;
  IntroEvents& events_;
  std::vector<SignalConnection> signals_;
  bool removed_ = false;
  bool failed_ = false;
  SourceId fadeTimer_;
  gint64 fadeStart_ = 0;
  gint64 fadeUs_ = 1;
  double fadeFrom_ = 1.0;
  std::function<void()> fadeDone_;
};

}  // namespace

std::unique_ptr<IntroView> makeIntroView(GtkOverlay* overlay, WebKitNetworkSession* session,
                                         const std::string& htmlPath, IntroEvents& events,
                                         ContentEvents& content, std::function<void()> gone) {
  if (!overlay || !session) return nullptr;
  auto view = std::make_unique<WebKitIntroView>(overlay, session, events, content, std::move(gone));
  view->load(htmlPath);
  return view;
}

}  // namespace qm::webkit
