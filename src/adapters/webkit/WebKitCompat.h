#pragma once
// The one place where WebKitGTK and GTK version differences are handled.

#include <gtk/gtk.h>
#include <webkit/webkit.h>

namespace qm::webkit {

// GTK 4.14 brought the socket through which the web engine hands the page's accessibility tree,
// kept in its web process, to the view; with an older toolkit screen readers find the view but
// nothing of the page.
inline constexpr bool kPagesReachScreenReaders = GTK_CHECK_VERSION(4, 14, 0);

// Names the main view for screen readers and, where the page cannot reach them, says why.
inline void describeMainView(GtkWidget* view) {
  gtk_accessible_update_property(GTK_ACCESSIBLE(view), GTK_ACCESSIBLE_PROPERTY_LABEL, "Page", -1);
  if constexpr (!kPagesReachScreenReaders)
    gtk_accessible_update_property(GTK_ACCESSIBLE(view), GTK_ACCESSIBLE_PROPERTY_DESCRIPTION,
                                   "Its text is not available to screen readers with this "
                                   "system's GTK, which is older than 4.14.",
                                   -1);
}

// A string posted to a script message channel, or null when the body is not a string.
// (JSCValue is the message body type in WebKitGTK 6.0.)
inline char* scriptMessageString(JSCValue* value) {
  if (!value || !jsc_value_is_string(value)) return nullptr;
  return jsc_value_to_string(value);
}

// In `world`, a script world of the app's own, when given; otherwise in the pages' own.
inline void registerScriptChannel(WebKitUserContentManager* ucm, const char* name,
                                  const char* world = nullptr) {
  webkit_user_content_manager_register_script_message_handler(ucm, name, world);
}

inline void unregisterScriptChannel(WebKitUserContentManager* ucm, const char* name) {
  webkit_user_content_manager_unregister_script_message_handler(ucm, name, nullptr);
}

}  // namespace qm::webkit
