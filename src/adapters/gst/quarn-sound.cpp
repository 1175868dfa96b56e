// quarn-sound FILE: plays FILE once, audio only, in a process of its own, so that GStreamer's
// registry and plugins go away with it instead of staying in the app for its whole life.
// Writes "playing" once started, "failed <reason>" on an error; reads "volume V" and "stop"
// lines on stdin, and ends at the end of the sound, on "stop" or when stdin closes.
#include <glib-unix.h>
#include <gst/gst.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

namespace {

constexpr guint kPlayAudioOnly = 1u << 1;  // GST_PLAY_FLAG_AUDIO
constexpr size_t kMaxLine = 256;

struct Player {
  GMainLoop* loop = nullptr;
  GstElement* bin = nullptr;
  std::string line;
  bool overlong = false;
  bool announced = false;
  int status = 0;
};

void say(const std::string& text) {
  std::fputs((text + "\n").c_str(), stdout);
  std::fflush(stdout);
}

void fail(Player& p, std::string reason) {
  std::replace(reason.begin(), reason.end(), '\n', ' ');
  std::replace(reason.begin(), reason.end(), '\r', ' ');
  say("failed " + reason);
  p.status = 1;
  g_main_loop_quit(p.loop);
}

void command(Player& p, const std::string& line) {
  if (line == "stop") {
    g_main_loop_quit(p.loop);
  } else if (line.rfind("volume ", 0) == 0) {
    const char* text = line.c_str() + 7;
    char* end = nullptr;
    double v = g_ascii_strtod(text, &end);
    if (end == text || *end != '\0' || !std::isfinite(v)) return;
    g_object_set(p.bin, "volume", std::clamp(v, 0.0, 1.0), nullptr);
  }
}

gboolean onInput(gint fd, GIOCondition, gpointer data) {
  auto& p = *static_cast<Player*>(data);
  char buf[512];
  ssize_t n = read(fd, buf, sizeof buf);
  if (n <= 0) {
    // The app closed the pipe or is gone: nobody is left to hear it.
    g_main_loop_quit(p.loop);
    return G_SOURCE_REMOVE;
  }
  for (ssize_t i = 0; i < n; ++i) {
    if (buf[i] == '\n') {
      if (!p.overlong) command(p, p.line);
      p.line.clear();
      p.overlong = false;
    } else if (p.line.size() < kMaxLine) {
      p.line += buf[i];
    } else {
      p.overlong = true;
    }
  }
  return G_SOURCE_CONTINUE;
}

gboolean onBus(GstBus*, GstMessage* msg, gpointer data) {
  auto& p = *static_cast<Player*>(data);
  switch (GST_MESSAGE_TYPE(msg)) {
    case GST_MESSAGE_STATE_CHANGED: {
      GstState now = GST_STATE_NULL;
      gst_message_parse_state_changed(msg, nullptr, &now, nullptr);
      if (GST_MESSAGE_SRC(msg) == GST_OBJECT(p.bin) && now == GST_STATE_PLAYING && !p.announced) {
        p.announced = true;
        say("playing");
      }
      break;
    }
    case GST_MESSAGE_ERROR: {
      GError* error = nullptr;
      gst_message_parse_error(msg, &error, nullptr);
      fail(p, error && error->message ? error->message : "error");
      g_clear_error(&error);
      break;
    }
    case GST_MESSAGE_EOS:
      g_main_loop_quit(p.loop);
      break;
    default:
      break;
  }
  return G_SOURCE_CONTINUE;
}

}  // namespace

int main(int argc, char** argv) {
  Player p;
  p.loop = g_main_loop_new(nullptr, FALSE);
  GError* error = nullptr;
  if (argc != 2) {
    fail(p, "usage: quarn-sound FILE");
  } else if (!gst_init_check(&argc, &argv, &error)) {
    fail(p, error ? error->message : "no GStreamer");
    g_clear_error(&error);
  } else {
    gchar* absolute = g_canonicalize_filename(argv[1], nullptr);
    gchar* uri = g_filename_to_uri(absolute, nullptr, nullptr);
    p.bin = gst_element_factory_make("playbin", nullptr);
    if (!uri || !p.bin) {
      fail(p, uri ? "no playbin" : "bad file name");
    } else {
      g_object_set(p.bin, "uri", uri, "flags", kPlayAudioOnly, nullptr);
      GstBus* bus = gst_element_get_bus(p.bin);
      gst_bus_add_watch(bus, onBus, &p);
      gst_object_unref(bus);
      g_unix_fd_add(STDIN_FILENO, static_cast<GIOCondition>(G_IO_IN | G_IO_HUP | G_IO_ERR), onInput,
                    &p);
      if (gst_element_set_state(p.bin, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE)
        fail(p, "cannot play");
      else
        g_main_loop_run(p.loop);
      gst_element_set_state(p.bin, GST_STATE_NULL);
    }
    g_free(uri);
    g_free(absolute);
    if (p.bin) gst_object_unref(p.bin);
  }
  g_main_loop_unref(p.loop);
  return p.status;
}
