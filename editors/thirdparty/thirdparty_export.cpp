#include "editors/thirdparty/thirdparty_export.h"

#include <cmath>
#include <system_error>

#include "analysis/epochs/epochs.h"
#include "analysis/epochs/resample.h"
#include "analysis/series/series_file.h"
#include "analysis/stats/hrv_stats.h"
#include "analysis/stats/rows.h"
#include "editors/thirdparty/thirdparty_rows.h"
#include "support/file_io.h"
#include "support/format.h"
#include "support/language.h"
#include "support/locale.h"

namespace rc {

namespace {

constexpr const char* kEol = "\r\n";

std::string real(double v, char decimal) { return localiseDecimal(strprintf("%.3f", v), decimal); }
std::string cell(const std::optional<double>& v, char decimal) {
  return v && std::isfinite(*v) ? real(*v, decimal) : std::string(kEmptyCellText);
}

// The power captions: " (%)" in percentage units, the power unit otherwise.
std::string powerCaption(int id, int bandUnits, bool band) {
  if (bandUnits == 2 && band) return str(id) + " (%)";
  if (bandUnits == 1 && band && id != 259) return str(id);
  return str(id) + " " + str(282);
}

struct Sum {
  double total = 0.0;
  int count = 0;
  void add(const std::optional<double>& v) {
    if (v && std::isfinite(*v)) {
      total += *v;
      ++count;
    }
  }
  std::optional<double> mean() const { return count ? std::optional<double>(total / count) : std::nullopt; }
};

}  // namespace

long long integerIbi(double ms) {
  const double whole = std::trunc(ms);
  return static_cast<long long>(whole) + (ms - whole >= 0.5 ? 1 : 0);
}

std::vector<int> thirdPartyEpochChoices(double durationSeconds) {
  std::vector<int> out = {60};
  for (int e : {180, 300, 600}) {
    if (durationSeconds > e) out.push_back(e);
  }
  return out;
}

std::string thirdPartyIbiExportText(std::span<const float> values, const ThirdPartyIbiExport& o, char sep,
                                    char decimal) {
  std::string out;
  out.reserve(values.size() * 20 + 64);
  if (o.header) {
    out += str(252) + kEol;
    if (o.timeColumn) out += str(156) + sep;
    out += str(187) + kEol;
  }
  const std::vector<double> times = thirdPartyStartTimes(values);
  for (std::size_t k = 0; k < values.size(); ++k) {
    if (o.timeColumn) out += localiseDecimal(strprintf("%.6f", times[k]), decimal) + sep;
    const double v = static_cast<double>(values[k]);
    out += o.integerIbi ? strprintf("%lld", integerIbi(v)) : localiseDecimal(strprintf("%.3f", v), decimal);
    out += kEol;
  }
  return out;
}

std::optional<std::string> thirdPartyStatsExportText(std::span<const float> values, const ThirdPartyStatsExport& o,
                                                     char sep, char decimal) {
  const int e = o.epochSeconds;
  const std::int64_t epochs = openEpochCount(values, e);
  if (epochs < 1) return std::nullopt;
  const std::vector<IntervalSpan> spans = openEpochSpans(values, epochs, e);
  const SpectralGrid grid = spectralGrid(e);
  HrvSettings settings;
  settings.nnThresholdMs = o.nnInterval;
  settings.units = static_cast<BandUnits>(o.bandUnits >= 0 && o.bandUnits <= 2 ? o.bandUnits : 0);
  OpenSessionResampler resampler(values, grid);
  std::vector<double> samples(static_cast<std::size_t>(grid.n));

  std::string out;
  if (o.header) {
    out += str(332) + sep + strprintf("%d", e / 60) + " min." + kEol;
    std::vector<std::string> caps;
    if (!o.averageRow) caps.push_back(str(253));
    caps.insert(caps.end(), {str(255), str(484), str(485), str(258), powerCaption(259, o.bandUnits, true),
                             powerCaption(262, o.bandUnits, true), powerCaption(281, o.bandUnits, true), str(280),
                             powerCaption(263, o.bandUnits, false)});
    for (std::size_t i = 0; i < caps.size(); ++i) out += caps[i] + (i + 1 < caps.size() ? std::string(1, sep) : kEol);
  }
  Sum sdnn, pnn, rmssd, vlf, lf, hf, lfhf, total;
  long long nnSum = 0;
  for (std::int64_t k = 0; k < epochs; ++k) {
    const IntervalSpan& s = spans[static_cast<std::size_t>(k)];
    const bool resampled = resampler.next(samples);
    const HrvRow row = computeHrvRow(IbiSource::Ekg, values.subspan(s.first, s.count),
                                     resampled ? std::span<const double>(samples) : std::span<const double>(),
                                     grid, settings);
    const long long nn = row.nnCount.value_or(0);
    if (o.averageRow) {
      sdnn.add(row.sdnn);
      pnn.add(row.pnn);
      rmssd.add(row.rmssd);
      vlf.add(row.vlf);
      lf.add(row.lf);
      hf.add(row.hf);
      lfhf.add(row.lfHf);
      total.add(row.total);
      nnSum += nn;
      continue;
    }
    out += strprintf("%lld", static_cast<long long>(k + 1)) + sep + cell(row.sdnn, decimal) + sep +
           strprintf("%lld", nn) + sep + cell(row.pnn, decimal) + sep + cell(row.rmssd, decimal) + sep +
           cell(row.vlf, decimal) + sep + cell(row.lf, decimal) + sep + cell(row.hf, decimal) + sep +
           cell(row.lfHf, decimal) + sep + cell(row.total, decimal) + kEol;
  }
  if (o.averageRow) {
    // The NN count is averaged as a whole number.
    out += cell(sdnn.mean(), decimal) + sep + strprintf("%lld", nnSum / epochs) + sep + cell(pnn.mean(), decimal) +
           sep + cell(rmssd.mean(), decimal) + sep + cell(vlf.mean(), decimal) + sep + cell(lf.mean(), decimal) +
           sep + cell(hf.mean(), decimal) + sep + cell(lfhf.mean(), decimal) + sep + cell(total.mean(), decimal) +
           kEol;
  }
  return out;
}

std::optional<std::filesystem::path> chooseThirdPartyExportFile(UserInterface& ui,
                                                                const std::filesystem::path& folder,
                                                                const std::string& proposedName) {
  FileDialogRequest req;
  req.save = true;
  req.title = str(342);
  req.folder = folder;
  req.fileName = proposedName;
  req.filters = {{str(341), "*.txt"}, {str(340), "*"}};
  req.defaultSuffix = "txt";
  req.overwritePrompt = false;  // asked below, for the name with ".txt"
  for (;;) {
    auto chosen = ui.chooseFile(req);
    if (!chosen) return std::nullopt;
    std::filesystem::path file = *chosen;
    file.replace_extension(".txt");
    std::error_code ec;
    if (!std::filesystem::exists(file, ec)) return file;
    if (ui.askYesNo(MessageBuilder().idArg(343, file.string()), false, Icon::Question)) return file;
    req.folder = file.parent_path();
    req.fileName = file.filename().string();
  }
}

bool writeThirdPartyIbiExport(const std::filesystem::path& file, std::span<const float> values,
                              const ThirdPartyIbiExport& o, UserInterface& ui) {
  const LocaleSeparators& s = localeSeparators();
  if (!writeFileAtomic(file, thirdPartyIbiExportText(values, o, s.list, s.decimal))) {
    ui.showMessage(fileNotCreatedMessage(file), Icon::Warning);
    return false;
  }
  return true;
}

bool writeThirdPartyStatsExport(const std::filesystem::path& file, std::span<const float> values,
                                const ThirdPartyStatsExport& o, UserInterface& ui) {
  const LocaleSeparators& s = localeSeparators();
  auto text = thirdPartyStatsExportText(values, o, s.list, s.decimal);
  if (!text) {
    ui.showMessage(messageOf(283), Icon::Warning);
    return false;
  }
  if (!writeFileAtomic(file, *text)) {
    ui.showMessage(fileNotCreatedMessage(file), Icon::Warning);
    return false;
  }
  return true;
}

}  // namespace rc
