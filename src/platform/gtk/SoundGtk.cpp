// The intro sound through a GStreamer playbin, audio only.
#include <glib/gstdio.h>
#include <gst/gst.h>
#include <unistd.h>

#include <algorithm>

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

  bool play() override {
    // From the start: back to NULL drops the old position and any error state.
    gst_element_set_state(bin_.get(), GST_STATE_NULL);
    g_object_set(bin_.get(), "volume", volume_, nullptr);
    playing_ = gst_element_set_state(bin_.get(), GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE;
    if (!playing_) gst_element_set_state(bin_.get(), GST_STATE_NULL);
    return playing_;
  }
  void stop() override {
    playing_ = false;
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
        case GST_MESSAGE_EOS:
        case GST_MESSAGE_ERROR:
          // Ended or broken: nothing left to fade, and the audio device is let go.
          self->stop();
          break;
        default:
          break;
      }
    });
    return G_SOURCE_CONTINUE;
  }

  GPtr<GstElement> bin_;
  SourceId watch_;
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
