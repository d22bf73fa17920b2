#include "views/epochview/view3d_params.h"

#include <algorithm>

#include "support/xml_markup.h"

namespace rc {

View3DParams view3DParams(const AnalysisSettings& s) {
  return {s.horizOffset, s.vertOffset, s.zoom, s.elevation, s.rotation};
}

void setView3DParams(AnalysisSettings& s, const View3DParams& p) {
  s.horizOffset = p.horizOffset;
  s.vertOffset = p.vertOffset;
  s.zoom = p.zoom;
  s.elevation = p.elevation;
  s.rotation = p.rotation;
}

bool writeView3DParams(CXMLMarkup& config, const View3DParams& p) {
  bool ok = writeSettingInt(config, "HorizOffset", p.horizOffset);
  ok = writeSettingInt(config, "VertOffset", p.vertOffset) && ok;
  ok = writeSettingInt(config, "Zoom", p.zoom) && ok;
  ok = writeSettingInt(config, "Elevation", p.elevation) && ok;
  ok = writeSettingInt(config, "Rotation", p.rotation) && ok;
  config.ResetPos();
  return ok;
}

Status storeView3DParams(CXMLMarkup& config, const std::filesystem::path& file, const View3DParams& p) {
  if (!writeView3DParams(config, p)) return Status::error("the configuration document has no root element");
  if (!config.Save(file)) return Status::error(config.GetErrorUtf8());
  return Status::ok();
}

namespace {

float wrapDegrees(int v) {
  int w = v % 360;
  if (w > 180) w -= 360;
  if (w <= -180) w += 360;
  return static_cast<float>(w);
}

}  // namespace

CameraPose cameraPoseOf(const View3DParams& p) {
  CameraPose c;
  c.xRotation = wrapDegrees(p.elevation);
  c.yRotation = std::clamp(-wrapDegrees(p.rotation), -90.0f, 90.0f);
  c.zoomLevel = std::clamp(static_cast<float>(p.zoom), 10.0f, 500.0f);
  c.targetX = std::clamp(-static_cast<float>(p.horizOffset) / 100.0f, -1.0f, 1.0f);
  c.targetY = std::clamp(static_cast<float>(p.vertOffset) / 100.0f, -1.0f, 1.0f);
  return c;
}

Drag3D dragOf(int buttonCode, int modifierCode) {
  if (buttonCode != kButtonPrimary) return Drag3D::None;
  switch (modifierCode) {
    case 1:
      return Drag3D::Pan;
    case 2:
      return Drag3D::Zoom;
    case 4:
      return Drag3D::Rotate;
    default:
      return Drag3D::None;
  }
}

int modifierCodeOf(bool shift, bool ctrl, bool alt) {
  if (alt || (shift && ctrl)) return 0;
  if (shift) return 1;
  if (ctrl) return 2;
  return 4;
}

bool DragTracker::press(int buttonCode, int modifierCode, int x, int y, const View3DParams& stored) {
  kind_ = dragOf(buttonCode, modifierCode);
  x0_ = x;
  y0_ = y;
  stored_ = stored;
  return active();
}

View3DParams DragTracker::move(int x, int y) const {
  View3DParams p = stored_;
  switch (kind_) {
    case Drag3D::Pan:
      p.horizOffset = stored_.horizOffset - x0_ + x;
      p.vertOffset = stored_.vertOffset - y0_ + y;
      break;
    case Drag3D::Zoom:
      p.zoom = x0_ - x + stored_.zoom;
      break;
    case Drag3D::Rotate:
      p.elevation = x0_ - x + stored_.elevation;
      p.rotation = y0_ - y + stored_.rotation;
      break;
    case Drag3D::None:
      break;
  }
  return p;
}

}  // namespace rc
