#include "reports/ui/report_dialogs.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "reports/report/report_command.h"
#include "reports/ui/report_render.h"
#include "store/ado_database.h"
#include "store/data_root.h"
#include "store/records_host.h"
#include "support/language.h"
#include "support/paths.h"

namespace rc {

namespace fs = std::filesystem;

namespace {

QString qs(int id) { return QString::fromStdString(str(id)); }
QString qs(const std::string& s) { return QString::fromStdString(s); }

QDialogButtonBox* okCancel(QDialog* d) {
  auto* b = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, d);
  b->button(QDialogButtonBox::Ok)->setText(qs(5));
  b->button(QDialogButtonBox::Cancel)->setText(qs(2));
  QObject::connect(b, &QDialogButtonBox::accepted, d, &QDialog::accept);
  QObject::connect(b, &QDialogButtonBox::rejected, d, &QDialog::reject);
  return b;
}

}  // namespace

// ---- text report options ----

CReportOptions::CReportOptions(const ReportSeries& available, UserInterface& ui, QWidget* parent)
    : QDialog(parent), ui_(ui) {
  setWindowTitle(qs(6412));
  auto* layout = new QVBoxLayout(this);
  auto* signal = new QGroupBox(qs(6408), this);
  auto* sl = new QHBoxLayout(signal);
  ekg_ = new QRadioButton(qs(6413), signal);
  bvp_ = new QRadioButton(qs(6414), signal);
  sl->addWidget(ekg_);
  sl->addWidget(bvp_);
  sl->addStretch();
  (available.ekg ? ekg_ : bvp_)->setChecked(true);
  signal->setEnabled(available.both());
  layout->addWidget(signal);
  graphs_ = new QCheckBox(qs(6409), this);
  statistics_ = new QCheckBox(qs(6410), this);
  pdf_ = new QCheckBox(qs(6411), this);
  graphs_->setChecked(true);
  statistics_->setChecked(true);
  layout->addWidget(graphs_);
  layout->addWidget(statistics_);
  layout->addWidget(pdf_);
  layout->addWidget(okCancel(this));
  setMinimumWidth(340);
}

ReportOptions CReportOptions::options() const {
  ReportOptions o;
  o.signal = bvp_->isChecked() ? kSlotBvp : kSlotEkg;
  o.graphs = graphs_->isChecked();
  o.statistics = statistics_->isChecked();
  return o;
}

void CReportOptions::accept() {
  if (acceptReportOptions(options(), ui_)) QDialog::accept();
}

int generateTextReport(ReviewContext& ctx, UserInterface& ui, QWidget* parent) {
  if (!ctx.session || !ctx.results) return 1;
  const TextReportPaths paths{programFolder(), dataRoot()};
  const auto available = prepareTextReport(*ctx.session, paths, ui);
  if (!available) return 1;
  CReportOptions dlg(*available, ui, parent);
  if (dlg.exec() != QDialog::Accepted) return 1;
  const ReportOptions o = dlg.options();
  std::optional<fs::path> pdf;
  if (dlg.pdfRequested()) {
    FileDialogRequest req;
    req.save = true;
    req.title = str(6411);
    req.folder = paths.dataRoot / "Exports";
    req.fileName = "HRV Report " + std::to_string(ctx.session->clientId) + "-" + std::to_string(ctx.session->sessionId) + ".pdf";
    req.filters = {{"PDF", "*.pdf"}};
    req.defaultSuffix = "pdf";
    pdf = ui.chooseFile(req);
  }
  ctx.heartSlot = o.signal;  // the chosen series becomes the current one
  ui.beginProgress(str(6407), 0);
  const Status st = runTextReport(*ctx.session, *ctx.results, o, paths, reportChartRenderer(), &writeTextReportPdf,
                                  pdf, ui);
  ui.endProgress();
  return st ? 0 : 1;
}

// ---- definition settings ----

CExcelReportSettings::CExcelReportSettings(const ReportDefinition& d, const std::vector<std::string>& workbooks,
                                           UserInterface& ui, QWidget* parent)
    : QDialog(parent), def_(d), ui_(ui) {
  setWindowTitle(qs(6420));
  const DefinitionSettingsForm f = settingsFormOf(d);
  auto* layout = new QVBoxLayout(this);
  auto* files = new QGroupBox(qs(6443), this);
  auto* ff = new QFormLayout(files);
  ibi_ = new QLineEdit(qs(f.ibi), files);
  periodic_ = new QLineEdit(qs(f.periodic), files);
  standard_ = new QLineEdit(qs(f.standard), files);
  session_ = new QLineEdit(qs(f.session), files);
  workbook_ = new QComboBox(files);
  workbook_->addItem(QString());
  for (const std::string& w : workbooks) workbook_->addItem(qs(w));
  workbook_->setCurrentText(qs(f.workbook));
  ff->addRow(qs(6431), ibi_);
  ff->addRow(qs(6432), periodic_);
  ff->addRow(qs(6433), standard_);
  ff->addRow(qs(6434), session_);
  ff->addRow(qs(388), workbook_);
  layout->addWidget(files);

  auto* analysis = new QGroupBox(qs(6444), this);
  auto* af = new QFormLayout(analysis);
  epoch_ = new QComboBox(analysis);
  epoch_->addItems({"1 min.", "3 min.", "5 min.", "10 min."});
  epoch_->setCurrentIndex(f.epochIndex);
  nn_ = new QLineEdit(qs(f.nnText), analysis);
  units_ = new QComboBox(analysis);
  units_->addItems({qs(6437), qs(6438), qs(6439)});
  units_->setCurrentIndex(f.unitsChoice);
  option_ = new QComboBox(analysis);
  option_->addItems({qs(6440), qs(6441)});
  option_->setCurrentIndex(f.statisticOptions);
  af->addRow(qs(6421), epoch_);
  af->addRow(qs(6422), nn_);
  af->addRow(qs(6423), units_);
  af->addRow(qs(6424), option_);
  layout->addWidget(analysis);

  auto* exports = new QGroupBox(qs(6445), this);
  auto* ef = new QFormLayout(exports);
  header_ = new QCheckBox(qs(6426), exports);
  header_->setChecked(f.header);
  timeColumn_ = new QCheckBox(qs(479), exports);
  timeColumn_->setChecked(f.timeColumn);
  integerIbi_ = new QCheckBox(qs(478), exports);
  integerIbi_->setChecked(f.integerIbi);
  perEpoch_ = new QCheckBox(qs(480), exports);
  perEpoch_->setChecked(f.filePerEpoch);
  signal_ = new QComboBox(exports);
  signal_->addItems({qs(119), qs(120)});
  signal_->setCurrentIndex(f.signalType);
  textType_ = new QComboBox(exports);
  textType_->addItem("ANSI (Windows-1252)", 0);
  textType_->addItem("UTF-8", 65001);
  textType_->addItem("UTF-16 LE", 1200);
  textType_->addItem("UTF-16 BE", 1201);
  textType_->setCurrentIndex(std::max(0, textType_->findData(f.textFileType)));
  ef->addRow(header_);
  ef->addRow(timeColumn_);
  ef->addRow(integerIbi_);
  ef->addRow(perEpoch_);
  ef->addRow(qs(6425), signal_);
  ef->addRow(qs(6427), textType_);
  layout->addWidget(exports);
  layout->addWidget(okCancel(this));
  setMinimumWidth(480);
}

DefinitionSettingsForm CExcelReportSettings::form() const {
  DefinitionSettingsForm f;
  f.ibi = ibi_->text().toStdString();
  f.periodic = periodic_->text().toStdString();
  f.standard = standard_->text().toStdString();
  f.session = session_->text().toStdString();
  f.workbook = workbook_->currentText().toStdString();
  f.epochIndex = epoch_->currentIndex();
  f.nnText = nn_->text().toStdString();
  f.unitsChoice = units_->currentIndex();
  f.statisticOptions = option_->currentIndex();
  f.header = header_->isChecked();
  f.timeColumn = timeColumn_->isChecked();
  f.integerIbi = integerIbi_->isChecked();
  f.filePerEpoch = perEpoch_->isChecked();
  f.signalType = signal_->currentIndex();
  f.textFileType = textType_->currentData().toInt();
  return f;
}

void CExcelReportSettings::accept() {
  DefinitionSettingsForm f = form();
  ReportDefinition d = def_;
  const bool ok = acceptDefinitionSettings(f, d, ui_);
  // The normalised names are shown whatever the outcome.
  ibi_->setText(qs(f.ibi));
  periodic_->setText(qs(f.periodic));
  standard_->setText(qs(f.standard));
  session_->setText(qs(f.session));
  if (!ok) return;
  def_ = d;
  QDialog::accept();
}

// ---- save ----

CSaveExcelReport::CSaveExcelReport(const ReportDefinition& d, fs::path folder, UserInterface& ui, QWidget* parent)
    : QDialog(parent), folder_(std::move(folder)), ui_(ui) {
  setWindowTitle(qs(6420));
  auto* layout = new QFormLayout(this);
  description_ = new QLineEdit(qs(d.description), this);
  file_ = new QLineEdit(qs(d.fileName), this);
  layout->addRow(qs(114), description_);
  layout->addRow(qs(127), file_);
  layout->addRow(okCancel(this));
  setMinimumWidth(420);
}

void CSaveExcelReport::accept() {
  SaveDefinitionForm f{description_->text().toStdString(), file_->text().toStdString()};
  const auto name = acceptSaveDefinition(f, folder_, ui_);
  file_->setText(qs(f.fileName));
  if (!name) return;
  chosen_ = *name;
  QDialog::accept();
}

// ---- protocol choice ----

CReportProtocolChooser::CReportProtocolChooser(const fs::path& dataRoot, const ReportDefinition& current,
                                               QWidget* parent)
    : QDialog(parent), root_(dataRoot) {
  setWindowTitle(qs(6442));
  auto* layout = new QVBoxLayout(this);
  auto* type = new QHBoxLayout;
  open_ = new QRadioButton(qs(373) + " (" + qs(112) + ")", this);
  script_ = new QRadioButton(qs(111), this);
  type->addWidget(open_);
  type->addWidget(script_);
  type->addStretch();
  layout->addLayout(type);
  names_ = new QComboBox(this);
  names_->setMinimumWidth(300);
  layout->addWidget(names_);
  layout->addWidget(okCancel(this));
  (current.sessionType == kOpenSessionType ? open_ : script_)->setChecked(true);
  connect(open_, &QRadioButton::toggled, this, [this] { fill(); });
  fill();
  names_->setCurrentText(qs(current.category));
}

void CReportProtocolChooser::fill() {
  names_->clear();
  const fs::path dir = root_ / (open_->isChecked() ? "Channels" : "Scripts");
  std::error_code ec;
  std::vector<std::string> names;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
    if (it->is_regular_file(ec)) names.push_back(it->path().stem().string());
  std::sort(names.begin(), names.end());
  for (const std::string& n : names) names_->addItem(qs(n));
}

std::optional<ProtocolChoice> CReportProtocolChooser::choice() const {
  if (names_->currentText().isEmpty()) return std::nullopt;
  ProtocolChoice c;
  c.sessionType = open_->isChecked() ? kOpenSessionType : 2;
  c.name = names_->currentText().toStdString();
  c.protocolNumber = 0;
  if (open_->isChecked()) {
    // The channel set's physical EKG and BVP channels.
    try {
      CADODatabase db;
      if (db.open(root_ / "Channels" / (c.name + ".chs"), CADODatabase::Mode::ReadOnly)) {
        c.ekgChannels = channelSetHasSensor(db, 4) ? 1 : 0;
        c.bvpChannels = channelSetHasSensor(db, 5) ? 1 : 0;
      }
    } catch (...) {
    }
  } else {
    // A script's channels are checked when a session of it is loaded.
    c.ekgChannels = 1;
  }
  return c;
}

std::optional<ProtocolChoice> QtDefinitionDialogs::chooseProtocol(const ReportDefinition& current, int) {
  CReportProtocolChooser dlg(root_, current, parent_);
  if (dlg.exec() != QDialog::Accepted) return std::nullopt;
  return dlg.choice();
}

bool QtDefinitionDialogs::editSettings(ReportDefinition& d, const std::vector<std::string>& workbooks) {
  CExcelReportSettings dlg(d, workbooks, ui_, parent_);
  if (dlg.exec() != QDialog::Accepted) return false;
  d = dlg.definition();
  return true;
}

std::optional<std::string> QtDefinitionDialogs::saveAs(ReportDefinition& d, const fs::path& reportsFolder) {
  CSaveExcelReport dlg(d, reportsFolder, ui_, parent_);
  if (dlg.exec() != QDialog::Accepted) return std::nullopt;
  d.description = dlg.description();
  return dlg.fileName();
}

// ---- editor ----

CExcelReportEditor::CExcelReportEditor(ExcelReportEditorModel& model, QWidget* parent)
    : QDialog(parent), model_(model) {
  setWindowTitle(qs(6420));
  auto* layout = new QVBoxLayout(this);
  list_ = new QTableWidget(this);
  const auto headers = ExcelReportEditorModel::columnHeaders();
  list_->setColumnCount(static_cast<int>(headers.size()));
  QStringList h;
  for (const auto& t : headers) h << qs(t);
  list_->setHorizontalHeaderLabels(h);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setSelectionMode(model.mode() == EditorMode::Selection ? QAbstractItemView::SingleSelection
                                                                : QAbstractItemView::ExtendedSelection);
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list_->verticalHeader()->hide();
  list_->horizontalHeader()->setStretchLastSection(true);
  layout->addWidget(list_);
  auto* buttons = new QHBoxLayout;
  auto button = [&](const QString& text, auto fn) {
    auto* b = new QPushButton(text, this);
    connect(b, &QPushButton::clicked, this, fn);
    buttons->addWidget(b);
    return b;
  };
  if (model.mode() == EditorMode::Editing) {
    button(tr("&Add"), [this] {
      if (model_.add()) refresh();
    });
    button(tr("&Edit"), [this] {
      const auto rows = selectedRows();
      if (!rows.empty() && model_.edit(rows.front())) refresh();
    });
    button(tr("&Delete"), [this] {
      if (model_.remove(selectedRows())) refresh();
    });
  }
  button(tr("Show Report &Summary"), [this] {
    const auto rows = selectedRows();
    model_.showSummary(rows.empty() ? model_.records().size() : rows.front());
  });
  buttons->addStretch();
  if (model.mode() == EditorMode::Selection) {
    auto* ok = button(qs(5), [this] { accept(); });
    ok->setDefault(true);
    button(qs(2), [this] { reject(); });
  } else {
    button(tr("&Close"), [this] { reject(); });
  }
  layout->addLayout(buttons);
  connect(list_, &QTableWidget::cellDoubleClicked, this, [this](int row, int) {
    if (model_.mode() == EditorMode::Selection) {
      accept();
    } else if (model_.edit(static_cast<std::size_t>(row))) {
      refresh();
    }
  });
  model_.refill();
  refresh();
  setMinimumSize(900, 360);
}

void CExcelReportEditor::refresh() {
  list_->setRowCount(static_cast<int>(model_.records().size()));
  for (std::size_t r = 0; r < model_.records().size(); ++r) {
    const auto texts = model_.rowTexts(r);
    for (std::size_t c = 0; c < texts.size(); ++c)
      list_->setItem(static_cast<int>(r), static_cast<int>(c), new QTableWidgetItem(qs(texts[c])));
  }
  list_->resizeColumnsToContents();
  list_->horizontalHeader()->setStretchLastSection(true);
}

std::vector<std::size_t> CExcelReportEditor::selectedRows() const {
  std::vector<std::size_t> rows;
  for (const QModelIndex& i : list_->selectionModel()->selectedRows()) rows.push_back(static_cast<std::size_t>(i.row()));
  std::sort(rows.begin(), rows.end());
  return rows;
}

void CExcelReportEditor::accept() {
  if (model_.mode() == EditorMode::Selection) {
    const auto rows = selectedRows();
    if (rows.empty()) return;
    chosen_ = model_.chosenFile(rows.front());
  }
  QDialog::accept();
}

void openExcelReportEditor(const fs::path& root, UserInterface& ui, QWidget* parent) {
  QtDefinitionDialogs dialogs(root, ui, parent);
  ExcelReportEditorModel model(programFolder(), root, EditorMode::Editing, std::nullopt, ui, dialogs);
  CExcelReportEditor dlg(model, parent);
  dlg.exec();
}

std::optional<fs::path> chooseExcelReport(const std::string& category, UserInterface& ui, QWidget* parent) {
  const fs::path root = dataRoot();
  QtDefinitionDialogs dialogs(root, ui, parent);
  ExcelReportEditorModel model(programFolder(), root, EditorMode::Selection, category, ui, dialogs);
  CExcelReportEditor dlg(model, parent);
  if (dlg.exec() != QDialog::Accepted) return std::nullopt;
  return dlg.chosenFile();
}

}  // namespace rc
