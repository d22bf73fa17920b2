#include "views/ui/epoch_charts.h"

#include <QGraphicsLayout>
#include <QGraphicsScene>
#include <QPainter>
#include <QtCharts/QAreaSeries>
#include <QtCharts/QLegend>
#include <QtCharts/QLegendMarker>
#include <QtCharts/QLineSeries>
#include <QtCharts/QScatterSeries>
#include <QtCharts/QValueAxis>
#include <cmath>

#include "support/language.h"

namespace rc {
namespace {

constexpr int kTachogramTitleId = 15001;
constexpr int kPoincareTitleId = 15002;
constexpr int kSpectrumTitleId = 15003;
constexpr int kTimeAxisId = 156;
constexpr int kIbiAxisId = 187;
constexpr int kIbiNAxisId = 15005;
constexpr int kIbiNextAxisId = 15006;
constexpr int kFrequencyAxisId = 15007;
constexpr int kPowerAxisId = 15008;
constexpr int kBandIds[3] = {15009, 15010, 15011};
constexpr int kSd1Id = 15012;
constexpr int kSd2Id = 15013;
constexpr int kEllipseId = 15024;

// The fixed colours of the three bands.
const QColor kBandColours[3] = {QColor(31, 78, 156), QColor(46, 157, 58), QColor(224, 138, 0)};
const QColor kEllipseColour(40, 40, 40);

QValueAxis* makeAxis(QChart* chart, Qt::Alignment side, const QString& title) {
  auto* a = new QValueAxis;
  a->setTitleText(title);
  a->setLabelFormat("%g");
  a->setTickCount(6);
  QFont f = a->titleFont();
  f.setPointSizeF(9);
  f.setBold(false);
  a->setTitleFont(f);
  chart->addAxis(a, side);
  return a;
}

void attach(QChart* chart, QAbstractSeries* s, QValueAxis* x, QValueAxis* y) {
  chart->addSeries(s);
  s->attachAxis(x);
  s->attachAxis(y);
}

QChart* makeChart(const QString& title) {
  auto* c = new QChart;
  c->setTitle(title);
  QFont f = c->titleFont();
  f.setPointSizeF(10);
  f.setBold(true);
  c->setTitleFont(f);
  c->setAnimationOptions(QChart::NoAnimation);
  c->setMargins(QMargins(4, 4, 4, 4));
  c->setBackgroundRoundness(0);
  return c;
}

void hideMarker(QChart* chart, QAbstractSeries* s) {
  for (QLegendMarker* m : chart->legend()->markers(s)) m->setVisible(false);
}

QString msText(double v) { return QString::number(v, 'f', 1); }

// A tick interval of 1, 2 or 5 times a power of ten giving about `ticks` ticks.
double niceStep(double span, int ticks) {
  const double raw = span / ticks;
  if (!(raw > 0) || !std::isfinite(raw)) return 1.0;
  const double mag = std::pow(10.0, std::floor(std::log10(raw)));
  const double norm = raw / mag;
  return (norm < 1.5 ? 1.0 : norm < 3.0 ? 2.0 : norm < 7.0 ? 5.0 : 10.0) * mag;
}

// The range as given, with ticks and labels at round values inside it.
void setRange(QValueAxis* a, AxisRange r, int ticks = 5) {
  if (!(r.max > r.min)) r = {r.min - 0.5, r.min + 0.5};
  a->setRange(r.min, r.max);
  const double step = niceStep(r.max - r.min, ticks);
  a->setTickType(QValueAxis::TicksDynamic);
  a->setTickAnchor(0.0);
  a->setTickInterval(step);
  const int decimals = step >= 1.0 ? 0 : static_cast<int>(std::ceil(-std::log10(step) - 1e-9));
  a->setLabelFormat(QStringLiteral("%.%1f").arg(decimals));
}

}  // namespace

QColor signalColour(int signal) { return signal == kViewBvp ? QColor(255, 0, 255) : QColor(255, 0, 0); }

QString langText(int id) { return QString::fromStdString(str(id)); }

EpochChartSet::EpochChartSet() {
  using enum EpochChart;
  auto idx = [](EpochChart c) { return static_cast<std::size_t>(c); };

  QChart* t = charts_[idx(Tachogram)] = makeChart(langText(kTachogramTitleId));
  x_[0] = makeAxis(t, Qt::AlignBottom, langText(kTimeAxisId));
  y_[0] = makeAxis(t, Qt::AlignLeft, langText(kIbiAxisId));
  tachoLine_ = new QLineSeries;
  tachoPoints_ = new QScatterSeries;
  tachoPoints_->setMarkerSize(5);
  tachoPoints_->setBorderColor(Qt::transparent);
  attach(t, tachoLine_, x_[0], y_[0]);
  attach(t, tachoPoints_, x_[0], y_[0]);
  t->legend()->hide();

  QChart* p = charts_[idx(Poincare)] = makeChart(langText(kPoincareTitleId));
  x_[1] = makeAxis(p, Qt::AlignBottom, langText(kIbiNAxisId));
  y_[1] = makeAxis(p, Qt::AlignLeft, langText(kIbiNextAxisId));
  poincarePoints_ = new QScatterSeries;
  poincarePoints_->setMarkerSize(5);
  poincarePoints_->setBorderColor(Qt::transparent);
  ellipse_ = new QLineSeries;
  ellipse_->setName(langText(kEllipseId));
  sd1Axis_ = new QLineSeries;
  sd2Axis_ = new QLineSeries;
  QPen pen(kEllipseColour);
  pen.setWidthF(1.5);
  ellipse_->setPen(pen);
  pen.setColor(QColor(0, 110, 190));
  pen.setWidthF(2);
  sd1Axis_->setPen(pen);
  pen.setColor(QColor(0, 150, 60));
  sd2Axis_->setPen(pen);
  attach(p, poincarePoints_, x_[1], y_[1]);
  attach(p, ellipse_, x_[1], y_[1]);
  attach(p, sd1Axis_, x_[1], y_[1]);
  attach(p, sd2Axis_, x_[1], y_[1]);
  hideMarker(p, poincarePoints_);
  p->legend()->setAlignment(Qt::AlignBottom);

  QChart* s = charts_[idx(Spectrum)] = makeChart(langText(kSpectrumTitleId));
  x_[2] = makeAxis(s, Qt::AlignBottom, langText(kFrequencyAxisId));
  y_[2] = makeAxis(s, Qt::AlignLeft, langText(kPowerAxisId));
  for (int b = 0; b < 3; ++b) {
    bandLines_[b] = new QLineSeries;
    bandLines_[b]->setName(langText(kBandIds[b]));
    QPen bp(kBandColours[b]);
    bp.setWidthF(2);
    bandLines_[b]->setPen(bp);
    bandBars_[b] = new QAreaSeries(new QLineSeries);
    bandBars_[b]->setName(langText(kBandIds[b]));
    bandBars_[b]->setColor(kBandColours[b]);
    bandBars_[b]->setBorderColor(kBandColours[b].darker(130));
    attach(s, bandLines_[b], x_[2], y_[2]);
    attach(s, bandBars_[b], x_[2], y_[2]);
  }
  s->legend()->setAlignment(Qt::AlignBottom);
  setSignal(kViewEkg);
}

EpochChartSet::~EpochChartSet() {
  if (owned_)
    for (QChart* c : charts_) delete c;
}

void EpochChartSet::setSignal(int signal) {
  signal_ = signal;
  const QColor c = signalColour(signal);
  QPen pen(c);
  pen.setWidthF(1.5);
  tachoLine_->setPen(pen);
  tachoPoints_->setColor(c);
  poincarePoints_->setColor(c);
}

void EpochChartSet::show(const EpochCharts& c, const EpochViewState& state, bool bars) {
  showTachogram(c.tachogram, state.tachogramPoints);
  showPoincare(c.poincare, c.sd);
  showSpectrum(c.spectrum, bars);
  applyAxes(state);
}

void EpochChartSet::applyAxes(const EpochViewState& state) {
  setRange(x_[0], state.tachogramWindow, 8);
  setRange(y_[0], state.tachogramAxis);
  setRange(x_[1], state.poincareAxis);
  setRange(y_[1], state.poincareAxis);
  setRange(x_[2], {0.0, spectrumTop_}, 8);
  setRange(y_[2], {0.0, state.spectrumMax > 0 ? state.spectrumMax : 1.0});
}

void EpochChartSet::showTachogram(const TachogramPlot& t, bool points) {
  QList<QPointF> pts;
  pts.reserve(static_cast<qsizetype>(t.x.size()));
  for (std::size_t i = 0; i < t.x.size(); ++i) pts.append(QPointF(t.x[i], t.y[i]));
  tachoLine_->replace(points ? QList<QPointF>() : pts);
  tachoPoints_->replace(points ? pts : QList<QPointF>());
  tachoLine_->setVisible(!points);
  tachoPoints_->setVisible(points);
}

void EpochChartSet::showPoincare(const PoincarePlot& p, const std::optional<PoincareSd>& sd) {
  QList<QPointF> pts;
  pts.reserve(static_cast<qsizetype>(p.x.size()));
  for (std::size_t i = 0; i < p.x.size(); ++i) pts.append(QPointF(p.x[i], p.y[i]));
  poincarePoints_->replace(pts);
  QList<QPointF> e, a1, a2;
  if (sd) {
    for (const auto& q : poincareEllipse(*sd)) e.append(QPointF(q[0], q[1]));
    const double c = std::sqrt(0.5);
    a2 = {QPointF(sd->centreX - c * sd->sd2, sd->centreY - c * sd->sd2),
          QPointF(sd->centreX + c * sd->sd2, sd->centreY + c * sd->sd2)};
    a1 = {QPointF(sd->centreX + c * sd->sd1, sd->centreY - c * sd->sd1),
          QPointF(sd->centreX - c * sd->sd1, sd->centreY + c * sd->sd1)};
    sd1Axis_->setName(QStringLiteral("%1 = %2 ms").arg(langText(kSd1Id), msText(sd->sd1)));
    sd2Axis_->setName(QStringLiteral("%1 = %2 ms").arg(langText(kSd2Id), msText(sd->sd2)));
  } else {
    sd1Axis_->setName(QStringLiteral("%1 = -").arg(langText(kSd1Id)));
    sd2Axis_->setName(QStringLiteral("%1 = -").arg(langText(kSd2Id)));
  }
  ellipse_->replace(e);
  sd1Axis_->replace(a1);
  sd2Axis_->replace(a2);
}

void EpochChartSet::showSpectrum(const std::optional<EpochSpectrum>& s, bool bars) {
  const std::array<BinRun, 3> runs = s ? bandRuns(*s, bars) : std::array<BinRun, 3>{};
  if (s && s->e3 > 0) spectrumTop_ = (s->e3 + (bars ? 0.5 : 0.0)) * s->df;
  for (int b = 0; b < 3; ++b) {
    QList<QPointF> pts;
    if (s) {
      for (std::int32_t j = runs[b].first; j <= runs[b].last; ++j) {
        const double f = j * s->df, p = s->power[static_cast<std::size_t>(j)];
        if (bars) {
          const double h = s->df * 0.45;
          pts << QPointF(f - h, 0) << QPointF(f - h, p) << QPointF(f + h, p) << QPointF(f + h, 0);
        } else {
          pts.append(QPointF(f, p));
        }
      }
    }
    bandLines_[b]->replace(bars ? QList<QPointF>() : pts);
    bandBars_[b]->upperSeries()->replace(bars ? pts : QList<QPointF>());
    bandLines_[b]->setVisible(!bars);
    bandBars_[b]->setVisible(bars);
    for (QLegendMarker* m : charts_[2]->legend()->markers(bandLines_[b])) m->setVisible(!bars);
    for (QLegendMarker* m : charts_[2]->legend()->markers(bandBars_[b])) m->setVisible(bars);
  }
}

QImage renderChart(QChart* chart, QSize size) {
  QGraphicsScene scene;
  scene.addItem(chart);
  chart->setGeometry(QRectF(QPointF(0, 0), size));
  if (chart->layout()) chart->layout()->activate();
  QImage img(size, QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::white);
  {
    QPainter painter(&img);
    painter.setRenderHint(QPainter::Antialiasing);
    scene.render(&painter, QRectF(QPointF(0, 0), size), QRectF(QPointF(0, 0), size));
  }
  scene.removeItem(chart);
  return img;
}

EpochChartImages renderEpochCharts(const EpochViewData& data, const EpochChartRequest& request) {
  EpochChartImages out;
  const std::optional<EpochCharts> charts = data.charts(request.signal, request.position);
  if (!charts) return out;
  EpochViewState state = request.state;
  state.adopt(*charts);
  EpochChartSet set;
  set.setSignal(request.signal);
  set.show(*charts, state, request.bars);
  out.tachogram = renderChart(set.chart(EpochChart::Tachogram), request.size);
  out.poincare = renderChart(set.chart(EpochChart::Poincare), request.size);
  out.spectrum = renderChart(set.chart(EpochChart::Spectrum), request.size);
  out.ok = true;
  return out;
}

}  // namespace rc
