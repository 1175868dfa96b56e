#include "adapters/glib/GlibLoop.h"

#include "core/Guard.h"

#include <gio/gio.h>
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
  // Emptied before the sources go: an entry freed with its source may cancel another timer.
  std::map<TimerId, SourceId> sources;
  sources.swap(sources_);
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
  sources_.emplace(id,
                   SourceId(g_timeout_add_full(G_PRIORITY_DEFAULT, ms, &GlibLoop::fire, e,
                                               [](void* d) { delete static_cast<Entry*>(d); })));
  return id;
}

int GlibLoop::fire(void* data) {
  auto* e = static_cast<Entry*>(data);
  bool repeat = e->repeat;
  guarded([&] {
    if (!repeat) {
      // Returning G_SOURCE_REMOVE below removes the source.
      if (auto it = e->loop->sources_.find(e->id); it != e->loop->sources_.end()) {
        it->second.forget();
        e->loop->sources_.erase(it);
      }
    }
    // Copy: the callback may cancel its own timer, which frees the entry.
    auto fn = e->fn;
    fn();
  });
  return repeat ? G_SOURCE_CONTINUE : G_SOURCE_REMOVE;
}

void GlibLoop::cancel(TimerId id) {
  auto it = sources_.find(id);
  if (it == sources_.end()) return;
  // Out of the table before it goes: the entry freed with it may cancel again.
  SourceId source = std::move(it->second);
  sources_.erase(it);
}

void GlibLoop::background(std::function<void()> work, std::function<void()> done) {
  struct Job {
    std::function<void()> work, done;
  };
  GTask* task = g_task_new(
      nullptr, nullptr,
      [](GObject*, GAsyncResult* result, gpointer) {
        guarded(static_cast<Job*>(g_task_get_task_data(G_TASK(result)))->done);
      },
      nullptr);
  g_task_set_task_data(task, new Job{std::move(work), std::move(done)},
                       [](gpointer job) { delete static_cast<Job*>(job); });
  g_task_run_in_thread(task, [](GTask* t, gpointer, gpointer job, GCancellable*) {
    guarded(static_cast<Job*>(job)->work);
    g_task_return_boolean(t, TRUE);
  });
  g_object_unref(task);
}

double GlibClock::now() const {
  return static_cast<double>(g_get_real_time()) / 1e6;
}

double GlibClock::monotonic() const {
  return static_cast<double>(g_get_monotonic_time()) / 1e6;
}

}  // namespace qm
