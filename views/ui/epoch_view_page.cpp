#include "views/ui/epoch_view_page.h"

#include <QButtonGroup>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QSvgGenerator>
#include <QVBoxLayout>
#include <QtCharts/QChartView>
#include <algorithm>

#include "support/language.h"
#include "views/ui/scale_dialog.h"
#include "views/ui/view3d.h"

namespace rc {
namespace {

constexpr int kEkgId = 119;
constexpr int kBvpId = 120;
constexpr int kSignalId = 254;
constexpr int kView3DId = 15014;
constexpr int kSaveImageId = 15016;
constexpr int kEpochOfId = 15017;
constexpr int kCycleEpochId = 15018;
constexpr int kPngId = 15019;
constexpr int kSvgId = 15020;
constexpr int kImageNotSavedId = 15022;
constexpr int kLabelJoinId = 374;

std::size_t idx(EpochChart c) { return static_cast<std::size_t>(c); }

}  // namespace

CEpochView::CEpochView(ReviewContext& ctx, QWidget* parent) : ReviewPage(parent), ctx_(ctx) {
  auto* top = new QHBoxLayout;
  auto* signalLabel = new QLabel(langText(kSignalId) + ":", this);
  ekg_ = new QRadioButton(langText(kEkgId), this);
  bvp_ = new QRadioButton(langText(kBvpId), this);
  auto* group = new QButtonGroup(this);
  group->addButton(ekg_, kViewEkg);
  group->addButton(bvp_, kViewBvp);
  ekg_->setChecked(true);
  connect(group, &QButtonGroup::idClicked, this, [this](int id) { chooseSignal(id); });
  spin_ = new QSpinBox(this);
  spin_->setMinimumWidth(80);
  spin_->setKeyboardTracking(false);
  connect(spin_, &QSpinBox::valueChanged, this, [this](int v) {
    if (filling_) return;
    if (!moveTo(spinToPosition(v))) {
      const QSignalBlocker block(spin_);
      spin_->setValue(positionToSpin(state_.position(data_)));
    }
  });
  label_ = new QLabel(this);
  label_->setMinimumWidth(260);
  view3D_ = new QPushButton(langText(kView3DId), this);
  view3D_->setShortcut(QKeySequence(Qt::ALT | Qt::Key_3));
  connect(view3D_, &QPushButton::clicked, this, &CEpochView::open3DViewer);
  top->addWidget(signalLabel);
  top->addWidget(ekg_);
  top->addWidget(bvp_);
  top->addSpacing(24);
  top->addWidget(new QLabel(langText(253) + ":", this));
  top->addWidget(spin_);
  top->addWidget(label_, 1);
  top->addWidget(view3D_);

  auto* grid = new QGridLayout;
  for (EpochChart c : {EpochChart::Tachogram, EpochChart::Poincare, EpochChart::Spectrum}) {
    auto* v = new QChartView(charts_.chart(c), this);
    v->setRenderHint(QPainter::Antialiasing);
    v->setContextMenuPolicy(Qt::CustomContextMenu);
    v->setFocusPolicy(Qt::StrongFocus);
    v->setMinimumSize(240, 180);
    connect(v, &QWidget::customContextMenuRequested, this, [this, c, v](const QPoint& at) {
      QMenu* m = makeChartMenu(c);
      m->exec(v->mapToGlobal(at));
      delete m;
    });
    views_[idx(c)] = v;
  }
  charts_.releaseCharts();
  grid->addWidget(views_[idx(EpochChart::Tachogram)], 0, 0, 1, 2);
  grid->addWidget(views_[idx(EpochChart::Poincare)], 1, 0);
  grid->addWidget(views_[idx(EpochChart::Spectrum)], 1, 1);
  grid->setRowStretch(0, 4);
  grid->setRowStretch(1, 5);
  grid->setColumnStretch(0, 4);
  grid->setColumnStretch(1, 6);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addLayout(grid, 1);
  fill();
}

CEpochView::~CEpochView() = default;

void CEpochView::fill() {
  filling_ = true;
  if (ctx_.session && ctx_.results)
    data_.fill(*ctx_.session, *ctx_.results, ctx_.session->settings.epochTime);
  else
    data_.clear();
  state_.epochNumber = 1;
  state_.stepIndex = 0;
  int signal = ctx_.heartSlot == kSlotBvp ? kViewBvp : kViewEkg;
  if (!data_.hasSignal(signal) && data_.hasSignal(1 - signal)) signal = 1 - signal;
  state_.signal = signal;
  charts_.setSignal(signal);
  updateControls();
  filling_ = false;
  redraw();
}

void CEpochView::signalChanged() {
  if (ctx_.heartSlot == kSlotEkg || ctx_.heartSlot == kSlotBvp) {
    const int s = ctx_.heartSlot == kSlotBvp ? kViewBvp : kViewEkg;
    if (s != state_.signal && data_.hasSignal(s)) chooseSignal(s);
  }
}

std::int64_t CEpochView::spinToPosition(int value) const { return data_.scripted() ? value - 1 : value; }
int CEpochView::positionToSpin(std::int64_t p) const { return static_cast<int>(data_.scripted() ? p + 1 : p); }

void CEpochView::updateControls() {
  const std::int64_t count = data_.epochCount();
  const QSignalBlocker block(spin_);
  spin_->setRange(1, static_cast<int>(std::max<std::int64_t>(1, std::min<std::int64_t>(count, INT32_MAX))));
  spin_->setValue(positionToSpin(state_.position(data_)));
  spin_->setEnabled(count > 0);
  ekg_->setEnabled(data_.hasSignal(kViewEkg));
  bvp_->setEnabled(data_.hasSignal(kViewBvp));
  (state_.signal == kViewBvp ? bvp_ : ekg_)->setChecked(true);
  const bool any3D = data_.scripted() ? !data_.stepEpochs3D().empty() : count > 0;
  view3D_->setEnabled(any3D && data_.hasSignal(state_.signal));
}

void CEpochView::updateLabel() {
  const std::int64_t count = data_.epochCount();
  if (count <= 0) {
    label_->clear();
    return;
  }
  if (!data_.scripted()) {
    label_->setText(QString::fromStdString(
        substituteArgs(str(kEpochOfId), static_cast<long long>(state_.epochNumber), static_cast<long long>(count))));
    return;
  }
  const StepEpoch& e = data_.stepEpochs()[static_cast<std::size_t>(state_.stepIndex)];
  const std::string where = e.activityLabel + str(kLabelJoinId) + e.stepLabel;
  const std::string nums =
      substituteArgs(str(kCycleEpochId), static_cast<long long>(e.cycle), static_cast<long long>(e.epoch));
  label_->setText(QString::fromStdString(where + " - " + nums));
}

void CEpochView::redraw() {
  std::optional<EpochCharts> c = data_.charts(state_.signal, state_.position(data_));
  if (!c) c = EpochCharts{};
  state_.adopt(*c);
  for (QChartView* v : views_) v->setUpdatesEnabled(false);
  charts_.show(*c, state_, ctx_.barsOn2DGraph);
  for (QChartView* v : views_) v->setUpdatesEnabled(true);
  updateLabel();
}

bool CEpochView::moveTo(std::int64_t position) {
  const std::int64_t count = data_.epochCount();
  if (count <= 0) return false;
  if (data_.scripted()) {
    position = std::clamp<std::int64_t>(position, 0, count - 1);
    if (!data_.stepEpochStart(state_.signal, static_cast<std::size_t>(position))) {
      if (ctx_.ui) ctx_.ui->showMessage(messageOf(kStepNotFoundId), Icon::Warning);
      return false;
    }
    state_.stepIndex = position;
  } else {
    state_.epochNumber = std::clamp<std::int64_t>(position, 1, count);
  }
  {
    const QSignalBlocker block(spin_);
    spin_->setValue(positionToSpin(state_.position(data_)));
  }
  redraw();
  return true;
}

void CEpochView::chooseSignal(int signal) {
  if (!data_.hasSignal(signal)) return;
  const bool changed = signal != state_.signal;
  state_.signal = signal;
  charts_.setSignal(signal);
  updateControls();
  redraw();
  if (changed) emit heartSignalChosen(signal == kViewBvp ? kSlotBvp : kSlotEkg);
}

void CEpochView::toggleBars() {
  ctx_.barsOn2DGraph = !ctx_.barsOn2DGraph;
  redraw();
}

void CEpochView::toggleTachogramPoints() {
  state_.tachogramPoints = !state_.tachogramPoints;
  redraw();
}

void CEpochView::setAutoScale(EpochChart c, bool on) {
  bool* flag = c == EpochChart::Tachogram ? &state_.autoTachogram
               : c == EpochChart::Poincare ? &state_.autoPoincare
                                           : &state_.autoSpectrum;
  *flag = on;
  if (on) redraw();
}

void CEpochView::editScale(EpochChart c) {
  SilentUi silent;
  CScaleDialog dlg(c, currentScale(state_, c), ctx_.ui ? *ctx_.ui : static_cast<UserInterface&>(silent), this);
  if (dlg.exec() == QDialog::Accepted) setScale(state_, c, dlg.range());
  charts_.applyAxes(state_);
}

QMenu* CEpochView::makeChartMenu(EpochChart c) {
  auto* m = new QMenu(this);
  const ChartMenu menu = chartMenu(state_, c, ctx_.barsOn2DGraph);
  if (menu.toggleId != 0) {
    QAction* t = m->addAction(langText(menu.toggleId));
    if (c == EpochChart::Spectrum)
      connect(t, &QAction::triggered, this, &CEpochView::toggleBars);
    else
      connect(t, &QAction::triggered, this, &CEpochView::toggleTachogramPoints);
  }
  QAction* a = m->addAction(langText(kAutoScaleId));
  a->setCheckable(true);
  a->setChecked(menu.autoChecked);
  connect(a, &QAction::triggered, this, [this, c](bool on) { setAutoScale(c, on); });
  QAction* s = m->addAction(langText(kSetScaleId));
  s->setEnabled(menu.setScaleEnabled);
  connect(s, &QAction::triggered, this, [this, c] { editScale(c); });
  m->addSeparator();
  QAction* img = m->addAction(langText(kSaveImageId));
  connect(img, &QAction::triggered, this, [this, c] { saveImage(c); });
  return m;
}

void CEpochView::saveImage(EpochChart c) {
  if (!ctx_.ui) return;
  FileDialogRequest req;
  req.save = true;
  req.title = str(kSaveImageId);
  req.fileName = "chart.png";
  req.filters = {{str(kPngId), "*.png"}, {str(kSvgId), "*.svg"}};
  req.defaultSuffix = "png";
  const std::optional<std::filesystem::path> file = ctx_.ui->chooseFile(req);
  if (!file) return;
  QChartView* v = views_[idx(c)];
  const QString path = QString::fromStdString(file->string());
  bool ok = false;
  if (QFileInfo(path).suffix().compare("svg", Qt::CaseInsensitive) == 0) {
    QSvgGenerator svg;
    svg.setFileName(path);
    svg.setSize(v->size());
    svg.setViewBox(QRect(QPoint(0, 0), v->size()));
    svg.setTitle(charts_.chart(c)->title());
    QPainter p;
    if (p.begin(&svg)) {
      v->render(&p);
      ok = p.end();
    }
    ok = ok && QFileInfo::exists(path);
  } else {
    ok = v->grab().save(path, "PNG");
  }
  if (!ok)
    ctx_.ui->showMessage(MessageBuilder().id(kImageNotSavedId).text(" ").text(file->string()), Icon::Warning);
}

void CEpochView::open3DViewer() {
  if (!ctx_.session) return;
  std::int64_t position = 2;
  if (data_.scripted()) {
    const auto& list = data_.stepEpochs3D();
    if (list.empty()) return;
    position = 1;
    for (std::size_t i = 0; i < list.size(); ++i)
      if (list[i] <= static_cast<std::size_t>(state_.stepIndex)) position = static_cast<std::int64_t>(i + 1);
  } else {
    position = std::max<std::int64_t>(2, state_.epochNumber);
  }
  C3DView viewer(data_, ctx_.session->settings, state_.signal, position, this);
  emit viewer3DOpened(&viewer);
  viewer.exec();
  if (viewer.signal() != state_.signal && data_.hasSignal(viewer.signal())) chooseSignal(viewer.signal());
}

}  // namespace rc
