// Linux: the executable's place comes from /proc/self/exe.
#include "keeper/default_paths.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace keeper {
namespace {

namespace fs = std::filesystem;

constexpr char kDatabaseName[] = "dosebridge/readings.sqlite3";
constexpr char kViewerPage[] = "index.html";

std::string HomeDir() {
  const char* home = std::getenv("HOME");
  if (home && *home) return home;
  const passwd* entry = getpwuid(getuid());
  return entry && entry->pw_dir ? entry->pw_dir : ".";
}

bool HoldsViewer(const fs::path& dir) {
  std::error_code error;
  return fs::is_regular_file(dir / kViewerPage, error);
}

}  // namespace

std::string DefaultDatabasePath() {
  const char* state = std::getenv("XDG_STATE_HOME");
  // The XDG rules say to ignore a relative path.
  const fs::path base =
      state && *state == '/' ? fs::path(state) : fs::path(HomeDir()) / ".local/state";
  return (base / kDatabaseName).string();
}

std::string DefaultWebDir() {
  std::error_code error;
  const fs::path executable = fs::read_symlink("/proc/self/exe", error);
  if (!error) {
    const fs::path beside = executable.parent_path().parent_path() / "share/dosebridge/web";
    if (HoldsViewer(beside)) return beside.string();
  }
  if (HoldsViewer(KEEPER_INSTALLED_WEB_DIR)) return KEEPER_INSTALLED_WEB_DIR;
  if (!error) {
    const std::string build_dir = fs::weakly_canonical(KEEPER_BUILD_DIR, error).string();
    const std::string exe = executable.string();
    if (!error && exe.compare(0, build_dir.size() + 1, build_dir + "/") == 0 &&
        HoldsViewer(KEEPER_SOURCE_WEB_DIR)) {
      return KEEPER_SOURCE_WEB_DIR;
    }
  }
  return "";
}

}  // namespace keeper
