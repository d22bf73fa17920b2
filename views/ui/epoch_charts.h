#pragma once
// The three charts of the epoch viewer on Qt Charts: the tachogram, the
// Poincaré map with its SD1/SD2 ellipse and the band-split power spectrum.
// EpochChartSet owns the charts and reloads their series for each epoch; the
// page shows them in views, and renderEpochCharts draws them into images
// without a window (the session report uses it).
#include <QtCharts/QChart>
#include <QColor>
#include <QImage>
#include <QSize>
#include <QString>
#include <array>
#include <cstdint>

#include "views/epochview/epoch_view_data.h"
#include "views/epochview/epoch_view_state.h"

QT_BEGIN_NAMESPACE
class QAreaSeries;
class QLineSeries;
class QScatterSeries;
class QValueAxis;
class QXYSeries;
QT_END_NAMESPACE

namespace rc {

// Red for EKG, magenta for BVP.
QColor signalColour(int signal);

// A language string as a QString.
QString langText(int id);

class EpochChartSet {
 public:
  EpochChartSet();
  ~EpochChartSet();
  EpochChartSet(const EpochChartSet&) = delete;
  EpochChartSet& operator=(const EpochChartSet&) = delete;

  // Owned until taken by a view (QChartView::setChart takes ownership; call
  // releaseCharts() before this set is destroyed in that case).
  QChart* chart(EpochChart c) const { return charts_[static_cast<std::size_t>(c)]; }
  void releaseCharts() { owned_ = false; }

  // Loads the series of an epoch and sets the axes from the state (whose
  // automatic ranges the caller has already adopted). A missing spectrum
  // leaves the spectrum chart empty.
  void show(const EpochCharts& c, const EpochViewState& state, bool bars);
  // Only the axes of the state (after a scale change).
  void applyAxes(const EpochViewState& state);
  void setSignal(int signal);

 private:
  void showTachogram(const TachogramPlot& t, bool points);
  void showPoincare(const PoincarePlot& p, const std::optional<PoincareSd>& sd);
  void showSpectrum(const std::optional<EpochSpectrum>& s, bool bars);

  std::array<QChart*, 3> charts_{};
  bool owned_ = true;
  int signal_ = kViewEkg;
  QLineSeries* tachoLine_ = nullptr;
  QScatterSeries* tachoPoints_ = nullptr;
  QScatterSeries* poincarePoints_ = nullptr;
  QLineSeries* ellipse_ = nullptr;
  QLineSeries* sd1Axis_ = nullptr;
  QLineSeries* sd2Axis_ = nullptr;
  std::array<QLineSeries*, 3> bandLines_{};
  std::array<QAreaSeries*, 3> bandBars_{};
  std::array<QValueAxis*, 3> x_{};
  std::array<QValueAxis*, 3> y_{};
  double spectrumTop_ = 0.4;  // Hz, the x range of the spectrum
};

// What to render: the epoch, the drawing style and the axis ranges.
struct EpochChartRequest {
  int signal = kViewEkg;
  std::int64_t position = 1;  // open session: epoch number from 1; scripted: step-epoch index from 0
  bool bars = false;          // the "BarsOn2DGraph" setting
  EpochViewState state;       // axis ranges and automatic-scale flags (defaults: all automatic)
  QSize size{640, 400};       // of each chart, in pixels
};

struct EpochChartImages {
  QImage tachogram;
  QImage poincare;
  QImage spectrum;
  bool ok = false;  // false for a scripted epoch whose step is not in the script (images empty)
};

// Draws the three charts of one epoch into images without showing a window
// (a QApplication must exist). The automatic ranges are applied for the
// charts the request's state has auto-scaled.
EpochChartImages renderEpochCharts(const EpochViewData& data, const EpochChartRequest& request);

// Draws a chart into an image of the given size.
QImage renderChart(QChart* chart, QSize size);

}  // namespace rc
