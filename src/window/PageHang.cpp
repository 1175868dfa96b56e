#include "window/PageHang.h"

#include "core/Log.h"

namespace qm {

namespace {
constexpr double kAskAfterSeconds = 10;
}  // namespace

PageHang::PageHang(Dialogs& dialogs, MainLoop& loop, std::function<void()> restart)
    : dialogs_(dialogs), loop_(loop), restart_(std::move(restart)) {}

PageHang::~PageHang() {
  if (alert_) dialogs_.closeAlert(*alert_);
}

void PageHang::responsiveChanged(bool responsive) {
  if (responsive == responsive_) return;
  responsive_ = responsive;
  if (!responsive) {
    log("the page stopped answering");
    return waitThenAsk();
  }
  log("the page answers again");
  if (timer_) loop_.cancel(*timer_), timer_.reset();
  if (alert_) dialogs_.closeAlert(*alert_), alert_.reset();
}

void PageHang::waitThenAsk() {
  timer_ = loop_.after(kAskAfterSeconds, [this] {
    timer_.reset();
    ask();
  });
}

void PageHang::ask() {
  log("the page has not answered for 10 s: asking whether to reload it");
  alert_ =
      dialogs_.alert({"The page is not responding",
                      "Something in the page keeps it busy. Reload ends it and loads the page "
                      "again; what was typed in it and not saved is lost. Wait gives it more time.",
                      {"Reload", "Wait"}},
                     life_.guard([this](int answer) {
                       alert_.reset();
                       if (answer == kAlertFirstButton) {
                         log("reloading the page that stopped answering");
                         // Its new web process starts out answering.
                         responsive_ = true;
                         return restart_();
                       }
                       log("waiting for the page");
                       if (!responsive_) waitThenAsk();
                     }));
}

}  // namespace qm
