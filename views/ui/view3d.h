#pragma once
// The 3D spectrum viewer: a modal window with the 61 sliding spectra of one
// epoch as a coloured surface (Qt Data Visualization). The first drawing and
// the drawing after a change of signal wait for a 50 ms one-shot timer, so
// the window shows first and fills a moment later. Mouse drags pan, zoom and
// rotate the view; the five view parameters are written into the session's
// analysis settings on every mouse-up and by "Restore 3D settings".
#include <QDialog>
#include <QTimer>
#include <array>
#include <optional>

#include "analysis/protocol/settings.h"
#include "views/epochview/epoch_view_data.h"
#include "views/epochview/palette.h"
#include "views/epochview/view3d_params.h"

QT_BEGIN_NAMESPACE
class Q3DSurface;
class QLabel;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QSurface3DSeries;
QT_END_NAMESPACE

namespace rc {

class C3DView : public QDialog {
  Q_OBJECT

 public:
  // data and settings belong to the caller and outlive the window. position:
  // open sessions 2 .. max(2, epochs); scripted sessions 1 .. the number of
  // step epochs the 3D view may show.
  C3DView(const EpochViewData& data, AnalysisSettings& settings, int signal, std::int64_t position,
          QWidget* parent = nullptr);
  ~C3DView() override;

  int signal() const { return signal_; }
  std::int64_t position() const { return position_; }
  View3DParams params() const { return params_; }
  bool drawn() const { return drawCount_ > 0; }
  int drawCount() const { return drawCount_; }
  std::size_t rowsDrawn() const { return rows_; }
  double largestPower() const { return lastMax_; }
  bool dragging() const { return drag_.active(); }

  Q3DSurface* surface() const { return surface_; }
  QWidget* surfaceWidget() const { return container_; }
  QSpinBox* epochSpin() const { return spin_; }
  QPushButton* restoreButton() const { return restore_; }
  QRadioButton* signalButton(int signal) const { return signal == kViewBvp ? bvp_ : ekg_; }

  // The gestures, in the 3D chart's button and modifier codes (the chart's
  // input handler maps Qt's mouse events onto them).
  void mousePress(int buttonCode, int modifierCode, QPoint at);
  void mouseMove(QPoint at);
  void mouseRelease();
  void restore3DSettings();
  void chooseSignal(int signal);
  void moveTo(std::int64_t position);
  // Draws at once (what the deferred timer does).
  void drawNow();

 Q_SIGNALS:
  void drawnSurface();

 protected:
  void keyPressEvent(QKeyEvent* e) override;

 private:
  void scheduleDraw();
  void applyParams(const View3DParams& p);
  void storeParams();
  void rebuildPalette(double largest);

  const EpochViewData& data_;
  AnalysisSettings& settings_;
  int signal_;
  std::int64_t position_;
  std::int64_t count_ = 0;
  View3DParams params_;
  DragTracker drag_;
  QTimer timer_;
  Q3DSurface* surface_ = nullptr;
  QWidget* container_ = nullptr;
  QSurface3DSeries* series_ = nullptr;
  QSpinBox* spin_ = nullptr;
  QPushButton* restore_ = nullptr;
  QRadioButton* ekg_ = nullptr;
  QRadioButton* bvp_ = nullptr;
  QLabel* status_ = nullptr;
  double lastMax_ = -1000.0;
  int drawCount_ = 0;
  std::size_t rows_ = 0;
};

}  // namespace rc
