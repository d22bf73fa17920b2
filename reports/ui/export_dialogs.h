#pragma once
// The dialogs of the "Export" command: the options (CExportType) and the
// encoding choice (CPreferences), and the command itself for the container.
#include <QDialog>
#include <optional>

#include "app/review_context.h"
#include "reports/exports/export_command.h"

class QListWidget;
class QCheckBox;
class QRadioButton;
class QGroupBox;
class QLabel;
class QPushButton;

namespace rc {

// The encoding choice: UTF-8, UTF-16LE, UTF-16BE.
class CPreferences : public QDialog {
  Q_OBJECT
 public:
  explicit CPreferences(std::int32_t codePage, QWidget* parent = nullptr);
  // The code page of the chosen button (0 when none is chosen).
  std::int32_t codePage() const;
  void choose(std::int32_t codePage);

 private:
  QRadioButton* buttons_[3];
};

class CExportType : public QDialog {
  Q_OBJECT
 public:
  CExportType(ExportTypeModel& model, QWidget* parent = nullptr);
  // Runs the encoding choice; tests replace it.
  std::function<std::optional<std::int32_t>(std::int32_t current)> encodingChooser;

  QListWidget* kindList() const { return kinds_; }
  QCheckBox* headerBox() const { return header_; }
  QCheckBox* integerBox() const { return integer_; }
  QCheckBox* timeBox() const { return time_; }
  QCheckBox* perEpochBox() const { return perEpoch_; }
  QRadioButton* ekgButton() const { return ekg_; }
  QRadioButton* bvpButton() const { return bvp_; }
  QRadioButton* asciiButton() const { return ascii_; }
  QRadioButton* unicodeButton() const { return unicode_; }
  QPushButton* encodingButton() const { return encoding_; }

  void accept() override;

 private:
  void refresh();
  ExportTypeModel& model_;
  QListWidget* kinds_;
  QCheckBox* header_;
  QGroupBox* signalGroup_;
  QRadioButton* ekg_;
  QRadioButton* bvp_;
  QCheckBox* integer_;
  QCheckBox* time_;
  QCheckBox* perEpoch_;
  QRadioButton* ascii_;
  QRadioButton* unicode_;
  QPushButton* encoding_;
};

// The container's Export command (id 32844) over the loaded session. The
// caller applies pending IBI edits and recomputes first. Returns true when
// files were written.
bool runExport(ReviewContext& ctx, UserInterface& ui, QWidget* parent);

}  // namespace rc
