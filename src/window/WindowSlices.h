#pragma once
// The few operations of the main window that other controllers use, each handed only its slice.

#include <functional>
#include <memory>
#include <string>

#include "platform/CookieStore.h"
#include "platform/Ui.h"

namespace qm {

// What the connection flow shows in the main web view.
class MainPages {
 public:
  // Loads the server's UI once the shared sign-in for `host` is in the store, then calls
  // `adopted`. A later loadUi replaces one whose adoption is still running.
  virtual void loadUi(const std::string& host, const std::string& base,
                      std::function<void()> adopted) = 0;
  virtual void loadHtml(const std::string& html) = 0;
  // Whether the view shows that generated page, as last loaded with loadHtml.
  virtual bool showsPage(const std::string& html) const = 0;

 protected:
  ~MainPages() = default;
};

// Where the intro shows.
class IntroHost {
 public:
  virtual bool built() const = 0;
  virtual void present() = 0;
  // A new intro view over the web view; none before the window is built.
  virtual std::unique_ptr<IntroView> createIntroView(const std::string& htmlPath,
                                                     IntroEvents& events) = 0;

 protected:
  ~IntroHost() = default;
};

// The main view's cookie store, which the poller reads the sign-in from; null before the window
// is built.
class CookieSource {
 public:
  virtual CookieStore* cookies() = 0;

 protected:
  ~CookieSource() = default;
};

}  // namespace qm
