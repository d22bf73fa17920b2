// Speed of the desktop program's core: a column sort of the statistics
// tables of a day-long session at 60-second epochs (1,440 epochs, two IBI
// sources, eight signals), building those tables' cell texts, and opening the
// demo's two-hour session in the review container once its series exist.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>

#include "store/data_root.h"

#include "app/container/main_screen_model.h"
#include "app/main_dialog.h"
#include "bench/bench_demo.h"
#include "support/language.h"
#include "support/paths.h"
#include "views/statistics/statistics_table.h"

namespace {

namespace fs = std::filesystem;

// Rows as a day of 1,440 epochs gives them: epoch number, source name and
// the statistics (about one cell in fifty empty).
std::vector<rc::StatisticsRow> dayRows(int perEpoch, int columns) {
  std::mt19937 gen(7);
  std::uniform_real_distribution<double> v(0.0, 1000.0);
  std::vector<rc::StatisticsRow> rows;
  for (int e = 0; e < 1440; ++e)
    for (int k = 0; k < perEpoch; ++k) {
      rc::StatisticsRow r;
      r.record = rows.size();
      r.cells = {"0", "0", "0", "0", std::to_string(e + 1), k % 2 ? "BVP lead" : "EKG lead"};
      r.numbers = {0, NAN, 0, NAN, double(e + 1), NAN};
      for (int c = 6; c < columns; ++c) {
        const double x = gen() % 50 == 0 ? NAN : v(gen);
        r.numbers.push_back(x);
        r.cells.push_back(std::isnan(x) ? "     -" : std::to_string(x));
      }
      rows.push_back(std::move(r));
    }
  return rows;
}

void BM_HrvColumnSort1440Epochs(benchmark::State& state) {
  std::vector<rc::StatisticsRow> rows = dayRows(2, rc::kHrvColumnCount);
  rc::StatisticsSorter sorter(true);
  const int column = static_cast<int>(state.range(0));
  for (auto _ : state) {
    sorter.click(column);  // alternates ascending and descending
    sorter.sort(rows);
    benchmark::DoNotOptimize(rows.data());
  }
  state.SetLabel(std::to_string(rows.size()) + " rows");
}
BENCHMARK(BM_HrvColumnSort1440Epochs)->Arg(6)->Arg(5)->Arg(7)->Unit(benchmark::kMillisecond);

void BM_SignalColumnSort1440Epochs(benchmark::State& state) {
  std::vector<rc::StatisticsRow> rows = dayRows(8, rc::kSignalColumnCount);
  rc::StatisticsSorter sorter(false);
  for (auto _ : state) {
    sorter.click(8);
    sorter.sort(rows);
    benchmark::DoNotOptimize(rows.data());
  }
  state.SetLabel(std::to_string(rows.size()) + " rows");
}
BENCHMARK(BM_SignalColumnSort1440Epochs)->Unit(benchmark::kMillisecond);

// The two-hour demo session, configured as a first opening would configure it.
bool configured(const fs::path& root, int client, int session) {
  rc::SilentUi ui;
  const fs::path file = rc::sessionFolder(root, client, session) / rc::kSessionConfigFileName;
  const rc::ConfigPreparation p = rc::prepareSessionConfig(file, rc::programFolder() / rc::kSessionConfigFileName, ui);
  if (!p.ok) return false;
  if (!p.createdNow) return true;
  const auto channels = rc::readSessionChannels(root, rc::programFolder(), client, session, ui);
  if (!channels) return false;
  rc::SignalSelectionModel model(*channels);
  return rc::configureWithoutDialog(model, file) == rc::SelectionStep::WrittenWithoutDialog;
}

void BM_OpenTwoHourSession(benchmark::State& state) {
  rc::setProgramFolder(RC_PROGRAM_DIR);
  (void)rc::loadLanguage(rc::programFolder());
  const fs::path root = rc::bench::demoRoot();
  if (root.empty() || !configured(root, 2, 1)) {
    state.SkipWithError("no demo root");
    return;
  }
  rc::SilentUi ui;
  {
    rc::MainScreenModel first(ui);  // generates the series when they are missing
    first.load({root, rc::programFolder(), 2, 1, false});
  }
  for (auto _ : state) {
    rc::MainScreenModel m(ui);
    if (m.load({root, rc::programFolder(), 2, 1, false}) != rc::LoadResult::Ready) {
      state.SkipWithError("the session did not load");
      return;
    }
    benchmark::DoNotOptimize(m.results().hrvRows.data());
  }
}
BENCHMARK(BM_OpenTwoHourSession)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
