#pragma once
// The one place where WebKitGTK and GTK version differences are handled.

#include <gtk/gtk.h>
#include <webkit/webkit.h>

namespace qm::gtk {

// A string posted to a script message channel, or null when the body is not a string.
// (JSCValue is the message body type in WebKitGTK 6.0.)
inline char* scriptMessageString(JSCValue* value) {
  if (!value || !jsc_value_is_string(value)) return nullptr;
  return jsc_value_to_string(value);
}

inline void registerScriptChannel(WebKitUserContentManager* ucm, const char* name) {
  webkit_user_content_manager_register_script_message_handler(ucm, name, nullptr);
}

inline void unregisterScriptChannel(WebKitUserContentManager* ucm, const char* name) {
  webkit_user_content_manager_unregister_script_message_handler(ucm, name, nullptr);
}

}  // namespace qm::gtk
