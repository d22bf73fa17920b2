// The program's own outside text: the command line of direct-open mode and
// the application settings file "Rhythmcraft.xml" (read at start, rewritten
// at exit), and the masking of client names taken from the host database.
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "app/main_dialog.h"
#include "support/file_io.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  (void)rc::parseDirectOpen(text);
  const auto half = text.size() / 2;
  (void)rc::clientDisplayName(text.substr(0, half), text.substr(half), true);
  static const std::filesystem::path file = std::filesystem::temp_directory_path() /
                                            ("rc_fuzz_app_settings_" + std::to_string(::getpid()) + ".xml");
  if (!rc::writeFileAtomic(file, text)) return 0;
  const rc::AppSettings s = rc::readAppSettings(file);
  (void)rc::writeAppSettingsAtExit(file, s);
  (void)rc::readAppSettings(file);
  std::error_code ec;
  std::filesystem::remove(file, ec);  // nothing left behind when the run ends
  return 0;
}
