#pragma once
// The models behind the analysis settings dialog, the epoch length commands
// and the mode resolution dialog. No widgets: the dialogs show these values
// and hand the user's entries back.
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "analysis/protocol/settings.h"
#include "support/status.h"
#include "support/ui.h"

namespace rc {

class CXMLMarkup;

// String ids of the validation messages.
inline constexpr int kMsgAveragingFactor = 230;
inline constexpr int kMsgNnThreshold = 268;
inline constexpr int kMsgVariation = 441;  // formatted with the upper limit 100

// The controls of the analysis settings dialog.
struct SettingsDialogModel {
  int ekgType = 0;              // radio: 0 Basic, 1 Advanced
  int bvpType = 0;              // radio: 0 Basic, 1 Advanced
  int respirationOption = 0;    // radio: 0 Fast, 1 Slow
  std::string averagingFactor;  // edit texts, as the user typed them
  std::string nnInterval;       // ms
  std::string variation;        // %
  bool percentOfTotal = false;  // Band Power: false Absolute, true Percentage of Total Power
  int unitButton = 0;           // HF and LF units: 0 ms2/Hz, 1 n.u., -1 none
  int statisticOption = 0;
  int sourceChoice = 2;  // 0 BVP, 1 EKG, 2 Both

  // The controls as the dialog opens on the given values; numbers in the
  // edit fields use the user's decimal separator.
  static SettingsDialogModel fromSettings(const AnalysisSettings& s);

  // OK: validates in order (averaging factor, NN threshold, variation); the
  // first failure is shown as a warning and nullopt keeps the dialog open.
  // Otherwise returns loaded with the dialog's values in place.
  std::optional<AnalysisSettings> accept(const AnalysisSettings& loaded, UserInterface& ui) const;
};

// The epoch length commands. epochTime is the value in force; recompute
// rebuilds the statistics with it and returns false when they cannot be built
// (for instance when no epoch fits in the session). On failure the previous
// length is restored and recomputed, and nothing is saved.
struct EpochChangeOutcome {
  bool applied = false;        // the new length is in force
  bool written = false;        // "EpochTime" was changed in the document
  Status saved;                // the save of the document, when written
  bool refreshEditor = false;  // the periodic editor must redraw its epoch grid
};
EpochChangeOutcome changeEpochLength(int seconds, int& epochTime, const std::function<bool()>& recompute,
                                     CXMLMarkup& doc, const std::filesystem::path& file);

// The mode resolution dialog.
enum class ModeSignal { HeartRate, RespRate, Swing, SkinConductance, Temperature, Emg };

struct ModeResolutionRow {
  ModeSignal signal;
  double resolution;
  bool operator==(const ModeResolutionRow&) const = default;
};

class ModeResolutionModel {
 public:
  // Heart rate and swing always; respiration, skin conductance, temperature
  // and EMG when a channel of that kind is selected.
  ModeResolutionModel(const ModeResolutions& current, bool resp, bool sc, bool temp, bool emg);

  const std::vector<ModeResolutionRow>& rows() const { return rows_; }
  // "Edit Selected Resolution": a finite number above 0 (either decimal
  // separator) replaces the row's value; anything else is refused.
  bool edit(std::size_t row, const std::string& text);
  // The six values with the edits applied (signals not listed keep theirs).
  ModeResolutions values() const;

 private:
  ModeResolutions values_;
  std::vector<ModeResolutionRow> rows_;
};

// OK of the mode resolution dialog: stores the six values in settings, writes
// them with "%.3f" and saves the document. The caller recomputes.
Status saveModeResolutions(CXMLMarkup& doc, const std::filesystem::path& file, const ModeResolutions& values,
                           AnalysisSettings& settings);

}  // namespace rc
