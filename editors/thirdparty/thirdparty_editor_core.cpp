#include "editors/thirdparty/thirdparty_editor_core.h"

#include <algorithm>

#include "analysis/epochs/epochs.h"

namespace rc {

ThirdPartyEditorCore::ThirdPartyEditorCore(std::vector<float> series, const ThirdPartySettings& settings,
                                           std::filesystem::path source)
    : settings_(clampedSettings(settings)), source_(std::move(source)) {
  setSeries(std::move(series));
  applyTimeRange(60.0);
}

void ThirdPartyEditorCore::setSeries(std::vector<float> values) {
  series_ = std::move(values);
  starts_ = thirdPartyStartTimes(series_);
  range_ = rc::applyTimeRange(range_, static_cast<double>(range_.width), thirdPartyWholeSeconds(series_));
}

const TimeRange& ThirdPartyEditorCore::applyTimeRange(double entered) {
  return applyTimeRange(entered, thirdPartyWholeSeconds(series_));
}

const TimeRange& ThirdPartyEditorCore::applyTimeRange(double entered, long long wholeSeconds) {
  range_ = rc::applyTimeRange(range_, entered, wholeSeconds);
  return range_;
}

void ThirdPartyEditorCore::scrollTo(long long start) {
  range_.start = range_.scrollable ? std::clamp<long long>(start, 0, range_.scrollMax) : 0;
}

std::filesystem::path ThirdPartyEditorCore::exportFolder() const {
  return lastFolder_.empty() ? source_.parent_path() : lastFolder_;
}

bool ThirdPartyEditorCore::exportIbi(UserInterface& ui, const IbiOptionsAsk& ask) {
  if (hasPendingEdits()) savePendingEdits();
  ThirdPartyIbiExport o;
  o.integerIbi = settings_.integerIbi != 0;
  o.timeColumn = settings_.timeColumn != 0;
  o.header = settings_.header != 0;
  const auto chosen = ask(o);
  if (!chosen) return false;
  settings_.integerIbi = chosen->integerIbi;
  settings_.timeColumn = chosen->timeColumn;
  settings_.header = chosen->header;
  const auto file = chooseThirdPartyExportFile(ui, exportFolder(), source_.stem().string() + "_IBI.txt");
  if (!file) return false;
  lastFolder_ = file->parent_path();
  return writeThirdPartyIbiExport(*file, series_, *chosen, ui);
}

bool ThirdPartyEditorCore::exportStatistics(UserInterface& ui, const StatsOptionsAsk& ask) {
  if (hasPendingEdits()) savePendingEdits();
  const std::vector<int> choices = thirdPartyEpochChoices(thirdPartyDuration(series_));
  ThirdPartyStatsExport o;
  o.epochSeconds = std::find(choices.begin(), choices.end(), settings_.epochTime) != choices.end()
                       ? settings_.epochTime
                       : choices.front();
  o.nnInterval = settings_.nnInterval;
  o.bandUnits = settings_.bandUnits;
  o.averageRow = settings_.statOptions == 1;
  o.header = settings_.header != 0;
  const auto chosen = ask(o, choices);
  if (!chosen) return false;
  settings_.epochTime = chosen->epochSeconds;
  settings_.nnInterval = std::max(1, chosen->nnInterval);
  settings_.bandUnits = chosen->bandUnits;
  settings_.statOptions = chosen->averageRow ? 1 : 0;
  settings_.header = chosen->header;
  // No complete epoch: said before any file is asked for or created.
  if (openEpochCount(series_, chosen->epochSeconds) < 1) {
    ui.showMessage(messageOf(283), Icon::Warning);
    return false;
  }
  const auto file = chooseThirdPartyExportFile(ui, exportFolder(), source_.stem().string() + "_HRV.txt");
  if (!file) return false;
  lastFolder_ = file->parent_path();
  return writeThirdPartyStatsExport(*file, series_, *chosen, ui);
}

void ThirdPartyEditorCore::close(UserInterface& ui, const IbiOptionsAsk& ask) {
  if (!hasPendingEdits()) return;
  if (ui.askYesNo(messageOf(475), false, Icon::Question)) exportIbi(ui, ask);
}

}  // namespace rc
