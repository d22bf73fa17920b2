#pragma once
// The editor of IBI files from other software (`CThirdPartyEditor`): the list
// of intervals (a table model over the shared edit model's rows; a day holds
// 100,000 of them) with Add / Split / Average / Undo / Cancel Changes / Save
// Changes, the tachogram of the visible time range with its scroll bar, the
// IBI and periodic statistics exports with their option dialogs, and the
// close question. The rules live in PeriodicEditModel and ThirdPartyEditorCore.
#include <QAbstractTableModel>
#include <QDialog>
#include <filesystem>
#include <memory>

#include "editors/periodic/edit_model.h"
#include "editors/thirdparty/file_layout.h"
#include "editors/thirdparty/thirdparty_editor_core.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QScrollBar;
class QSpinBox;
class QTableView;
class QChart;
class QChartView;
class QLineSeries;
class QValueAxis;

namespace rc {

class ThirdPartyRowsModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit ThirdPartyRowsModel(const PeriodicEditModel& rows, QObject* parent = nullptr);
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation o, int role) const override;
  void reload();

 private:
  const PeriodicEditModel& rows_;
};

class ThirdPartyIbiExportDialog : public QDialog {
  Q_OBJECT

 public:
  ThirdPartyIbiExportDialog(const ThirdPartyIbiExport& o, QWidget* parent = nullptr);
  ThirdPartyIbiExport options() const;
  QCheckBox* integer = nullptr;
  QCheckBox* time = nullptr;
  QCheckBox* header = nullptr;
};

class ThirdPartyStatsExportDialog : public QDialog {
  Q_OBJECT

 public:
  ThirdPartyStatsExportDialog(const ThirdPartyStatsExport& o, const std::vector<int>& epochChoices,
                              QWidget* parent = nullptr);
  ThirdPartyStatsExport options() const;
  QSpinBox* nn = nullptr;
  QComboBox* units = nullptr;
  QRadioButton* epochRows = nullptr;
  QRadioButton* averageRow = nullptr;
  QComboBox* epoch = nullptr;
  QCheckBox* header = nullptr;
};

class CThirdPartyEditor : public QDialog {
  Q_OBJECT

 public:
  CThirdPartyEditor(ThirdPartyFile file, const ThirdPartySettings& settings, UserInterface& ui,
                    QWidget* parent = nullptr);
  ~CThirdPartyEditor() override;

  ThirdPartyEditorCore& core() { return core_; }
  PeriodicEditModel& editModel() { return model_; }
  // The working copy as listed (the chart draws it).
  const std::vector<float>& workingValues() const { return working_; }
  ThirdPartyRowsModel* rows() const { return rows_; }
  QTableView* table() const { return table_; }
  QLineSeries* chartSeries() const { return line_; }
  QValueAxis* timeAxis() const { return xAxis_; }
  QScrollBar* scrollBar() const { return scroll_; }
  QLineEdit* timeRangeEdit() const { return range_; }

  // How the export options are asked (the dialogs by default; tests answer directly).
  ThirdPartyEditorCore::IbiOptionsAsk askIbiOptions;
  ThirdPartyEditorCore::StatsOptionsAsk askStatsOptions;

  void applyTimeRange();
  void exportIbi();
  void exportStatistics();
  // The edit commands on the selected rows.
  void add();
  void split();
  void average();
  void undo();
  void cancelChanges();
  void saveChanges();
  void selectRows(const std::vector<std::size_t>& rows);
  std::vector<std::size_t> selectedRows() const;

 protected:
  void done(int r) override;

 private:
  void redrawChart();
  void afterEdit(const std::optional<EditApplied>& applied);
  void refreshWorking();
  void updateButtons();

  ThirdPartyEditorCore core_;
  PeriodicEditModel model_;
  std::vector<float> working_;
  std::vector<double> workingStarts_;
  UserInterface& ui_;
  QPushButton* undo_ = nullptr;
  QPushButton* cancel_ = nullptr;
  QPushButton* save_ = nullptr;
  ThirdPartyRowsModel* rows_ = nullptr;
  QTableView* table_ = nullptr;
  QChart* chart_ = nullptr;
  QChartView* chartView_ = nullptr;
  QLineSeries* line_ = nullptr;
  QValueAxis* xAxis_ = nullptr;
  QValueAxis* yAxis_ = nullptr;
  QScrollBar* scroll_ = nullptr;
  QLineEdit* range_ = nullptr;
  bool closing_ = false;
};

// The whole command of the main dialog's "Edit Third Party IBI File": the
// settings file of the program folder (189 when it is missing; it is then
// never created), the layout dialog, the file, the editor, and the settings
// written back at the end when the file existed.
void openThirdPartyEditor(QWidget* parent, UserInterface& ui, const std::filesystem::path& programFolder);

}  // namespace rc
