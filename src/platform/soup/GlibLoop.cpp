#include "platform/soup/GlibLoop.h"

#include "platform/soup/Guard.h"

#include <glib.h>

#include <cstdio>
#include <exception>

namespace qm {

struct GlibLoop::Entry {
  GlibLoop* loop;
  TimerId id;
  bool repeat;
  std::function<void()> fn;
};

GlibLoop::~GlibLoop() {
  for (auto& [id, source] : sources_) g_source_remove(source);
}

void GlibLoop::post(std::function<void()> fn) {
  auto* f = new std::function<void()>(std::move(fn));
  g_idle_add_full(
      G_PRIORITY_DEFAULT,
      [](void* d) -> int {
        guarded(*static_cast<std::function<void()>*>(d));
        return G_SOURCE_REMOVE;
      },
      f, [](void* d) { delete static_cast<std::function<void()>*>(d); });
}

TimerId GlibLoop::after(double seconds, std::function<void()> fn) {
  return add(seconds, false, std::move(fn));
}

TimerId GlibLoop::every(double seconds, std::function<void()> fn) {
  return add(seconds, true, std::move(fn));
}

TimerId GlibLoop::add(double seconds, bool repeat, std::function<void()> fn) {
  TimerId id = next_++;
  auto* e = new Entry{this, id, repeat, std::move(fn)};
  guint ms = seconds <= 0 ? 0 : static_cast<guint>(seconds * 1000.0 + 0.5);
  unsigned source = g_timeout_add_full(G_PRIORITY_DEFAULT, ms, &GlibLoop::fire, e,
                                       [](void* d) { delete static_cast<Entry*>(d); });
  sources_[id] = source;
  return id;
}

int GlibLoop::fire(void* data) {
  auto* e = static_cast<Entry*>(data);
  if (!e->repeat) e->loop->sources_.erase(e->id);
  // Copy: the callback may cancel its own timer, which frees the entry.
  auto fn = e->fn;
  bool repeat = e->repeat;
  guarded(fn);
  return repeat ? G_SOURCE_CONTINUE : G_SOURCE_REMOVE;
}

void GlibLoop::cancel(TimerId id) {
  auto it = sources_.find(id);
  if (it == sources_.end()) return;
  unsigned source = it->second;
  sources_.erase(it);
  g_source_remove(source);
}

double SystemClock::now() const {
  return static_cast<double>(g_get_real_time()) / 1e6;
}

}  // namespace qm
