#include "app/ui/shell_dialogs.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "support/format.h"
#include "support/language.h"
#include "support/locale.h"

namespace rc {
namespace {

QString qs(const std::string& s) { return QString::fromStdString(s); }
QString ls(int id) { return qs(str(id)); }

QDialogButtonBox* okCancel(QDialog* d) {
  auto* b = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, d);
  b->button(QDialogButtonBox::Ok)->setText(ls(5));
  b->button(QDialogButtonBox::Cancel)->setText(ls(2));
  QObject::connect(b, &QDialogButtonBox::accepted, d, &QDialog::accept);
  QObject::connect(b, &QDialogButtonBox::rejected, d, &QDialog::reject);
  return b;
}

// Two radio buttons in a titled group, the first or second checked.
QGroupBox* pair(QWidget* parent, const QString& title, QRadioButton*& a, int idA, QRadioButton*& b, int idB,
                bool second) {
  auto* g = new QGroupBox(title, parent);
  auto* l = new QHBoxLayout(g);
  a = new QRadioButton(ls(idA), g);
  b = new QRadioButton(ls(idB), g);
  (second ? b : a)->setChecked(true);
  l->addWidget(a);
  l->addWidget(b);
  l->addStretch();
  return g;
}

int kindTitle(SignalKind k) {
  const int id = kindNameId(k);
  return id != 0 ? id : 119;
}

QString modeSignalName(ModeSignal s) {
  switch (s) {
    case ModeSignal::HeartRate:
      return ls(5249);
    case ModeSignal::RespRate:
      return ls(5250);
    case ModeSignal::Swing:
      return ls(5251);
    case ModeSignal::SkinConductance:
      return ls(5252);
    case ModeSignal::Temperature:
      return ls(196);
    case ModeSignal::Emg:
      return ls(197);
  }
  return {};
}

}  // namespace

CHRVConfiguration::CHRVConfiguration(const std::vector<ChannelOption>& channels, std::filesystem::path file,
                                     UserInterface& ui, QWidget* parent)
    : QDialog(parent), model_(channels), file_(std::move(file)), ui_(ui) {
  setWindowTitle(ls(5223));
  auto* grid = new QGridLayout;
  for (int k = 0; k < kSignalKindCount; ++k) {
    const auto kind = static_cast<SignalKind>(k);
    auto* box = new QGroupBox(ls(kindTitle(kind)), this);
    auto* l = new QVBoxLayout(box);
    auto* list = new QListWidget(box);
    list->setObjectName(QString("list%1").arg(k));
    list->setSelectionMode(listCapacity(kind) == 1 ? QAbstractItemView::SingleSelection
                                                   : QAbstractItemView::MultiSelection);
    for (const ChannelOption& c : model_.list(kind)) {
      auto* item = new QListWidgetItem(qs(channelLabelOf(c.input) + "  " + c.description), list);
      item->setData(Qt::UserRole, c.input);
    }
    if (model_.list(kind).empty()) {
      list->addItem(ls(5260));
      list->setEnabled(false);
    }
    list->setMinimumSize(220, 90);
    l->addWidget(list);
    grid->addWidget(box, k / 3, k % 3);
    lists_[static_cast<std::size_t>(k)] = list;
  }
  auto* v = new QVBoxLayout(this);
  v->addLayout(grid);
  v->addWidget(okCancel(this));
}

void CHRVConfiguration::accept() {
  for (int k = 0; k < kSignalKindCount; ++k) {
    const auto kind = static_cast<SignalKind>(k);
    QListWidget* list = lists_[static_cast<std::size_t>(k)];
    for (std::size_t row = 0; row < model_.list(kind).size(); ++row)
      model_.setSelected(kind, row, list->item(static_cast<int>(row))->isSelected());
  }
  if (acceptSelection(model_, file_, ui_)) QDialog::accept();
}

AnalysisSettingsDialog::AnalysisSettingsDialog(const AnalysisSettings& current, UserInterface& ui,
                                               QWidget* parent)
    : QDialog(parent), current_(current), ui_(ui) {
  setWindowTitle(ls(5224));
  const SettingsDialogModel m = SettingsDialogModel::fromSettings(current);
  auto* v = new QVBoxLayout(this);
  auto* detection = new QHBoxLayout;
  detection->addWidget(pair(this, ls(5226), ekgBasic_, 5229, ekgAdvanced_, 5230, m.ekgType == 1));
  detection->addWidget(pair(this, ls(5227), bvpBasic_, 5229, bvpAdvanced_, 5230, m.bvpType == 1));
  detection->addWidget(pair(this, ls(5228), respFast_, 5231, respSlow_, 5232, m.respirationOption == 1));
  v->addLayout(detection);

  auto* form = new QFormLayout;
  averaging_ = new QLineEdit(qs(m.averagingFactor), this);
  nn_ = new QLineEdit(qs(m.nnInterval), this);
  variation_ = new QLineEdit(qs(m.variation), this);
  averaging_->setObjectName("averaging");
  nn_->setObjectName("nnThreshold");
  variation_->setObjectName("variation");
  form->addRow(ls(5233), averaging_);
  form->addRow(ls(5234), nn_);
  form->addRow(ls(5235), variation_);
  v->addLayout(form);

  auto* bands = new QHBoxLayout;
  bands->addWidget(pair(this, ls(5236), absolute_, 5237, percent_, 5238, m.percentOfTotal));
  bands->addWidget(pair(this, ls(5239), unitsAbs_, 5240, unitsNu_, 5241, m.unitButton == 1));
  v->addLayout(bands);
  v->addWidget(pair(this, ls(5242), optionEpochs_, 5243, optionSteps_, 5244, m.statisticOption == 1));

  auto* src = new QGroupBox(ls(5245), this);
  auto* sl = new QHBoxLayout(src);
  srcBvp_ = new QRadioButton(ls(120), src);
  srcEkg_ = new QRadioButton(ls(119), src);
  srcBoth_ = new QRadioButton(ls(5246), src);
  (m.sourceChoice == 0 ? srcBvp_ : m.sourceChoice == 1 ? srcEkg_ : srcBoth_)->setChecked(true);
  sl->addWidget(srcBvp_);
  sl->addWidget(srcEkg_);
  sl->addWidget(srcBoth_);
  sl->addStretch();
  v->addWidget(src);
  v->addWidget(okCancel(this));
}

SettingsDialogModel AnalysisSettingsDialog::modelFromControls() const {
  SettingsDialogModel m = SettingsDialogModel::fromSettings(current_);
  m.ekgType = ekgAdvanced_->isChecked() ? 1 : 0;
  m.bvpType = bvpAdvanced_->isChecked() ? 1 : 0;
  m.respirationOption = respSlow_->isChecked() ? 1 : 0;
  m.averagingFactor = averaging_->text().toStdString();
  m.nnInterval = nn_->text().toStdString();
  m.variation = variation_->text().toStdString();
  m.percentOfTotal = percent_->isChecked();
  m.unitButton = unitsNu_->isChecked() ? 1 : 0;
  m.statisticOption = optionSteps_->isChecked() ? 1 : 0;
  m.sourceChoice = srcBvp_->isChecked() ? 0 : srcEkg_->isChecked() ? 1 : 2;
  return m;
}

void AnalysisSettingsDialog::accept() {
  result_ = modelFromControls().accept(current_, ui_);
  if (result_) QDialog::accept();
}

ModeResolutionDialog::ModeResolutionDialog(ModeResolutionModel model, UserInterface& ui, QWidget* parent)
    : QDialog(parent), model_(std::move(model)), ui_(ui) {
  setWindowTitle(ls(5225));
  auto* v = new QVBoxLayout(this);
  table_ = new QTableWidget(this);
  table_->setObjectName("resolutions");
  table_->setColumnCount(2);
  table_->setHorizontalHeaderLabels({ls(254), ls(5248)});
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::SingleSelection);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->verticalHeader()->setVisible(false);
  table_->horizontalHeader()->setStretchLastSection(true);
  table_->setColumnWidth(0, 220);
  table_->setMinimumWidth(420);
  v->addWidget(table_);
  auto* edit = new QPushButton(ls(5247), this);
  connect(edit, &QPushButton::clicked, this, &ModeResolutionDialog::editSelected);
  connect(table_, &QTableWidget::cellDoubleClicked, this, &ModeResolutionDialog::editSelected);
  v->addWidget(edit);
  v->addWidget(okCancel(this));
  refresh();
  table_->selectRow(0);
  // Every signal visible without scrolling.
  table_->setMinimumHeight(table_->horizontalHeader()->sizeHint().height() +
                           table_->verticalHeader()->defaultSectionSize() * table_->rowCount() +
                           2 * table_->frameWidth() + 2);
}

void ModeResolutionDialog::refresh() {
  const auto& rows = model_.rows();
  table_->setRowCount(static_cast<int>(rows.size()));
  for (std::size_t i = 0; i < rows.size(); ++i) {
    table_->setItem(static_cast<int>(i), 0, new QTableWidgetItem(modeSignalName(rows[i].signal)));
    table_->setItem(static_cast<int>(i), 1,
                    new QTableWidgetItem(qs(localiseDecimal(strprintf("%.3f", rows[i].resolution)))));
  }
}

void ModeResolutionDialog::editSelected() {
  const int row = table_->currentRow();
  if (row < 0) return;
  const auto text = ui_.enterString(
      MessageBuilder().id(5248),
      localiseDecimal(strprintf("%.3f", model_.rows()[static_cast<std::size_t>(row)].resolution)));
  if (!text) return;
  if (model_.edit(static_cast<std::size_t>(row), *text)) refresh();
  table_->selectRow(row);
}

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(qs(collapsePercents(str(1))));
  auto* v = new QVBoxLayout(this);
  auto* title = new QLabel(ls(101), this);
  QFont f = title->font();
  f.setPointSizeF(f.pointSizeF() * 1.6);
  f.setBold(true);
  title->setFont(f);
  v->addWidget(title);
  v->addWidget(new QLabel(qs(strArg(5221, std::string("0.1.0"))), this));
  auto* text = new QLabel(ls(5220), this);
  text->setWordWrap(true);
  text->setMinimumWidth(380);
  v->setSpacing(10);
  v->setContentsMargins(20, 16, 20, 12);
  v->addWidget(text);
  auto* b = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(b, &QDialogButtonBox::accepted, this, &QDialog::accept);
  v->addWidget(b);
}

}  // namespace rc
