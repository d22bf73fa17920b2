#pragma once
// The scale dialog of a chart of the epoch viewer: the minimum and maximum of
// an axis (only the maximum for the spectrum, whose minimum is 0), checked on
// OK; a refused entry shows its message and the dialog stays open.
#include <QDialog>

#include "support/ui.h"
#include "views/epochview/epoch_view_state.h"

QT_BEGIN_NAMESPACE
class QLineEdit;
QT_END_NAMESPACE

namespace rc {

class CScaleDialog : public QDialog {
  Q_OBJECT

 public:
  CScaleDialog(EpochChart chart, AxisRange current, UserInterface& ui, QWidget* parent = nullptr);
  AxisRange range() const { return range_; }
  QLineEdit* minimumEdit() const { return min_; }
  QLineEdit* maximumEdit() const { return max_; }

  void accept() override;

 private:
  EpochChart chart_;
  UserInterface& ui_;
  QLineEdit* min_ = nullptr;
  QLineEdit* max_ = nullptr;
  AxisRange range_;
};

}  // namespace rc
