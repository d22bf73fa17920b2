// Fuzzes the epoch computation against a damaged interval series file and a
// protocol of arbitrary activities, cycles, steps and jumps: the series bytes
// go through the file parser, the protocol comes from a short header.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>

#include "analysis/epochs/epochs.h"
#include "analysis/series/series_file.h"
#include "analysis/protocol/settings.h"
#include "support/ui.h"

namespace {

struct Reader {
  std::span<const std::uint8_t> d;
  std::uint8_t byte() {
    if (d.empty()) return 0;
    const std::uint8_t b = d[0];
    d = d.subspan(1);
    return b;
  }
  std::int16_t i16() { return static_cast<std::int16_t>(byte() | (byte() << 8)); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Reader r{{data, size}};
  rc::ScriptProtocol p;
  const int activities = r.byte() % 5;
  for (int a = 1; a <= activities; ++a) {
    rc::ActivityRecord rec;
    rec.number = a;
    rec.cycles = r.i16() % 6;
    rec.steps = r.byte() % 4;
    rec.jumpTarget = r.byte() % 8 == 0 ? r.byte() % 101 : 0;
    rec.duration = r.i16() * 0.5;
    for (int s = 1; s <= rec.steps; ++s)
      if (r.byte() % 8 != 0)
        p.stepDurations.push_back({a, s, static_cast<std::uint8_t>(r.byte() % 3), r.i16() * 0.25, ""});
    p.activities.push_back(rec);
  }
  const int epoch = rc::kEpochLengths[r.byte() % 4];
  const bool scripted = r.byte() & 1;
  rc::assignActivityStartTimes(p.activities);
  const bool timeline = rc::buildStepTimeline(p);

  auto series = rc::parseIntervalSeries(r.d, !scripted);
  if (!series) return 0;
  rc::SilentUi ui;
  rc::EpochInputs in;
  in.openSession = !scripted || !timeline;
  in.epochSeconds = epoch;
  in.ibiSource = 2;
  in.ekg = &series.value();
  in.resp = &series.value();
  in.protocol = &p;
  rc::EpochResults out;
  (void)rc::countEpochs(in);
  (void)rc::recomputeEpochs(in, out, ui);
  return 0;
}
