#pragma once
// A private folder for a harness's files, in memory where there is one (so
// that the atomic writer's fsync stays cheap), removed at exit.
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace rc::fuzzing {

// The folder is made on the first call for `tag` at a call site that keeps
// the result in a static; `name` is the file within it.
inline std::filesystem::path scratchFile(const char* tag, const char* name) {
  std::error_code ec;
  const std::filesystem::path base = std::filesystem::is_directory("/dev/shm", ec)
                                         ? std::filesystem::path("/dev/shm")
                                         : std::filesystem::temp_directory_path();
  std::string pattern = (base / (std::string("rc_fuzz_") + tag + "_XXXXXX")).string();
  char* dir = ::mkdtemp(pattern.data());
  if (!dir) __builtin_trap();
  static std::filesystem::path made;  // one harness makes one folder
  made = dir;
  std::atexit([] {
    std::error_code ignored;
    std::filesystem::remove_all(made, ignored);
  });
  return made / name;
}

}  // namespace rc::fuzzing
