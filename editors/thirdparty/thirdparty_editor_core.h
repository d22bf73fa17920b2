#pragma once
// The state of the third-party editor without a window: the series read from
// the file, the visible time range, the settings the exports change, and the
// steps of the two exports and of closing.
#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

#include "editors/thirdparty/thirdparty_export.h"
#include "editors/thirdparty/thirdparty_rows.h"
#include "editors/thirdparty/thirdparty_settings.h"
#include "support/ui.h"

namespace rc {

class ThirdPartyEditorCore {
 public:
  ThirdPartyEditorCore(std::vector<float> series, const ThirdPartySettings& settings,
                       std::filesystem::path source);

  const std::vector<float>& series() const { return series_; }
  const std::vector<double>& startTimes() const { return starts_; }
  const ThirdPartySettings& settings() const { return settings_; }
  const std::filesystem::path& source() const { return source_; }

  // Replaces the saved series (Save Changes of the edit model).
  void setSeries(std::vector<float> values);

  const TimeRange& timeRange() const { return range_; }
  // Apply Time Range: W from the entry (at least 1); the window start kept in range.
  const TimeRange& applyTimeRange(double entered);
  // The same over a working copy's duration (T, whole seconds rounded up).
  const TimeRange& applyTimeRange(double entered, long long wholeSeconds);
  void scrollTo(long long start);

  // Unsaved edits of the list (the edit model tells); saved before an export.
  std::function<bool()> hasPendingEdits = [] { return false; };
  std::function<void()> savePendingEdits = [] {};

  // IBI Export: pending edits saved, options asked (nullopt = Cancel), the
  // file chosen, then written. The chosen options are kept in the settings.
  using IbiOptionsAsk = std::function<std::optional<ThirdPartyIbiExport>(const ThirdPartyIbiExport&)>;
  bool exportIbi(UserInterface& ui, const IbiOptionsAsk& ask);

  using StatsOptionsAsk = std::function<std::optional<ThirdPartyStatsExport>(const ThirdPartyStatsExport&,
                                                                              const std::vector<int>& epochChoices)>;
  bool exportStatistics(UserInterface& ui, const StatsOptionsAsk& ask);

  // Closing: with unsaved edits, question 475 (No default); Yes runs the IBI export.
  void close(UserInterface& ui, const IbiOptionsAsk& ask);

  std::filesystem::path exportFolder() const;

 private:
  std::vector<float> series_;
  std::vector<double> starts_;
  ThirdPartySettings settings_;
  std::filesystem::path source_;
  TimeRange range_;
  std::filesystem::path lastFolder_;
};

}  // namespace rc
