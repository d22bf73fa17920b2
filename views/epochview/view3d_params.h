#pragma once
// The five view parameters of the 3D spectrum viewer (pan, zoom and the two
// angles) and the mouse drags that change them. They are shared by every 3D
// window of a loaded session and kept in the analysis settings; the
// container writes them into the session's configuration file at close.
#include <filesystem>

#include "analysis/protocol/settings.h"
#include "support/status.h"

namespace rc {

class CXMLMarkup;

struct View3DParams {
  int horizOffset = 4;
  int vertOffset = -10;
  int zoom = 70;
  int elevation = 334;
  int rotation = 327;
  bool operator==(const View3DParams&) const = default;
};

// The values "Restore 3D settings" applies.
inline constexpr View3DParams kRestored3DParams{};

View3DParams view3DParams(const AnalysisSettings& s);
void setView3DParams(AnalysisSettings& s, const View3DParams& p);

// Writes "HorizOffset", "VertOffset", "Zoom", "Elevation" and "Rotation"
// ("%d") into "Settings" of the configuration document; false when the
// document has no root element.
bool writeView3DParams(CXMLMarkup& config, const View3DParams& p);
// The same, then the document is saved to file (what the container does at close).
Status storeView3DParams(CXMLMarkup& config, const std::filesystem::path& file, const View3DParams& p);

// A mouse-down carries a button code (1 = the primary button) and a modifier
// code: 1 starts a pan, 2 a zoom, 4 a rotation; anything else starts nothing.
enum class Drag3D { None, Pan, Zoom, Rotate };
Drag3D dragOf(int buttonCode, int modifierCode);

// The gestures of this program: with the primary button, Shift pans, Ctrl
// zooms and no modifier rotates; other buttons and combinations give codes
// that start nothing.
inline constexpr int kButtonPrimary = 1;
int modifierCodeOf(bool shift, bool ctrl, bool alt);

// One drag: the parameters at mouse-down and the start point. Each move
// gives the parameters for the point reached:
//   pan:    HorizOffset = stored - x0 + x, VertOffset = stored - y0 + y
//   zoom:   Zoom = x0 - x + stored
//   rotate: Elevation = x0 - x + stored, Rotation = y0 - y + stored
// How the parameters place the camera of the 3D chart: the horizontal angle
// from "Elevation" and the vertical angle from "Rotation" (degrees, taken
// modulo 360 into -180 .. 180; the vertical one mirrored and kept within
// -90 .. 90), the zoom level in percent (kept within 10 .. 500), and the
// target point shifted by a hundredth of the pan offsets
// (kept within -1 .. 1).
struct CameraPose {
  float xRotation = 0.0f;
  float yRotation = 0.0f;
  float zoomLevel = 100.0f;
  float targetX = 0.0f;
  float targetY = 0.0f;
  bool operator==(const CameraPose&) const = default;
};
CameraPose cameraPoseOf(const View3DParams& p);

class DragTracker {
 public:
  // Starts a drag when the codes ask for one; false (and inactive) otherwise.
  bool press(int buttonCode, int modifierCode, int x, int y, const View3DParams& stored);
  bool active() const { return kind_ != Drag3D::None; }
  Drag3D kind() const { return kind_; }
  View3DParams move(int x, int y) const;
  void release() { kind_ = Drag3D::None; }

 private:
  Drag3D kind_ = Drag3D::None;
  int x0_ = 0, y0_ = 0;
  View3DParams stored_;
};

}  // namespace rc
