#include "support/paths.h"

#include <cstdlib>
#include <mutex>
#include <optional>
#include <system_error>

#include "support/language.h"

namespace rc {

namespace {
std::optional<std::filesystem::path>& slot() {
  static std::optional<std::filesystem::path> folder;
  return folder;
}

std::filesystem::path findProgramFolder() {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (const char* env = std::getenv("RHYTHMCRAFT_PROGRAM_DIR"); env && *env) return fs::path(env);
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (!ec) {
    fs::path dir = exe.parent_path();
    if (fs::exists(dir / kLanguageFileName, ec)) return dir;
    fs::path shared = dir.parent_path() / "share" / "rhythmcraft";
    if (fs::exists(shared / kLanguageFileName, ec)) return shared;
  }
  fs::path cwd = fs::current_path(ec);
  return ec ? fs::path(".") : cwd;
}
}  // namespace

const std::filesystem::path& programFolder() {
  static std::mutex m;
  std::lock_guard lock(m);
  if (!slot()) slot() = findProgramFolder();
  return *slot();
}

void setProgramFolder(const std::filesystem::path& folder) { slot() = folder; }

}  // namespace rc
