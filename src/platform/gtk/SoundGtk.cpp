// The intro sound through a GStreamer playbin, audio only.
#include <glib/gstdio.h>
#include <gst/gst.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <utility>

#include "platform/glib/Guard.h"
#include "platform/glib/Handle.h"
#include "platform/gtk/Factories.h"

namespace qm::gtk {

namespace {

constexpr guint kPlayAudioOnly = 1u << 1;  // GST_PLAY_FLAG_AUDIO

class GstSound : public Sound {
 public:
  explicit GstSound(GPtr<GstElement> bin) : bin_(std::move(bin)) {
    auto bus = GPtr<GstBus>::adopt(gst_element_get_bus(bin_.get()));
    watch_ = SourceId(gst_bus_add_watch(bus.get(), &GstSound::onBus, this));
  }
  ~GstSound() override {
    watch_.reset();
    gst_element_set_state(bin_.get(), GST_STATE_NULL);
  }

  void play(std::function<void(bool)> started) override {
    // From the start: back to NULL drops the old position and any error state.
    stop();
    g_object_set(bin_.get(), "volume", volume_, nullptr);
    started_ = std::move(started);
    playing_ = gst_element_set_state(bin_.get(), GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE;
    if (!playing_) fail();
  }
  void stop() override {
    playing_ = false;
    started_ = nullptr;
    gst_element_set_state(bin_.get(), GST_STATE_NULL);
  }
  void setVolume(float volume) override {
    volume_ = std::clamp(static_cast<double>(volume), 0.0, 1.0);
    g_object_set(bin_.get(), "volume", volume_, nullptr);
  }
  bool isPlaying() const override { return playing_; }
  double currentTime() const override {
    gint64 pos = 0;
    if (!playing_ || !gst_element_query_position(bin_.get(), GST_FORMAT_TIME, &pos) || pos < 0)
      return 0;
    return static_cast<double>(pos) / GST_SECOND;
  }

 private:
  static gboolean onBus(GstBus*, GstMessage* msg, gpointer data) {
    guarded([&] {
      auto* self = static_cast<GstSound*>(data);
      switch (GST_MESSAGE_TYPE(msg)) {
        case GST_MESSAGE_STATE_CHANGED: {
          GstState now = GST_STATE_NULL;
          gst_message_parse_state_changed(msg, nullptr, &now, nullptr);
          if (GST_MESSAGE_SRC(msg) == GST_OBJECT(self->bin_.get()) && now == GST_STATE_PLAYING)
            if (auto started = std::exchange(self->started_, nullptr)) started(true);
          break;
        }
        case GST_MESSAGE_ERROR:
          self->fail();
          break;
        case GST_MESSAGE_EOS:
          // Ended: nothing left to fade, and the audio device is let go.
          self->stop();
          break;
        default:
          break;
      }
    });
    return G_SOURCE_CONTINUE;
  }

  // Broken, before or after the start: the audio device is let go.
  void fail() {
    auto started = std::exchange(started_, nullptr);
    stop();
    if (started) started(false);
  }

  GPtr<GstElement> bin_;
  SourceId watch_;
  std::function<void(bool)> started_;
  bool playing_ = false;
  double volume_ = 1.0;
};

class GstSoundPlayer : public SoundPlayer {
 public:
  std::unique_ptr<Sound> open(const std::string& path) override {
    if (!g_file_test(path.c_str(), G_FILE_TEST_IS_REGULAR) || g_access(path.c_str(), R_OK) != 0)
      return nullptr;
    if (!gst_init_check(nullptr, nullptr, nullptr)) return nullptr;
    GCharPtr uri(g_filename_to_uri(path.c_str(), nullptr, nullptr));
    if (!uri) return nullptr;
    GstElement* made = gst_element_factory_make("playbin", nullptr);
    if (!made) return nullptr;
    auto bin = GPtr<GstElement>::adopt(GST_ELEMENT(gst_object_ref_sink(made)));
    g_object_set(bin.get(), "uri", uri.get(), "flags", kPlayAudioOnly, nullptr);
    return std::make_unique<GstSound>(std::move(bin));
  }
};

}  // namespace

std::unique_ptr<SoundPlayer> makeSoundPlayer() {
  return std::make_unique<GstSoundPlayer>();
}

}  // namespace qm::gtk
