#pragma once
// The page's zoom on the view: the level of the page's server host, taken up as each page
// starts, and Ctrl+wheel stepping it.

#include <gtk/gtk.h>
#include <webkit/webkit.h>

#include <vector>

#include "core/Handle.h"
#include "window/Zoom.h"

namespace qm::gtk {

class GtkZoom {
 public:
  explicit GtkZoom(WebKitWebView* view);
  ~GtkZoom();
  GtkZoom(const GtkZoom&) = delete;
  GtkZoom& operator=(const GtkZoom&) = delete;

  // `steps` steps up (> 0) or down, or back to the default for 0.
  void step(int steps);

 private:
  void apply();

  WebKitWebView* view_;
  page::Zoom zoom_;
  std::vector<SignalConnection> signals_;
  GtkEventController* wheel_;  // owned by the view
};

}  // namespace qm::gtk
