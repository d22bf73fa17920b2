#include "editors/ui/thirdparty_layout_dialog.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "support/language.h"

namespace rc {

namespace {

QString q(int id) { return QString::fromStdString(str(id)); }

QGroupBox* radioPair(const QString& title, QRadioButton*& a, const QString& ta, QRadioButton*& b,
                     const QString& tb) {
  auto* box = new QGroupBox(title);
  auto* lay = new QHBoxLayout(box);
  a = new QRadioButton(ta);
  b = new QRadioButton(tb);
  lay->addWidget(a);
  lay->addWidget(b);
  lay->addStretch(1);
  return box;
}

}  // namespace

ThirdPartyLayoutDialog::ThirdPartyLayoutDialog(const ThirdPartySettings& settings, UserInterface& ui,
                                               QWidget* parent)
    : QDialog(parent), model_(settings), ui_(ui) {
  setWindowTitle(q(462));
  auto* main = new QVBoxLayout(this);

  auto* fileRow = new QHBoxLayout;
  fileRow->addWidget(new QLabel(q(1611)));
  file_ = new QLineEdit;
  file_->setMinimumWidth(360);
  fileRow->addWidget(file_, 1);
  auto* browse = new QPushButton(q(1612));
  fileRow->addWidget(browse);
  detect_ = new QPushButton(q(1601));
  detect_->setShortcut(QKeySequence(Qt::ALT | Qt::Key_D));
  fileRow->addWidget(detect_);
  main->addLayout(fileRow);

  auto* form = new QFormLayout;
  kind_ = new QComboBox;
  kind_->addItem(q(1614));
  kind_->addItem(q(1602));
  kind_->addItem(q(1603));
  form->addRow(q(1613), kind_);
  header_ = new QSpinBox;
  header_->setRange(0, 100);
  form->addRow(q(463), header_);
  main->addLayout(form);

  columnsBox_ = radioPair(q(464), oneColumn_, "1", twoColumns_, "2");
  positionBox_ = radioPair(q(465), first_, q(467), second_, q(468));
  separatorBox_ = radioPair(q(466), comma_, q(469), tab_, q(1606));
  main->addWidget(columnsBox_);
  main->addWidget(positionBox_);
  main->addWidget(separatorBox_);

  proposal_ = new QLabel;
  proposal_->setWordWrap(true);
  proposal_->setFrameShape(QFrame::StyledPanel);
  proposal_->setMinimumHeight(fontMetrics().lineSpacing() * 5);
  proposal_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  proposal_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  main->addWidget(proposal_);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  buttons->button(QDialogButtonBox::Ok)->setText(q(5));
  buttons->button(QDialogButtonBox::Cancel)->setText(q(2));
  main->addWidget(buttons);

  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(browse, &QPushButton::clicked, this, &ThirdPartyLayoutDialog::browse);
  connect(detect_, &QPushButton::clicked, this, &ThirdPartyLayoutDialog::detect);
  connect(file_, &QLineEdit::textChanged, this, [this] { detect_->setEnabled(!file_->text().isEmpty()); });
  connect(kind_, &QComboBox::currentIndexChanged, this, [this](int i) {
    if (syncing_) return;
    model_.setKind(static_cast<IbiTextLayout>(i));
    sync();
  });
  connect(header_, &QSpinBox::valueChanged, this, [this](int v) {
    if (!syncing_) model_.setHeaderLines(v);
  });
  connect(twoColumns_, &QRadioButton::toggled, this, [this](bool on) {
    if (syncing_) return;
    model_.setTwoColumns(on);
    sync();
  });
  connect(second_, &QRadioButton::toggled, this, [this](bool on) {
    if (!syncing_) model_.setSecondPosition(on);
  });
  connect(tab_, &QRadioButton::toggled, this, [this](bool on) {
    if (!syncing_) model_.setSeparator(on ? '\t' : ',');
  });
  detect_->setEnabled(false);
  sync();
}

std::filesystem::path ThirdPartyLayoutDialog::file() const {
  return std::filesystem::path(file_->text().trimmed().toStdString());
}

void ThirdPartyLayoutDialog::setFile(const std::filesystem::path& file) {
  file_->setText(QString::fromStdString(file.string()));
}

void ThirdPartyLayoutDialog::browse() {
  FileDialogRequest req = thirdPartyOpenRequest(file().has_parent_path() ? file().parent_path() : std::filesystem::path());
  if (auto chosen = ui_.chooseFile(req)) setFile(*chosen);
}

void ThirdPartyLayoutDialog::detect() {
  if (file().empty()) return;
  auto proposal = detectIbiLayoutOfFile(file());
  if (!proposal) {
    ui_.showMessage(MessageBuilder().id(189).text(" ").text(file().string()), Icon::Information);
    return;
  }
  model_.applyProposal(*proposal);
  sync();
}

void ThirdPartyLayoutDialog::sync() {
  syncing_ = true;
  kind_->setCurrentIndex(static_cast<int>(model_.kind()));
  header_->setValue(model_.headerLines());
  header_->setEnabled(model_.headerLinesEnabled());
  (model_.twoColumns() ? twoColumns_ : oneColumn_)->setChecked(true);
  (model_.secondPosition() ? second_ : first_)->setChecked(true);
  (model_.separator() == ',' ? comma_ : tab_)->setChecked(true);
  columnsBox_->setEnabled(model_.columnsEnabled());
  positionBox_->setEnabled(model_.positionEnabled());
  separatorBox_->setEnabled(model_.separatorEnabled());
  proposal_->setText(QString::fromStdString(model_.proposalText()));
  syncing_ = false;
}

}  // namespace rc
