#pragma once
// Page 3 of the review-and-edit container: the epoch viewer. For one heart
// signal and one epoch it shows the tachogram, the Poincaré map and the
// band-split power spectrum; the spin moves through the epochs (the step
// epochs of a scripted session) and "3D Viewer" opens the sliding spectra of
// the current epoch. A read-only view: the intervals are never changed.
#include <QPointer>
#include <array>

#include "app/review_context.h"
#include "support/ui/review_page.h"
#include "views/epochview/epoch_view_data.h"
#include "views/epochview/epoch_view_state.h"
#include "views/ui/epoch_charts.h"

QT_BEGIN_NAMESPACE
class QChartView;
class QLabel;
class QMenu;
class QPushButton;
class QRadioButton;
class QSpinBox;
QT_END_NAMESPACE

namespace rc {

class CEpochView : public ReviewPage {
  Q_OBJECT

 public:
  explicit CEpochView(ReviewContext& ctx, QWidget* parent = nullptr);
  ~CEpochView() override;

  // Takes the data of the last statistics run from the context: the epoch
  // number goes back to 1 (the step-epoch index to 0) and every chart is
  // redrawn. With no epoch the navigation is disabled.
  void fill();

  void statisticsRecomputed() override { fill(); }
  void epochsChanged() override { fill(); }
  void signalChanged() override;

  // What the report screen reads: the current ranges of the three charts.
  const EpochViewState& viewState() const { return state_; }
  const EpochViewData& viewData() const { return data_; }
  bool barsShown() const { return ctx_.barsOn2DGraph; }

  // The controls, for tests and the screenshot tool.
  QSpinBox* epochSpin() const { return spin_; }
  QRadioButton* signalButton(int signal) const { return signal == kViewBvp ? bvp_ : ekg_; }
  QPushButton* viewer3DButton() const { return view3D_; }
  QChartView* chartView(EpochChart c) const { return views_[static_cast<std::size_t>(c)]; }
  QLabel* epochLabel() const { return label_; }
  // The context menu of a chart as it would pop up (the caller owns it).
  QMenu* makeChartMenu(EpochChart c);

  // Moves to an epoch (open: number from 1; scripted: step-epoch index from
  // 0); false, with the warning of string 366, when a step epoch's step is
  // not in the script (the page stays where it was).
  bool moveTo(std::int64_t position);
  void chooseSignal(int signal);
  void toggleBars();
  void toggleTachogramPoints();
  void setAutoScale(EpochChart c, bool on);
  // Opens the scale dialog of a chart (modal).
  void editScale(EpochChart c);
  // "Save image..." of a chart: PNG, or SVG when the chosen name ends so.
  void saveImage(EpochChart c);
  // Opens the 3D viewer modally on the current epoch and adopts its signal.
  void open3DViewer();

 Q_SIGNALS:
  // Emitted just before the 3D viewer runs its event loop (tests drive it).
  void viewer3DOpened(QWidget* viewer);

 private:
  void redraw();
  void updateLabel();
  void updateControls();
  std::int64_t spinToPosition(int value) const;
  int positionToSpin(std::int64_t position) const;

  ReviewContext& ctx_;
  EpochViewData data_;
  EpochViewState state_;
  EpochChartSet charts_;
  std::array<QChartView*, 3> views_{};
  QRadioButton* ekg_ = nullptr;
  QRadioButton* bvp_ = nullptr;
  QSpinBox* spin_ = nullptr;
  QLabel* label_ = nullptr;
  QPushButton* view3D_ = nullptr;
  bool filling_ = false;
};

}  // namespace rc
