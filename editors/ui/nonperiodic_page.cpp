#include "editors/ui/nonperiodic_page.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineSeries>
#include <QMenu>
#include <QMouseEvent>
#include <QValueAxis>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#pragma push_macro("slots")
#undef slots
#include "analysis/series/series_gen.h"  // effectiveAveragingFactor
#pragma pop_macro("slots")
#include "support/axis_division.h"
#include "support/language.h"

#undef slots  // AnalysisSession::slots

namespace rc {
namespace {

QString q(int id) { return QString::fromStdString(str(id)); }

QColor colourOf(int slot) {
  const std::uint32_t c = nonPeriodicColour(slot);
  return QColor((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF);
}

// The short name of a slot for the small charts ("Skin Conductance 1").
QString shortName(int slot) {
  if (slot < 3 || slot > 8) return {};
  const int kind = (slot - 3) / 2;
  const int name = kind == 0 ? 217 : kind == 1 ? 449 : 326;
  return q(name) + (slot % 2 == 1 ? " 1" : " 2");
}

}  // namespace

// ---- the chart views ---------------------------------------------------------

class RejectionChartView : public QChartView {
 public:
  RejectionChartView(CNonPeriodic* page, int index) : page_(page), index_(index) {
    setRenderHint(QPainter::Antialiasing, false);
    setRubberBand(QChartView::NoRubberBand);
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
    chart()->legend()->hide();
    chart()->setMargins(QMargins(4, 4, 8, 4));
    chart()->setBackgroundRoundness(0);
  }

  // The times drawn over the plot: the rejected stretches of `channel`, a
  // band being dragged, the cursor, and (small charts) the main view's span.
  std::int32_t channel = -1;
  std::optional<std::pair<double, double>> band;
  std::optional<double> cursor;
  std::optional<std::pair<double, double>> window;

 protected:
  void mousePressEvent(QMouseEvent* e) override {
    if (index_ < 0)
      page_->chartPressed(e);
    else if (e->button() == Qt::LeftButton)
      page_->smallClicked(index_, e->pos());
  }
  void mouseMoveEvent(QMouseEvent* e) override {
    if (index_ < 0) page_->chartMoved(e);
  }
  void mouseReleaseEvent(QMouseEvent* e) override {
    if (index_ < 0) page_->chartReleased(e);
  }
  void contextMenuEvent(QContextMenuEvent* e) override {
    if (index_ < 0)
      page_->chartContextMenu(e->pos(), e->globalPos());
    else
      page_->smallContextMenu(index_ + 1, e->globalPos());
  }
  void wheelEvent(QWheelEvent* e) override {
    if (index_ >= 0) return;
    const double factor = e->angleDelta().y() > 0 ? 0.8 : 1.25;
    const double t = page_->xToTime(e->position().toPoint());
    const double span = page_->viewSpan() * factor;
    page_->setView(t - (t - page_->viewStart()) * factor, span);
  }

  void drawForeground(QPainter* p, const QRectF& rect) override {
    QChartView::drawForeground(p, rect);
    const QRectF plot = chart()->plotArea();
    if (plot.width() <= 0) return;
    auto xOf = [&](double t) { return chart()->mapToPosition(QPointF(t, 0)).x(); };
    auto fill = [&](double a, double b, const QColor& c) {
      const double x0 = std::clamp(xOf(a), plot.left(), plot.right());
      const double x1 = std::clamp(xOf(b), plot.left(), plot.right());
      if (x1 < x0) return;
      p->fillRect(QRectF(x0, plot.top(), std::max(1.0, x1 - x0), plot.height()), c);
    };
    if (channel >= 0 && page_->ctx_.session)
      for (const TSessionSegment& s : page_->ctx_.session->rejected)
        if (s.channel == channel) fill(s.start, s.end, QColor(120, 120, 120, 90));
    if (page_->selected_ && index_ < 0 && page_->selected_->channel == channel)
      fill(page_->selected_->start, page_->selected_->end, QColor(30, 90, 200, 60));
    if (band) {
      fill(std::min(band->first, band->second), std::max(band->first, band->second), QColor(30, 90, 200, 70));
      p->setPen(QPen(QColor(30, 90, 200), 1, Qt::DashLine));
      const double x0 = xOf(std::min(band->first, band->second));
      const double x1 = xOf(std::max(band->first, band->second));
      p->drawRect(QRectF(x0, plot.top(), x1 - x0, plot.height()));
    }
    if (window) {
      p->setPen(QPen(QColor(40, 40, 40), 1));
      const double x0 = std::clamp(xOf(window->first), plot.left(), plot.right());
      const double x1 = std::clamp(xOf(window->second), plot.left(), plot.right());
      p->drawRect(QRectF(x0, plot.top(), std::max(2.0, x1 - x0), plot.height() - 1));
    }
    if (cursor) {
      p->setPen(QPen(QColor(0, 0, 0), 1, Qt::DotLine));
      const double x = xOf(*cursor);
      if (x >= plot.left() && x <= plot.right()) p->drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
    }
  }

 private:
  CNonPeriodic* page_;
  int index_;  // -1 main chart, 0..2 small charts
};

// ---- scale dialog ------------------------------------------------------------

CScaleSettings::CScaleSettings(double minimum, double maximum, bool maximumOnly, UserInterface& ui,
                               QWidget* parent)
    : QDialog(parent), ui_(ui), maximumOnly_(maximumOnly) {
  setWindowTitle(q(376));
  auto* form = new QFormLayout;
  min_ = new QDoubleSpinBox;
  max_ = new QDoubleSpinBox;
  for (QDoubleSpinBox* b : {min_, max_}) {
    b->setRange(-1e9, 1e9);  // out-of-range entries are refused with a message
    b->setDecimals(3);
    b->setMinimumWidth(140);
  }
  min_->setValue(minimum);
  max_->setValue(maximum);
  min_->setEnabled(!maximumOnly);
  form->addRow(q(271), min_);
  form->addRow(q(maximumOnly ? 294 : 272), max_);
  auto* buttons = new QDialogButtonBox;
  buttons->addButton(q(5), QDialogButtonBox::AcceptRole);
  buttons->addButton(q(2), QDialogButtonBox::RejectRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &CScaleSettings::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &CScaleSettings::reject);
  auto* box = new QVBoxLayout(this);
  box->addLayout(form);
  box->addWidget(buttons);
}

double CScaleSettings::minimum() const { return min_->value(); }
double CScaleSettings::maximum() const { return max_->value(); }
void CScaleSettings::setValues(double minimum, double maximum) {
  min_->setValue(minimum);
  max_->setValue(maximum);
}

void CScaleSettings::accept() {
  if (auto m = checkScale(minimum(), maximum(), maximumOnly_)) {
    ui_.showMessage(*m, Icon::Warning);
    return;
  }
  QDialog::accept();
}

// ---- the page ----------------------------------------------------------------

CNonPeriodic::CNonPeriodic(ReviewContext& ctx, QWidget* parent) : ReviewPage(parent), ctx_(ctx) {
  setFocusPolicy(Qt::StrongFocus);
  label_ = new QLabel;
  QFont f = label_->font();
  f.setBold(true);
  f.setPointSizeF(f.pointSizeF() * 1.15);
  label_->setFont(f);
  main_ = new RejectionChartView(this, -1);
  main_->setMinimumHeight(260);
  line_ = new QLineSeries;
  main_->chart()->addSeries(line_);
  axisX_ = new QValueAxis;
  axisY_ = new QValueAxis;
  axisX_->setLabelFormat("%.0f");
  axisX_->setTitleText(q(156));
  main_->chart()->addAxis(axisX_, Qt::AlignBottom);
  main_->chart()->addAxis(axisY_, Qt::AlignLeft);
  line_->attachAxis(axisX_);
  line_->attachAxis(axisY_);
  scroll_ = new QScrollBar(Qt::Horizontal);
  connect(scroll_, &QScrollBar::valueChanged, this, [this](int v) {
    if (std::fabs(v - viewStart_) >= 1.0) setView(v, viewSpan_);
  });
  auto* smallRow = new QHBoxLayout;
  for (int i = 0; i < 3; ++i) {
    small_[static_cast<std::size_t>(i)] = new RejectionChartView(this, i);
    auto* v = small_[static_cast<std::size_t>(i)];
    v->setMinimumHeight(130);
    auto* s = new QLineSeries;
    v->chart()->addSeries(s);
    auto* ax = new QValueAxis;
    auto* ay = new QValueAxis;
    ax->setLabelFormat("%.0f");
    ay->setLabelFormat("%.1f");
    ax->setTickCount(3);
    ay->setTickCount(3);
    v->chart()->addAxis(ax, Qt::AlignBottom);
    v->chart()->addAxis(ay, Qt::AlignLeft);
    s->attachAxis(ax);
    s->attachAxis(ay);
    QFont tf = v->chart()->titleFont();
    tf.setPointSizeF(std::max(8.0, tf.pointSizeF() * 0.9));
    v->chart()->setTitleFont(tf);
    smallRow->addWidget(v);
  }
  auto* box = new QVBoxLayout(this);
  box->setContentsMargins(6, 6, 6, 6);
  auto* top = new QHBoxLayout;
  top->addWidget(label_);
  top->addStretch(1);
  auto* hint = new QLabel(q(14007));
  hint->setWordWrap(true);
  hint->setMaximumWidth(620);
  hint->setStyleSheet("color: #555;");
  top->addWidget(hint);
  box->addLayout(top);
  box->addWidget(main_, 3);
  box->addWidget(scroll_);
  box->addLayout(smallRow, 1);

  // Keyboard commands beside the menus.
  auto addKey = [this](const QKeySequence& key, std::function<void()> fn) {
    auto* a = new QAction(this);
    a->setShortcut(key);
    a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(a, &QAction::triggered, this, fn);
    addAction(a);
  };
  addKey(QKeySequence(Qt::Key_Delete), [this] {
    selected_ = rejectionAt(ctx_.session ? ctx_.session->rejected : std::vector<TSessionSegment>{}, channel_, cursor_);
    deleteRejection();
  });
  addKey(QKeySequence(Qt::SHIFT | Qt::Key_Delete), [this] { deleteAllRejections(); });
  addKey(QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_A), [this] { toggleAutoScale(0); });
  addKey(QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_S), [this] { setScale(0); });
  if (ctx_.nonPeriodicSlot >= 3) showSignal(ctx_.nonPeriodicSlot);
}

CNonPeriodic::~CNonPeriodic() = default;

QChartView* CNonPeriodic::mainView() const { return main_; }
QChartView* CNonPeriodic::smallView(int i) const { return small_[static_cast<std::size_t>(i)]; }
QString CNonPeriodic::labelText() const { return label_->text(); }

CNonPeriodic::Signal CNonPeriodic::signalOf(int slot) const {
  Signal s;
  if (!ctx_.session || slot < 3 || slot > 8) return s;
  const AnalysisSession& a = *ctx_.session;
  const SignalSlot& sl = a.slots[static_cast<std::size_t>(slot)];
  if (!sl.used()) return s;
  const std::size_t index = static_cast<std::size_t>(sl.index);
  if (index >= a.recording.channelCount()) return s;
  const double rate = a.recording.channel(index).rate;
  if (slot >= 7 && sl.rawEmg && a.rms[static_cast<std::size_t>(slot - 7)]) {
    const RmsSeries& rms = *a.rms[static_cast<std::size_t>(slot - 7)];
    s.samples = rms.values.data();
    s.count = static_cast<std::int64_t>(rms.values.size());
    s.rate = rate / effectiveAveragingFactor(a.settings.averagingFactor);
    return s;
  }
  const auto samples = a.recording.samples(index);
  s.samples = samples.data();
  s.count = static_cast<std::int64_t>(samples.size());
  s.rate = rate;
  return s;
}

std::int32_t CNonPeriodic::channelOf(int slot) const {
  if (!ctx_.session || slot < 3 || slot > 8) return -1;
  return ctx_.session->slots[static_cast<std::size_t>(slot)].input;
}

void CNonPeriodic::showSignal(int slot) {
  slot_ = slot;
  channel_ = channelOf(slot);
  selected_.reset();
  drag_ = DragState::Idle;
  label_->setText(QString::fromStdString(nonPeriodicLabel(slot)));
  QPen pen(colourOf(slot));
  pen.setWidthF(1.0);
  line_->setPen(pen);
  const Signal s = signalOf(slot);
  duration_ = ctx_.session ? ctx_.session->duration : 0.0;
  if (s.rate > 0.0) duration_ = std::max(duration_, static_cast<double>(s.count) / s.rate);
  main_->channel = channel_;
  // The small charts: one of each kind, the shown channel for its own kind.
  for (int k = 0; k < 3; ++k) {
    const int first = 3 + 2 * k;
    int pick = -1;
    if (slot == first || slot == first + 1)
      pick = slot;
    else if (signalOf(first).count > 0)
      pick = first;
    else if (signalOf(first + 1).count > 0)
      pick = first + 1;
    smallSlot_[static_cast<std::size_t>(k)] = pick;
    small_[static_cast<std::size_t>(k)]->channel = channelOf(pick);
    drawSmall(k);
  }
  setView(0.0, std::min(viewSpan_ > 0 ? viewSpan_ : 300.0, std::max(duration_, 1.0)));
}

void CNonPeriodic::pageShown() {
  if (ctx_.nonPeriodicSlot >= 3 && ctx_.nonPeriodicSlot != slot_) showSignal(ctx_.nonPeriodicSlot);
  setFocus();
}

void CNonPeriodic::signalChanged() {
  if (ctx_.nonPeriodicSlot >= 3) showSignal(ctx_.nonPeriodicSlot);
}

void CNonPeriodic::sessionClosing() {
  if (!ctx_.session || !ctx_.ui) return;
  saveRejectionsAtClose(ctx_.session->folder, ctx_.session->rejected, ctx_.rejectionsChanged, *ctx_.ui);
}

void CNonPeriodic::setView(double start, double span) {
  const double total = std::max(duration_, 1.0);
  viewSpan_ = std::clamp(span, 1.0, total);
  viewStart_ = std::clamp(start, 0.0, std::max(0.0, total - viewSpan_));
  updateScrollBar();
  redraw();
  for (auto* v : small_) {
    v->window = std::make_pair(viewStart_, viewStart_ + viewSpan_);
    v->viewport()->update();
  }
}

void CNonPeriodic::updateScrollBar() {
  const QSignalBlocker block(scroll_);
  const double total = std::max(duration_, 1.0);
  scroll_->setRange(0, static_cast<int>(std::max(0.0, total - viewSpan_)));
  scroll_->setPageStep(static_cast<int>(viewSpan_));
  scroll_->setSingleStep(std::max(1, static_cast<int>(viewSpan_ / 10)));
  scroll_->setValue(static_cast<int>(viewStart_));
}

void CNonPeriodic::redraw() {
  const Signal s = signalOf(slot_);
  const int columns = std::max(100, static_cast<int>(main_->chart()->plotArea().width()));
  const double t1 = viewStart_ + viewSpan_;
  const auto cols = decimateMinMax(s.samples, s.count, s.rate, viewStart_, t1, columns);
  QList<QPointF> pts;
  pts.reserve(static_cast<qsizetype>(cols.size() * 2));
  double lo = INFINITY, hi = -INFINITY;
  for (const MinMaxColumn& c : cols) {
    pts.append(QPointF(c.time, c.minimum));
    if (c.maximum != c.minimum) pts.append(QPointF(c.time, c.maximum));
    lo = std::min(lo, static_cast<double>(c.minimum));
    hi = std::max(hi, static_cast<double>(c.maximum));
  }
  line_->replace(pts);
  axisX_->setRange(viewStart_, t1);
  if (autoScale_[0]) {
    if (!(hi >= lo)) lo = 0, hi = 1;
    const double pad = hi > lo ? (hi - lo) * 0.05 : std::max(1.0, std::fabs(hi) * 0.05);
    const AxisDivision y = axisDivision(lo - pad, hi + pad, 4, true);
    axisY_->setRange(y.lo, y.hi);
    axisY_->setTickCount(y.segments + 1);
    axisY_->setLabelFormat(QStringLiteral("%.%1f").arg(axisDecimals(y)));
  } else {
    axisY_->setTickCount(5);
    axisY_->setLabelFormat(QStringLiteral("%.2f"));
    axisY_->setRange(manualRange_[0].first, manualRange_[0].second);
  }
  main_->viewport()->update();
}

void CNonPeriodic::drawSmall(int i) {
  auto* v = small_[static_cast<std::size_t>(i)];
  const int slot = smallSlot_[static_cast<std::size_t>(i)];
  auto* s = static_cast<QLineSeries*>(v->chart()->series().front());
  auto* ax = static_cast<QValueAxis*>(v->chart()->axes(Qt::Horizontal).front());
  auto* ay = static_cast<QValueAxis*>(v->chart()->axes(Qt::Vertical).front());
  v->chart()->setTitle(slot >= 3 ? shortName(slot) : QString());
  const Signal sig = signalOf(slot);
  const double total = std::max(duration_, 1.0);
  const auto cols = decimateMinMax(sig.samples, sig.count, sig.rate, 0.0, total,
                                   std::max(60, static_cast<int>(v->chart()->plotArea().width())));
  QList<QPointF> pts;
  double lo = INFINITY, hi = -INFINITY;
  for (const MinMaxColumn& c : cols) {
    pts.append(QPointF(c.time, c.minimum));
    if (c.maximum != c.minimum) pts.append(QPointF(c.time, c.maximum));
    lo = std::min(lo, static_cast<double>(c.minimum));
    hi = std::max(hi, static_cast<double>(c.maximum));
  }
  s->replace(pts);
  s->setPen(QPen(slot >= 3 ? colourOf(slot) : QColor(Qt::gray), 1.0));
  ax->setRange(0.0, total);
  const std::size_t c = static_cast<std::size_t>(i + 1);
  if (autoScale_[c]) {
    if (!(hi >= lo)) lo = 0, hi = 1;
    const double pad = hi > lo ? (hi - lo) * 0.05 : std::max(1.0, std::fabs(hi) * 0.05);
    const AxisDivision y = axisDivision(lo - pad, hi + pad, 2, true);
    ay->setRange(y.lo, y.hi);
    ay->setTickCount(y.segments + 1);
    ay->setLabelFormat(QStringLiteral("%.%1f").arg(axisDecimals(y)));
  } else {
    ay->setTickCount(3);
    ay->setLabelFormat(QStringLiteral("%.1f"));
    ay->setRange(manualRange_[c].first, manualRange_[c].second);
  }
}

void CNonPeriodic::resizeEvent(QResizeEvent* e) {
  ReviewPage::resizeEvent(e);
  if (slot_ >= 3) {
    redraw();
    for (int i = 0; i < 3; ++i) drawSmall(i);
  }
}

double CNonPeriodic::xToTime(const QPoint& pos) const {
  return main_->chart()->mapToValue(main_->mapToScene(pos), line_).x();
}

void CNonPeriodic::changed() {
  ctx_.rejectionsChanged = true;
  ctx_.statisticsOutOfDate = true;
  main_->viewport()->update();
  for (auto* v : small_) v->viewport()->update();
  emit statisticsOutOfDate();
}

void CNonPeriodic::setRejection(double start, double end) {
  if (!ctx_.session || slot_ < 3) return;
  const auto r = dragRange(start, end, 0.0, duration_, duration_);
  if (!r) return;
  addRejection(ctx_.session->rejected, r->start, r->end, channel_);
  changed();
}

void CNonPeriodic::deleteRejection() {
  if (!ctx_.session || !selected_) return;
  if (removeRejection(ctx_.session->rejected, *selected_)) {
    selected_.reset();
    changed();
  }
}

void CNonPeriodic::deleteAllRejections() {
  if (!ctx_.session || !ctx_.ui || slot_ < 3) return;
  removeAllRejectionsAsking(ctx_.session->rejected, channel_, *ctx_.ui);
  selected_.reset();
  changed();  // the flag is set whatever the answer
}

void CNonPeriodic::rescale(int chart) {
  if (chart == 0)
    redraw();
  else
    drawSmall(chart - 1);
}

void CNonPeriodic::toggleAutoScale(int chart) {
  const std::size_t c = static_cast<std::size_t>(chart);
  autoScale_[c] = !autoScale_[c];
  if (!autoScale_[c]) {
    auto* v = chart == 0 ? static_cast<QChartView*>(main_) : small_[c - 1];
    auto* ay = static_cast<QValueAxis*>(v->chart()->axes(Qt::Vertical).front());
    manualRange_[c] = {ay->min(), ay->max()};
  }
  rescale(chart);
}

void CNonPeriodic::setScale(int chart) {
  const std::size_t c = static_cast<std::size_t>(chart);
  if (autoScale_[c] || !ctx_.ui) return;
  auto* v = chart == 0 ? static_cast<QChartView*>(main_) : small_[c - 1];
  auto* ay = static_cast<QValueAxis*>(v->chart()->axes(Qt::Vertical).front());
  CScaleSettings dialog(ay->min(), ay->max(), false, *ctx_.ui, this);
  const bool ok = scaleRunner_ ? scaleRunner_(dialog) : dialog.exec() == QDialog::Accepted;
  if (!ok) return;
  manualRange_[c] = {dialog.minimum(), dialog.maximum()};
  autoScale_[c] = false;
  rescale(chart);
}

int CNonPeriodic::runMenu(QMenu& menu, const QPoint& globalPos) {
  if (chooser_) return chooser_(menu, globalPos);
  QAction* a = menu.exec(globalPos);
  return a ? a->data().toInt() : 0;
}

void CNonPeriodic::chartPressed(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return;
  setFocus();
  // Any left press ends a pending range first.
  drag_ = DragState::Idle;
  main_->band.reset();
  const double t = xToTime(e->pos());
  if (e->modifiers() & Qt::ShiftModifier) {
    drag_ = DragState::Range;
  } else if (e->modifiers() & Qt::ControlModifier) {
    drag_ = DragState::Band;
  } else {
    cursor_ = std::clamp(t, 0.0, duration_);
    main_->cursor = cursor_;
    main_->viewport()->update();
    return;
  }
  dragFrom_ = t;
  main_->band = std::make_pair(t, t);
  main_->viewport()->update();
}

void CNonPeriodic::chartMoved(QMouseEvent* e) {
  if (drag_ == DragState::Idle || !main_->band) return;
  main_->band->second = xToTime(e->pos());
  main_->viewport()->update();
}

void CNonPeriodic::chartReleased(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton || drag_ == DragState::Idle) return;
  const DragState state = drag_;
  drag_ = DragState::Idle;
  const double to = xToTime(e->pos());
  const auto range = dragRange(dragFrom_, to, axisX_->min(), axisX_->max(), duration_);
  if (state == DragState::Range && range) {
    QMenu menu(this);
    QAction* a = menu.addAction(q(14001));
    a->setData(kCmdSetRejection);
    if (runMenu(menu, main_->mapToGlobal(e->pos())) == kCmdSetRejection) setRejection(range->start, range->end);
  } else if (state == DragState::Band && range) {
    setRejection(range->start, range->end);
  }
  main_->band.reset();
  main_->viewport()->update();
}

void CNonPeriodic::chartContextMenu(const QPoint& pos, const QPoint& globalPos) {
  if (drag_ != DragState::Idle || !ctx_.session) return;
  selected_ = rejectionAt(ctx_.session->rejected, channel_, xToTime(pos));
  main_->viewport()->update();
  QMenu menu(this);
  QAction* del = menu.addAction(q(289));
  del->setData(kCmdDeleteRejection);
  del->setEnabled(selected_.has_value());
  QAction* all = menu.addAction(q(290));
  all->setData(kCmdDeleteAllRejections);
  all->setEnabled(hasRejections(ctx_.session->rejected, channel_));
  menu.addSeparator();
  QAction* autoA = menu.addAction(q(375));
  autoA->setData(kCmdAutoScale);
  autoA->setCheckable(true);
  autoA->setChecked(autoScale_[0]);
  QAction* scale = menu.addAction(q(376));
  scale->setData(kCmdSetScale);
  scale->setEnabled(!autoScale_[0]);
  switch (runMenu(menu, globalPos)) {
    case kCmdDeleteRejection:
      if (selected_) deleteRejection();
      break;
    case kCmdDeleteAllRejections:
      if (hasRejections(ctx_.session->rejected, channel_)) deleteAllRejections();
      break;
    case kCmdAutoScale:
      toggleAutoScale(0);
      break;
    case kCmdSetScale:
      setScale(0);
      break;
    default:
      break;
  }
}

void CNonPeriodic::smallContextMenu(int chart, const QPoint& globalPos) {
  QMenu menu(this);
  QAction* autoA = menu.addAction(q(375));
  autoA->setData(kCmdAutoScale);
  autoA->setCheckable(true);
  autoA->setChecked(autoScale_[static_cast<std::size_t>(chart)]);
  QAction* scale = menu.addAction(q(376));
  scale->setData(kCmdSetScale);
  scale->setEnabled(!autoScale_[static_cast<std::size_t>(chart)]);
  const int cmd = runMenu(menu, globalPos);
  if (cmd == kCmdAutoScale) toggleAutoScale(chart);
  if (cmd == kCmdSetScale) setScale(chart);
}

void CNonPeriodic::smallClicked(int chart, const QPoint& pos) {
  auto* v = small_[static_cast<std::size_t>(chart)];
  const double t = v->chart()->mapToValue(v->mapToScene(pos), v->chart()->series().front()).x();
  setView(t - viewSpan_ / 2, viewSpan_);
}

void CNonPeriodic::keyPressEvent(QKeyEvent* e) {
  const double step = viewSpan_ / 100.0;
  switch (e->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right: {
      cursor_ = std::clamp(cursor_ + (e->key() == Qt::Key_Left ? -step : step) *
                                         (e->modifiers() & Qt::ShiftModifier ? 10 : 1),
                           0.0, duration_);
      if (cursor_ < viewStart_ || cursor_ > viewStart_ + viewSpan_) setView(cursor_ - viewSpan_ / 2, viewSpan_);
      main_->cursor = cursor_;
      if (keyMark_) main_->band = std::make_pair(*keyMark_, cursor_);
      main_->viewport()->update();
      return;
    }
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
      setView(viewStart_ + (e->key() == Qt::Key_PageUp ? -viewSpan_ : viewSpan_), viewSpan_);
      return;
    case Qt::Key_Plus:
    case Qt::Key_Minus:
      setView(viewStart_, viewSpan_ * (e->key() == Qt::Key_Plus ? 0.5 : 2.0));
      return;
    case Qt::Key_BracketLeft:
      keyMark_ = cursor_;
      main_->band = std::make_pair(cursor_, cursor_);
      main_->viewport()->update();
      return;
    case Qt::Key_BracketRight:
      if (keyMark_) setRejection(*keyMark_, cursor_);
      keyMark_.reset();
      main_->band.reset();
      main_->viewport()->update();
      return;
    case Qt::Key_Escape:
      keyMark_.reset();
      main_->band.reset();
      main_->viewport()->update();
      return;
    case Qt::Key_Menu: {
      const QPointF p = main_->chart()->mapToPosition(QPointF(cursor_, axisY_->min()), line_);
      const QPoint local = main_->mapFromScene(QPointF(p.x(), main_->chart()->plotArea().center().y()));
      chartContextMenu(local, main_->mapToGlobal(local));
      return;
    }
    default:
      ReviewPage::keyPressEvent(e);
  }
}

}  // namespace rc
