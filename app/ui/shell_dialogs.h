#pragma once
// The dialogs of the shell: signal selection (CHRVConfiguration), analysis
// settings, mode resolution and the About box. Each is a thin window over
// its core model; OK runs the model's checks and keeps the dialog open when
// they fail.
#include <QDialog>
#include <filesystem>
#include <optional>

#include "analysis/protocol/settings_dialog.h"
#include "app/signal_selection.h"

class QListWidget;
class QLineEdit;
class QRadioButton;
class QTableWidget;

namespace rc {

class CHRVConfiguration : public QDialog {
  Q_OBJECT

 public:
  CHRVConfiguration(const std::vector<ChannelOption>& channels, std::filesystem::path configFile,
                    UserInterface& ui, QWidget* parent = nullptr);
  SignalSelectionModel& model() { return model_; }
  QListWidget* list(SignalKind kind) const { return lists_[static_cast<std::size_t>(kind)]; }
  void accept() override;

 private:
  SignalSelectionModel model_;
  std::filesystem::path file_;
  UserInterface& ui_;
  std::array<QListWidget*, kSignalKindCount> lists_{};
};

class AnalysisSettingsDialog : public QDialog {
  Q_OBJECT

 public:
  AnalysisSettingsDialog(const AnalysisSettings& current, UserInterface& ui, QWidget* parent = nullptr);
  // The accepted settings (after OK).
  const std::optional<AnalysisSettings>& result() const { return result_; }
  void accept() override;

 private:
  SettingsDialogModel modelFromControls() const;
  AnalysisSettings current_;
  UserInterface& ui_;
  std::optional<AnalysisSettings> result_;
  QRadioButton *ekgBasic_, *ekgAdvanced_, *bvpBasic_, *bvpAdvanced_, *respFast_, *respSlow_;
  QLineEdit *averaging_, *nn_, *variation_;
  QRadioButton *absolute_, *percent_, *unitsAbs_, *unitsNu_;
  QRadioButton *optionEpochs_, *optionSteps_;
  QRadioButton *srcBvp_, *srcEkg_, *srcBoth_;
};

class ModeResolutionDialog : public QDialog {
  Q_OBJECT

 public:
  ModeResolutionDialog(ModeResolutionModel model, UserInterface& ui, QWidget* parent = nullptr);
  const ModeResolutionModel& model() const { return model_; }

 private:
  void editSelected();
  void refresh();
  ModeResolutionModel model_;
  UserInterface& ui_;
  QTableWidget* table_;
};

class AboutDialog : public QDialog {
  Q_OBJECT

 public:
  explicit AboutDialog(QWidget* parent = nullptr);
};

}  // namespace rc
