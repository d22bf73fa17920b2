// The session's headers name a member "slots": they come before Qt's.
#include "editors/autoedit/auto_edit_session.h"
#include "editors/periodic/periodic_source.h"
#include "editors/ui/periodic_page.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QApplication>
#include <QItemSelectionModel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QShortcut>
#include <QSplitter>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "editors/autoedit/auto_edit_session.h"
#include "editors/periodic/periodic_source.h"
#include "editors/periodic/row_text.h"
#include "support/axis_division.h"
#include "support/language.h"
#include "support/locale.h"

namespace rc {

namespace {

// Language texts of the page's controls.
constexpr int kAddTextId = 13001, kSplitTextId = 13002, kAverageTextId = 13003, kUndoTextId = 13004,
              kCancelTextId = 13005, kSaveTextId = 13006, kEpochTextId = 13007, kStepTextId = 13008,
              kActivityTextId = 13009, kSessionTextId = 13010, kTimeColumnId = 13011, kIbiColumnId = 13012,
              kTimeFrameGroupId = 13013, kCycleLabelId = 13014, kEpochLabelId = 13015, kTimeAxisId = 13016;

QString text(int id, const char* fallback) {
  const std::string& s = str(id);
  return QString::fromStdString(s.empty() ? std::string(fallback) : s);
}

const QColor kSegmentColour(158, 180, 214);
QColor bandColour(std::int32_t op) {
  switch (op) {
    case kOpAdd:
      return QColor(255, 255, 0);
    case kOpSplit:
      return QColor(0, 255, 0);
    default:
      return QColor(0, 255, 255);
  }
}

}  // namespace

int PeriodicRowsModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_->rowCount());
}
int PeriodicRowsModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 2; }

QVariant PeriodicRowsModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || static_cast<std::size_t>(index.row()) >= rows_->rowCount()) return {};
  const PeriodicRow& r = rows_->rows()[static_cast<std::size_t>(index.row())];
  if (role == Qt::DisplayRole)
    return QString::fromStdString(index.column() == 0 ? r.time : localiseDecimal(r.interval));
  if (role == Qt::TextAlignmentRole) return int(Qt::AlignRight | Qt::AlignVCenter);
  return {};
}

QVariant PeriodicRowsModel::headerData(int section, Qt::Orientation o, int role) const {
  if (role != Qt::DisplayRole) return {};
  if (o == Qt::Vertical) return section + 1;
  return section == 0 ? text(kTimeColumnId, "Time") : text(kIbiColumnId, "IBI (ms)");
}

TachogramView::TachogramView(QWidget* parent) : QChartView(parent) {
  auto* chart = new QChart;
  chart->legend()->hide();
  chart->setMargins(QMargins(4, 4, 4, 4));
  series_ = new QLineSeries;
  chart->addSeries(series_);
  x_ = new QValueAxis;
  y_ = new QValueAxis;
  x_->setTitleText(text(kTimeAxisId, "Time (s)"));
  y_->setTitleText(text(kIbiColumnId, "IBI (ms)"));
  x_->setLabelFormat("%.0f");
  y_->setLabelFormat("%.0f");
  chart->addAxis(x_, Qt::AlignBottom);
  chart->addAxis(y_, Qt::AlignLeft);
  series_->attachAxis(x_);
  series_->attachAxis(y_);
  setChart(chart);
  setRenderHint(QPainter::Antialiasing, false);
  setMouseTracking(true);
}

void TachogramView::setData(std::span<const double> times, std::span<const float> values, double from, double to,
                            QColor line) {
  if (!(to > from)) to = from + 1.0;
  const auto lo = std::lower_bound(times.begin(), times.end(), from) - times.begin();
  const auto hi = std::upper_bound(times.begin(), times.end(), to) - times.begin();
  // One point before and after the window, so the line reaches its edges.
  const std::size_t a = static_cast<std::size_t>(std::max<std::ptrdiff_t>(0, lo - 1));
  const std::size_t b = std::min(times.size(), static_cast<std::size_t>(hi + 1));
  QList<QPointF> pts;
  float vmin = 1e30f, vmax = -1e30f;
  const int columns = std::max(200, width());
  if (b > a && b - a > static_cast<std::size_t>(4 * columns)) {
    // Long spans: the first, smallest, largest and last value of each pixel column.
    const double step = (to - from) / columns;
    std::size_t i = a;
    while (i < b) {
      const double colEnd = from + (std::floor((times[i] - from) / step) + 1.0) * step;
      // The column's first point is always taken, so rounding at a column
      // edge can never stall the walk.
      std::size_t j = i + 1, jmin = i, jmax = i;
      while (j < b && times[j] < colEnd) {
        if (values[j] < values[jmin]) jmin = j;
        if (values[j] > values[jmax]) jmax = j;
        ++j;
      }
      std::size_t picks[4] = {i, std::min(jmin, jmax), std::max(jmin, jmax), j - 1};
      for (std::size_t k = 0; k < 4; ++k)
        if (k == 0 || picks[k] != picks[k - 1]) pts.append(QPointF(times[picks[k]], values[picks[k]]));
      i = j;
    }
  } else {
    pts.reserve(static_cast<qsizetype>(b - a));
    for (std::size_t i = a; i < b; ++i) pts.append(QPointF(times[i], values[i]));
  }
  for (std::size_t i = static_cast<std::size_t>(lo); i < static_cast<std::size_t>(hi); ++i) {
    vmin = std::min(vmin, values[i]);
    vmax = std::max(vmax, values[i]);
  }
  if (vmin > vmax) vmin = 0.0f, vmax = 1000.0f;
  const double pad = std::max(20.0, 0.08 * (vmax - vmin));
  series_->setPen(QPen(line, 1.5));
  series_->replace(pts);
  plotted_ = static_cast<std::size_t>(pts.size());
  x_->setRange(from, to);
  const AxisDivision y = axisDivision(std::max(0.0, vmin - pad), vmax + pad, 4, true);
  y_->setRange(y.lo, y.hi);
  y_->setTickCount(y.segments + 1);
  viewport()->update();
}

void TachogramView::setBands(std::vector<Band> bands) {
  bands_ = std::move(bands);
  viewport()->update();
}

void TachogramView::setCursorTime(double t) {
  cursor_ = t;
  viewport()->update();
}

QPointF TachogramView::valueAt(const QPoint& p) const { return chart()->mapToValue(mapToScene(p), series_); }

void TachogramView::drawForeground(QPainter* painter, const QRectF& rect) {
  QChartView::drawForeground(painter, rect);
  const QRectF plot = chart()->plotArea();
  const auto xOf = [&](double t) { return chart()->mapToPosition(QPointF(t, y_->min()), series_).x(); };
  painter->save();
  painter->setClipRect(plot);
  for (const Band& b : bands_) {
    if (b.end < x_->min() || b.start > x_->max()) continue;
    const double x0 = xOf(b.start), x1 = std::max(xOf(b.end), x0 + 2.0);
    QColor c = b.colour;
    c.setAlpha(90);
    painter->fillRect(QRectF(x0, plot.top(), x1 - x0, plot.height()), c);
  }
  if (cursor_ >= x_->min() && cursor_ <= x_->max()) {
    painter->setPen(QPen(Qt::black, 1, Qt::DashLine));
    const double x = xOf(cursor_);
    painter->drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
  }
  painter->restore();
}

void TachogramView::mousePressEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton && chart()->plotArea().contains(mapToScene(e->pos())))
    Q_EMIT clickedAt(valueAt(e->pos()).x());
  if (e->button() == Qt::RightButton && chart()->plotArea().contains(mapToScene(e->pos()))) {
    Q_EMIT menuAt(valueAt(e->pos()).x(), e->globalPosition().toPoint(),
                  (e->modifiers() & Qt::ShiftModifier) != 0);
    return;
  }
  QChartView::mousePressEvent(e);
}

void TachogramView::mouseMoveEvent(QMouseEvent* e) {
  if (chart()->plotArea().contains(mapToScene(e->pos()))) Q_EMIT hoveredAt(valueAt(e->pos()).x());
  QChartView::mouseMoveEvent(e);
}

RawSignalStrip::RawSignalStrip(QWidget* parent) : QWidget(parent) {
  setMinimumHeight(90);
  setAutoFillBackground(true);
  QPalette p = palette();
  p.setColor(QPalette::Window, Qt::white);
  setPalette(p);
}

void RawSignalStrip::setSignal(std::span<const float> samples, double rate, QColor colour) {
  samples_ = samples;
  rate_ = rate;
  colour_ = colour;
  update();
}

void RawSignalStrip::showAround(double t, double halfSpan) {
  from_ = t - halfSpan;
  to_ = t + halfSpan;
  update();
}

void RawSignalStrip::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), Qt::white);
  p.setPen(QColor(200, 200, 200));
  p.drawRect(rect().adjusted(0, 0, -1, -1));
  if (samples_.empty() || !(rate_ > 0.0) || !(to_ > from_)) return;
  const int w = width() - 2, h = height() - 14;
  const auto first = static_cast<std::int64_t>(std::max(0.0, std::floor(from_ * rate_)));
  const auto last =
      std::min(static_cast<std::int64_t>(samples_.size()), static_cast<std::int64_t>(std::ceil(to_ * rate_)) + 1);
  if (last <= first) return;
  float lo = 1e30f, hi = -1e30f;
  for (std::int64_t i = first; i < last; ++i)
    if (std::isfinite(samples_[static_cast<std::size_t>(i)])) {
      lo = std::min(lo, samples_[static_cast<std::size_t>(i)]);
      hi = std::max(hi, samples_[static_cast<std::size_t>(i)]);
    }
  if (!(hi > lo)) hi = lo + 1.0f;
  const auto xOf = [&](double t) { return 1.0 + (t - from_) / (to_ - from_) * w; };
  const auto yOf = [&](float v) { return 12.0 + (1.0 - (v - lo) / (hi - lo)) * (h - 4); };
  // One vertical stroke per pixel column (its smallest to largest sample).
  p.setPen(QPen(colour_, 1));
  const double perColumn = (to_ - from_) * rate_ / w;
  if (perColumn > 2.0) {
    for (int x = 0; x < w; ++x) {
      const auto a = std::max(first, static_cast<std::int64_t>((from_ + (to_ - from_) * x / w) * rate_));
      const auto b = std::min(last, static_cast<std::int64_t>((from_ + (to_ - from_) * (x + 1) / w) * rate_) + 1);
      float mn = 1e30f, mx = -1e30f;
      for (auto i = a; i < b; ++i) {
        mn = std::min(mn, samples_[static_cast<std::size_t>(i)]);
        mx = std::max(mx, samples_[static_cast<std::size_t>(i)]);
      }
      if (mn <= mx) p.drawLine(QPointF(x + 1, yOf(mn)), QPointF(x + 1, yOf(mx)));
    }
  } else {
    QPolygonF poly;
    for (auto i = first; i < last; ++i) poly << QPointF(xOf(double(i) / rate_), yOf(samples_[static_cast<std::size_t>(i)]));
    p.drawPolyline(poly);
  }
  // Beats: a mark at each interval's start.
  p.setPen(QPen(Qt::black, 1));
  p.setBrush(Qt::black);
  const auto b0 = std::lower_bound(beats_.begin(), beats_.end(), from_);
  for (auto it = b0; it != beats_.end() && *it <= to_; ++it) {
    const double x = xOf(*it);
    QPolygonF tri;
    tri << QPointF(x - 4, 2) << QPointF(x + 4, 2) << QPointF(x, 10);
    p.drawPolygon(tri);
    p.setPen(QPen(QColor(0, 0, 0, 60), 1, Qt::DotLine));
    p.drawLine(QPointF(x, 10), QPointF(x, height() - 2));
    p.setPen(QPen(Qt::black, 1));
  }
}

CPeriodic::CPeriodic(ReviewContext& ctx, QWidget* parent) : ReviewPage(parent), ctx_(ctx) {
  model_ = new PeriodicRowsModel(&editor_.model(), this);
  rows_ = new QTableView(this);
  rows_->setModel(model_);
  rows_->setSelectionBehavior(QAbstractItemView::SelectRows);
  rows_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  rows_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  rows_->verticalHeader()->setDefaultSectionSize(rows_->fontMetrics().height() + 6);
  rows_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  rows_->setMinimumWidth(300);
  connect(rows_, &QTableView::doubleClicked, this, [this](const QModelIndex& i) {
    if (auto t = editor_.model().rowTime(static_cast<std::size_t>(i.row()))) setCursorTime(*t);
  });

  const auto makeButton = [this](int id, const char* fallback, const char* tip, auto slot) {
    auto* b = new QPushButton(text(id, fallback), this);
    if (tip) b->setToolTip(QString::fromUtf8(tip));
    connect(b, &QPushButton::clicked, this, slot);
    return b;
  };
  add_ = makeButton(kAddTextId, "&Add", "IBI = IBI1 + IBI2 + ...", &CPeriodic::add);
  split_ = makeButton(kSplitTextId, "S&plit", "IBI2 = IBI - IBI1", &CPeriodic::split);
  average_ = makeButton(kAverageTextId, "A&verage", "IBI1 = IBI2 = ... = IBIn = (IBI1 + IBI2 + ... + IBIn) / n",
                        &CPeriodic::average);
  undo_ = makeButton(kUndoTextId, "&Undo", nullptr, &CPeriodic::undo);
  cancel_ = makeButton(kCancelTextId, "&Cancel Changes", nullptr, &CPeriodic::cancelChanges);
  save_ = makeButton(kSaveTextId, "Sa&ve Changes", nullptr, &CPeriodic::saveChanges);
  // Ctrl+Z and Ctrl+S anywhere on the page (the row list has the focus while editing).
  const auto shortcut = [this](QKeySequence keys, QPushButton* b) {
    auto* s = new QShortcut(keys, this);
    s->setContext(Qt::WidgetWithChildrenShortcut);
    connect(s, &QShortcut::activated, b, [b] {
      if (b->isEnabled()) b->click();
    });
  };
  shortcut(QKeySequence(Qt::CTRL | Qt::Key_Z), undo_);
  shortcut(QKeySequence(Qt::CTRL | Qt::Key_S), save_);
  // The chart's menu from the keyboard (Shift+F10 or the menu key), at the
  // first selected row, else at the cursor.
  for (const QKeySequence& keys : {QKeySequence(Qt::SHIFT | Qt::Key_F10), QKeySequence(Qt::Key_Menu)}) {
    auto* s = new QShortcut(keys, this);
    s->setContext(Qt::WidgetWithChildrenShortcut);
    connect(s, &QShortcut::activated, this, [this] {
      const auto rows = selectedRows();
      const auto t = rows.empty() ? std::nullopt : editor_.model().rowTime(rows.front());
      chartMenu(t ? static_cast<double>(*t) : editor_.cursorTime(), chart_->mapToGlobal(chart_->rect().center()),
                false);
    });
  }

  auto* frameBox = new QGroupBox(text(kTimeFrameGroupId, "Time frame"), this);
  auto* frameLayout = new QHBoxLayout(frameBox);
  auto* group = new QButtonGroup(this);
  const int ids[4] = {kEpochTextId, kStepTextId, kActivityTextId, kSessionTextId};
  const char* fallbacks[4] = {"&Epoch", "S&tep", "Acti&vity", "Sessi&on"};
  for (int i = 0; i < 4; ++i) {
    frames_[i] = new QRadioButton(text(ids[i], fallbacks[i]), frameBox);
    group->addButton(frames_[i], i);
    frameLayout->addWidget(frames_[i]);
  }
  frames_[0]->setChecked(true);
  connect(group, &QButtonGroup::idClicked, this, [this](int id) { frameChosen(static_cast<TimeFrame>(id)); });
  spin_ = new QSpinBox(frameBox);
  spin_->setMinimum(1);
  connect(spin_, &QSpinBox::valueChanged, this, &CPeriodic::spinMoved);
  frameLayout->addSpacing(12);
  frameLayout->addWidget(spin_);
  cycle_ = new QLabel(frameBox);
  epoch_ = new QLabel(frameBox);
  description_ = new QLabel(frameBox);
  frameLayout->addWidget(new QLabel(text(kCycleLabelId, "Cycle:"), frameBox));
  frameLayout->addWidget(cycle_);
  frameLayout->addWidget(new QLabel(text(kEpochLabelId, "Epoch:"), frameBox));
  frameLayout->addWidget(epoch_);
  frameLayout->addWidget(description_, 1);

  chart_ = new TachogramView(this);
  chart_->setMinimumHeight(220);
  connect(chart_, &TachogramView::clickedAt, this, &CPeriodic::setCursorTime);
  connect(chart_, &TachogramView::hoveredAt, this, [this](double t) {
    hover_ = t;
    const char d = localeSeparators().decimal;
    Q_EMIT statusTimes(QString::fromStdString(formatRowTime(static_cast<float>(editor_.cursorTime()), d)),
                     QString::fromStdString(formatRowTime(static_cast<float>(std::max(0.0, t)), d)));
  });
  connect(chart_, &TachogramView::menuAt, this, &CPeriodic::chartMenu);
  strip_ = new RawSignalStrip(this);

  auto* buttons = new QVBoxLayout;
  for (auto* b : {add_, split_, average_, undo_, cancel_, save_}) buttons->addWidget(b);
  buttons->addStretch(1);
  auto* left = new QHBoxLayout;
  left->addWidget(rows_, 1);
  left->addLayout(buttons);
  auto* right = new QVBoxLayout;
  right->addWidget(frameBox);
  right->addWidget(chart_, 3);
  right->addWidget(strip_, 1);
  auto* top = new QHBoxLayout(this);
  top->setContentsMargins(4, 4, 4, 4);
  top->addLayout(left, 0);
  top->addLayout(right, 1);

  reload();
}

UserInterface& CPeriodic::ui() const {
  static SilentUi silent;
  return ctx_.ui ? *ctx_.ui : silent;
}

QPushButton* CPeriodic::button(int controlId) const {
  switch (controlId) {
    case 1018:
      return add_;
    case 1019:
      return split_;
    case 1020:
      return average_;
    case 1023:
      return undo_;
    case 1011:
      return cancel_;
    case 1010:
      return save_;
    default:
      return nullptr;
  }
}

void CPeriodic::reload() {
  const PeriodicSource src = periodicSourceOf(ctx_);
  editor_.load(src, ui());
  const RawSignal raw = heartRawSignal(ctx_);
  strip_->setSignal(raw.samples, raw.rate,
                    ctx_.heartSlot == kSlotEkg ? Qt::red : ctx_.heartSlot == kSlotBvp ? Qt::magenta : Qt::blue);
  showListed();
}

void CPeriodic::showListed() {
  updating_ = true;
  frames_[static_cast<int>(editor_.timeFrame())]->setChecked(true);
  updating_ = false;
  refreshRows();
  updateNavigation();
  updateButtons();
}

void CPeriodic::pageShown() { redraw(); }

std::vector<std::size_t> CPeriodic::selectedRows() const {
  std::vector<std::size_t> out;
  for (const QModelIndex& i : rows_->selectionModel()->selectedRows()) out.push_back(static_cast<std::size_t>(i.row()));
  std::sort(out.begin(), out.end());
  return out;
}

void CPeriodic::select(const std::vector<std::size_t>& rows) {
  QItemSelection sel;
  for (std::size_t r : rows) {
    if (r >= editor_.model().rowCount()) continue;
    sel.select(model_->index(static_cast<int>(r), 0), model_->index(static_cast<int>(r), 1));
  }
  rows_->selectionModel()->select(sel, QItemSelectionModel::ClearAndSelect);
  if (!rows.empty() && rows.front() < editor_.model().rowCount()) {
    rows_->selectionModel()->setCurrentIndex(model_->index(static_cast<int>(rows.front()), 0),
                                             QItemSelectionModel::NoUpdate);
    rows_->scrollTo(model_->index(static_cast<int>(rows.front()), 0));
  }
}

void CPeriodic::refreshRows() {
  model_->reset();
  times_ = editor_.rowStartTimes();
  values_ = editor_.model().values();
  strip_->setBeats(times_);
  redraw();
}

void CPeriodic::redraw() {
  const PeriodicWindow w = editor_.window();
  const QColor line = ctx_.heartSlot == kSlotEkg ? Qt::red : ctx_.heartSlot == kSlotBvp ? Qt::magenta : Qt::blue;
  chart_->setData(times_, values_, w.start, w.end, line);
  std::vector<TachogramView::Band> bands;
  for (const auto& s : editor_.segments().segments())
    if (s.source == editor_.source().sourceChannel) bands.push_back({s.start, s.end, kSegmentColour});
  for (const auto& e : editor_.model().edits()) bands.push_back({e.start, e.end, bandColour(e.operation)});
  chart_->setBands(std::move(bands));
  chart_->setCursorTime(editor_.cursorTime());
  updateStrip();
}

void CPeriodic::updateStrip() {
  const double half = std::clamp(ctx_.timeFrameSeconds / 2.0, 1.0, 5.0);
  strip_->showAround(editor_.cursorTime(), half);
}

void CPeriodic::updateButtons() {
  const bool dirty = editor_.pendingEdits() > 0;
  const bool editable = editor_.loaded() && !editor_.marksFull();
  add_->setEnabled(editable);
  split_->setEnabled(editable);
  average_->setEnabled(editable);
  undo_->setEnabled(dirty);
  cancel_->setEnabled(dirty);
  save_->setEnabled(dirty);
}

void CPeriodic::updateNavigation() {
  updating_ = true;
  const int count = editor_.indexCount();
  spin_->setRange(1, count);
  spin_->setValue(editor_.index() + 1);
  spin_->setEnabled(count > 1);
  const PeriodicWindow w = editor_.window();
  description_->setText(QString::fromStdString(w.description));
  cycle_->setText(QString::fromStdString(w.cycleText));
  epoch_->setText(QString::fromStdString(w.epochText));
  updating_ = false;
}

void CPeriodic::applied(const std::optional<EditApplied>& a, bool) {
  if (a) {
    refreshRows();
    select(a->selection);
  }
  updateButtons();
}

void CPeriodic::add() { applied(editor_.add(selectedRows(), ui()), true); }
void CPeriodic::split() { applied(editor_.split(selectedRows(), ui()), true); }
void CPeriodic::average() { applied(editor_.average(selectedRows(), ui()), true); }
void CPeriodic::undo() { applied(editor_.undo(), false); }

void CPeriodic::cancelChanges() {
  if (editor_.cancelChanges(ui())) refreshRows();
  updateButtons();
}

void CPeriodic::saveChanges() {
  if (editor_.save(true, ui())) {
    Q_EMIT statisticsOutOfDate();
    redraw();
  }
  updateButtons();
}

void CPeriodic::savePendingEdits() { saveChanges(); }

void CPeriodic::cancelPendingEdits() {
  editor_.dropPendingEdits();
  refreshRows();
  updateButtons();
}

void CPeriodic::setCursorTime(double t) {
  editor_.setCursorTime(t);
  chart_->setCursorTime(t);
  updateStrip();
  const char d = localeSeparators().decimal;
  Q_EMIT statusTimes(QString::fromStdString(formatRowTime(static_cast<float>(std::max(0.0, t)), d)),
                   QString::fromStdString(formatRowTime(static_cast<float>(std::max(0.0, hover_)), d)));
}

void CPeriodic::jumpTo(double t) {
  const int listed = editor_.listedSegment();
  const int index = editor_.index();
  editor_.jumpTo(t, ui());
  if (editor_.listedSegment() != listed || editor_.index() != index) {
    refreshRows();
    updateNavigation();
  }
  setCursorTime(t);
  select({editor_.model().rowAtTime(t)});
  redraw();
  updateButtons();
}

bool CPeriodic::canUndoSegmentAt(double t) const {
  return editor_.loaded() && editor_.pendingEdits() == 0 && editor_.segmentAt(t) >= 0;
}

bool CPeriodic::canUndoAllSegments() const {
  return editor_.loaded() && editor_.pendingEdits() == 0 && ctx_.undoAllSegments &&
         editor_.segments().countFor(editor_.source().sourceChannel) > 0;
}

bool CPeriodic::undoSegmentAt(double t) {
  if (!canUndoSegmentAt(t)) return false;
  const int seg = editor_.segmentAt(t);
  const bool done = editor_.undoSegment(static_cast<std::size_t>(seg), [this] {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    auto fresh = detectSeriesAgain(*ctx_.session, ctx_.heartSlot);
    QApplication::restoreOverrideCursor();
    return fresh;
  }, ui());
  if (!done) return false;
  showListed();
  redraw();
  Q_EMIT statisticsOutOfDate();
  return true;
}

bool CPeriodic::undoAllSegments() {
  if (!canUndoAllSegments()) return false;
  return ctx_.undoAllSegments(ctx_.heartSlot);
}

void CPeriodic::chartMenu(double t, const QPoint& at, bool shift) {
  if (shift) {
    jumpTo(t);
    return;
  }
  QMenu menu(this);
  QAction* jump = menu.addAction(text(237, "Jump"));
  QAction* undoSegment = menu.addAction(text(238, "Undo Segment"));
  undoSegment->setEnabled(canUndoSegmentAt(t));
  QAction* undoAll = menu.addAction(text(297, "Undo All Segments"));
  undoAll->setEnabled(canUndoAllSegments());
  QAction* chosen = menu.exec(at);
  if (chosen == jump)
    jumpTo(t);
  else if (chosen == undoSegment)
    undoSegmentAt(t);
  else if (chosen == undoAll)
    undoAllSegments();
}

void CPeriodic::frameChosen(TimeFrame f) {
  if (updating_) return;
  const bool hadEdits = editor_.pendingEdits() > 0;
  const int listed = editor_.listedSegment();
  editor_.setTimeFrame(f, ui());
  // The rows change only when another stretch is listed or pending edits were resolved.
  if (hadEdits || editor_.listedSegment() != listed)
    refreshRows();
  else
    redraw();
  updateNavigation();
  updateButtons();
}

void CPeriodic::spinMoved(int value) {
  if (updating_) return;
  const bool hadEdits = editor_.pendingEdits() > 0;
  const int listed = editor_.listedSegment();
  editor_.spin(value - 1 - editor_.index(), ui());
  if (hadEdits || editor_.listedSegment() != listed)
    refreshRows();
  else
    redraw();
  updateNavigation();
  updateButtons();
}

AutoEditOutcome CPeriodic::runAutoEdit() {
  editor_.resolvePending(ui());
  const AutoEditOutcome out = rc::runAutoEdit(ctx_, editor_.segments(), ui());
  if (out == AutoEditOutcome::StoredIntervals || out == AutoEditOutcome::StoredIntervalsAndMarks) {
    if (ctx_.recompute) ctx_.recompute();
    Q_EMIT statisticsOutOfDate();
    reload();
  }
  return out;
}

}  // namespace rc
