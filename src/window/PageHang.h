#pragma once
// A page whose web process has stopped answering: after a while the user is asked whether to
// end it and load it again, or to wait.

#include <functional>
#include <optional>

#include "platform/Dialogs.h"
#include "platform/Scoped.h"

namespace qm {

class PageHang {
 public:
  // `restart` ends the web process and loads the page again.
  PageHang(Dialogs& dialogs, MainLoop& loop, std::function<void()> restart);
  ~PageHang();
  PageHang(const PageHang&) = delete;
  PageHang& operator=(const PageHang&) = delete;

  void responsiveChanged(bool responsive);

 private:
  void waitThenAsk();
  void ask();

  Dialogs& dialogs_;
  ScopedLoop loop_;
  std::function<void()> restart_;
  bool responsive_ = true;
  std::optional<TimerId> timer_;
  std::optional<AlertId> alert_;
  Lifetime life_;
};

}  // namespace qm
