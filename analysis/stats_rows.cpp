#include <cmath>

#include "analysis/rows.h"
#include "support/format.h"
#include "support/locale.h"

namespace rc {

std::string cellText(const std::optional<double>& value) {
  if (!value || !std::isfinite(*value)) return kEmptyCellText;
  return localiseDecimal(strprintf("%.3f", *value));
}

std::string cellText(const std::optional<std::int32_t>& value) {
  if (!value) return kEmptyCellText;
  return strprintf("%d", *value);
}

std::vector<std::string> hrvCells(const HrvRow& row) {
  return {cellText(row.sdnn),  cellText(row.nnCount), cellText(row.pnn),
          cellText(row.rmssd), cellText(row.vlf),     cellText(row.lf),
          cellText(row.hf),    cellText(row.lfHf),    cellText(row.total)};
}

std::vector<std::string> signalCells(const SignalRow& row) {
  return {cellText(row.minimum), cellText(row.maximum), cellText(row.mean), cellText(row.sd),
          cellText(row.sdMean),  cellText(row.mode),    cellText(row.area)};
}

}  // namespace rc
