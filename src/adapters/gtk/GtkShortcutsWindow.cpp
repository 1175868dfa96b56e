#include "adapters/gtk/GtkShortcutsWindow.h"

#include <utility>

namespace qm::gtk {

namespace {

std::string markup(const std::string& text) {
  return GCharPtr(g_markup_escape_text(text.c_str(), -1)).get();
}

// GtkShortcutsWindow is made from a builder description only, on GTK before 4.14.
std::string shortcutsUi(const std::vector<KeyHelp>& keys) {
  std::string ui =
      "<interface><object class='GtkShortcutsWindow' id='window'><property "
      "name='title'>Keyboard Shortcuts</property><property name='modal'>1</property><child>"
      "<object class='GtkShortcutsSection'><property name='section-name'>shortcuts</property>"
      "<property name='max-height'>14</property>";
  for (std::size_t i = 0; i < keys.size();) {
    ui += "<child><object class='GtkShortcutsGroup'><property name='title'>" +
          markup(keys[i].group) + "</property>";
    for (const std::string& group = keys[i].group; i < keys.size() && keys[i].group == group; ++i) {
      std::string accel = keys[i].accel;
      for (char& c : accel)
        if (c == '|') c = ' ';
      ui += "<child><object class='GtkShortcutsShortcut'><property name='title'>" +
            markup(keys[i].title) + "</property><property name='accelerator'>" + markup(accel) +
            "</property></object></child>";
    }
    ui += "</object></child>";
  }
  return ui + "</object></child></object></interface>";
}

}  // namespace

GtkShortcutsWindow::GtkShortcutsWindow(GtkWindow* parent,
                                       std::function<std::vector<KeyHelp>()> keys)
    : parent_(parent), keys_(std::move(keys)) {}

GtkShortcutsWindow::~GtkShortcutsWindow() {
  if (window_) gtk_window_destroy(window_.get());
}

void GtkShortcutsWindow::present() {
  if (!window_) {
    auto builder =
        GPtr<GtkBuilder>::adopt(gtk_builder_new_from_string(shortcutsUi(keys_()).c_str(), -1));
    window_ = GPtr<GtkWindow>::ref(GTK_WINDOW(gtk_builder_get_object(builder.get(), "window")));
    gtk_window_set_transient_for(window_.get(), parent_);
    gtk_window_set_hide_on_close(window_.get(), TRUE);
  }
  gtk_window_present(window_.get());
}

}  // namespace qm::gtk
