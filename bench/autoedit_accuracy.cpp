// Accuracy of the automatic IBI correction on real NN series: artefacts are
// injected at known places into 5-minute stretches of the long normal-rhythm
// records (the NN intervals of their reference beat annotations), each
// stretch is corrected as an open session at the default variation, and the
// result is compared with the clean stretch.
//
//   autoedit_accuracy [DATA_DIR] [--minutes M] [--variation V]
//
// Artefacts: a missed beat (two intervals merged), an extra beat (one
// interval cut 35:65) and an ectopic pair (short then long, the sum kept),
// in turn. An artefact counts as restored when the corrected beats inside
// its span match the clean beats in number and each lies within 50 ms of
// one; a clean interval away from every artefact counts as changed when
// either of its beats moved by more than 2 ms or a beat appeared inside it.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "editors/autoedit/auto_edit.h"
#include "support/locale.h"

namespace {

namespace fs = std::filesystem;
using rc::IntervalSeries;

std::vector<float> nnIntervals(const fs::path& csv) {
  std::ifstream in(csv);
  std::string line;
  std::getline(in, line);
  const std::string beats = "NLRBAaJSVrFejnE/fQ?";
  double prevT = -1.0;
  char prevS = 0;
  std::vector<float> nn;
  while (std::getline(in, line)) {
    const auto c1 = line.find(',');
    const auto c2 = line.find(',', c1 + 1);
    if (c1 == std::string::npos || c2 == std::string::npos) continue;
    const std::string sym = line.substr(c2 + 1);
    if (sym.size() != 1 || beats.find(sym[0]) == std::string::npos) continue;
    const auto t = rc::parseReal(line.substr(c1 + 1, c2 - c1 - 1));
    if (!t) continue;
    if (prevS == 'N' && sym[0] == 'N') nn.push_back(static_cast<float>((*t - prevT) * 1000.0));
    prevT = *t;
    prevS = sym[0];
  }
  return nn;
}

std::vector<double> beatTimes(const std::vector<float>& v) {
  std::vector<double> t{0.0};
  double s = 0.0;
  for (float x : v) t.push_back(s += x / 1000.0);
  return t;
}

double rmssd(const std::vector<float>& v) {
  if (v.size() < 2) return 0.0;
  double s = 0.0;
  for (std::size_t i = 1; i < v.size(); ++i) s += std::pow(double(v[i]) - v[i - 1], 2);
  return std::sqrt(s / double(v.size() - 1));
}
double sdnn(const std::vector<float>& v) {
  double m = 0.0;
  for (float x : v) m += x;
  m /= double(v.size());
  double s = 0.0;
  for (float x : v) s += (x - m) * (x - m);
  return std::sqrt(s / double(v.size() - 1));
}

struct Span {
  double start, end;
  int kind;
};

struct Tally {
  long injected = 0, restored = 0, cleanIntervals = 0, cleanChanged = 0, stretches = 0, refused = 0;
  long byKind[3] = {0, 0, 0}, restoredByKind[3] = {0, 0, 0};
  double rmssdBefore = 0, rmssdAfter = 0, sdnnBefore = 0, sdnnAfter = 0;
};

bool near(const std::vector<double>& sorted, double t, double tol) {
  auto it = std::lower_bound(sorted.begin(), sorted.end(), t - tol);
  return it != sorted.end() && *it <= t + tol;
}
long countInside(const std::vector<double>& sorted, double a, double b) {
  return std::lower_bound(sorted.begin(), sorted.end(), b) - std::upper_bound(sorted.begin(), sorted.end(), a);
}

void evaluate(const std::vector<float>& clean, double rate, double variation, std::mt19937& rng, Tally& t) {
  const std::size_t n = clean.size();
  const auto want = static_cast<std::size_t>(std::lround(rate * double(n)));
  // Distinct places at least 4 intervals apart.
  std::vector<std::size_t> at;
  std::uniform_int_distribution<std::size_t> pick(2, n - 4);
  for (int tries = 0; at.size() < want && tries < 100000; ++tries) {
    const std::size_t i = pick(rng);
    bool ok = true;
    for (std::size_t a : at)
      if ((a > i ? a - i : i - a) < 4) ok = false;
    if (ok) at.push_back(i);
  }
  std::sort(at.begin(), at.end());
  const auto cleanT = beatTimes(clean);
  std::vector<float> bad;
  std::vector<Span> spans;
  std::size_t k = 0;
  for (std::size_t i = 0; i < n;) {
    if (k < at.size() && at[k] == i) {
      const int kind = static_cast<int>(k % 3);
      const float x = clean[i], y = clean[i + 1];
      if (kind == 0) {
        bad.push_back(x + y);
        spans.push_back({cleanT[i], cleanT[i + 2], kind});
        i += 2;
      } else if (kind == 1) {
        bad.push_back(0.35f * x);
        bad.push_back(x - 0.35f * x);
        spans.push_back({cleanT[i], cleanT[i + 1], kind});
        i += 1;
      } else {
        bad.push_back(0.7f * x);
        bad.push_back(y + 0.3f * x);
        spans.push_back({cleanT[i], cleanT[i + 2], kind});
        i += 2;
      }
      ++k;
      continue;
    }
    bad.push_back(clean[i++]);
  }
  IntervalSeries s;
  s.values = bad;
  s.segments = {rc::SegmentRecord{0, 0.0f, 0.0f, static_cast<std::int32_t>(bad.size())}};
  rc::AutoEditInput in;
  in.series = &s;
  in.variation = variation;
  const auto r = rc::autoEditSeries(in, rc::PeriodicSegmentList{});
  ++t.stretches;
  std::vector<float> fixed = bad;
  if (r.status == rc::AutoEditStatus::Corrected) fixed = r.corrected.values;
  if (r.status == rc::AutoEditStatus::TooIrregular || r.status == rc::AutoEditStatus::TooManyMarks) ++t.refused;
  const auto fixedT = beatTimes(fixed);
  for (const Span& sp : spans) {
    ++t.injected;
    ++t.byKind[sp.kind];
    const long cleanInside = countInside(cleanT, sp.start - 0.001, sp.end + 0.001);
    const long fixedInside = countInside(fixedT, sp.start - 0.05, sp.end + 0.05);
    bool ok = cleanInside == fixedInside;
    for (double c : cleanT)
      if (ok && c >= sp.start - 0.001 && c <= sp.end + 0.001 && !near(fixedT, c, 0.05)) ok = false;
    if (ok) {
      ++t.restored;
      ++t.restoredByKind[sp.kind];
    }
  }
  std::size_t sp = 0;
  for (std::size_t i = 0; i + 1 < cleanT.size(); ++i) {
    const double a = cleanT[i], b = cleanT[i + 1];
    while (sp < spans.size() && spans[sp].end < a) ++sp;
    if (sp < spans.size() && spans[sp].start <= b && spans[sp].end >= a) continue;
    ++t.cleanIntervals;
    if (!near(fixedT, a, 0.002) || !near(fixedT, b, 0.002) || countInside(fixedT, a + 0.002, b - 0.002) > 0)
      ++t.cleanChanged;
  }
  const double rc0 = rmssd(clean), sc0 = sdnn(clean);
  t.rmssdBefore += std::fabs(rmssd(bad) - rc0);
  t.rmssdAfter += std::fabs(rmssd(fixed) - rc0);
  t.sdnnBefore += std::fabs(sdnn(bad) - sc0);
  t.sdnnAfter += std::fabs(sdnn(fixed) - sc0);
}

}  // namespace

int main(int argc, char** argv) {
  fs::path dir = fs::path(RC_SHARED_DIR) / "data" / "real";
  double minutes = 5.0, variation = 20.0;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--minutes" && i + 1 < argc)
      minutes = std::atof(argv[++i]);
    else if (a == "--variation" && i + 1 < argc)
      variation = std::atof(argv[++i]);
    else
      dir = a;
  }
  const char* records[] = {"nsr2db_nsr001", "nsr2db_nsr004"};
  std::printf("| record | rate | stretches | refused | injected | restored | missed / extra / ectopic restored "
              "| clean changed | RMSSD error before -> after (ms) | SDNN error before -> after (ms) |\n");
  std::printf("|---|---|---|---|---|---|---|---|---|---|\n");
  for (const char* rec : records) {
    const fs::path csv = dir / (std::string(rec) + "_beats.csv");
    if (!fs::exists(csv)) {
      std::fprintf(stderr, "%s: not found, skipped\n", csv.string().c_str());
      continue;
    }
    const auto nn = nnIntervals(csv);
    // Stretches of the given length of consecutive NN intervals.
    std::vector<std::vector<float>> stretches(1);
    double sum = 0.0;
    for (float x : nn) {
      stretches.back().push_back(x);
      if ((sum += x / 1000.0) >= minutes * 60.0) {
        stretches.emplace_back();
        sum = 0.0;
      }
    }
    if (stretches.back().size() < 50) stretches.pop_back();
    for (double rate : {0.01, 0.02, 0.05}) {
      Tally t;
      std::mt19937 rng(12345);
      for (const auto& s : stretches) evaluate(s, rate, variation, rng, t);
      const double k = double(t.stretches);
      std::printf("| %s | %.0f%% | %ld | %ld | %ld | %ld (%.1f%%) | %ld/%ld, %ld/%ld, %ld/%ld | %ld of %ld (%.2f%%) "
                  "| %.2f -> %.2f | %.2f -> %.2f |\n",
                  rec, rate * 100, t.stretches, t.refused, t.injected, t.restored,
                  100.0 * double(t.restored) / double(std::max(1L, t.injected)), t.restoredByKind[0], t.byKind[0],
                  t.restoredByKind[1], t.byKind[1], t.restoredByKind[2], t.byKind[2], t.cleanChanged,
                  t.cleanIntervals, 100.0 * double(t.cleanChanged) / double(std::max(1L, t.cleanIntervals)),
                  t.rmssdBefore / k, t.rmssdAfter / k, t.sdnnBefore / k, t.sdnnAfter / k);
    }
  }
  return 0;
}
