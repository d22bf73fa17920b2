#include "views/ui/view3d.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <QtDataVisualization/Q3DCamera>
#include <QtDataVisualization/Q3DInputHandler>
#include <QtDataVisualization/Q3DScene>
#include <QtDataVisualization/Q3DSurface>
#include <QtDataVisualization/Q3DTheme>
#include <QtDataVisualization/QSurface3DSeries>
#include <QtDataVisualization/QSurfaceDataProxy>
#include <QtDataVisualization/QValue3DAxis>
#include <algorithm>

#include "support/axis_division.h"
#include "support/language.h"
#include "views/ui/epoch_charts.h"

namespace rc {
namespace {

constexpr int kTitleId = 15021;
constexpr int kRestoreId = 15015;
constexpr int kHintId = 15023;
constexpr int kEpochId = 253;
constexpr int kEkgId = 119;
constexpr int kBvpId = 120;
constexpr int kFrequencyId = 15007;
constexpr int kPowerId = 15008;
constexpr int kTimeId = 156;
constexpr int kDeferMs = 50;

// Qt's mouse events in the chart's codes.
int buttonCodeOf(Qt::MouseButton b) {
  switch (b) {
    case Qt::LeftButton:
      return kButtonPrimary;
    case Qt::RightButton:
      return 2;
    default:
      return 4;
  }
}

int modifierCodeOfEvent(const QInputEvent* e) {
  const Qt::KeyboardModifiers m = e->modifiers();
  return modifierCodeOf(m.testFlag(Qt::ShiftModifier), m.testFlag(Qt::ControlModifier), m.testFlag(Qt::AltModifier));
}

// Hands the chart's mouse events to the viewer; nothing else moves the camera.
class GestureInput : public QAbstract3DInputHandler {
 public:
  explicit GestureInput(C3DView* view) : view_(view) {}
  void mousePressEvent(QMouseEvent* e, const QPoint& at) override {
    view_->mousePress(buttonCodeOf(e->button()), modifierCodeOfEvent(e), at);
  }
  void mouseMoveEvent(QMouseEvent*, const QPoint& at) override { view_->mouseMove(at); }
  void mouseReleaseEvent(QMouseEvent*, const QPoint&) override { view_->mouseRelease(); }
  void wheelEvent(QWheelEvent*) override {}

 private:
  C3DView* view_;
};

QColor colourOf(PackedColour c) { return QColor(redOf(c), greenOf(c), blueOf(c)); }

}  // namespace

C3DView::C3DView(const EpochViewData& data, AnalysisSettings& settings, int signal, std::int64_t position,
                 QWidget* parent)
    : QDialog(parent), data_(data), settings_(settings), signal_(signal), position_(position) {
  setWindowTitle(langText(kTitleId));
  setModal(true);
  params_ = view3DParams(settings_);

  surface_ = new Q3DSurface;
  surface_->setActiveInputHandler(new GestureInput(this));
  surface_->activeTheme()->setType(Q3DTheme::ThemeQt);
  surface_->activeTheme()->setLightStrength(2.5f);
  surface_->activeTheme()->setAmbientLightStrength(0.45f);
  QFont labels = surface_->activeTheme()->font();
  labels.setPointSizeF(std::max<qreal>(labels.pointSizeF(), 12.0) * 1.8);
  surface_->activeTheme()->setFont(labels);
  surface_->setShadowQuality(QAbstract3DGraph::ShadowQualityNone);
  // Frequency (0 .. 0.4 Hz) and depth (one epoch, seconds) drawn as equally
  // long sides, not in the ratio of their ranges.
  surface_->setHorizontalAspectRatio(1.0);
  surface_->axisX()->setTitle(langText(kFrequencyId));
  surface_->axisY()->setTitle(langText(kPowerId));
  surface_->axisZ()->setTitle(langText(kTimeId));
  for (QValue3DAxis* a : {surface_->axisX(), surface_->axisY(), surface_->axisZ()}) {
    a->setTitleVisible(true);
    a->setLabelFormat("%.3g");
  }
  surface_->axisY()->setLabelFormat("%.6g");
  surface_->axisZ()->setLabelFormat("%.0f");
  series_ = new QSurface3DSeries;
  series_->setDrawMode(QSurface3DSeries::DrawSurface);
  series_->setFlatShadingEnabled(false);
  series_->setColorStyle(Q3DTheme::ColorStyleRangeGradient);
  surface_->addSeries(series_);
  container_ = QWidget::createWindowContainer(surface_, this);
  container_->setMinimumSize(640, 420);
  container_->setFocusPolicy(Qt::StrongFocus);

  auto* top = new QHBoxLayout;
  ekg_ = new QRadioButton(langText(kEkgId), this);
  bvp_ = new QRadioButton(langText(kBvpId), this);
  ekg_->setEnabled(data_.hasSignal(kViewEkg));
  bvp_->setEnabled(data_.hasSignal(kViewBvp));
  (signal_ == kViewBvp ? bvp_ : ekg_)->setChecked(true);
  auto* group = new QButtonGroup(this);
  group->addButton(ekg_, kViewEkg);
  group->addButton(bvp_, kViewBvp);
  connect(group, &QButtonGroup::idClicked, this, &C3DView::chooseSignal);
  spin_ = new QSpinBox(this);
  spin_->setKeyboardTracking(false);
  if (data_.scripted()) {
    count_ = static_cast<std::int64_t>(data_.stepEpochs3D().size());
    spin_->setRange(1, static_cast<int>(std::max<std::int64_t>(1, count_)));
    position_ = std::clamp<std::int64_t>(position_, 1, std::max<std::int64_t>(1, count_));
  } else {
    count_ = data_.epochCount();
    spin_->setRange(2, static_cast<int>(std::max<std::int64_t>(2, count_)));
    position_ = std::clamp<std::int64_t>(position_, 2, std::max<std::int64_t>(2, count_));
  }
  spin_->setValue(static_cast<int>(position_));
  spin_->setEnabled(count_ >= 3);
  connect(spin_, &QSpinBox::valueChanged, this, [this](int v) { moveTo(v); });
  restore_ = new QPushButton(langText(kRestoreId), this);
  connect(restore_, &QPushButton::clicked, this, &C3DView::restore3DSettings);
  top->addWidget(ekg_);
  top->addWidget(bvp_);
  top->addSpacing(20);
  top->addWidget(new QLabel(langText(kEpochId) + ":", this));
  top->addWidget(spin_);
  top->addStretch(1);
  top->addWidget(restore_);

  status_ = new QLabel(langText(kHintId), this);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(status_, 1);
  bottom->addWidget(buttons);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(container_, 1);
  layout->addLayout(bottom);
  resize(900, 640);

  applyParams(params_);
  timer_.setSingleShot(true);
  timer_.setInterval(kDeferMs);
  connect(&timer_, &QTimer::timeout, this, [this] {
    timer_.stop();
    drawNow();
  });
  scheduleDraw();
}

C3DView::~C3DView() = default;

void C3DView::scheduleDraw() { timer_.start(); }

void C3DView::drawNow() {
  const std::optional<Spectra3D> sp = data_.spectra3D(signal_, position_);
  if (!sp) return;  // no buffers, no data: the drawing is skipped
  auto* array = new QSurfaceDataArray;
  array->reserve(static_cast<qsizetype>(sp->rows()));
  const std::size_t m = static_cast<std::size_t>(sp->m);
  for (std::size_t r = 0; r < sp->rows(); ++r) {
    auto* row = new QSurfaceDataRow(static_cast<qsizetype>(m));
    const float z = static_cast<float>(sp->depth[r]);
    for (std::size_t j = 0; j < m; ++j)
      (*row)[static_cast<qsizetype>(j)].setPosition(
          QVector3D(static_cast<float>(sp->frequency[j]), static_cast<float>(sp->power[r * m + j]), z));
    array->append(row);
  }
  series_->dataProxy()->resetArray(array);
  rows_ = sp->rows();
  const double largest = sp->maxPower();
  if (largest != lastMax_) rebuildPalette(largest);
  // Labels at round values: frequency and time keep their ranges, power
  // grows to the next labelled line.
  auto divide = [](QValue3DAxis* axis, const AxisDivision& d) {
    axis->setRange(static_cast<float>(d.lo), static_cast<float>(d.hi));
    axis->setSegmentCount(d.segments);
  };
  divide(surface_->axisX(), axisDivision(0.0, m * sp->df, 4, false));
  divide(surface_->axisZ(), axisDivision(sp->depthStart, sp->depthEnd, 4, false));
  divide(surface_->axisY(), axisDivision(0.0, largest > 0 ? largest : 1.0, 4, true));
  ++drawCount_;
  emit drawnSurface();
}

void C3DView::rebuildPalette(double largest) {
  lastMax_ = largest;
  if (!(largest > 0)) return;
  const std::array<PaletteLevel, kPaletteLevels> levels = spectrumPalette(largest);
  // Level i holds the powers from its start up to the next level's start;
  // powers below level 1 take its colour.
  QLinearGradient g(0, 0, 1, 0);
  g.setColorAt(0.0, colourOf(levels[0].colour));
  for (int i = 0; i + 1 < kPaletteLevels; ++i) {
    const double from = levels[static_cast<std::size_t>(i)].start / largest;
    const double to = levels[static_cast<std::size_t>(i + 1)].start / largest;
    const QColor c = colourOf(levels[static_cast<std::size_t>(i)].colour);
    g.setColorAt(std::clamp(from, 0.0, 1.0), c);
    g.setColorAt(std::clamp(to - 1e-6, 0.0, 1.0), c);
  }
  g.setColorAt(1.0, colourOf(levels[kPaletteLevels - 1].colour));
  series_->setBaseGradient(g);
  series_->setColorStyle(Q3DTheme::ColorStyleRangeGradient);
}

void C3DView::applyParams(const View3DParams& p) {
  const CameraPose pose = cameraPoseOf(p);
  Q3DCamera* cam = surface_->scene()->activeCamera();
  cam->setMinZoomLevel(10.0f);
  cam->setMaxZoomLevel(500.0f);
  cam->setCameraPosition(pose.xRotation, pose.yRotation, pose.zoomLevel);
  cam->setTarget(QVector3D(pose.targetX, pose.targetY, 0.0f));
}

void C3DView::storeParams() { setView3DParams(settings_, params_); }

void C3DView::mousePress(int buttonCode, int modifierCode, QPoint at) {
  if (!drag_.press(buttonCode, modifierCode, at.x(), at.y(), params_)) return;
  series_->setDrawMode(QSurface3DSeries::DrawWireframe);
}

void C3DView::mouseMove(QPoint at) {
  if (!drag_.active()) return;
  params_ = drag_.move(at.x(), at.y());
  applyParams(params_);
}

void C3DView::mouseRelease() {
  if (!drag_.active()) return;
  drag_.release();
  storeParams();
  series_->setDrawMode(QSurface3DSeries::DrawSurface);
}

void C3DView::restore3DSettings() {
  params_ = kRestored3DParams;
  applyParams(params_);
  storeParams();
}

void C3DView::chooseSignal(int signal) {
  if (signal == signal_ || !data_.hasSignal(signal)) return;
  signal_ = signal;
  (signal_ == kViewBvp ? bvp_ : ekg_)->setChecked(true);
  scheduleDraw();
}

void C3DView::moveTo(std::int64_t position) {
  const std::int64_t lo = data_.scripted() ? 1 : 2;
  position = std::clamp<std::int64_t>(position, lo, std::max<std::int64_t>(lo, count_));
  if (position == position_) return;
  position_ = position;
  {
    const QSignalBlocker block(spin_);
    spin_->setValue(static_cast<int>(position_));
  }
  drawNow();
}

void C3DView::keyPressEvent(QKeyEvent* e) {
  // The gestures from the keyboard: arrows rotate, Shift+arrows pan, + and - zoom.
  View3DParams p = params_;
  const bool shift = e->modifiers().testFlag(Qt::ShiftModifier);
  const int step = 5;
  switch (e->key()) {
    case Qt::Key_Left:
      *(shift ? &p.horizOffset : &p.elevation) += shift ? -step : step;
      break;
    case Qt::Key_Right:
      *(shift ? &p.horizOffset : &p.elevation) += shift ? step : -step;
      break;
    case Qt::Key_Up:
      *(shift ? &p.vertOffset : &p.rotation) += shift ? -step : step;
      break;
    case Qt::Key_Down:
      *(shift ? &p.vertOffset : &p.rotation) += shift ? step : -step;
      break;
    case Qt::Key_Plus:
    case Qt::Key_Equal:
      p.zoom += step;
      break;
    case Qt::Key_Minus:
      p.zoom -= step;
      break;
    default:
      QDialog::keyPressEvent(e);
      return;
  }
  params_ = p;
  applyParams(params_);
  storeParams();
}

}  // namespace rc
