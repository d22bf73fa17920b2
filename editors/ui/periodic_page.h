#pragma once
// Page 0 of the review-and-edit container: the periodic IBI editor. The rows
// of the listed stretch (a table model over the core edit list), the edit
// buttons, the time-frame group with its spin, the tachogram with the edit
// and segment bands and the cursor, and under it the raw signal around the
// cursor with the detected beats marked.
#include <QAbstractTableModel>
#include <QChartView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableView>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <span>
#include <vector>

#include "editors/autoedit/auto_edit.h"
#include "editors/periodic/periodic_editor.h"
#include "support/ui/review_page.h"

namespace rc {

struct ReviewContext;

// The rows of the edit list: column 0 the time, column 1 the interval (ms).
class PeriodicRowsModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  explicit PeriodicRowsModel(const PeriodicEditModel* rows, QObject* parent = nullptr)
      : QAbstractTableModel(parent), rows_(rows) {}
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation o, int role) const override;
  void reset() {
    beginResetModel();
    endResetModel();
  }

 private:
  const PeriodicEditModel* rows_;
};

// The tachogram: intervals against time, bands and the cursor painted over the plot.
class TachogramView : public QChartView {
  Q_OBJECT
 public:
  struct Band {
    double start, end;
    QColor colour;
  };
  explicit TachogramView(QWidget* parent = nullptr);
  // times (s) and values (ms) of the listed rows; the window [from, to] is shown.
  void setData(std::span<const double> times, std::span<const float> values, double from, double to, QColor line);
  void setBands(std::vector<Band> bands);
  void setCursorTime(double t);
  std::size_t plottedPoints() const { return plotted_; }
  QPointF valueAt(const QPoint& p) const;

 Q_SIGNALS:
  void clickedAt(double seconds);
  void hoveredAt(double seconds);
  // A right-click in the plot: the time under the pointer, where the menu
  // goes, and whether Shift was held (Jump at once).
  void menuAt(double seconds, QPoint globalPos, bool shift);

 protected:
  void drawForeground(QPainter* painter, const QRectF& rect) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;

 private:
  QLineSeries* series_;
  QValueAxis* x_;
  QValueAxis* y_;
  std::vector<Band> bands_;
  double cursor_ = 0.0;
  std::size_t plotted_ = 0;
};

// The raw EKG or pulse signal around the cursor, beats marked at their times.
class RawSignalStrip : public QWidget {
  Q_OBJECT
 public:
  explicit RawSignalStrip(QWidget* parent = nullptr);
  void setSignal(std::span<const float> samples, double rate, QColor colour);
  void setBeats(std::vector<double> beatTimes) { beats_ = std::move(beatTimes); }
  void showAround(double t, double halfSpan);

 protected:
  void paintEvent(QPaintEvent* e) override;

 private:
  std::span<const float> samples_;
  double rate_ = 0.0;
  QColor colour_;
  std::vector<double> beats_;
  double from_ = 0.0, to_ = 0.0;
};

class CPeriodic : public ReviewPage {
  Q_OBJECT
 public:
  explicit CPeriodic(ReviewContext& ctx, QWidget* parent = nullptr);

  void pageShown() override;
  bool hasPendingEdits() const override { return editor_.pendingEdits() > 0; }
  void savePendingEdits() override;
  void cancelPendingEdits() override;
  void signalChanged() override { reload(); }
  void timeFrameChanged() override { updateStrip(); }
  void epochsChanged() override { reload(); }
  void sessionClosing() override {}

  // The container's auto-edit command over this page's signal and segment
  // list (pending edits are resolved first); recomputes and reloads when stored.
  AutoEditOutcome runAutoEdit();

  // Loads the selected signal again (series, segment file, first stretch).
  void reload();

  PeriodicEditor& editor() { return editor_; }
  QTableView* rowView() const { return rows_; }
  TachogramView* tachogram() const { return chart_; }
  RawSignalStrip* rawStrip() const { return strip_; }
  QPushButton* button(int controlId) const;
  QRadioButton* frameButton(TimeFrame f) const { return frames_[static_cast<int>(f)]; }
  QSpinBox* spinBox() const { return spin_; }

  // The commands, as the buttons run them.
  void add();
  void split();
  void average();
  void undo();
  void cancelChanges();
  void saveChanges();
  void setCursorTime(double t);
  // The segment commands of the chart's menu.
  void jumpTo(double t);
  bool undoSegmentAt(double t);
  bool undoAllSegments();
  // Whether the menu at time t offers Undo segment and Undo all.
  bool canUndoSegmentAt(double t) const;
  bool canUndoAllSegments() const;

 private:
  void chartMenu(double t, const QPoint& at, bool shift);
  // The listed stretch as the editor holds it: frame button, rows, navigation, buttons.
  void showListed();
  std::vector<std::size_t> selectedRows() const;
  void applied(const std::optional<EditApplied>& a, bool keepBand);
  void select(const std::vector<std::size_t>& rows);
  void refreshRows();
  void redraw();
  void updateStrip();
  void updateButtons();
  void updateNavigation();
  void frameChosen(TimeFrame f);
  void spinMoved(int value);
  UserInterface& ui() const;

  ReviewContext& ctx_;
  PeriodicEditor editor_;
  PeriodicRowsModel* model_;
  QTableView* rows_;
  TachogramView* chart_;
  RawSignalStrip* strip_;
  QPushButton *add_, *split_, *average_, *undo_, *cancel_, *save_;
  QRadioButton* frames_[4];
  QSpinBox* spin_;
  QLabel *description_, *cycle_, *epoch_;
  std::vector<TachogramView::Band> editBands_;
  std::vector<double> times_;
  std::vector<float> values_;
  double hover_ = 0.0;
  bool updating_ = false;
};

}  // namespace rc
