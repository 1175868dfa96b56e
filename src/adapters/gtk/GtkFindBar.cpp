#include "adapters/gtk/GtkFindBar.h"

#include <string>
#include <utility>

#include "core/Guard.h"
#include "window/PageControls.h"

namespace qm::gtk {

namespace {

void label(GtkWidget* widget, const char* text) {
  gtk_accessible_update_property(GTK_ACCESSIBLE(widget), GTK_ACCESSIBLE_PROPERTY_LABEL, text, -1);
}

GtkWidget* iconButton(const char* icon, const char* text) {
  GtkWidget* button = gtk_button_new_from_icon_name(icon);
  gtk_widget_set_tooltip_text(button, text);
  label(button, text);
  return button;
}

}  // namespace

GtkFindBar::GtkFindBar(GtkOverlay* overlay, WebKitWebView* view)
    : view_(view), find_(webkit_web_view_get_find_controller(view)) {
  bar_ = gtk_search_bar_new();
  entry_ = gtk_search_entry_new();
  count_ = gtk_label_new(nullptr);
  GtkWidget* previous = iconButton("go-up-symbolic", "Previous Match");
  GtkWidget* next = iconButton("go-down-symbolic", "Next Match");
  label(bar_, "Find in Page");
  label(entry_, "Find in page");
  gtk_widget_set_size_request(entry_, 240, -1);
  gtk_widget_add_css_class(count_, "dim-label");
  GtkWidget* box = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 6);
  for (GtkWidget* w : {entry_, count_, previous, next}) gtk_box_append(GTK_BOX(box), w);
  gtk_search_bar_set_child(GTK_SEARCH_BAR(bar_), box);
  gtk_search_bar_connect_entry(GTK_SEARCH_BAR(bar_), GTK_EDITABLE(entry_));
  gtk_search_bar_set_show_close_button(GTK_SEARCH_BAR(bar_), TRUE);
  // Shown at once: keys typed while it would still slide in are otherwise lost.
  if (GtkWidget* revealer = gtk_widget_get_first_child(bar_); GTK_IS_REVEALER(revealer))
    gtk_revealer_set_transition_type(GTK_REVEALER(revealer), GTK_REVEALER_TRANSITION_TYPE_NONE);
  gtk_widget_set_valign(bar_, GTK_ALIGN_START);
  gtk_widget_set_halign(bar_, GTK_ALIGN_END);
  gtk_overlay_add_overlay(overlay, bar_);

  auto on = [this](gpointer object, const char* signal, GCallback callback) {
    signals_.emplace_back(object, g_signal_connect_swapped(object, signal, callback, this));
  };
  on(entry_, "search-changed",
     G_CALLBACK(+[](GtkFindBar* self) { guarded([&] { self->search(); }); }));
  on(entry_, "activate", G_CALLBACK(+[](GtkFindBar* self) { guarded([&] { self->step(true); }); }));
  on(entry_, "next-match",
     G_CALLBACK(+[](GtkFindBar* self) { guarded([&] { self->step(true); }); }));
  on(entry_, "previous-match",
     G_CALLBACK(+[](GtkFindBar* self) { guarded([&] { self->step(false); }); }));
  on(next, "clicked", G_CALLBACK(+[](GtkFindBar* self) { guarded([&] { self->step(true); }); }));
  on(previous, "clicked",
     G_CALLBACK(+[](GtkFindBar* self) { guarded([&] { self->step(false); }); }));
  on(entry_, "stop-search", G_CALLBACK(+[](GtkFindBar* self) {
       gtk_search_bar_set_search_mode(GTK_SEARCH_BAR(self->bar_), FALSE);
     }));
  on(bar_, "notify::search-mode-enabled", G_CALLBACK(+[](GtkFindBar* self) {
       if (!gtk_search_bar_get_search_mode(GTK_SEARCH_BAR(self->bar_)))
         guarded([&] { self->closed(); });
     }));
  on(find_, "found-text", G_CALLBACK(+[](GtkFindBar* self, guint count) {
       // Only a new search counts them all; going on to the next reports one.
       if (std::exchange(self->counting_, false)) self->matchCount_ = count;
       guarded([&] { self->showCount(); });
     }));
  on(find_, "failed-to-find-text", G_CALLBACK(+[](GtkFindBar* self) {
       self->matchCount_ = 0;
       guarded([&] { self->showCount(); });
     }));
  // Shift+Enter goes back, as Shift does with the other keys.
  GtkEventController* entryKeys = gtk_event_controller_key_new();
  gtk_event_controller_set_propagation_phase(entryKeys, GTK_PHASE_CAPTURE);
  g_signal_connect(
      entryKeys, "key-pressed",
      G_CALLBACK(+[](GtkEventControllerKey*, guint key, guint, GdkModifierType state,
                     GtkFindBar* self) -> gboolean {
        if ((key != GDK_KEY_Return && key != GDK_KEY_KP_Enter) || !(state & GDK_SHIFT_MASK))
          return FALSE;
        guarded([&] { self->step(false); });
        return TRUE;
      }),
      this);
  gtk_widget_add_controller(entry_, entryKeys);
}

GtkFindBar::~GtkFindBar() {
  signals_.clear();
  if (GtkWidget* parent = gtk_widget_get_parent(bar_))
    gtk_overlay_remove_overlay(GTK_OVERLAY(parent), bar_);
}

bool GtkFindBar::open() {
  gtk_search_bar_set_search_mode(GTK_SEARCH_BAR(bar_), TRUE);
  gtk_widget_grab_focus(entry_);
  gtk_editable_select_region(GTK_EDITABLE(entry_), 0, -1);
  return true;
}

bool GtkFindBar::step(bool forward) {
  if (!gtk_search_bar_get_search_mode(GTK_SEARCH_BAR(bar_))) {
    open();
    search();
    return true;
  }
  if (!searching_) return true;
  matchIndex_ = page::stepMatch(matchIndex_, matchCount_, forward);
  forward ? webkit_find_controller_search_next(find_)
          : webkit_find_controller_search_previous(find_);
  return true;
}

void GtkFindBar::search() {
  const char* text = gtk_editable_get_text(GTK_EDITABLE(entry_));
  searching_ = text && *text;
  matchIndex_ = 1;
  matchCount_ = 0;
  counting_ = searching_;
  if (!searching_) {
    webkit_find_controller_search_finish(find_);
    showCount();
    return;
  }
  webkit_find_controller_search(
      find_, text, WEBKIT_FIND_OPTIONS_CASE_INSENSITIVE | WEBKIT_FIND_OPTIONS_WRAP_AROUND,
      G_MAXUINT);
}

void GtkFindBar::showCount() {
  std::string text = page::matchCountText(searching_, matchIndex_, matchCount_);
  gtk_label_set_text(GTK_LABEL(count_), text.c_str());
  gtk_accessible_update_property(GTK_ACCESSIBLE(entry_), GTK_ACCESSIBLE_PROPERTY_DESCRIPTION,
                                 text.c_str(), -1);
}

void GtkFindBar::closed() {
  searching_ = false;
  webkit_find_controller_search_finish(find_);
  showCount();
  gtk_widget_grab_focus(GTK_WIDGET(view_));
}

}  // namespace qm::gtk
