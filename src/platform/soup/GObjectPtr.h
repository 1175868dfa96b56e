#pragma once
// Owning handles for GLib objects, so no unref is ever forgotten or doubled.

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

struct GFreeDeleter {
  void operator()(void* p) const { g_free(p); }
};
using GCharPtr = std::unique_ptr<char, GFreeDeleter>;

struct GErrorDeleter {
  void operator()(GError* e) const { g_error_free(e); }
};
using GErrorPtr = std::unique_ptr<GError, GErrorDeleter>;

}  // namespace qm
