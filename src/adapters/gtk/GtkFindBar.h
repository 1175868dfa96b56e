#pragma once
// The find bar over the top of the page: the search as it is typed, the step from match to
// match, and the count of matches.

#include <gtk/gtk.h>
#include <webkit/webkit.h>

#include <vector>

#include "core/Handle.h"

namespace qm::gtk {

class GtkFindBar {
 public:
  GtkFindBar(GtkOverlay* overlay, WebKitWebView* view);
  ~GtkFindBar();
  GtkFindBar(const GtkFindBar&) = delete;
  GtkFindBar& operator=(const GtkFindBar&) = delete;

  // Shown, with its text selected. True: the key is taken.
  bool open();
  // The next (or previous) match; a closed bar opens and searches anew.
  bool step(bool forward);

 private:
  void search();
  void showCount();
  void closed();

  WebKitWebView* view_;
  WebKitFindController* find_;
  std::vector<SignalConnection> signals_;
  GtkWidget* bar_;
  GtkWidget* entry_;
  GtkWidget* count_;
  bool searching_ = false;
  bool counting_ = false;  // the next match count is the whole page's
  unsigned matchIndex_ = 0, matchCount_ = 0;
};

}  // namespace qm::gtk
