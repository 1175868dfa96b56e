#pragma once
// The app's modal alerts and its About dialog.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace qm {

struct AlertSpec {
  std::string message;
  std::string informative;
  // Buttons in order; the first answers 1000, the second 1001 and so on. Empty means one "OK".
  std::vector<std::string> buttons;
};

constexpr int kAlertFirstButton = 1000;

using AlertId = std::uint64_t;

class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // A modal alert on the main window. done gets the button's code (kAlertFirstButton for the
  // first); a dialog closed otherwise answers kAlertFirstButton + buttons.size().
  virtual AlertId alert(const AlertSpec& spec, std::function<void(int)> done) = 0;
  // Takes an alert away unanswered: its done is never called. Unknown ids are ignored.
  virtual void closeAlert(AlertId id) = 0;
  virtual void showAbout(const std::string& name, const std::string& credits) = 0;
};

}  // namespace qm
