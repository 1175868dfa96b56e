#include "adapters/gtk/GtkDialogs.h"

#include <vector>

#include "core/Constants.h"
#include "core/Guard.h"

namespace qm::gtk {

struct GtkDialogs::Pending {
  GtkDialogs* dialogs;
  AlertId id;
  std::function<void(int)> done;
  int count;
};

GtkDialogs::~GtkDialogs() {
  while (!alerts_.empty()) closeAlert(alerts_.begin()->first);
}

GtkWindow* GtkDialogs::parent() const {
  GtkMainWindow* main = windows_.mainWindow();
  return main ? main->window() : nullptr;
}

AlertId GtkDialogs::alert(const AlertSpec& spec, std::function<void(int)> done) {
  std::vector<std::string> buttons = spec.buttons;
  if (buttons.empty()) buttons.push_back("OK");
  G_GNUC_BEGIN_IGNORE_DEPRECATIONS
  GtkWidget* dialog = gtk_message_dialog_new(
      parent(), static_cast<GtkDialogFlags>(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT),
      GTK_MESSAGE_OTHER, GTK_BUTTONS_NONE, "%s", spec.message.c_str());
  if (!spec.informative.empty())
    gtk_message_dialog_format_secondary_text(GTK_MESSAGE_DIALOG(dialog), "%s",
                                             spec.informative.c_str());
  for (std::size_t i = 0; i < buttons.size(); ++i)
    gtk_dialog_add_button(GTK_DIALOG(dialog), buttons[i].c_str(), static_cast<int>(i));
  gtk_dialog_set_default_response(GTK_DIALOG(dialog), 0);
  G_GNUC_END_IGNORE_DEPRECATIONS
  gtk_window_set_application(GTK_WINDOW(dialog), windows_.application());
  AlertId id = nextAlert_++;
  alerts_[id] = GTK_WINDOW(dialog);
  auto* pending = new Pending{this, id, std::move(done), static_cast<int>(buttons.size())};
  g_signal_connect_data(
      dialog, "response", G_CALLBACK(+[](GtkWidget* d, int response, Pending* p) {
        int code = kAlertFirstButton + (response >= 0 && response < p->count ? response : p->count);
        auto cb = std::move(p->done);
        p->done = nullptr;
        p->dialogs->alerts_.erase(p->id);
        gtk_window_destroy(GTK_WINDOW(d));
        if (cb) guarded([&] { cb(code); });
      }),
      pending, [](gpointer p, GClosure*) { delete static_cast<Pending*>(p); },
      static_cast<GConnectFlags>(0));
  gtk_window_present(GTK_WINDOW(dialog));
  return id;
}

void GtkDialogs::closeAlert(AlertId id) {
  auto it = alerts_.find(id);
  if (it == alerts_.end()) return;
  GtkWindow* dialog = it->second;
  alerts_.erase(it);
  // Destroying it answers nothing: its handler goes with it, unrun.
  G_GNUC_BEGIN_IGNORE_DEPRECATIONS
  g_signal_handlers_disconnect_matched(dialog, G_SIGNAL_MATCH_ID,
                                       g_signal_lookup("response", GTK_TYPE_DIALOG), 0, nullptr,
                                       nullptr, nullptr);
  G_GNUC_END_IGNORE_DEPRECATIONS
  gtk_window_destroy(dialog);
}

void GtkDialogs::showAbout(const std::string& name, const std::string& credits) {
  GtkWidget* about = gtk_about_dialog_new();
  GtkAboutDialog* a = GTK_ABOUT_DIALOG(about);
  gtk_about_dialog_set_program_name(a, name.c_str());
  gtk_about_dialog_set_version(a, QUARN_VERSION);
  gtk_about_dialog_set_comments(a, credits.c_str());
  gtk_about_dialog_set_logo_icon_name(a, kAppId);
  gtk_about_dialog_set_license_type(a, GTK_LICENSE_MIT_X11);
  if (GtkWindow* main = parent()) gtk_window_set_transient_for(GTK_WINDOW(about), main);
  gtk_window_set_hide_on_close(GTK_WINDOW(about), FALSE);
  gtk_window_set_application(GTK_WINDOW(about), windows_.application());
  gtk_window_present(GTK_WINDOW(about));
}

}  // namespace qm::gtk
