#include "adapters/glib/GlibWindowState.h"

#include "adapters/glib/GlibKeyFile.h"
#include "core/Constants.h"
#include "core/Paths.h"

namespace qm {

namespace {
constexpr const char* kStateGroup = "QuillmarshQuarnMain";
constexpr int kMaxSide = 16384;
}  // namespace

std::string GlibWindowState::path() {
  return paths::xdgStateHome() + "/" + kAppId + "/window-state.ini";
}

WindowState GlibWindowState::read(WindowState defaults, WindowSize minimum) {
  WindowState state = defaults;
  auto kf = readKeyFile(path());
  if (!g_key_file_has_group(kf.get(), kStateGroup)) return state;
  GError* raw = nullptr;
  int w = g_key_file_get_integer(kf.get(), kStateGroup, "width", &raw);
  if (!raw && w >= minimum.width && w <= kMaxSide) state.size.width = w;
  g_clear_error(&raw);
  int h = g_key_file_get_integer(kf.get(), kStateGroup, "height", &raw);
  if (!raw && h >= minimum.height && h <= kMaxSide) state.size.height = h;
  g_clear_error(&raw);
  state.maximized = g_key_file_get_boolean(kf.get(), kStateGroup, "maximized", nullptr);
  return state;
}

void GlibWindowState::write(const WindowState& state) {
  updateKeyFile(path(), [&](GKeyFile* kf) {
    if (state.size.width > 0 && state.size.height > 0) {
      g_key_file_set_integer(kf, kStateGroup, "width", state.size.width);
      g_key_file_set_integer(kf, kStateGroup, "height", state.size.height);
    }
    g_key_file_set_boolean(kf, kStateGroup, "maximized", state.maximized);
  });
}

}  // namespace qm
