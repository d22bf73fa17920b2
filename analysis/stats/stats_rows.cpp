#include <cmath>

#include "analysis/stats/rows.h"
#include "support/format.h"
#include "support/locale.h"

namespace rc {

std::string cellText(const std::optional<double>& value, char decimal) {
  if (!value || !std::isfinite(*value)) return kEmptyCellText;
  return localiseDecimal(strprintf("%.3f", *value), decimal);
}

std::string cellText(const std::optional<double>& value) {
  return cellText(value, localeSeparators().decimal);
}

std::string cellText(const std::optional<std::int32_t>& value) {
  if (!value) return kEmptyCellText;
  return strprintf("%d", *value);
}

std::vector<std::string> hrvCells(const HrvRow& row, char decimal) {
  auto c = [decimal](const std::optional<double>& v) { return cellText(v, decimal); };
  return {c(row.sdnn), cellText(row.nnCount), c(row.pnn),  c(row.rmssd), c(row.vlf), c(row.lf),
          c(row.hf),   c(row.lfHf),           c(row.total)};
}

std::vector<std::string> hrvCells(const HrvRow& row) { return hrvCells(row, localeSeparators().decimal); }

std::vector<std::string> signalCells(const SignalRow& row, char decimal) {
  auto c = [decimal](const std::optional<double>& v) { return cellText(v, decimal); };
  return {c(row.minimum), c(row.maximum), c(row.mean), c(row.sd), c(row.sdMean), c(row.mode), c(row.area)};
}

std::vector<std::string> signalCells(const SignalRow& row) {
  return signalCells(row, localeSeparators().decimal);
}

}  // namespace rc
