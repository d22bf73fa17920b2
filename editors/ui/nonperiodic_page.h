#pragma once
// The rejection editor for the slow signals (skin conductance, temperature,
// EMG or its RMS series): the signal in its slot colour with its rejected
// stretches as bands, three small overview charts of the whole session, and
// the commands that set and delete rejections and scale the charts.
//
// Shift + drag draws a rubber band and offers Set Rejection at the release
// point; Ctrl + drag sets the rejection at once; a right-click selects the
// stretch under the pointer and opens the chart's menu. Keyboard: Left/Right
// move the cursor, PageUp/PageDown scroll, "[" and "]" mark a range at the
// cursor and set it, Delete / Shift+Delete delete, the menu key opens the
// chart's menu at the cursor.
#include <QChartView>
#include <QDialog>
#include <QLabel>
#include <QScrollBar>
#include <array>
#include <functional>
#include <optional>

#include "app/review_context.h"
#include "editors/rejection/rejection_list.h"
#include "support/ui/review_page.h"

class QLineSeries;
class QValueAxis;
class QDoubleSpinBox;
class QMenu;

namespace rc {

// The scale dialog of a chart: minimum and maximum amplitude, or the maximum
// only; OK is refused with messages 377 / 378 through the user interface.
class CScaleSettings : public QDialog {
  Q_OBJECT
 public:
  CScaleSettings(double minimum, double maximum, bool maximumOnly, UserInterface& ui, QWidget* parent = nullptr);
  double minimum() const;
  double maximum() const;
  void setValues(double minimum, double maximum);
  void accept() override;

 private:
  UserInterface& ui_;
  bool maximumOnly_;
  QDoubleSpinBox* min_;
  QDoubleSpinBox* max_;
};

class RejectionChartView;

class CNonPeriodic : public ReviewPage {
  Q_OBJECT

 public:
  explicit CNonPeriodic(ReviewContext& ctx, QWidget* parent = nullptr);
  ~CNonPeriodic() override;

  // Shows slot 3..8 (SC 1, SC 2, TEMP 1, TEMP 2, EMG 1, EMG 2).
  void showSignal(int slot);

  void pageShown() override;
  void signalChanged() override;
  void statisticsRecomputed() override {}
  void sessionClosing() override;

  // The commands of the menus (ids 32827 ... 32847).
  void setRejection(double start, double end);
  void deleteRejection();
  void deleteAllRejections();
  void toggleAutoScale(int chart);  // 0 main, 1..3 the small charts
  void setScale(int chart);

  // The visible span of the main chart (s).
  void setView(double start, double span);
  double viewStart() const { return viewStart_; }
  double viewSpan() const { return viewSpan_; }

  // Tests and tools choose menu entries and scale values instead of a user:
  // the chooser gets the menu and returns the command id (0 for none).
  using MenuChooser = std::function<int(QMenu& menu, const QPoint& globalPos)>;
  void setMenuChooser(MenuChooser chooser) { chooser_ = std::move(chooser); }
  using ScaleDialogRunner = std::function<bool(CScaleSettings& dialog)>;
  void setScaleDialogRunner(ScaleDialogRunner runner) { scaleRunner_ = std::move(runner); }

  int shownSlot() const { return slot_; }
  std::int32_t shownChannel() const { return channel_; }
  std::optional<TSessionSegment> selectedStretch() const { return selected_; }
  bool autoScale(int chart) const { return autoScale_[static_cast<std::size_t>(chart)]; }
  QString labelText() const;
  QChartView* mainView() const;
  QChartView* smallView(int i) const;
  double duration() const { return duration_; }
  // Redraws the main chart (decimated to its pixel width); for benchmarks.
  void redraw();

  // Called by the chart views.
  void chartPressed(QMouseEvent* e);
  void chartMoved(QMouseEvent* e);
  void chartReleased(QMouseEvent* e);
  void chartContextMenu(const QPoint& pos, const QPoint& globalPos);
  void smallContextMenu(int chart, const QPoint& globalPos);
  void smallClicked(int chart, const QPoint& pos);

 protected:
  void keyPressEvent(QKeyEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;

 private:
  enum class DragState { Idle, Range, Band };
  struct Signal {
    const float* samples = nullptr;
    std::int64_t count = 0;
    double rate = 0.0;
  };
  Signal signalOf(int slot) const;
  std::int32_t channelOf(int slot) const;
  void changed();
  int runMenu(QMenu& menu, const QPoint& globalPos);
  double xToTime(const QPoint& pos) const;
  void drawSmall(int i);
  void rescale(int chart);
  void updateScrollBar();

  ReviewContext& ctx_;
  QLabel* label_;
  RejectionChartView* main_;
  std::array<RejectionChartView*, 3> small_{};
  std::array<int, 3> smallSlot_{{-1, -1, -1}};
  QScrollBar* scroll_;
  QLineSeries* line_ = nullptr;
  QValueAxis* axisX_ = nullptr;
  QValueAxis* axisY_ = nullptr;
  std::array<bool, 4> autoScale_{{true, true, true, true}};
  std::array<std::pair<double, double>, 4> manualRange_{};

  int slot_ = -1;
  std::int32_t channel_ = 0;
  double duration_ = 0.0;
  double viewStart_ = 0.0;
  double viewSpan_ = 300.0;
  double cursor_ = 0.0;
  std::optional<double> keyMark_;
  DragState drag_ = DragState::Idle;
  double dragFrom_ = 0.0;
  std::optional<TSessionSegment> selected_;
  MenuChooser chooser_;
  ScaleDialogRunner scaleRunner_;

  friend class RejectionChartView;
};

}  // namespace rc
