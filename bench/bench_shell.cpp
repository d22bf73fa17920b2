// Speed of the desktop program's core: a column sort of the statistics
// tables of a day-long session at 60-second epochs (1,440 epochs, two IBI
// sources, eight signals), building those tables' cell texts, and opening the
// demo's two-hour session in the review container once its series exist.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>

#include "store/data_root.h"

#include "analysis/epochs/epochs.h"
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

// The statistics page's three tables of a day-long open session at 60-second
// epochs (both IBI sources, respiration and two raw channels), as the page
// fills them after each recomputation.
void BM_DayStatisticsTables(benchmark::State& state) {
  std::mt19937 gen(3);
  std::normal_distribution<double> noise(0.0, 30.0);
  auto ibi = [&](std::size_t n, double mean) {
    rc::IntervalSeries s;
    for (std::size_t i = 0; i < n; ++i) s.values.push_back(static_cast<float>(mean + noise(gen)));
    s.segments = {{1, 0.5f, 0.0f, static_cast<std::int32_t>(n)}};
    s.firstEventTime = 0.5f;
    return s;
  };
  rc::AnalysisSession session;
  session.ekg = ibi(100000, 864);
  session.bvp = ibi(100000, 864);
  session.resp = ibi(21600, 4000);
  session.settings.nnInterval = 50;
  std::vector<float> sc(86400 * 32, 5.0f), temp(86400 * 32, 31.0f);
  rc::EpochInputs in = session.epochInputs();
  in.channels = {{5, 4, sc, 32.0, nullptr, 0.0}, {7, 6, temp, 32.0, nullptr, 0.0}};
  rc::EpochResults results;
  rc::SilentUi ui;
  if (rc::recomputeEpochs(in, results, ui) != rc::kRecomputeOk) {
    state.SkipWithError("no epochs");
    return;
  }
  for (auto _ : state) {
    auto hrv = rc::hrvTableRows(session, results, '.');
    auto sig = rc::signalTableRows(session, results, '.');
    auto ses = rc::sessionTableRows(session, results, '.');
    benchmark::DoNotOptimize(hrv.data());
    benchmark::DoNotOptimize(sig.data());
    benchmark::DoNotOptimize(ses.data());
  }
  state.SetLabel(std::to_string(results.hrvRows.size()) + " + " + std::to_string(results.signalRows.size()) + " rows");
}
BENCHMARK(BM_DayStatisticsTables)->Unit(benchmark::kMillisecond);

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
