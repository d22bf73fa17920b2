#pragma once
// What the review-and-edit container shares with its pages while a session
// is loaded: the session itself, the statistics of the last recomputation,
// the selected signals, the time frame, and the container's two flags. The
// container owns every object named here; a page keeps the pointer for the
// life of the loaded session and never frees anything through it.
#include <functional>

#include "analysis/epochs/epochs.h"
#include "app/session_analysis_load.h"
#include "app/session_config.h"
#include "support/ui.h"

namespace rc {

// Signal slots of the container (see AnalysisSession::slots): kSlotEkg,
// kSlotBvp, kSlotResp ... of app/session_config.h.

struct ReviewContext {
  AnalysisSession* session = nullptr;  // the loaded session
  EpochResults* results = nullptr;     // the rows of the last recomputation
  UserInterface* ui = nullptr;         // messages and questions of the pages

  int heartSlot = kSlotEkg;     // the signal of the periodic editor and epoch viewer: 0, 1 or 2
  int nonPeriodicSlot = -1;     // 3 .. 8, or -1 while none is chosen
  double timeFrameSeconds = 5;  // the visible span of the editor charts
  bool statisticsOutOfDate = false;
  bool rejectionsChanged = false;
  // The application setting "BarsOn2DGraph" (spectra as bars, else lines):
  // the container copies it in from the application settings and back when
  // the program writes them; the epoch viewer toggles it.
  bool barsOn2DGraph = false;

  // Undo all segments of a heart slot, carried out by the container (asks
  // first; regenerates the series, clears the slot's segments, recomputes and
  // refreshes every page). True when done.
  std::function<bool(int slot)> undoAllSegments;

  // Recomputes the statistics into *results with the session's current
  // settings: 0 on success, a positive value on failure (messages shown).
  std::function<int()> recompute;

  // The interval series of a heart slot (0 EKG, 1 BVP, 2 respiration), or
  // nullptr when the session has none.
  IntervalSeries* heartSeries(int slot) const {
    if (!session) return nullptr;
    auto& s = slot == kSlotEkg ? session->ekg : slot == kSlotBvp ? session->bvp : session->resp;
    return s ? &*s : nullptr;
  }
  IntervalSeries* selectedHeartSeries() const { return heartSeries(heartSlot); }
};

}  // namespace rc
