#include "adapters/glib/GlibSoundPlayer.h"

#include <gio/gio.h>
#include <glib/gstdio.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <functional>
#include <string_view>
#include <utility>

#include "adapters/glib/GlibBundle.h"
#include "core/Guard.h"
#include "core/Handle.h"

namespace qm {

namespace {

// How long a player asked to stop may take before it is killed: one stuck in its audio sink
// would otherwise outlive the app.
constexpr guint kStopGraceSeconds = 3;

// In the child before exec: the player is killed when the app dies without stopping it. The
// signal comes when the thread that started it ends, and sounds start on the main thread.
void endWithApp(gpointer app) {
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  // The app may have died before the line above.
  if (getppid() != static_cast<pid_t>(GPOINTER_TO_INT(app))) _exit(1);
}

// Holds the child until then; killing one that has ended already does nothing.
void killLater(GSubprocess* child) {
  g_timeout_add_seconds_full(
      G_PRIORITY_DEFAULT, kStopGraceSeconds,
      +[](gpointer c) -> gboolean {
        g_subprocess_force_exit(G_SUBPROCESS(c));
        return G_SOURCE_REMOVE;
      },
      g_object_ref(child), g_object_unref);
}

class GlibSound : public Sound {
 public:
  GlibSound(std::string helper, std::string path)
      : helper_(std::move(helper)), path_(std::move(path)) {}
  ~GlibSound() override { stop(); }

  void play(std::function<void(bool)> started) override {
    stop();
    started_ = std::move(started);
    const char* argv[] = {helper_.c_str(), path_.c_str(), nullptr};
    GError* error = nullptr;
    auto launcher =
        GPtr<GSubprocessLauncher>::adopt(g_subprocess_launcher_new(static_cast<GSubprocessFlags>(
            G_SUBPROCESS_FLAGS_STDIN_PIPE | G_SUBPROCESS_FLAGS_STDOUT_PIPE |
            G_SUBPROCESS_FLAGS_STDERR_SILENCE)));
    g_subprocess_launcher_set_child_setup(launcher.get(), endWithApp, GINT_TO_POINTER(getpid()),
                                          nullptr);
    child_ = GPtr<GSubprocess>::adopt(g_subprocess_launcher_spawnv(launcher.get(), argv, &error));
    GErrorPtr owned(error);
    if (!child_) return fail();
    cancel_ = GPtr<GCancellable>::adopt(g_cancellable_new());
    lines_ = GPtr<GDataInputStream>::adopt(
        g_data_input_stream_new(g_subprocess_get_stdout_pipe(child_.get())));
    sendVolume();
    readLine();
  }
  void stop() override {
    started_ = nullptr;
    playing_ = false;
    if (cancel_) g_cancellable_cancel(cancel_.get());
    if (child_) {
      // The helper ends on either; the closed pipe also covers a line the pipe could not take.
      // GSubprocess reaps it in the background.
      send("stop");
      g_output_stream_close(g_subprocess_get_stdin_pipe(child_.get()), nullptr, nullptr);
      killLater(child_.get());
    }
    child_ = {};
    lines_ = {};
    cancel_ = {};
  }
  void setVolume(float volume) override {
    volume_ = std::clamp(static_cast<double>(volume), 0.0, 1.0);
    sendVolume();
  }
  bool isPlaying() const override { return playing_; }
  double currentTime() const override {
    return playing_ ? static_cast<double>(g_get_monotonic_time() - since_) / G_USEC_PER_SEC : 0;
  }

 private:
  void readLine() {
    g_data_input_stream_read_line_async(lines_.get(), G_PRIORITY_DEFAULT, cancel_.get(),
                                        &GlibSound::onLine, this);
  }
  static void onLine(GObject* source, GAsyncResult* result, gpointer data) {
    GError* error = nullptr;
    GCharPtr line(
        g_data_input_stream_read_line_finish(G_DATA_INPUT_STREAM(source), result, nullptr, &error));
    GErrorPtr owned(error);
    // Cancelled by stop() or the destructor: the sound may be gone.
    if (g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED)) return;
    guarded([&] { static_cast<GlibSound*>(data)->heard(line ? line.get() : nullptr); });
  }
  void heard(const char* line) {
    if (!line || std::string_view(line).starts_with("failed")) return fail();
    // Read on before telling anyone: the callback may stop or replace this play.
    readLine();
    if (std::string_view(line) == "playing" && !playing_) {
      playing_ = true;
      since_ = g_get_monotonic_time();
      if (auto started = std::exchange(started_, nullptr)) started(true);
    }
  }
  // Failed, or the helper ended (at the end of the sound, or before it could start).
  void fail() {
    auto started = std::exchange(started_, nullptr);
    stop();
    if (started) started(false);
  }
  void sendVolume() {
    char text[G_ASCII_DTOSTR_BUF_SIZE];
    send(std::string("volume ") + g_ascii_dtostr(text, sizeof text, volume_));
  }
  // Never blocks the main thread: a line a full pipe cannot take now is dropped, as is one for
  // a helper that has gone.
  void send(const std::string& line) {
    if (!child_) return;
    std::string text = line + "\n";
    auto* in = G_POLLABLE_OUTPUT_STREAM(g_subprocess_get_stdin_pipe(child_.get()));
    GError* error = nullptr;
    g_pollable_output_stream_write_nonblocking(in, text.data(), text.size(), nullptr, &error);
    GErrorPtr owned(error);
  }

  std::string helper_;
  std::string path_;
  GPtr<GSubprocess> child_;
  GPtr<GDataInputStream> lines_;
  GPtr<GCancellable> cancel_;
  std::function<void(bool)> started_;
  bool playing_ = false;
  gint64 since_ = 0;
  double volume_ = 1.0;
};

class GlibSoundPlayer : public SoundPlayer {
 public:
  explicit GlibSoundPlayer(std::string helper) : helper_(std::move(helper)) {
    // A write to a helper that has just ended must fail, not end the app (GIO does the same
    // for its sockets).
    std::signal(SIGPIPE, SIG_IGN);
  }
  std::unique_ptr<Sound> open(const std::string& path) override {
    if (!g_file_test(path.c_str(), G_FILE_TEST_IS_REGULAR) || g_access(path.c_str(), R_OK) != 0)
      return nullptr;
    if (!g_file_test(helper_.c_str(), G_FILE_TEST_IS_EXECUTABLE) ||
        !g_file_test(helper_.c_str(), G_FILE_TEST_IS_REGULAR))
      return nullptr;
    return std::make_unique<GlibSound>(helper_, path);
  }

 private:
  std::string helper_;
};

}  // namespace

std::unique_ptr<SoundPlayer> makeHelperSoundPlayer(std::string helper) {
  return std::make_unique<GlibSoundPlayer>(std::move(helper));
}

namespace {

// Beside the program when it runs from the build folder, else in libexec/ of its prefix.
std::string locateSoundHelper() {
  std::string beside = besideProgram("quarn-sound");
  if (g_file_test(beside.c_str(), G_FILE_TEST_IS_EXECUTABLE)) return beside;
  return besideProgram(QUARN_SOUND_HELPER_FROM_BIN "/quarn-sound");
}

}  // namespace

std::unique_ptr<SoundPlayer> makeSoundPlayer() {
  return makeHelperSoundPlayer(locateSoundHelper());
}

}  // namespace qm
