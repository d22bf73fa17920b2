#pragma once
// The reports' dialogs: the text report's options (CReportOptions), the
// spreadsheet report editor (CExcelReportEditor) with its settings
// (CExcelReportSettings) and save (CSaveExcelReport) dialogs, and the
// commands the review container's Reports menu calls.
#include <functional>
#include <optional>

#include "app/review_context.h"
#include "reports/definitions/definition_editor.h"
#include "reports/definitions/definition_generate.h"
#include "reports/report/text_report.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QRadioButton>
#include <QTableWidget>

namespace rc {

class CReportOptions : public QDialog {
  Q_OBJECT
 public:
  CReportOptions(const ReportSeries& available, UserInterface& ui, QWidget* parent = nullptr);
  ReportOptions options() const;
  bool pdfRequested() const { return pdf_->isChecked(); }
  void accept() override;

 private:
  UserInterface& ui_;
  QRadioButton* ekg_;
  QRadioButton* bvp_;
  QCheckBox* graphs_;
  QCheckBox* statistics_;
  QCheckBox* pdf_;
};

class CExcelReportSettings : public QDialog {
  Q_OBJECT
 public:
  CExcelReportSettings(const ReportDefinition& d, const std::vector<std::string>& workbooks, UserInterface& ui,
                       QWidget* parent = nullptr);
  const ReportDefinition& definition() const { return def_; }
  void accept() override;

 private:
  DefinitionSettingsForm form() const;
  ReportDefinition def_;
  UserInterface& ui_;
  QLineEdit *ibi_, *periodic_, *standard_, *session_, *nn_;
  QComboBox *workbook_, *epoch_, *units_, *option_, *signal_, *textType_;
  QCheckBox *header_, *timeColumn_, *integerIbi_, *perEpoch_;
};

class CSaveExcelReport : public QDialog {
  Q_OBJECT
 public:
  CSaveExcelReport(const ReportDefinition& d, std::filesystem::path folder, UserInterface& ui,
                   QWidget* parent = nullptr);
  std::string description() const { return description_->text().toStdString(); }
  const std::string& fileName() const { return chosen_; }
  void accept() override;

 private:
  std::filesystem::path folder_;
  UserInterface& ui_;
  QLineEdit* description_;
  QLineEdit* file_;
  std::string chosen_;
};

// The channel set or script of a definition: the session type, then the
// channel sets (with their EKG and BVP channel counts) or scripts of the data root.
class CReportProtocolChooser : public QDialog {
  Q_OBJECT
 public:
  CReportProtocolChooser(const std::filesystem::path& dataRoot, const ReportDefinition& current,
                         QWidget* parent = nullptr);
  std::optional<ProtocolChoice> choice() const;

 private:
  void fill();
  std::filesystem::path root_;
  QRadioButton* open_;
  QRadioButton* script_;
  QComboBox* names_;
};

// The dialogs of the edit flow, as widgets.
class QtDefinitionDialogs : public DefinitionEditorDialogs {
 public:
  QtDefinitionDialogs(std::filesystem::path dataRoot, UserInterface& ui, QWidget* parent)
      : root_(std::move(dataRoot)), ui_(ui), parent_(parent) {}
  std::optional<ProtocolChoice> chooseProtocol(const ReportDefinition& current, int commProtocol) override;
  bool editSettings(ReportDefinition& d, const std::vector<std::string>& workbooks) override;
  std::optional<std::string> saveAs(ReportDefinition& d, const std::filesystem::path& reportsFolder) override;

 private:
  std::filesystem::path root_;
  UserInterface& ui_;
  QWidget* parent_;
};

class CExcelReportEditor : public QDialog {
  Q_OBJECT
 public:
  CExcelReportEditor(ExcelReportEditorModel& model, QWidget* parent = nullptr);
  // Selection mode's result.
  std::optional<std::filesystem::path> chosenFile() const { return chosen_; }
  void accept() override;

 private:
  void refresh();
  std::vector<std::size_t> selectedRows() const;
  ExcelReportEditorModel& model_;
  QTableWidget* list_;
  std::optional<std::filesystem::path> chosen_;
};

// The container's "Generate Text Report": 0 when a report was made.
int generateTextReport(ReviewContext& ctx, UserInterface& ui, QWidget* parent);

// The main dialog's "Start editor" (editing mode).
void openExcelReportEditor(const std::filesystem::path& dataRoot, UserInterface& ui, QWidget* parent);

// The container's "Generate Excel Report": the editor in selection mode,
// listing the definitions of `category`; the chosen definition file, or
// nullopt when cancelled.
std::optional<std::filesystem::path> chooseExcelReport(const std::string& category, UserInterface& ui,
                                                       QWidget* parent);

}  // namespace rc
