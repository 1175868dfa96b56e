#include "adapters/gtk/GtkPlatform.h"

#include <unistd.h>

#include <cerrno>

#include "adapters/gtk/Factories.h"
#include "adapters/gtk/GtkUi.h"
#include "core/Constants.h"
#include "core/Files.h"
#include "core/Json.h"
#include "core/Paths.h"

namespace qm::gtk {

// --- Key files

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

// --- Settings

std::string KeyFileSettings::path() {
  return paths::xdgConfigHome() + "/" + kAppId + "/defaults.ini";
}

static constexpr const char* kGroup = "Defaults";

std::optional<bool> KeyFileSettings::getBool(const std::string& key) {
  if (auto it = unsaved_.find(key); it != unsaved_.end()) return it->second;
  auto kf = readKeyFile(path());
  GCharPtr value(g_key_file_get_value(kf.get(), kGroup, key.c_str(), nullptr));
  if (!value) return std::nullopt;
  std::string v = files::trim(value.get());
  if (v == "true") return true;
  if (v == "false") return false;
  return std::nullopt;
}

void KeyFileSettings::setBool(const std::string& key, bool value) {
  const std::string setting = key + "=" + (value ? "true" : "false");
  bool saved = updateKeyFile(
      path(),
      [&](GKeyFile* kf) {
        g_key_file_set_value(kf, kGroup, key.c_str(), value ? "true" : "false");
      },
      setting + " holds until Quillmarsh Quarn quits but is not saved");
  // The menu's switch still acts for this run.
  if (saved)
    unsaved_.erase(key);
  else
    unsaved_[key] = value;
}

// --- Bundle

FolderBundle::FolderBundle(std::string dir) : dir_(std::move(dir)) {}

std::optional<std::string> FolderBundle::infoString(const std::string& key) {
  auto text = files::read(dir_ + "/Info.json", 1024 * 1024);
  if (!text) return std::nullopt;
  auto json = parseJson(*text);
  if (!json || !json->is_object()) return std::nullopt;
  auto it = json->find(key);
  if (it == json->end() || !it->is_string()) return std::nullopt;
  return it->get<std::string>();
}

std::optional<std::string> FolderBundle::identifier() {
  return infoString("CFBundleIdentifier");
}

std::optional<std::string> FolderBundle::resource(const std::string& name) {
  if (name.empty() || name.find('/') != std::string::npos) return std::nullopt;
  std::string p = dir_ + "/" + name;
  if (!g_file_test(p.c_str(), G_FILE_TEST_IS_REGULAR)) return std::nullopt;
  return p;
}

std::string FolderBundle::locate(const std::string& programPath) {
  if (const char* env = g_getenv("QUARN_BUNDLE_DIR"); env && *env) return env;
  std::string beside = besideProgram("bundle", programPath);
  if (g_file_test((beside + "/Info.json").c_str(), G_FILE_TEST_IS_REGULAR)) return beside;
  return besideProgram(QUARN_BUNDLE_FROM_BIN, programPath);
}

std::string besideProgram(const std::string& relative, const std::string& programPath) {
  GCharPtr exe(g_file_read_link("/proc/self/exe", nullptr));
  std::string program = exe ? exe.get() : programPath;
  GCharPtr path(g_canonicalize_filename(relative.c_str(), files::parent(program).c_str()));
  return path.get();
}

// --- Platform

GtkPlatform::GtkPlatform(GtkApplication* app, std::vector<std::string> args,
                         HeadlessPorts& headless, WebStart& web)
    : desktop_(makeDesktop()),
      notifier_(makeNotifier([this] {
        if (GtkMainWindow* main = mainWindow()) main->present();
      })),
      sound_(makeSoundPlayer()),
      ui_(std::make_unique<GtkUi>(app, web)),
      ports_{headless.loop(), clock_,    headless.http(),   *ui_,   *desktop_, *notifier_,
             *sound_,         settings_, headless.bundle(), tools_, network_,  std::move(args)} {}

GtkPlatform::~GtkPlatform() = default;

GtkMainWindow* GtkPlatform::mainWindow() const {
  return ui_->mainWindow();
}

}  // namespace qm::gtk
