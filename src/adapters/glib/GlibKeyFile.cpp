#include "adapters/glib/GlibKeyFile.h"

#include <cerrno>

#include "core/Files.h"

namespace qm {

namespace {
constexpr std::size_t kMaxKeyFileBytes = 1024 * 1024;
}  // namespace

static bool parse(GKeyFile* kf, const std::string& text) {
  return g_key_file_load_from_data(kf, text.data(), text.size(), G_KEY_FILE_KEEP_COMMENTS, nullptr);
}

Owned<GKeyFile> readKeyFile(const std::string& path) {
  Owned<GKeyFile> kf(g_key_file_new());
  if (auto text = files::read(path, kMaxKeyFileBytes); text && !parse(kf.get(), *text))
    kf.reset(g_key_file_new());
  return kf;
}

bool updateKeyFile(const std::string& path, const std::function<void(GKeyFile*)>& change,
                   const std::string& instead) {
  Owned<GKeyFile> kf(g_key_file_new());
  auto text = files::read(path, kMaxKeyFileBytes);
  if (text ? !parse(kf.get(), *text) : files::exists(path)) {
    g_warning("%s cannot be read as a key file; left as it is, %s", path.c_str(), instead.c_str());
    return false;
  }
  change(kf.get());
  gsize len = 0;
  GCharPtr data(g_key_file_to_data(kf.get(), &len, nullptr));
  if (files::makeDirs(files::parent(path)) &&
      files::writeAtomic(path, std::string(data.get(), len)))
    return true;
  g_warning("%s cannot be written (%s); %s", path.c_str(), g_strerror(errno), instead.c_str());
  return false;
}

}  // namespace qm
