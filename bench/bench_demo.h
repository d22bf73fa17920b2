#pragma once
// The demo data root the benchmarks run on: $RC_BENCH_DEMO_ROOT, else made
// once in the temporary folder and reused by later runs.
#include <cstdlib>
#include <filesystem>

#include "demo/demo_root.h"

namespace rc::bench {

inline std::filesystem::path demoRoot() {
  if (const char* env = std::getenv("RC_BENCH_DEMO_ROOT")) return env;
  const std::filesystem::path root = std::filesystem::temp_directory_path() / "rc_bench_demo";
  if (!std::filesystem::exists(root / "csdb.zeb")) {
    rc::demo::DemoOptions o;
    o.programFolder = RC_PROGRAM_DIR;
    if (!rc::demo::makeDemoDataRoot(root, o)) return {};
  }
  return root;
}

}  // namespace rc::bench
