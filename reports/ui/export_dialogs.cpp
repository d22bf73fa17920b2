#include "reports/ui/export_dialogs.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "support/language.h"

#undef slots  // AnalysisSession::slots

namespace rc {
namespace {
QString q(int id) { return QString::fromStdString(str(id)); }
}  // namespace

CPreferences::CPreferences(std::int32_t codePage, QWidget* parent) : QDialog(parent) {
  setWindowTitle(q(14003));
  auto* box = new QVBoxLayout(this);
  const int labels[3] = {14004, 14005, 14006};
  for (int i = 0; i < 3; ++i) {
    buttons_[i] = new QRadioButton(q(labels[i]));
    box->addWidget(buttons_[i]);
  }
  choose(preferencesInitialCodePage(codePage));
  auto* bb = new QDialogButtonBox;
  bb->addButton(q(5), QDialogButtonBox::AcceptRole);
  bb->addButton(q(2), QDialogButtonBox::RejectRole);
  connect(bb, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(bb, &QDialogButtonBox::rejected, this, &QDialog::reject);
  box->addWidget(bb);
}

void CPreferences::choose(std::int32_t codePage) {
  for (int i = 0; i < 3; ++i) buttons_[i]->setChecked(kPreferenceCodePages[static_cast<std::size_t>(i)] == codePage);
}

std::int32_t CPreferences::codePage() const {
  for (int i = 0; i < 3; ++i)
    if (buttons_[i]->isChecked()) return kPreferenceCodePages[static_cast<std::size_t>(i)];
  return preferencesStoredCodePage(std::nullopt);
}

CExportType::CExportType(ExportTypeModel& model, QWidget* parent) : QDialog(parent), model_(model) {
  setWindowTitle(q(335));
  kinds_ = new QListWidget;
  for (ExportKind k : {ExportKind::Ibi, ExportKind::Periodic, ExportKind::Standard, ExportKind::Session})
    kinds_->addItem(q(exportKindListText(k)));
  kinds_->setCurrentRow(static_cast<int>(model_.kind()));
  kinds_->setMinimumWidth(220);
  kinds_->setMaximumHeight(kinds_->sizeHintForRow(0) * 4 + 2 * kinds_->frameWidth() + 6);
  header_ = new QCheckBox(q(334));
  header_->setChecked(model_.header());

  signalGroup_ = new QGroupBox(q(299));
  ekg_ = new QRadioButton(q(119));
  bvp_ = new QRadioButton(q(120));
  auto* sl = new QHBoxLayout(signalGroup_);
  sl->addWidget(ekg_);
  sl->addWidget(bvp_);
  sl->addStretch(1);
  (model_.signal() == 1 ? bvp_ : ekg_)->setChecked(true);
  signalGroup_->setVisible(model_.signalChoiceShown());

  integer_ = new QCheckBox(q(478));
  time_ = new QCheckBox(q(479));
  perEpoch_ = new QCheckBox(q(480));
  auto* ibiBox = new QVBoxLayout;
  for (QCheckBox* c : {integer_, time_, perEpoch_}) ibiBox->addWidget(c);
  auto* note = new QLabel(q(model_.noteId()));
  note->setWordWrap(true);
  note->setStyleSheet("color: #555;");
  ibiBox->addWidget(note);

  auto* textGroup = new QGroupBox(q(118));
  ascii_ = new QRadioButton(q(336));
  unicode_ = new QRadioButton(q(337));
  encoding_ = new QPushButton(q(14002));
  auto* tl = new QHBoxLayout(textGroup);
  tl->addWidget(ascii_);
  tl->addWidget(unicode_);
  tl->addStretch(1);
  tl->addWidget(encoding_);
  (model_.unicode() ? unicode_ : ascii_)->setChecked(true);

  auto* bb = new QDialogButtonBox;
  bb->addButton(q(5), QDialogButtonBox::AcceptRole);
  bb->addButton(q(2), QDialogButtonBox::RejectRole);
  connect(bb, &QDialogButtonBox::accepted, this, &CExportType::accept);
  connect(bb, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* left = new QVBoxLayout;
  left->addWidget(kinds_);
  left->addWidget(header_);
  left->addStretch(1);
  auto* right = new QVBoxLayout;
  right->addWidget(signalGroup_);
  right->addLayout(ibiBox);
  right->addStretch(1);
  auto* top = new QHBoxLayout;
  top->addLayout(left);
  top->addSpacing(12);
  top->addLayout(right, 1);
  auto* box = new QVBoxLayout(this);
  box->addLayout(top);
  box->addWidget(textGroup);
  box->addWidget(bb);
  setMinimumWidth(640);

  connect(kinds_, &QListWidget::currentRowChanged, this, [this](int row) {
    if (row >= 0) model_.setKind(static_cast<ExportKind>(row));
    refresh();
  });
  connect(ascii_, &QRadioButton::toggled, this, [this](bool on) {
    if (on) model_.chooseAscii();
  });
  connect(unicode_, &QRadioButton::toggled, this, [this](bool on) {
    if (on) model_.chooseUnicode();
  });
  connect(encoding_, &QPushButton::clicked, this, [this] {
    std::optional<std::int32_t> chosen;
    if (encodingChooser) {
      chosen = encodingChooser(model_.codePage());
    } else {
      CPreferences p(model_.codePage(), this);
      if (p.exec() == QDialog::Accepted) chosen = p.codePage();
    }
    if (!chosen) return;
    model_.setCodePage(*chosen);
    const QSignalBlocker b1(ascii_), b2(unicode_);
    (model_.unicode() ? unicode_ : ascii_)->setChecked(true);
  });
  refresh();
}

void CExportType::refresh() {
  const bool ibi = model_.ibiOptionsEnabled();
  for (QCheckBox* c : {integer_, time_, perEpoch_}) c->setEnabled(ibi);
  signalGroup_->setEnabled(model_.signalChoiceEnabled());
}

void CExportType::accept() {
  model_.setHeader(header_->isChecked());
  model_.setSignal(bvp_->isChecked() ? 1 : 0);
  model_.setIntegerIbi(integer_->isChecked());
  model_.setTimeColumn(time_->isChecked());
  model_.setFilePerEpoch(perEpoch_->isChecked());
  QDialog::accept();
}

bool runExport(ReviewContext& ctx, UserInterface& ui, QWidget* parent) {
  if (!ctx.session) return false;
  ExportSources src{ctx.session, ctx.results, exportSessionInfo(*ctx.session)};
  return runExportCommand(src, ui, [parent](ExportTypeModel& model) -> std::optional<ExportOptions> {
    CExportType dialog(model, parent);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return model.accept();
  });
}

}  // namespace rc
