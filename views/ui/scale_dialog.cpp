#include "views/ui/scale_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <cmath>
#include <limits>

#include "support/locale.h"
#include "views/ui/epoch_charts.h"

namespace rc {
namespace {

constexpr int kMinimumId = 271;
constexpr int kMaximumId = 272;
constexpr int kScaleTitleId = 15025;

QString numberText(double v) { return QLocale::system().toString(v, 'g', 10); }

double entered(const QLineEdit* e) {
  const std::optional<double> v = parseReal(e->text().trimmed().toStdString());
  return v ? *v : std::numeric_limits<double>::quiet_NaN();
}

}  // namespace

CScaleDialog::CScaleDialog(EpochChart chart, AxisRange current, UserInterface& ui, QWidget* parent)
    : QDialog(parent), chart_(chart), ui_(ui), range_(current) {
  setWindowTitle(langText(kScaleTitleId));
  auto* form = new QFormLayout(this);
  if (chart != EpochChart::Spectrum) {
    min_ = new QLineEdit(numberText(current.min), this);
    form->addRow(langText(kMinimumId), min_);
  }
  max_ = new QLineEdit(numberText(current.max), this);
  form->addRow(langText(kMaximumId), max_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setText(langText(5));
  buttons->button(QDialogButtonBox::Cancel)->setText(langText(2));
  connect(buttons, &QDialogButtonBox::accepted, this, &CScaleDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  form->addRow(buttons);
  setMinimumWidth(280);
}

void CScaleDialog::accept() {
  const double lo = min_ ? entered(min_) : 0.0;
  const double hi = entered(max_);
  if (const std::optional<Message> refused = checkScale(chart_, lo, hi)) {
    ui_.showMessage(*refused, Icon::Warning);
    (min_ && !(std::isfinite(lo) && lo < hi) ? min_ : max_)->setFocus();
    return;
  }
  range_ = {lo, hi};
  QDialog::accept();
}

}  // namespace rc
