// Prints the detectors' scores on the real recordings: per annotated record
// and lead sensitivity and positive predictivity (150 ms window) of both
// detection types, the same on other records with the noise-stress record's
// noise added, beat counts of the unannotated channels, the label-free
// agreement between the leads of one heart, pulse-versus-EKG agreement, camera
// pulse intervals against a chest strap, pulse counts of a channel without a
// reference and breath rates. With --markdown FILE it also writes them as the
// validation document (docs/validation.md).
// Usage: detect_score [--markdown FILE] [blocks-per-second]
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "detect/detector.h"
#include "detect/evaluation.h"
#include "support/file_io.h"
#include "support/format.h"
#include "tests/detect/real_records.h"

using namespace rc::detect;
using namespace rc::detect::testing;
using rc::strprintf;

namespace {

double pct(double share) { return 100.0 * share; }

// Text for the terminal and the same figures as markdown tables.
struct Report {
  std::string md;
  void line(const std::string& text) {
    std::printf("%s\n", text.c_str());
  }
};

void scoreAnnotated(Report& rep, std::uint32_t blockRate) {
  rep.md +=
      "## EKG beats against the reference annotations\n\n"
      "Every annotated record of the shared data, both leads, scored beat by beat (a detection within "
      "150 ms of a reference beat is a match). Se = TP / (TP + FN), +P = TP / (TP + FP).\n\n"
      "| Record | Lead | Beats | Basic Se % | Basic +P % | Advanced Se % | Advanced +P % |\n"
      "|---|---|---:|---:|---:|---:|---:|\n";
  rep.line("EKG against the annotations (Basic | Advanced)");
  for (const AnnotatedRecord& r : annotatedRecords()) {
    for (const char* lead : r.leads) {
      const LeadScore b = scoreLead(r.record, lead, r.rate, false, blockRate);
      const LeadScore a = scoreLead(r.record, lead, r.rate, true, blockRate);
      if (!b.loaded || !a.loaded) continue;
      rep.line(strprintf("  %-20s %-5s ref %5zu | FN %4lld FP %4lld Se %6.2f +P %6.2f | FN %4lld FP %4lld Se %6.2f "
                         "+P %6.2f  offset %.1f ms",
                         r.record, lead, b.reference, (long long)b.score.falseNegatives,
                         (long long)b.score.falsePositives, pct(b.score.sensitivity()),
                         pct(b.score.positivePredictivity()), (long long)a.score.falseNegatives,
                         (long long)a.score.falsePositives, pct(a.score.sensitivity()),
                         pct(a.score.positivePredictivity()), a.offsetMs));
      rep.md += strprintf("| %s | %s | %zu | %.2f | %.2f | %.2f | %.2f |\n", r.record, lead, b.reference,
                          pct(b.score.sensitivity()), pct(b.score.positivePredictivity()),
                          pct(a.score.sensitivity()), pct(a.score.positivePredictivity()));
      if (std::getenv("RC_DETECT_LIST")) {
        const auto x = loadChannel(r.record, lead);
        const auto ref = loadBeats(r.record);
        const auto d = samplesOf(runChannel(x, r.rate, kCodeEkg, beatParameters(true), blockRate));
        const auto tol = std::llround(0.150 * r.rate);
        std::size_t j = 0;
        for (auto t : ref) {
          while (j < d.size() && d[j] < t - tol) std::printf("    FP %.2f s\n", d[j++] / r.rate);
          if (j < d.size() && std::llabs(d[j] - t) <= tol)
            ++j;
          else
            std::printf("    FN %.2f s\n", t / r.rate);
        }
      }
    }
  }
  rep.md += "\n";
}

void countUnannotated(Report& rep, std::uint32_t blockRate) {
  rep.md +=
      "## EKG beat counts of the unannotated channels\n\n"
      "| Record | Lead | Minutes | Basic beats | Basic /min | Advanced beats | Advanced /min |\n"
      "|---|---|---:|---:|---:|---:|---:|\n";
  rep.line("EKG beat counts (Basic | Advanced)");
  for (const RealChannel& ch : ekgChannels()) {
    if (ch.annotated) continue;
    const auto x = loadChannel(ch.record, ch.channel);
    if (x.empty()) continue;
    const double minutes = x.size() / ch.rate / 60.0;
    const auto b = runChannel(x, ch.rate, kCodeEkg, beatParameters(false), blockRate).size();
    const auto a = runChannel(x, ch.rate, kCodeEkg, beatParameters(true), blockRate).size();
    rep.line(strprintf("  %-20s %-5s %6zu %5.1f /min | %6zu %5.1f /min", ch.record, ch.channel, b, b / minutes, a,
                       a / minutes));
    rep.md += strprintf("| %s | %s | %.1f | %zu | %.1f | %zu | %.1f |\n", ch.record, ch.channel, minutes, b,
                        b / minutes, a, a / minutes);
  }
  rep.md += "\n";
}

void leadAgreement(Report& rep, std::uint32_t blockRate) {
  rep.md +=
      "## Agreement between the leads of one heart (no labels)\n\n"
      "Each pair of leads of a recording, detected separately; after the median delay between them, a beat "
      "of one lead within 150 ms of a beat of the other is a match. Stretches where either lead is dead or "
      "of unsteady swing are left out. Se: share of the first lead's beats found on the second; +P: share of "
      "the second lead's beats found on the first.\n\n"
      "| Record | Leads | Beats | Basic Se % | Basic +P % | Advanced Se % | Advanced +P % |\n"
      "|---|---|---:|---:|---:|---:|---:|\n";
  rep.line("Lead against lead (Basic | Advanced)");
  for (const MultiLeadRecord& r : multiLeadRecords()) {
    std::vector<std::vector<float>> x;
    for (const char* lead : r.leads) x.push_back(loadChannel(r.record, lead));
    if (std::any_of(x.begin(), x.end(), [](const auto& v) { return v.empty(); })) continue;
    for (std::size_t i = 0; i < x.size(); ++i) {
      for (std::size_t k = i + 1; k < x.size(); ++k) {
        auto unusable = unusableStretches(x[i], r.rate);
        for (const auto& s : unusableStretches(x[k], r.rate)) unusable.push_back(s);
        Agreement g[2];
        for (bool advanced : {false, true}) {
          g[advanced] = agreementOf(beatTimesMs(x[i], r.rate, kCodeEkg, advanced, blockRate),
                                    beatTimesMs(x[k], r.rate, kCodeEkg, advanced, blockRate), unusable);
        }
        rep.line(strprintf("  %-20s %-4s-%-4s beats %5zu | Se %6.2f +P %6.2f | Se %6.2f +P %6.2f  delay %lld ms",
                           r.record, r.leads[i], r.leads[k], g[1].a, pct(g[0].score.sensitivity()),
                           pct(g[0].score.positivePredictivity()), pct(g[1].score.sensitivity()),
                           pct(g[1].score.positivePredictivity()), (long long)g[1].delayMs));
        rep.md += strprintf("| %s | %s / %s | %zu | %.2f | %.2f | %.2f | %.2f |\n", r.record, r.leads[i],
                            r.leads[k], g[1].a, pct(g[0].score.sensitivity()),
                            pct(g[0].score.positivePredictivity()), pct(g[1].score.sensitivity()),
                            pct(g[1].score.positivePredictivity()));
      }
    }
  }
  rep.md += "\n";
}

void scoreBvp(Report& rep, std::uint32_t blockRate) {
  rep.md +=
      "## Pulse against the EKG\n\n"
      "Each pulse channel recorded beside an EKG, against the Advanced EKG detector's beats shifted by the "
      "median pulse transit time (150 ms window), over the stretches where both channels are clean; "
      "premature beats and beats of unusual QRS shape (often without a pulse) are left out. Interval RMS: "
      "pulse intervals against the RR intervals.\n\n"
      "| Record | Pulse | Type | Beats scored | Found % | Extra % | Transit ms | Interval RMS ms |\n"
      "|---|---|---|---:|---:|---:|---:|---:|\n";
  for (bool advanced : {false, true}) {
    rep.line(strprintf("BVP %s (reference: EKG Advanced)", advanced ? "Advanced" : "Basic"));
    for (const PulseChannel& p : pulseChannels()) {
      const PulseRun r = runPulseChannel(p, advanced, blockRate);
      if (!r.loaded) continue;
      const PulseScore& s = r.score;
      const double found = 100.0 * s.found / std::max<std::size_t>(1, s.beats);
      const double extra = 100.0 * s.extra / std::max<std::size_t>(1, s.beats);
      rep.line(strprintf("  %-18s %-5s EKG %4zu pulses %4zu transit %3lld ms  clean: beats %4zu found %.2f%%  "
                         "extra %.2f%%  interval RMS %.1f ms (%zu)  unusual QRS %zu",
                         p.record, p.pulse, r.ekgBeats, r.pulses, (long long)s.transitMs, s.beats, found, extra,
                         s.intervalRmsMs, s.intervals, r.unusual));
      rep.md += strprintf("| %s | %s | %s | %zu | %.2f | %.2f | %lld | %.1f |\n", p.record, p.pulse,
                          advanced ? "Advanced" : "Basic", s.beats, found, extra, (long long)s.transitMs,
                          s.intervalRmsMs);
    }
  }
  rep.md += "\n";
}

void scorePulsePauses(Report& rep, std::uint32_t blockRate) {
  rep.md +=
      "## Pauses in the pulse\n\n"
      "Pauses cut into each pulse channel at the pulses its own Advanced detection finds: after every 20th "
      "pulse the pulses of five periods are left out (a pause of six periods), the gap filled with the line "
      "between its ends and a little noise (1 % of the pulse's swing); pauses near unsteady signal are not "
      "cut. False: pulses found inside the pauses. Lost: pulses more than 300 ms from a pause that are not "
      "found again within 100 ms.\n\n"
      "| Record | Pulse | Type | Pauses | False pulses | Pulses away from pauses | Lost |\n"
      "|---|---|---|---:|---:|---:|---:|\n";
  for (bool advanced : {false, true}) {
    rep.line(strprintf("Pauses of six periods in the pulse, %s", advanced ? "Advanced" : "Basic"));
    for (const PulseChannel& p : pulseChannels()) {
      const PulsePauseScore r = scorePulsePauses(p, 6, advanced, blockRate);
      if (r.pauses == 0) continue;
      rep.line(strprintf("  %-18s %-5s pauses %3zu  false pulses %3zu  away %5zu  lost %3zu", p.record, p.pulse,
                         r.pauses, r.inside, r.outside, r.lost));
      rep.md += strprintf("| %s | %s | %s | %zu | %zu | %zu | %zu |\n", p.record, p.pulse,
                          advanced ? "Advanced" : "Basic", r.pauses, r.inside, r.outside, r.lost);
    }
  }
  rep.md += "\n";
}

void scorePulseArtefacts(Report& rep, std::uint32_t blockRate) {
  rep.md +=
      "## Probe artefacts in the pulse\n\n"
      "Every 20 s, in turn, a spike (12 ms) and a step of the baseline (up and down in turn) on each pulse "
      "channel, 5 or 20 times its pulse swing (1st to 99th percentile). The channel's own pulses within "
      "1.5 s of an artefact and away from them, and how many of each are lost (not found again within "
      "100 ms).\n\n"
      "| Record | Pulse | Type | Size | Artefacts | Pulses near | Lost | Pulses away | Lost |\n"
      "|---|---|---|---:|---:|---:|---:|---:|---:|\n";
  for (bool advanced : {false, true}) {
    rep.line(strprintf("Probe artefacts in the pulse, %s", advanced ? "Advanced" : "Basic"));
    for (const PulseChannel& p : pulseChannels()) {
      for (int times : {5, 20}) {
        const PulseArtefactScore r = scorePulseArtefacts(p, times, advanced, blockRate);
        if (r.artefacts == 0) continue;
        rep.line(strprintf("  %-18s %-5s %2dx  artefacts %3zu  near %4zu lost %3zu  away %5zu lost %3zu", p.record,
                           p.pulse, times, r.artefacts, r.near, r.lostNear, r.away, r.lostAway));
        rep.md += strprintf("| %s | %s | %s | %d x | %zu | %zu | %zu | %zu | %zu |\n", p.record, p.pulse,
                            advanced ? "Advanced" : "Basic", times, r.artefacts, r.near, r.lostNear, r.away,
                            r.lostAway);
      }
    }
  }
  rep.md += "\n";
}

void scoreCameraPulse(Report& rep, std::uint32_t blockRate) {
  rep.md +=
      "## Camera pulse against a chest strap\n\n"
      "Fingertip-on-camera recordings (the red level of each video frame, about 30 frames per second at "
      "irregular times, turned over so that the pulse rises) resampled to 100 Hz, beside the RR intervals "
      "of a chest strap worn at the same time. The two are not aligned in time: the pulse intervals are "
      "laid along the RR series at the offset (in beats) where most agree within 60 ms; a missed or extra "
      "pulse costs one or two agreements. welltory_s01 is noisy beyond use for most of its length.\n\n"
      "| Record | Type | Pulses | RR intervals | Compared | Agree % | Mean pulse interval ms | Mean RR ms |\n"
      "|---|---|---:|---:|---:|---:|---:|---:|\n";
  constexpr double kRate = 100.0;
  for (bool advanced : {false, true}) {
    rep.line(strprintf("Camera pulse %s against the chest strap", advanced ? "Advanced" : "Basic"));
    for (const char* record : cameraPulseRecords()) {
      const CameraPulse c = loadCameraPulse(record, kRate);
      if (c.samples.empty()) continue;
      const auto pulses = samplesOf(runChannel(c.samples, kRate, kCodeBvp, beatParameters(advanced), blockRate));
      std::vector<double> intervals;
      for (std::size_t i = 1; i < pulses.size(); ++i)
        intervals.push_back(static_cast<double>(pulses[i] - pulses[i - 1]) * 1000.0 / kRate);
      const IntervalAgreement a = agreeWithRr(intervals, c.rrMs);
      const double agree = 100.0 * a.agree / std::max<std::size_t>(1, a.overlap);
      rep.line(strprintf("  %-14s pulses %4zu  RR %4zu  compared %4zu  agree %6.2f%%  mean %4.0f ms (RR %4.0f ms)",
                         record, pulses.size(), c.rrMs.size(), a.overlap, agree, a.pulseMeanMs, a.rrMeanMs));
      rep.md += strprintf("| %s | %s | %zu | %zu | %zu | %.2f | %.0f | %.0f |\n", record,
                          advanced ? "Advanced" : "Basic", pulses.size(), c.rrMs.size(), a.overlap, agree,
                          a.pulseMeanMs, a.rrMeanMs);
    }
  }
  rep.md += "\n";
}

// Pulse channels with no reference at all: the count, the rate and the
// spread of the intervals (an extra pulse halves an interval, a missed one
// doubles it).
void pulseWithoutReference(Report& rep, std::uint32_t blockRate) {
  rep.md +=
      "## Pulse channels without a reference\n\n"
      "| Record | Channel | Type | Pulses | Per minute | Shortest / median / longest interval ms |\n"
      "|---|---|---|---:|---:|---|\n";
  const RealChannel channels[] = {{"biosppy_ppg", "PPG", 1000.0, false}};
  for (bool advanced : {false, true}) {
    rep.line(strprintf("Pulse without reference %s", advanced ? "Advanced" : "Basic"));
    for (const RealChannel& ch : channels) {
      const auto x = loadChannel(ch.record, ch.channel);
      if (x.empty()) continue;
      const auto d = samplesOf(runChannel(x, ch.rate, kCodeBvp, beatParameters(advanced), blockRate));
      std::vector<double> intervals;
      for (std::size_t i = 1; i < d.size(); ++i)
        intervals.push_back(static_cast<double>(d[i] - d[i - 1]) * 1000.0 / ch.rate);
      std::sort(intervals.begin(), intervals.end());
      const double minutes = x.size() / ch.rate / 60.0;
      const double lo = intervals.empty() ? 0.0 : intervals.front();
      const double mid = intervals.empty() ? 0.0 : intervals[intervals.size() / 2];
      const double hi = intervals.empty() ? 0.0 : intervals.back();
      rep.line(strprintf("  %-14s %-4s %4zu pulses  %5.1f /min  intervals %.0f / %.0f / %.0f ms", ch.record,
                         ch.channel, d.size(), d.size() / minutes, lo, mid, hi));
      rep.md += strprintf("| %s | %s | %s | %zu | %.1f | %.0f / %.0f / %.0f |\n", ch.record, ch.channel,
                          advanced ? "Advanced" : "Basic", d.size(), d.size() / minutes, lo, mid, hi);
    }
  }
  rep.md += "\n";
}

void respRates(Report& rep, std::uint32_t blockRate) {
  rep.md +=
      "## Breaths\n\n"
      "Breath rates of the respiration channels (no reference annotations; the rates were checked by eye "
      "against plots: about 19.5 per minute on mimicdb_03700181 and about 6 per minute on "
      "icu_mixedsignals).\n\n"
      "| Record | Channel | Option | Breaths | Per minute |\n|---|---|---|---:|---:|\n";
  const RealChannel resp[] = {{"mimicdb_03700181", "RESP", 125.0, false},
                              {"biosppy_resp", "Resp", 1000.0, false},
                              {"icu_mixedsignals", "Resp", 62.4725, false}};
  for (bool slow : {false, true}) {
    rep.line(strprintf("Respiration %s", slow ? "Slow" : "Fast"));
    for (const RealChannel& ch : resp) {
      const auto x = loadChannel(ch.record, ch.channel);
      if (x.empty()) continue;
      const auto det = runChannel(x, ch.rate, kCodeResp, respParameters(slow), blockRate);
      const double minutes = x.size() / ch.rate / 60.0;
      rep.line(strprintf("  %-18s %-5s %4zu breaths  %.1f /min", ch.record, ch.channel, det.size(),
                         det.size() / minutes));
      rep.md += strprintf("| %s | %s | %s | %zu | %.1f |\n", ch.record, ch.channel, slow ? "Slow" : "Fast",
                          det.size(), det.size() / minutes);
      if (const char* dir = std::getenv("RC_DETECT_DUMP")) {
        std::string path = std::string(dir) + "/" + ch.record + (slow ? "_slow" : "_fast") + ".txt";
        if (FILE* f = std::fopen(path.c_str(), "w")) {
          for (const auto& d : det) std::fprintf(f, "%lld\n", (long long)d.sample);
          std::fclose(f);
        }
      }
    }
  }
  rep.md += "\n";
}

}  // namespace

// First leads of arrhythmia records with something done to them (by `make`, for
// each level of `levels`), scored per record and in total: one table.
template <typename Make>
void scoreAdded(Report& rep, std::uint32_t blockRate, const char* title, const char* column,
                const std::vector<const char*>& records, std::initializer_list<int> levels, const char* unit,
                Make make) {
  constexpr double kRate = 360.0;
  rep.md += "| Record | " + std::string(column) +
            " | Beats | Basic Se % | Basic +P % | Advanced Se % | Advanced +P % |\n"
            "|---|---|---:|---:|---:|---:|---:|\n";
  rep.line(strprintf("%s (Basic | Advanced)", title));
  auto row = [&](const char* name, int level, std::size_t beats, const MatchScore (&s)[2], bool bold) {
    rep.line(strprintf("  %-12s %3d%-3s ref %5zu | Se %6.2f +P %6.2f | Se %6.2f +P %6.2f", name, level, unit, beats,
                       pct(s[0].sensitivity()), pct(s[0].positivePredictivity()), pct(s[1].sensitivity()),
                       pct(s[1].positivePredictivity())));
    rep.md += strprintf(bold ? "| **%s** | %d%s | %zu | %.2f | %.2f | %.2f | %.2f |\n"
                             : "| %s | %d%s | %zu | %.2f | %.2f | %.2f | %.2f |\n",
                        name, level, unit, beats, pct(s[0].sensitivity()), pct(s[0].positivePredictivity()),
                        pct(s[1].sensitivity()), pct(s[1].positivePredictivity()));
  };
  for (int level : levels) {
    MatchScore total[2];
    std::size_t beats = 0;
    for (const char* record : records) {
      const AlteredLead lead = make(record, level);
      const auto& x = lead.samples;
      const auto& ref = lead.beats;
      if (x.empty() || ref.empty()) continue;
      MatchScore s[2];
      for (int type = 0; type < 2; ++type) {
        const auto found = samplesOf(runChannel(x, kRate, kCodeEkg, beatParameters(type == 1), blockRate));
        s[type] = matchEvents(ref, found, std::llround(0.150 * kRate));
        total[type].truePositives += s[type].truePositives;
        total[type].falseNegatives += s[type].falseNegatives;
        total[type].falsePositives += s[type].falsePositives;
      }
      beats += ref.size();
      row(record, level, ref.size(), s, false);
    }
    row("all", level, beats, total, true);
  }
  rep.md += "\n";
}

// The noise-stress record's electrode-motion noise (its 0 dB version less its
// 24 dB version, brought back to the 0 dB scale) added to the first lead of
// the other arrhythmia records at 12 and 6 dB, scaled by each record's QRS
// swing against the noise-stress record's: records the detector was never
// tuned on, in the same noise.
void scoreAddedNoise(Report& rep, std::uint32_t blockRate) {
  const StressNoise noise = loadStressNoise();
  if (noise.samples.empty()) return;
  rep.md +=
      "## The noise-stress noise on other records\n\n"
      "The electrode-motion noise of the noise-stress record (its 0 dB version less its 24 dB version) added "
      "to the first lead of five arrhythmia records at 12 and 6 dB (scaled by each record's QRS swing "
      "against the noise-stress record's), in the same 2-minute bursts.\n\n";
  scoreAdded(rep, blockRate, "Noise-stress noise added to other records", "SNR",
             {"mitdb_101", "mitdb_106", "mitdb_107", "mitdb_114", "mitdb_200"}, {12, 6}, " dB",
             [&](const char* record, int db) {
               return AlteredLead{withStressNoise(record, noise, db), loadBeats(record)};
             });
}

// Mains hum at 60 Hz added to the first lead of the arrhythmia records.
void scoreAddedHum(Report& rep, std::uint32_t blockRate) {
  rep.md +=
      "## Mains hum\n\n"
      "A 60 Hz sine added to the first lead of the six arrhythmia records, its amplitude a share of each "
      "record's QRS swing (100 %: a hum as tall as the QRS, as on a loose electrode).\n\n";
  scoreAdded(rep, blockRate, "Mains hum added to the first leads", "Hum", alteredRecords(), {30, 100},
             " %",
             [](const char* record, int percent) {
               return AlteredLead{withMainsHum(record, percent / 100.0), loadBeats(record)};
             });
}

// Electrode artefacts (spikes and steps of the baseline) on the first leads
// of the arrhythmia records.
void scoreAddedArtefacts(Report& rep, std::uint32_t blockRate) {
  rep.md +=
      "## Electrode artefacts\n\n"
      "Every minute a spike (three samples) and a step of the baseline (up and down in turn), each 5 or 20 "
      "times the record's QRS swing, on the first lead of the six arrhythmia records: 60 artefacts a "
      "record, each of which may itself pass for a beat (at most 60 false beats).\n\n";
  scoreAdded(rep, blockRate, "Electrode artefacts on the first leads", "Artefacts", alteredRecords(),
             {5, 20}, " x QRS",
             [](const char* record, int times) {
               return AlteredLead{withArtefacts(record, times), loadBeats(record)};
             });
}

// Sinus pauses cut into the first leads of the arrhythmia records.
void scoreAddedPauses(Report& rep, std::uint32_t blockRate) {
  rep.md +=
      "## Pauses\n\n"
      "Sinus pauses cut into the first lead of the six arrhythmia records: after every 25th beat the beats of "
      "two or five periods are left out (a pause of three or six periods), the gap filled with the line "
      "between its ends and a little noise (1 % of the QRS swing). The reference is the beats that remain.\n\n";
  scoreAdded(rep, blockRate, "Sinus pauses cut into the first leads", "Pause", alteredRecords(), {3, 6},
             " periods",
             [](const char* record, int periods) { return withPauses(record, periods); });
}

int main(int argc, char** argv) {
  std::uint32_t blockRate = 32;
  const char* markdown = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--markdown") == 0 && i + 1 < argc) {
      markdown = argv[++i];
    } else if (std::strcmp(argv[i], "--help") == 0) {
      std::printf("Usage: detect_score [--markdown FILE] [blocks-per-second]\n"
                  "Scores the beat, pulse and breath detectors on the real recordings of the shared data\n"
                  "folder and prints the figures; --markdown also writes them as a document (the project's\n"
                  "docs/validation.md). The block rate (default 32) is the one the program passes.\n");
      return 0;
    } else {
      blockRate = static_cast<std::uint32_t>(std::atoi(argv[i]));
      if (blockRate == 0) {
        std::fprintf(stderr, "detect_score: not a block rate: %s\n", argv[i]);
        return 2;
      }
    }
  }
  if (loadChannel("mitdb_105", "MLII").empty()) {
    std::fprintf(stderr, "detect_score: no recordings under %s\n", realDir().c_str());
    return 1;
  }
  Report rep;
  rep.md = strprintf(
      "# Detector validation\n\n"
      "Written by `detect_score --markdown docs/validation.md` (bench/detect_score.cpp) from the real "
      "recordings of the shared data folder, through the program's call sequence (%u blocks per second). "
      "Do not edit by hand: run the tool again when a detector changes. The suite holds the same figures "
      "to per-record targets (tests/detect/real_records_test.cpp).\n\n",
      blockRate);
  scoreAnnotated(rep, blockRate);
  scoreAddedNoise(rep, blockRate);
  scoreAddedHum(rep, blockRate);
  scoreAddedArtefacts(rep, blockRate);
  scoreAddedPauses(rep, blockRate);
  countUnannotated(rep, blockRate);
  leadAgreement(rep, blockRate);
  scoreBvp(rep, blockRate);
  scorePulsePauses(rep, blockRate);
  scorePulseArtefacts(rep, blockRate);
  scoreCameraPulse(rep, blockRate);
  pulseWithoutReference(rep, blockRate);
  respRates(rep, blockRate);
  if (markdown) {
    if (rc::Status s = rc::writeFileAtomic(markdown, rep.md); !s) {
      std::fprintf(stderr, "detect_score: %s\n", s.message().c_str());
      return 1;
    }
  }
  return 0;
}
