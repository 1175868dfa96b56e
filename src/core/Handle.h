#pragma once
// Owning handles for GLib and the C libraries around it, so nothing is freed by hand, twice or
// never: GPtr for reference-counted GObjects, Owned<T> for everything else (one template, a
// FreeOf<T> specialisation per type next to the header that declares it), SourceId for main
// loop sources and SignalConnection for signal handlers.

#include <glib-object.h>

#include <memory>
#include <utility>

namespace qm {

template <typename T>
class GPtr {
 public:
  GPtr() = default;
  // Takes over a reference the caller owns (a "transfer full" result).
  static GPtr adopt(T* p) {
    GPtr g;
    g.p_ = p;
    return g;
  }
  // Adds a reference of its own.
  static GPtr ref(T* p) { return adopt(p ? static_cast<T*>(g_object_ref(p)) : nullptr); }
  GPtr(const GPtr& o) : p_(o.p_ ? static_cast<T*>(g_object_ref(o.p_)) : nullptr) {}
  GPtr(GPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  GPtr& operator=(GPtr o) noexcept {
    std::swap(p_, o.p_);
    return *this;
  }
  ~GPtr() {
    if (p_) g_object_unref(p_);
  }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  T* release() { return std::exchange(p_, nullptr); }

 private:
  T* p_ = nullptr;
};

// How a T is freed; specialised for each type used with Owned.
template <typename T>
struct FreeOf;

template <typename T>
struct Deleter {
  void operator()(T* p) const {
    if (p) FreeOf<T>::free(p);
  }
};

template <typename T>
using Owned = std::unique_ptr<T, Deleter<T>>;

template <typename T>
Owned<T> own(T* p) {
  return Owned<T>(p);
}

template <>
struct FreeOf<char> {
  static void free(char* p) { g_free(p); }
};
template <>
struct FreeOf<GError> {
  static void free(GError* p) { g_error_free(p); }
};
template <>
struct FreeOf<GKeyFile> {
  static void free(GKeyFile* p) { g_key_file_free(p); }
};
template <>
struct FreeOf<GUri> {
  static void free(GUri* p) { g_uri_unref(p); }
};
template <>
struct FreeOf<GVariant> {
  static void free(GVariant* p) { g_variant_unref(p); }
};
template <>
struct FreeOf<GDateTime> {
  static void free(GDateTime* p) { g_date_time_unref(p); }
};

template <>
struct FreeOf<GMainContext> {
  static void free(GMainContext* p) { g_main_context_unref(p); }
};
template <>
struct FreeOf<GMainLoop> {
  static void free(GMainLoop* p) { g_main_loop_unref(p); }
};
// A source attached to any context: SourceId reaches the default context only.
template <>
struct FreeOf<GSource> {
  static void free(GSource* p) {
    g_source_destroy(p);
    g_source_unref(p);
  }
};

using GCharPtr = Owned<char>;
using GErrorPtr = Owned<GError>;

// A main loop source, removed when the handle goes.
class SourceId {
 public:
  SourceId() = default;
  explicit SourceId(guint id) : id_(id) {}
  SourceId(SourceId&& o) noexcept : id_(std::exchange(o.id_, 0)) {}
  SourceId& operator=(SourceId&& o) noexcept {
    if (this != &o) {
      reset();
      id_ = std::exchange(o.id_, 0);
    }
    return *this;
  }
  SourceId(const SourceId&) = delete;
  SourceId& operator=(const SourceId&) = delete;
  ~SourceId() { reset(); }
  void reset() {
    if (id_) g_source_remove(std::exchange(id_, 0));
  }
  // The source removed itself (its callback returned G_SOURCE_REMOVE): only forget it.
  void forget() { id_ = 0; }
  explicit operator bool() const { return id_ != 0; }

 private:
  guint id_ = 0;
};

// A signal handler, disconnected when the handle goes unless its instance went first.
class SignalConnection {
 public:
  SignalConnection() = default;
  SignalConnection(gpointer instance, gulong id) : id_(id) {
    g_weak_ref_init(&instance_, instance);
  }
  SignalConnection(SignalConnection&& o) noexcept { *this = std::move(o); }
  SignalConnection& operator=(SignalConnection&& o) noexcept {
    if (this != &o) {
      reset();
      GObject* other = static_cast<GObject*>(g_weak_ref_get(&o.instance_));
      g_weak_ref_set(&instance_, other);
      if (other) g_object_unref(other);
      id_ = std::exchange(o.id_, 0);
      g_weak_ref_set(&o.instance_, nullptr);
    }
    return *this;
  }
  SignalConnection(const SignalConnection&) = delete;
  SignalConnection& operator=(const SignalConnection&) = delete;
  ~SignalConnection() {
    reset();
    g_weak_ref_clear(&instance_);
  }
  void reset() {
    if (!id_) return;
    if (GObject* obj = static_cast<GObject*>(g_weak_ref_get(&instance_))) {
      g_signal_handler_disconnect(obj, id_);
      g_object_unref(obj);
    }
    id_ = 0;
    g_weak_ref_set(&instance_, nullptr);
  }

 private:
  GWeakRef instance_{};
  gulong id_ = 0;
};

}  // namespace qm
