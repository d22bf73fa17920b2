// The whole "rhythmcraft-cli analyse" of the demo's two-hour open session, as
// a user runs it: a new process each time (start-up, language table, session
// load, statistics, CSV). Once with the series files already in the session
// folder, once generating them from the raw signals first.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench/bench_demo.h"
#include "demo/demo_root.h"
#include "store/data_root.h"

namespace {

namespace fs = std::filesystem;

std::string command(const fs::path& root) {
  return std::string(RC_PROGRAM_DIR) + "/rhythmcraft-cli analyse --data-root '" + root.string() +
         "' --client " + std::to_string(rc::demo::kDemoLongOpen.client) + " --session " +
         std::to_string(rc::demo::kDemoLongOpen.session) + " > /dev/null 2>&1";
}

void removeSeriesFiles(const fs::path& folder) {
  for (const auto& e : fs::directory_iterator(folder)) {
    const std::string name = e.path().filename().string();
    if (name.rfind("IBIFrom", 0) == 0 || name.rfind("RespPeriod_", 0) == 0 || name.rfind("RMS_", 0) == 0)
      fs::remove(e.path());
  }
}

void BM_AnalyseTwoHoursFilesPresent(benchmark::State& state) {
  const fs::path root = rc::bench::demoRoot();
  const std::string cmd = command(root);
  if (root.empty() || std::system(cmd.c_str()) != 0) {  // also writes the series files
    state.SkipWithError("the demo session cannot be analysed");
    return;
  }
  for (auto _ : state)
    if (std::system(cmd.c_str()) != 0) state.SkipWithError("analyse failed");
}
BENCHMARK(BM_AnalyseTwoHoursFilesPresent)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_AnalyseTwoHoursWithDetection(benchmark::State& state) {
  const fs::path root = rc::bench::demoRoot();
  const std::string cmd = command(root);
  const fs::path folder =
      rc::sessionFolder(root, rc::demo::kDemoLongOpen.client, rc::demo::kDemoLongOpen.session);
  if (root.empty() || !fs::is_directory(folder)) {
    state.SkipWithError("no demo session");
    return;
  }
  for (auto _ : state) {
    state.PauseTiming();
    removeSeriesFiles(folder);
    state.ResumeTiming();
    if (std::system(cmd.c_str()) != 0) state.SkipWithError("analyse failed");
  }
}
BENCHMARK(BM_AnalyseTwoHoursWithDetection)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
