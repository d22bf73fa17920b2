#include "editors/ui/thirdparty_editor.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTableView>
#include <QVBoxLayout>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <algorithm>
#include <climits>
#include <cmath>

#include "editors/ui/thirdparty_layout_dialog.h"
#include "support/language.h"
#include "support/locale.h"

namespace rc {

namespace {

QString q(int id) { return QString::fromStdString(str(id)); }

QDialogButtonBox* okCancel(QDialog* d) {
  auto* b = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  b->button(QDialogButtonBox::Ok)->setText(q(5));
  b->button(QDialogButtonBox::Cancel)->setText(q(2));
  QObject::connect(b, &QDialogButtonBox::accepted, d, &QDialog::accept);
  QObject::connect(b, &QDialogButtonBox::rejected, d, &QDialog::reject);
  return b;
}

}  // namespace

// --- the list ---

ThirdPartyRowsModel::ThirdPartyRowsModel(const PeriodicEditModel& rows, QObject* parent)
    : QAbstractTableModel(parent), rows_(rows) {}

int ThirdPartyRowsModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.rowCount());
}

int ThirdPartyRowsModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 2; }

QVariant ThirdPartyRowsModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  const auto k = static_cast<std::size_t>(index.row());
  if (role == Qt::DisplayRole) {
    const PeriodicRow& row = rows_.rows()[k];
    return QString::fromStdString(index.column() == 0 ? row.time : row.interval);
  }
  if (role == Qt::TextAlignmentRole) return int(Qt::AlignRight | Qt::AlignVCenter);
  return {};
}

QVariant ThirdPartyRowsModel::headerData(int section, Qt::Orientation o, int role) const {
  if (role != Qt::DisplayRole || o != Qt::Horizontal) return {};
  return section == 0 ? q(156) : q(187);
}

void ThirdPartyRowsModel::reload() {
  beginResetModel();
  endResetModel();
}

// --- the export option dialogs ---

ThirdPartyIbiExportDialog::ThirdPartyIbiExportDialog(const ThirdPartyIbiExport& o, QWidget* parent)
    : QDialog(parent) {
  setWindowTitle(q(1622));
  auto* lay = new QVBoxLayout(this);
  integer = new QCheckBox(q(478));
  time = new QCheckBox(q(479));
  header = new QCheckBox(q(334));
  integer->setChecked(o.integerIbi);
  time->setChecked(o.timeColumn);
  header->setChecked(o.header);
  lay->addWidget(integer);
  lay->addWidget(time);
  lay->addWidget(header);
  lay->addWidget(okCancel(this));
}

ThirdPartyIbiExport ThirdPartyIbiExportDialog::options() const {
  return {integer->isChecked(), time->isChecked(), header->isChecked()};
}

ThirdPartyStatsExportDialog::ThirdPartyStatsExportDialog(const ThirdPartyStatsExport& o,
                                                         const std::vector<int>& epochChoices, QWidget* parent)
    : QDialog(parent) {
  setWindowTitle(q(1623));
  auto* lay = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  nn = new QSpinBox;
  nn->setRange(1, 1000);
  nn->setValue(o.nnInterval);
  form->addRow(q(1624), nn);
  units = new QComboBox;
  units->addItems({q(1626), q(1627), q(1628)});
  units->setCurrentIndex(std::clamp(o.bandUnits, 0, 2));
  form->addRow(q(1625), units);
  epoch = new QComboBox;
  for (int e : epochChoices) epoch->addItem(QString("%1 min.").arg(e / 60), e);
  epoch->setCurrentIndex(std::max(0, epoch->findData(o.epochSeconds)));
  form->addRow(q(1631), epoch);
  lay->addLayout(form);
  auto* rows = new QGroupBox;
  auto* rl = new QVBoxLayout(rows);
  epochRows = new QRadioButton(q(1629));
  averageRow = new QRadioButton(q(1630));
  (o.averageRow ? averageRow : epochRows)->setChecked(true);
  rl->addWidget(epochRows);
  rl->addWidget(averageRow);
  lay->addWidget(rows);
  header = new QCheckBox(q(334));
  header->setChecked(o.header);
  lay->addWidget(header);
  lay->addWidget(okCancel(this));
}

ThirdPartyStatsExport ThirdPartyStatsExportDialog::options() const {
  ThirdPartyStatsExport o;
  o.epochSeconds = epoch->currentData().toInt();
  o.nnInterval = nn->value();
  o.bandUnits = units->currentIndex();
  o.averageRow = averageRow->isChecked();
  o.header = header->isChecked();
  return o;
}

// --- the editor ---

CThirdPartyEditor::CThirdPartyEditor(ThirdPartyFile file, const ThirdPartySettings& settings, UserInterface& ui,
                                     QWidget* parent)
    : QDialog(parent),
      core_(std::move(file.values), settings, file.path),
      model_(0, localeSeparators().decimal),
      ui_(ui) {
  model_.setRows(core_.series(), 0.0);
  refreshWorking();
  core_.hasPendingEdits = [this] { return model_.dirty(); };
  core_.savePendingEdits = [this] { saveChanges(); };
  setWindowTitle(q(1615) + " - " + QString::fromStdString(core_.source().filename().string()));
  askIbiOptions = [this](const ThirdPartyIbiExport& o) -> std::optional<ThirdPartyIbiExport> {
    ThirdPartyIbiExportDialog d(o, this);
    if (d.exec() != QDialog::Accepted) return std::nullopt;
    return d.options();
  };
  askStatsOptions = [this](const ThirdPartyStatsExport& o,
                           const std::vector<int>& choices) -> std::optional<ThirdPartyStatsExport> {
    ThirdPartyStatsExportDialog d(o, choices, this);
    if (d.exec() != QDialog::Accepted) return std::nullopt;
    return d.options();
  };

  auto* main = new QHBoxLayout(this);
  rows_ = new ThirdPartyRowsModel(model_, this);
  table_ = new QTableView;
  table_->setModel(rows_);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  table_->verticalHeader()->setVisible(false);
  table_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
  table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  table_->horizontalHeader()->setStretchLastSection(true);
  table_->setMinimumWidth(fontMetrics().horizontalAdvance("00:00:00.000  1000.000000") + 60);
  main->addWidget(table_);

  auto* right = new QVBoxLayout;
  chart_ = new QChart;
  chart_->legend()->hide();
  line_ = new QLineSeries;
  chart_->addSeries(line_);
  xAxis_ = new QValueAxis;
  yAxis_ = new QValueAxis;
  xAxis_->setTitleText(q(156));
  yAxis_->setTitleText(q(187));
  xAxis_->setLabelFormat("%.0f");
  yAxis_->setLabelFormat("%.0f");
  chart_->addAxis(xAxis_, Qt::AlignBottom);
  chart_->addAxis(yAxis_, Qt::AlignLeft);
  line_->attachAxis(xAxis_);
  line_->attachAxis(yAxis_);
  chartView_ = new QChartView(chart_);
  chartView_->setRenderHint(QPainter::Antialiasing);
  chartView_->setMinimumSize(480, 300);
  right->addWidget(chartView_, 1);
  scroll_ = new QScrollBar(Qt::Horizontal);
  right->addWidget(scroll_);

  auto* rangeRow = new QHBoxLayout;
  auto* rangeLabel = new QLabel(q(1616));
  range_ = new QLineEdit;
  range_->setMaximumWidth(fontMetrics().horizontalAdvance("000000000") + 16);
  rangeLabel->setBuddy(range_);
  auto* apply = new QPushButton(q(1617));
  rangeRow->addWidget(rangeLabel);
  rangeRow->addWidget(range_);
  rangeRow->addWidget(apply);
  rangeRow->addStretch(1);
  rangeRow->addWidget(new QLabel(q(1632) + ": " + QString::number(core_.series().size())));
  right->addLayout(rangeRow);

  auto* edits = new QHBoxLayout;
  auto* add = new QPushButton(q(1633));
  auto* split = new QPushButton(q(1634));
  auto* average = new QPushButton(q(1635));
  undo_ = new QPushButton(q(1636));
  cancel_ = new QPushButton(q(1637));
  save_ = new QPushButton(q(1638));
  for (QPushButton* b : {add, split, average, undo_, cancel_, save_}) edits->addWidget(b);
  edits->addStretch(1);
  right->addLayout(edits);

  auto* buttons = new QHBoxLayout;
  auto* ibi = new QPushButton(q(1619));
  auto* stats = new QPushButton(q(1620));
  auto* close = new QPushButton(q(1621));
  buttons->addWidget(ibi);
  buttons->addWidget(stats);
  buttons->addStretch(1);
  buttons->addWidget(close);
  right->addLayout(buttons);
  main->addLayout(right, 1);

  connect(apply, &QPushButton::clicked, this, &CThirdPartyEditor::applyTimeRange);
  connect(range_, &QLineEdit::returnPressed, this, &CThirdPartyEditor::applyTimeRange);
  connect(scroll_, &QScrollBar::valueChanged, this, [this](int v) {
    core_.scrollTo(v);
    redrawChart();
  });
  connect(add, &QPushButton::clicked, this, &CThirdPartyEditor::add);
  connect(split, &QPushButton::clicked, this, &CThirdPartyEditor::split);
  connect(average, &QPushButton::clicked, this, &CThirdPartyEditor::average);
  connect(undo_, &QPushButton::clicked, this, &CThirdPartyEditor::undo);
  connect(cancel_, &QPushButton::clicked, this, &CThirdPartyEditor::cancelChanges);
  connect(save_, &QPushButton::clicked, this, &CThirdPartyEditor::saveChanges);
  connect(table_, &QTableView::doubleClicked, this, [this](const QModelIndex& i) {
    // The row's start comes into view.
    const auto k = static_cast<std::size_t>(i.row());
    if (k < workingStarts_.size()) scroll_->setValue(static_cast<int>(workingStarts_[k]));
  });
  connect(ibi, &QPushButton::clicked, this, &CThirdPartyEditor::exportIbi);
  connect(stats, &QPushButton::clicked, this, &CThirdPartyEditor::exportStatistics);
  connect(close, &QPushButton::clicked, this, &QDialog::reject);
  range_->setText(QString::number(core_.timeRange().width));
  applyTimeRange();
  updateButtons();
  resize(1100, 640);
}

CThirdPartyEditor::~CThirdPartyEditor() = default;

void CThirdPartyEditor::applyTimeRange() {
  bool ok = false;
  const double entered = QLocale().toDouble(range_->text(), &ok);
  const double c = ok ? entered : range_->text().toDouble(&ok);
  const TimeRange& r = core_.applyTimeRange(ok ? c : std::nan(""), thirdPartyWholeSeconds(working_));
  range_->setText(QString::number(r.width));
  const QSignalBlocker block(scroll_);
  scroll_->setEnabled(r.scrollable);
  scroll_->setRange(0, static_cast<int>(std::min<long long>(r.scrollMax, INT_MAX)));
  scroll_->setPageStep(static_cast<int>(std::min<long long>(r.width, INT_MAX)));
  scroll_->setValue(static_cast<int>(r.start));
  redrawChart();
}

void CThirdPartyEditor::redrawChart() {
  const TimeRange& r = core_.timeRange();
  const auto& t = workingStarts_;
  const auto& v = working_;
  const double p = static_cast<double>(r.start), end = p + static_cast<double>(r.width);
  // Only the visible intervals (and one on each side) are drawn.
  auto lo = std::lower_bound(t.begin(), t.end(), p);
  if (lo != t.begin()) --lo;
  auto hi = std::upper_bound(t.begin(), t.end(), end);
  if (hi != t.end()) ++hi;
  QList<QPointF> points;
  points.reserve(static_cast<qsizetype>(hi - lo));
  for (auto it = lo; it != hi; ++it) {
    const auto k = static_cast<std::size_t>(it - t.begin());
    points.append(QPointF(*it, static_cast<double>(v[k])));
  }
  line_->replace(points);
  xAxis_->setRange(p, end);
  const auto [ymin, ymax] = thirdPartyYRange(v);
  yAxis_->setRange(ymin, ymax);
  yAxis_->applyNiceNumbers();
}

void CThirdPartyEditor::refreshWorking() {
  working_ = model_.values();
  workingStarts_ = thirdPartyStartTimes(working_);
}

void CThirdPartyEditor::updateButtons() {
  const bool dirty = model_.dirty();
  undo_->setEnabled(dirty);
  cancel_->setEnabled(dirty);
  save_->setEnabled(dirty);
}

std::vector<std::size_t> CThirdPartyEditor::selectedRows() const {
  std::vector<std::size_t> rows;
  for (const QModelIndex& i : table_->selectionModel()->selectedRows()) rows.push_back(static_cast<std::size_t>(i.row()));
  std::sort(rows.begin(), rows.end());
  return rows;
}

void CThirdPartyEditor::selectRows(const std::vector<std::size_t>& rows) {
  QItemSelection sel;
  for (std::size_t r : rows) {
    const int row = static_cast<int>(r);
    sel.select(rows_->index(row, 0), rows_->index(row, 1));
  }
  table_->selectionModel()->select(sel, QItemSelectionModel::ClearAndSelect);
  if (!rows.empty()) table_->scrollTo(rows_->index(static_cast<int>(rows.front()), 0));
}

void CThirdPartyEditor::afterEdit(const std::optional<EditApplied>& applied) {
  if (!applied) return;
  rows_->reload();
  refreshWorking();
  selectRows(applied->selection);
  applyTimeRange();
  updateButtons();
}

void CThirdPartyEditor::add() { afterEdit(model_.add(selectedRows(), ui_)); }

void CThirdPartyEditor::split() {
  // Always the entry of the first part, proposing half the interval.
  SplitOptions o;
  o.proposeFromCursor = false;
  afterEdit(model_.split(selectedRows(), o, ui_));
}

void CThirdPartyEditor::average() { afterEdit(model_.average(selectedRows(), ui_)); }

void CThirdPartyEditor::undo() { afterEdit(model_.undo()); }

void CThirdPartyEditor::cancelChanges() {
  if (!model_.dirty() || !model_.cancelChanges(ui_)) return;
  rows_->reload();
  refreshWorking();
  applyTimeRange();
  updateButtons();
}

void CThirdPartyEditor::saveChanges() {
  core_.setSeries(model_.values());
  model_.takeEdits();
  updateButtons();
}

void CThirdPartyEditor::exportIbi() { core_.exportIbi(ui_, askIbiOptions); }

void CThirdPartyEditor::exportStatistics() { core_.exportStatistics(ui_, askStatsOptions); }

void CThirdPartyEditor::done(int r) {
  if (!closing_) {
    closing_ = true;
    core_.close(ui_, askIbiOptions);
  }
  QDialog::done(r);
}

void openThirdPartyEditor(QWidget* parent, UserInterface& ui, const std::filesystem::path& programFolder) {
  const std::filesystem::path settingsFile = thirdPartySettingsPath(programFolder);
  LoadedThirdPartySettings loaded = loadThirdPartySettings(settingsFile);
  if (!loaded.existed)
    ui.showMessage(MessageBuilder().id(189).text(" ").text(settingsFile.string()), Icon::Information);
  ThirdPartyLayoutDialog layout(loaded.settings, ui, parent);
  if (layout.exec() != QDialog::Accepted) return;
  ThirdPartySettings settings = layout.model().applied(loaded.settings);
  std::filesystem::path file = layout.file();
  if (file.empty()) {
    auto chosen = ui.chooseFile(thirdPartyOpenRequest({}));
    if (!chosen) return;
    file = *chosen;
  }
  if (auto read = readThirdPartyFile(file, layout.model().layout(), ui)) {
    CThirdPartyEditor editor(std::move(*read), settings, ui, parent);
    editor.exec();
    settings = editor.core().settings();
  }
  if (loaded.existed && !saveThirdPartySettings(settingsFile, settings))
    ui.showMessage(MessageBuilder().id(189).text(" ").text(settingsFile.string()), Icon::Warning);
}

}  // namespace rc
