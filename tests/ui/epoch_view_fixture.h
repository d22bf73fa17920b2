#pragma once
// A review context over a session for the epoch viewer's widget tests and
// the screenshot tool: a demo session loaded and analysed the way the
// container loads it, or a synthetic open session made of given intervals.
#include <filesystem>
#include <memory>
#include <string>

#include "app/review_context.h"
#include "app/session_analysis.h"
#include "app/session_analysis_load.h"
#include "demo/demo_root.h"

namespace rc::testing_ui {

struct LoadedReview {
  std::unique_ptr<AnalysisSession> session;
  EpochResults results;
  ScriptedUi ui;
  ReviewContext ctx;

  void wire() {
    ctx.session = session.get();
    ctx.results = &results;
    ctx.ui = &ui;
    ctx.recompute = [this] {
      EpochInputs in = session->epochInputs();
      return recomputeEpochs(in, results, ui);
    };
  }

  // A demo session loaded for review; false when it could not be loaded.
  bool loadDemo(const std::filesystem::path& root, const std::filesystem::path& programFolder, int client,
                int sessionId) {
    session = loadSessionForAnalysis({root, programFolder, client, sessionId, {}}, ui);
    if (!session) return false;
    EpochInputs in = session->epochInputs();
    if (analyseLoadedSession(in, {&session->config, session->configFile}, results, ui) !=
        SessionAnalysisOutcome::Ready)
      return false;
    session->settings.epochTime = in.epochSeconds;
    wire();
    return true;
  }

  // An open session of the given EKG intervals (and BVP ones when not empty).
  bool loadSynthetic(std::vector<float> ekg, std::vector<float> bvp = {}, int epochSeconds = 60) {
    session = std::make_unique<AnalysisSession>();
    session->openSession = true;
    session->settings.epochTime = epochSeconds;
    auto series = [](std::vector<float> v) {
      IntervalSeries s;
      s.values = std::move(v);
      s.segments.push_back({0, 1.0f, 0.0f, static_cast<std::int32_t>(s.values.size())});
      s.firstEventTime = 1.0f;
      return s;
    };
    session->settings.ibiSource = bvp.empty() ? kSourceEkg : kSourceBoth;
    if (!ekg.empty()) session->ekg = series(std::move(ekg));
    if (!bvp.empty()) session->bvp = series(std::move(bvp));
    wire();
    return ctx.recompute() == kRecomputeOk;
  }
};

// A demo data root made once per process in the temporary folder.
inline std::filesystem::path demoRootFor(const std::string& name, const std::filesystem::path& programFolder) {
  const std::filesystem::path root = std::filesystem::temp_directory_path() / name;
  if (!std::filesystem::exists(root / "csdb.zeb")) {
    demo::DemoOptions o;
    o.skipLongSession = true;
    o.programFolder = programFolder;
    if (!demo::makeDemoDataRoot(root, o).isOk()) return {};
  }
  return root;
}

}  // namespace rc::testing_ui
