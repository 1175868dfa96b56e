#include "adapters/gtk/GtkMainWindow.h"

#include <malloc.h>

#include "adapters/glib/GlibWindowState.h"
#include "adapters/gtk/GtkPlatform.h"
#include "adapters/gtk/GtkUi.h"
#include "adapters/gtk/GtkWorkArea.h"
#include "adapters/webkit/WebKitCompat.h"
#include "adapters/webkit/WebKitContent.h"
#include "adapters/webkit/WebKitIntroView.h"
#include "adapters/webkit/WebKitPageFeatures.h"
#include "core/Constants.h"
#include "core/Guard.h"

namespace qm::gtk {

namespace {

constexpr int kDefaultWidth = 1320, kDefaultHeight = 900;
constexpr int kMinWidth = 760, kMinHeight = 540;

}  // namespace

template <auto Channel>
void GtkMainWindow::onMessage(WebKitUserContentManager*, JSCValue* value, gpointer self) {
  auto& handler = static_cast<GtkMainWindow*>(self)->events_.*Channel;
  GCharPtr body(webkit::scriptMessageString(value));
  guarded([&] {
    if (handler) handler(body ? ScriptMessage(body.get()) : std::nullopt);
  });
}

gboolean GtkMainWindow::onLoadFailed(WebKitWebView*, WebKitLoadEvent, char* uri, GError* error,
                                     gpointer self) {
  auto* window = static_cast<GtkMainWindow*>(self);
  bool handled = false;
  if (uri && error && window->events_.onLoadFailed)
    guarded([&] {
      handled = window->events_.onLoadFailed({uri, g_quark_to_string(error->domain), error->code});
    });
  return handled;
}

GtkMainWindow::GtkMainWindow(GtkUi& ui, webkit::WebKitSession& web, MainViewEvents events)
    : ui_(ui),
      window_(GPtr<GtkWindow>::adopt(
          GTK_WINDOW(g_object_ref_sink(gtk_application_window_new(ui.application()))))),
      overlay_(GTK_OVERLAY(gtk_overlay_new())),
      session_(web.session()),
      events_(std::move(events)) {
  GtkWindow* window = window_.get();
  webkit::WebKitSession::View made = web.takeView();
  WebKitWebView* view = made.view.get();
  WebKitUserContentManager* ucm = webkit_web_view_get_user_content_manager(view);
  web_.emplace(view, std::move(made.loading));
  signals_.emplace_back(
      ucm, g_signal_connect(ucm, "script-message-received::qmserver",
                            G_CALLBACK(onMessage<&MainViewEvents::onServerMessage>), this));
  signals_.emplace_back(
      ucm, g_signal_connect(ucm, "script-message-received::qmapp",
                            G_CALLBACK(onMessage<&MainViewEvents::onAppMessage>), this));
  // After the view's own handler, which turns its time-out into a failure of its own.
  signals_.emplace_back(view,
                        g_signal_connect(view, "load-failed", G_CALLBACK(onLoadFailed), this));
  signals_.emplace_back(
      view, g_signal_connect_swapped(
                view, "notify::is-web-process-responsive", G_CALLBACK(+[](GtkMainWindow* self) {
                  bool responsive = webkit_web_view_get_is_web_process_responsive(self->webView());
                  if (self->events_.onResponsiveChanged)
                    guarded([&] { self->events_.onResponsiveChanged(responsive); });
                }),
                this));
  WebKitSettings* settings = webkit_web_view_get_settings(view);
  // The touchpad's swipe goes back and forward as the Back and Forward keys do, each step a
  // navigation that the policy below decides like any other.
  webkit_settings_set_enable_back_forward_navigation_gestures(settings, TRUE);
  for (auto& c : webkit::connectWebContent(view, events_.content, true))
    signals_.push_back(std::move(c));
  signals_.emplace_back(
      view, g_signal_connect_swapped(view, "load-changed",
                                     G_CALLBACK(+[](GtkMainWindow* self, WebKitLoadEvent event) {
                                       if (event == WEBKIT_LOAD_FINISHED && !self->trimmed_) {
                                         self->trimmed_ = true;
                                         self->trimSoon();
                                       }
                                     }),
                                     this));
  // Ended by the app itself is no fault; a crash or the memory limit is.
  signals_.emplace_back(
      view,
      g_signal_connect_swapped(
          view, "web-process-terminated",
          G_CALLBACK(+[](GtkMainWindow* self, WebKitWebProcessTerminationReason reason) {
            if (reason != WEBKIT_WEB_PROCESS_TERMINATED_BY_API && self->events_.onWebProcessEnded)
              guarded([&] { self->events_.onWebProcessEnded(); });
          }),
          this));
  downloads_ = webkit::watchDownloads(session_, events_.downloads);

  gtk_window_set_title(window, kAppName);
  // A header bar without a title: the title is the window's, but not drawn.
  GtkWidget* header = gtk_header_bar_new();
  gtk_header_bar_set_title_widget(GTK_HEADER_BAR(header), gtk_label_new(nullptr));
  gtk_window_set_titlebar(window, header);
  gtk_widget_add_css_class(GTK_WIDGET(window), "quarn-main");
  gtk_widget_set_size_request(GTK_WIDGET(window), kMinWidth, kMinHeight);

  WindowState state =
      GlibWindowState::read({{kDefaultWidth, kDefaultHeight}, false}, {kMinWidth, kMinHeight});
  WindowSize size =
      fitToArea(state.size, firstWorkArea(gdk_display_get_default()), {kMinWidth, kMinHeight});
  gtk_window_set_default_size(window, size.width, size.height);
  if (state.maximized) gtk_window_maximize(window);

  webkit::describeMainView(GTK_WIDGET(view));
  gtk_widget_set_hexpand(GTK_WIDGET(view), TRUE);
  gtk_widget_set_vexpand(GTK_WIDGET(view), TRUE);
  gtk_overlay_set_child(overlay_, GTK_WIDGET(view));
  gtk_window_set_child(window, GTK_WIDGET(overlay_));
  // Closing hides the window; the application keeps running and reopen brings it back.
  gtk_window_set_hide_on_close(window, TRUE);
  signals_.emplace_back(window, g_signal_connect_swapped(window, "close-request",
                                                         G_CALLBACK(+[](GtkMainWindow* self) {
                                                           guarded([&] { self->saveState(); });
                                                           return FALSE;
                                                         }),
                                                         this));
  // Kept as they change, so a crash, a kill or a logout does not lose them.
  for (const char* property :
       {"notify::default-width", "notify::default-height", "notify::maximized"})
    signals_.emplace_back(
        window, g_signal_connect_swapped(
                    window, property,
                    G_CALLBACK(+[](GtkMainWindow* self) { self->saveStateSoon(); }), this));
  // The menu's keys came with the application (GtkUi): the page sees each key first.
  gtk_application_window_set_show_menubar(GTK_APPLICATION_WINDOW(window), TRUE);
  pageKeys_.emplace(window, overlay_, view, [this] { return ui_.menuKeys(); });
}

GtkMainWindow::~GtkMainWindow() {
  ui_.windowGone(this);
  pageKeys_.reset();
  signals_.clear();
  saveTimer_.reset();
  downloads_.reset();
  gtk_window_destroy(window_.get());
}

void GtkMainWindow::saveState() {
  saveTimer_.reset();
  WindowState state;
  gtk_window_get_default_size(window_.get(), &state.size.width, &state.size.height);
  state.maximized = gtk_window_is_maximized(window_.get());
  GlibWindowState::write(state);
}

void GtkMainWindow::saveStateSoon() {
  // A drag resizes many times a second: one write, a second after the last change.
  saveTimer_ = SourceId(g_timeout_add_seconds(
      1,
      +[](gpointer self) {
        auto* window = static_cast<GtkMainWindow*>(self);
        window->saveTimer_.forget();
        guarded([&] { window->saveState(); });
        return G_SOURCE_REMOVE;
      },
      this));
}

void GtkMainWindow::present() {
  // Consumed by this present: a token is good for one activation.
  if (!activationToken_.empty()) gtk_window_set_startup_id(window_.get(), activationToken_.c_str());
  activationToken_.clear();
  gtk_window_present(window_.get());
}
void GtkMainWindow::minimize() {
  gtk_window_minimize(window_.get());
}

std::unique_ptr<IntroView> GtkMainWindow::createIntroView(const std::string& htmlPath,
                                                          IntroEvents& events) {
  return webkit::makeIntroView(overlay_, session_, htmlPath, events, events_.content,
                               [this] { trimSoon(); });
}

void GtkMainWindow::trimSoon() {
  // Building the window and the intro's view and page leave freed memory in this process's heap:
  // a little later it goes back to the system instead of staying with the app for its whole life.
  trimTimer_ = SourceId(g_timeout_add_seconds(
      2,
      +[](gpointer self) -> gboolean {
        static_cast<GtkMainWindow*>(self)->trimTimer_.forget();
        malloc_trim(0);
        return G_SOURCE_REMOVE;
      },
      this));
}

}  // namespace qm::gtk
