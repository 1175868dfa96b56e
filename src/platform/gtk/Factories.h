#pragma once
// The GTK/WebKit implementations that live in their own files, one per subsystem, and are put
// together by GtkPlatform.

#include <webkit/webkit.h>

#include <memory>
#include <string>

#include "platform/Platform.h"

namespace qm::gtk {

// CookieStoreGtk.cpp: the network session's cookie manager.
std::unique_ptr<CookieStore> makeCookieStore(WebKitNetworkSession* session);

// WebContentGtk.cpp: navigation and response policy, new-window requests and script panels of
// a web view, and (once per network session) its downloads.
void connectWebContent(WebKitWebView* view, WebEvents& events, bool mainView);
void connectDownloads(WebKitNetworkSession* session, WebEvents& events);

// DesktopGtk.cpp
std::unique_ptr<Desktop> makeDesktop();

// NotifierGtk.cpp: notifications and the launcher badge over the session bus.
std::unique_ptr<Notifier> makeNotifier();

// SoundGtk.cpp
std::unique_ptr<SoundPlayer> makeSoundPlayer();

// ToolRunnerGtk.cpp
std::unique_ptr<ToolRunner> makeToolRunner();

// IntroViewGtk.cpp: a transparent web view laid on the overlay, above the main view.
std::unique_ptr<IntroView> makeIntroView(GtkOverlay* overlay, WebKitNetworkSession* session,
                                         const std::string& htmlPath, WebEvents& events);

}  // namespace qm::gtk
