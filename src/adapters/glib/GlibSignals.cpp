#include "adapters/glib/GlibSignals.h"

#include <glib-unix.h>
#include <pthread.h>

#include <atomic>
#include <csignal>
#include <iterator>

namespace qm {

namespace {

// SIGTERM and SIGINT quit cleanly through the main loop, which may be stuck (a blocked tool run,
// a hang). So the first one also gives both signals their default action back: a second ends
// the process at once. GLib's own handlers, which wake the loop, are kept here to be called on;
// written once before either signal can come.
constexpr int kQuitSignals[] = {SIGTERM, SIGINT};
struct sigaction loopWakers[std::size(kQuitSignals)];

std::atomic<bool> quitSignalled{false};

void onQuitSignal(int sig, siginfo_t* info, void* context) {
  struct sigaction byDefault {};
  byDefault.sa_handler = SIG_DFL;
  for (int s : kQuitSignals) ::sigaction(s, &byDefault, nullptr);
  // Two signals close together may be handled at once on two threads, each before the other
  // has put the default back: the later one ends the process here.
  if (quitSignalled.exchange(true)) {
    sigset_t self;
    sigemptyset(&self);
    sigaddset(&self, sig);
    pthread_sigmask(SIG_UNBLOCK, &self, nullptr);
    raise(sig);
    return;
  }
  const struct sigaction& waker = loopWakers[sig == SIGTERM ? 0 : 1];
  if (waker.sa_flags & SA_SIGINFO)
    waker.sa_sigaction(sig, info, context);
  else if (waker.sa_handler != SIG_DFL && waker.sa_handler != SIG_IGN)
    waker.sa_handler(sig);
}

}  // namespace

void quitOnSignals(GApplication* app) {
  for (std::size_t i = 0; i < std::size(kQuitSignals); ++i) {
    g_unix_signal_add(
        kQuitSignals[i],
        +[](gpointer a) -> gboolean {
          g_application_quit(G_APPLICATION(a));
          return G_SOURCE_CONTINUE;
        },
        app);
    ::sigaction(kQuitSignals[i], nullptr, &loopWakers[i]);
    struct sigaction mine {};
    mine.sa_sigaction = onQuitSignal;
    mine.sa_flags = SA_SIGINFO | SA_RESTART | SA_ONSTACK;
    // Neither interrupts the handler: one that comes meanwhile waits, then meets the default.
    sigemptyset(&mine.sa_mask);
    for (int s : kQuitSignals) sigaddset(&mine.sa_mask, s);
    ::sigaction(kQuitSignals[i], &mine, nullptr);
  }
}

}  // namespace qm
