#include "store/data_root.h"

#include <sys/stat.h>

#include <cstdlib>
#include <system_error>

#include "support/format.h"

namespace rc {

namespace fs = std::filesystem;

namespace {
fs::path g_root;

// Creates dir when missing (0770 less the umask). True when it is a usable folder.
bool ensureFolder(const fs::path& dir) {
  std::error_code ec;
  if (fs::is_directory(dir, ec)) return true;
  if (::mkdir(dir.c_str(), 0770) != 0 && !fs::is_directory(dir, ec)) return false;
  return fs::is_directory(dir, ec);
}

bool ensureFolders(const fs::path& dir) {
  std::error_code ec;
  if (fs::is_directory(dir, ec)) return true;
  fs::path parent = dir.parent_path();
  if (!parent.empty() && parent != dir && !ensureFolders(parent)) return false;
  return ensureFolder(dir);
}
}  // namespace

DataRoot prepareDataRoot(const fs::path& programFolder) {
  if (const char* env = std::getenv("RHYTHMCRAFT_DATA_ROOT"); env && *env) {
    fs::path root(env);
    if (ensureFolders(root)) return {root, false};
    return {programFolder, true};
  }
  fs::path base;
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg && fs::path(xdg).is_absolute()) {
    base = xdg;
  } else if (const char* home = std::getenv("HOME"); home && *home) {
    base = fs::path(home) / ".local" / "share";
  } else {
    return {programFolder, true};
  }
  if (!ensureFolders(base)) return {programFolder, true};
  fs::path maker = base / "Quellmark";
  if (!ensureFolder(maker)) return {programFolder, true};
  fs::path root = maker / "Solvane";
  if (!ensureFolder(root)) return {programFolder, true};
  return {root, false};
}

std::optional<fs::path> defaultDataRootPath() {
  if (const char* env = std::getenv("RHYTHMCRAFT_DATA_ROOT"); env && *env) return fs::path(env);
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg && fs::path(xdg).is_absolute())
    return fs::path(xdg) / "Quellmark" / "Solvane";
  if (const char* home = std::getenv("HOME"); home && *home)
    return fs::path(home) / ".local" / "share" / "Quellmark" / "Solvane";
  return std::nullopt;
}

const fs::path& dataRoot() { return g_root; }
void setDataRoot(const fs::path& root) { g_root = root; }

fs::path sessionFolder(const fs::path& root, int clientId, int sessionId) {
  return root / "Clients" / strprintf("%d", clientId) / strprintf("Sess%04d", sessionId);
}

}  // namespace rc
