#pragma once
// The GTK/WebKit implementations that live in their own files, one per subsystem, and are put
// together by GtkPlatform and the main window.

#include <webkit/webkit.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/Handle.h"
#include "platform/Platform.h"
#include "window/WindowSize.h"

namespace qm::gtk {

// CookieStoreGtk.cpp: the network session's cookie manager.
std::unique_ptr<CookieStore> makeCookieStore(WebKitNetworkSession* session);

// WebContentGtk.cpp: navigation and response policy of a web view and, for the main view,
// new-window requests and script panels; delivered while the connections live.
std::vector<SignalConnection> connectWebContent(WebKitWebView* view, ContentEvents& events,
                                                bool mainView);
// The session's downloads, delivered while the returned handle lives.
std::shared_ptr<void> watchDownloads(WebKitNetworkSession* session, DownloadEvents& events);

// PageFeaturesGtk.cpp: a web view's context menu and permission requests, held to the app's
// rules while the connections live. Inspect Element shows where the view's settings enable
// developer extras.
std::vector<SignalConnection> connectPageFeatures(WebKitWebView* view);

// DesktopGtk.cpp
std::unique_ptr<Desktop> makeDesktop();

// WorkArea.cpp: the work area of the first monitor; empty when there is none.
WindowSize firstWorkArea();

// NotifierGtk.cpp: notifications and the launcher badge over the session bus; a click on a
// notification calls onClicked.
std::unique_ptr<Notifier> makeNotifier(std::function<void()> onClicked);

// SoundGtk.cpp
std::unique_ptr<SoundPlayer> makeSoundPlayer();

// IntroViewGtk.cpp: a transparent web view laid on the overlay, above the main view; gone runs
// when it is destroyed.
std::unique_ptr<IntroView> makeIntroView(GtkOverlay* overlay, WebKitNetworkSession* session,
                                         const std::string& htmlPath, IntroEvents& events,
                                         ContentEvents& content, std::function<void()> gone);

}  // namespace qm::gtk
