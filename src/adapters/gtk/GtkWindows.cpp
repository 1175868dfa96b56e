#include "adapters/gtk/GtkWindows.h"

#include "core/Constants.h"

namespace qm::gtk {

namespace {

// The window is dark whatever the desktop's theme, its header bar and menu bar with it; menus
// and dialogs follow the desktop. Styled here rather than by asking GTK for the theme's dark
// variant, which would parse a second theme on the way to the first page.
constexpr const char* kCss =
    "window.quarn-main { background-color: rgb(22,22,22); }"
    "window.quarn-main headerbar, window.quarn-main menubar {"
    " background: rgb(22,22,22); color: rgb(230,230,230); box-shadow: none; }";

}  // namespace

GtkWindows::GtkWindows(GtkApplication* app, webkit::WebKitSession& web,
                       std::function<std::vector<KeyHelp>()> menuKeys)
    : app_(app),
      web_(web),
      menuKeys_(std::move(menuKeys)),
      css_(GPtr<GtkCssProvider>::adopt(gtk_css_provider_new())) {
  gtk_css_provider_load_from_data(css_.get(), kCss, -1);
  // For window managers that take the icon from the window rather than the desktop file.
  gtk_window_set_default_icon_name(kAppId);
  gtk_style_context_add_provider_for_display(gdk_display_get_default(),
                                             GTK_STYLE_PROVIDER(css_.get()),
                                             GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
}

GtkWindows::~GtkWindows() {
  gtk_style_context_remove_provider_for_display(gdk_display_get_default(),
                                                GTK_STYLE_PROVIDER(css_.get()));
}

std::unique_ptr<MainWindow> GtkWindows::createMainWindow(MainViewEvents events) {
  auto w = std::make_unique<GtkMainWindow>(*this, web_, std::move(events));
  main_ = w.get();
  return w;
}

void GtkWindows::windowGone(GtkMainWindow* window) {
  if (main_ == window) main_ = nullptr;
}

GtkWindow* GtkWindows::frontWindow() const {
  // The application keeps its windows in the order they last had the focus.
  if (GtkWindow* w = gtk_application_get_active_window(app_)) return w;
  return main_ ? main_->window() : nullptr;
}

}  // namespace qm::gtk
