#pragma once
// Work that an owner starts and that must end with it: timers, posted calls and HTTP requests
// through these wrappers are cancelled when the wrapper goes, and Lifetime::guard keeps a
// completion from reaching an owner that is gone.

#include <functional>
#include <memory>
#include <set>
#include <utility>

#include "platform/Http.h"
#include "platform/MainLoop.h"

namespace qm {

class Lifetime {
 public:
  // fn, run only while this Lifetime exists.
  template <typename F>
  auto guard(F fn) const {
    return [alive = std::weak_ptr<int>(token_), fn = std::move(fn)](auto&&... args) mutable {
      if (alive.lock()) fn(std::forward<decltype(args)>(args)...);
    };
  }

 private:
  std::shared_ptr<int> token_ = std::make_shared<int>(0);
};

class ScopedLoop : public MainLoop {
 public:
  explicit ScopedLoop(MainLoop& loop) : loop_(loop) {}
  ~ScopedLoop() override {
    for (TimerId id : ids_) loop_.cancel(id);
  }
  ScopedLoop(const ScopedLoop&) = delete;
  ScopedLoop& operator=(const ScopedLoop&) = delete;

  void post(std::function<void()> fn) override { loop_.post(life_.guard(std::move(fn))); }
  TimerId after(double seconds, std::function<void()> fn) override {
    auto id = std::make_shared<TimerId>(0);
    *id = loop_.after(seconds, [this, id, fn = std::move(fn)] {
      ids_.erase(*id);
      fn();
    });
    ids_.insert(*id);
    return *id;
  }
  TimerId every(double seconds, std::function<void()> fn) override {
    TimerId id = loop_.every(seconds, std::move(fn));
    ids_.insert(id);
    return id;
  }
  void cancel(TimerId id) override {
    if (ids_.erase(id)) loop_.cancel(id);
  }
  // The work runs to its end regardless; only done is dropped.
  void background(std::function<void()> work, std::function<void()> done) override {
    loop_.background(std::move(work), life_.guard(std::move(done)));
  }

 private:
  MainLoop& loop_;
  std::set<TimerId> ids_;
  Lifetime life_;
};

class ScopedHttp : public Http {
 public:
  explicit ScopedHttp(Http& http) : http_(http) {}
  ~ScopedHttp() override {
    for (HttpId id : ids_) http_.cancel(id);
  }
  ScopedHttp(const ScopedHttp&) = delete;
  ScopedHttp& operator=(const ScopedHttp&) = delete;

  HttpId get(const HttpRequest& request, std::function<void(HttpResponse)> done) override {
    auto id = std::make_shared<HttpId>(0);
    *id = http_.get(request, [this, id, done = std::move(done)](HttpResponse response) {
      ids_.erase(*id);
      done(std::move(response));
    });
    ids_.insert(*id);
    return *id;
  }
  void cancel(HttpId id) override {
    if (ids_.erase(id)) http_.cancel(id);
  }

 private:
  Http& http_;
  std::set<HttpId> ids_;
};

}  // namespace qm
