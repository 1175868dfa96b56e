#pragma once
// In-memory fakes of the ports for unit tests. Time is virtual: FakeLoop::advance runs due
// timers in order; nothing waits on the real clock.

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/Platform.h"

namespace qm::test {

// The value under `k`, if any.
template <class M>
std::optional<typename M::mapped_type> lookup(const M& m, const std::string& k) {
  auto it = m.find(k);
  return it == m.end() ? std::nullopt : std::optional(it->second);
}

// The shared sign-in's cookie for `host`.
inline Cookie suiteCookie(std::string value, std::string host) {
  return {"qmsuite", std::move(value), std::move(host), "/", {}};
}

// Runs the queue in order, including what running it adds.
inline void runAll(std::deque<std::function<void()>>& queue) {
  while (!queue.empty()) {
    auto fn = std::move(queue.front());
    queue.pop_front();
    fn();
  }
}

struct FakeClock : Clock {
  double t = 1700000000.0, steady = 1000.0;  // the wall clock, and the one that never steps
  double now() const override { return t; }
  double monotonic() const override { return steady; }
};

struct FakeLoop : MainLoop {
  struct Timer {
    TimerId id;
    double due, interval;  // interval 0 for one-shot
    std::function<void()> fn;
  };
  FakeClock clock;  // moves with virtual time
  double now = 0;   // virtual seconds since the fake started
  std::vector<Timer> timers;
  std::deque<std::function<void()>> posted;
  TimerId next = 1;

  void post(std::function<void()> fn) override { posted.push_back(std::move(fn)); }
  TimerId after(double s, std::function<void()> fn) override { return add(s, 0, fn); }
  TimerId every(double s, std::function<void()> fn) override { return add(s, s, fn); }
  void cancel(TimerId id) override {
    std::erase_if(timers, [id](const Timer& t) { return t.id == id; });
  }
  // Both run in turn with what was posted.
  void background(std::function<void()> work, std::function<void()> done) override {
    post([work = std::move(work), done = std::move(done)] { work(), done(); });
  }
  // Runs everything posted so far (and what that posts in turn).
  void drain() { runAll(posted); }
  // Moves virtual time forward, running posted work and due timers in time order.
  void advance(double seconds) {
    double end = now + seconds;
    drain();
    for (;;) {
      auto it = std::min_element(timers.begin(), timers.end(),
                                 [](const Timer& a, const Timer& b) { return a.due < b.due; });
      if (it == timers.end() || it->due > end) break;
      moveTo(it->due);
      Timer t = *it;
      t.interval > 0 ? void(it->due += t.interval) : void(timers.erase(it));
      t.fn();
      drain();
    }
    moveTo(end);
  }

 private:
  void moveTo(double at) { clock.t += at - now, clock.steady += at - now, now = at; }
  TimerId add(double s, double interval, std::function<void()>& fn) {
    timers.push_back({next, now + s, interval, std::move(fn)});
    return next++;
  }
};

// Records requests; a test answers them with respond().
struct FakeHttp : Http {
  struct Pending {
    HttpId id;
    HttpRequest request;
    std::function<void(HttpResponse)> done;
  };
  std::vector<Pending> pending;
  std::vector<HttpRequest> sent;
  HttpId next = 1;

  HttpId get(const HttpRequest& r, std::function<void(HttpResponse)> done) override {
    sent.push_back(r);
    pending.push_back({next, r, std::move(done)});
    return next++;
  }
  void cancel(HttpId id) override {
    std::erase_if(pending, [id](const Pending& p) { return p.id == id; });
  }
  // Answers the oldest pending request whose URL contains `urlPart`. False when none.
  bool respond(const std::string& urlPart, HttpResponse response) {
    auto it = std::find_if(pending.begin(), pending.end(), [&](const Pending& p) {
      return p.request.url.find(urlPart) != std::string::npos;
    });
    if (it == pending.end()) return false;
    auto done = std::move(it->done);
    pending.erase(it);
    done(std::move(response));
    return true;
  }
  static HttpResponse status(int code, std::optional<std::string> body = std::nullopt) {
    return {true, code, std::move(body)};
  }
  static HttpResponse failure() { return HttpResponse{}; }
};

struct FakeWebView : WebView {
  std::vector<std::string> log;  // "html:<...>", "url:<...>", "reload", "reloadFromOrigin"
  std::optional<std::string> currentUri;

  void loadHtml(const std::string& html) override {
    log.push_back("html:" + html);
    currentUri = "about:blank";
  }
  void loadUrl(const std::string& url) override {
    log.push_back("url:" + url);
    currentUri = url;
  }
  void reload() override { log.push_back("reload"); }
  void reloadFromOrigin() override { log.push_back("reloadFromOrigin"); }
  void terminateWebProcess() override { log.push_back("terminate"); }
  std::optional<std::string> uri() const override { return currentUri; }
  std::optional<std::string> committedUri() const override { return currentUri; }
};

struct FakeIntroView : IntroView {
  std::vector<std::string> scripts;
  bool removed = false;
  std::vector<std::pair<double, std::function<void()>>> fades;

  void evaluate(const std::string& script) override { scripts.push_back(script); }
  void fadeOut(double seconds, std::function<void()> done) override {
    fades.emplace_back(seconds, std::move(done));
  }
  void remove() override { removed = true; }
};

struct FakeCookieStore : CookieStore {
  std::vector<Cookie> cookies;
  std::function<void()> observer;
  bool refuse = false;
  // When true, getAll/set completions wait in `queued` until flush().
  bool deferred = false;
  std::deque<std::function<void()>> queued;
  std::vector<Cookie> setCalls;
  int reads = 0;

  void getAll(std::function<void(std::vector<Cookie>)> done) override {
    ++reads;
    run([done = std::move(done), copy = cookies] { done(copy); });
  }
  void set(const Cookie& c, std::function<void(bool)> done) override {
    setCalls.push_back(c);
    auto same = std::find_if(cookies.begin(), cookies.end(), [&](const Cookie& e) {
      return e.name == c.name && e.domain == c.domain && e.path == c.path;
    });
    if (!refuse) same == cookies.end() ? cookies.push_back(c) : void(*same = c);
    run([done = std::move(done), ok = !refuse] { done(ok); });
    if (!refuse) changed();
  }
  void remove(const Cookie& c, std::function<void(bool)> done) override {
    std::erase_if(cookies, [&](auto& e) { return e.domain == c.domain && e.value == c.value; });
    run([done = std::move(done)] { done(true); }), changed();
  }
  void setObserver(std::function<void()> fn) override { observer = std::move(fn); }
  // Simulates a change made by the engine (a Set-Cookie, a sign-out).
  void changed() {
    if (observer) observer();
  }
  void flush() { runAll(queued); }

 private:
  void run(std::function<void()> fn) {
    if (deferred)
      queued.push_back(std::move(fn));
    else
      fn();
  }
};

struct FakeMainWindow : MainWindow {
  FakeWebView webView;
  int presented = 0;
  std::vector<FakeIntroView*> intros;  // every intro view created, in order

  WebView& web() override { return webView; }
  void present() override { ++presented; }
  void minimize() override {}
  std::unique_ptr<IntroView> createIntroView(const std::string&, IntroEvents&) override {
    auto v = std::make_unique<FakeIntroView>();
    intros.push_back(v.get());
    return v;
  }
};

struct FakeUi : Ui {
  FakeMainWindow* window = nullptr;  // the window handed out by createMainWindow
  std::optional<MainViewEvents> events;
  std::vector<Menu> menus;
  std::function<void(const std::string&)> onAction;
  std::map<std::string, bool> states;
  struct Alert {
    AlertSpec spec;
    std::function<void(int)> done;
  };
  std::vector<Alert> alerts;  // an alert's id is its place in the list, from 1
  std::vector<AlertId> closed;
  std::vector<std::pair<std::string, std::string>> abouts;
  int quits = 0;

  std::unique_ptr<MainWindow> createMainWindow(MainViewEvents ev) override {
    events.emplace(std::move(ev));
    auto w = std::make_unique<FakeMainWindow>();
    window = w.get();
    return w;
  }
  void installMenu(const std::vector<Menu>& m,
                   std::function<void(const std::string&)> fn) override {
    menus = m;
    onAction = std::move(fn);
    for (auto& menu : m)
      for (auto& item : menu.items)
        if (item.state) states[item.action] = *item.state;
  }
  void setMenuItemState(const std::string& action, bool on) override { states[action] = on; }
  AlertId alert(const AlertSpec& spec, std::function<void(int)> done) override {
    alerts.push_back({spec, std::move(done)});
    return alerts.size();
  }
  void closeAlert(AlertId id) override { closed.push_back(id); }
  void showAbout(const std::string& name, const std::string& credits) override {
    abouts.emplace_back(name, credits);
  }
  void quit() override { ++quits; }
  bool inFront = true;
  bool appInFront() override { return inFront; }
};

struct FakeDesktop : Desktop {
  std::vector<std::string> opened;
  std::vector<std::string> launched;
  std::vector<std::string> shown;
  std::optional<std::string> downloads;

  void openUri(const std::string& uri) override { opened.push_back(uri); }
  bool appInstalled(const std::string&) override { return false; }
  void launchApp(const std::string& id) override { launched.push_back(id); }
  void showFileSelected(const std::string& path) override { shown.push_back(path); }
  std::optional<std::string> downloadsDir() override { return downloads; }
};

struct FakeNotifier : Notifier {
  std::vector<std::pair<std::string, std::string>> posted;  // title, body
  std::vector<std::optional<std::int64_t>> badges;          // every setBadge call

  void post(const std::string& t, const std::string& b) override { posted.emplace_back(t, b); }
  void setBadge(std::optional<std::int64_t> c) override { badges.push_back(c); }
  std::vector<std::optional<double>> progress;
  void postAction(const std::string& t, const std::string& b, std::function<void()>) override {
    posted.emplace_back(t, b);
  }
  void setProgress(std::optional<double> p) override { progress.push_back(p); }
};

struct FakeSound : Sound {
  struct State {
    bool playing = false, playFails = false;
    bool late = false;  // the player says whether it plays only when `outcome` is called
    std::function<void(bool)> outcome;
    int stops = 0;
    double position = 0;
    std::vector<float> volumes;
  };
  explicit FakeSound(std::shared_ptr<State> s) : s_(std::move(s)) {}
  void play(std::function<void(bool)> started) override {
    s_->position = 0;
    s_->playing = !s_->late && !s_->playFails;
    if (!s_->late) return started(s_->playing);
    s_->outcome = [s = s_.get(), started = std::move(started)](bool ok) {
      s->playing = ok;
      started(ok);
    };
  }
  void stop() override {
    ++s_->stops;
    s_->playing = false;
    s_->outcome = nullptr;  // a stopped sound never reports
  }
  void setVolume(float v) override { s_->volumes.push_back(v); }
  bool isPlaying() const override { return s_->playing; }
  double currentTime() const override { return s_->position; }

 private:
  std::shared_ptr<State> s_;
};

struct FakeSoundPlayer : SoundPlayer {
  bool openFails = false;
  FakeSound::State startAs;                               // what each opened sound starts as
  std::vector<std::shared_ptr<FakeSound::State>> sounds;  // one per open, in order

  std::unique_ptr<Sound> open(const std::string&) override {
    if (openFails) return nullptr;
    auto s = std::make_shared<FakeSound::State>(startAs);
    sounds.push_back(s);
    return std::make_unique<FakeSound>(s);
  }
};

struct FakeSettings : Settings {
  std::map<std::string, bool> values;
  std::optional<bool> getBool(const std::string& k) override { return lookup(values, k); }
  void setBool(const std::string& k, bool v) override { values[k] = v; }
};

struct FakeBundle : Bundle {
  std::map<std::string, std::string> info;
  std::map<std::string, std::string> resources;  // name -> path

  std::optional<std::string> infoString(const std::string& k) override { return lookup(info, k); }
  std::optional<std::string> identifier() override { return "app.quillmarsh.quarn"; }
  std::optional<std::string> resource(const std::string& k) override {
    return lookup(resources, k);
  }
};

struct FakeTools : ToolRunner {
  std::function<void(const std::string&, const std::vector<std::string>&)> onRun;
  std::vector<double> timeouts;  // each run's bound

  int run(const std::string& p, const std::vector<std::string>& a, double timeout) override {
    if (onRun) onRun(p, a);
    timeouts.push_back(timeout);
    return 0;
  }
};

struct FakeNetwork : NetworkEvents {
  std::function<void(const std::string&)> fn;  // while watched
  std::shared_ptr<void> watch(std::function<void(const std::string&)> f) override {
    fn = std::move(f);
    return std::shared_ptr<void>(this, [](FakeNetwork* n) { n->fn = nullptr; });
  }
};

// Every fake, wired into one Platform.
struct FakePlatform {
  FakeLoop loop;
  FakeClock& clock = loop.clock;
  FakeHttp http;
  FakeUi ui;
  FakeDesktop desktop;
  FakeNotifier notifier;
  FakeSoundPlayer sound;
  FakeSettings settings;
  FakeBundle bundle;
  FakeTools tools;
  FakeNetwork network;
  FakeCookieStore cookies;
  Platform platform{loop,     clock,  http,  ui,      desktop, notifier, sound,
                    settings, bundle, tools, network, cookies, {}};
};

}  // namespace qm::test
