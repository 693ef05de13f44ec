// The arrow on the window: its outline cut into the window's region and placed by the
// window's bounds, and painted inside it.
#include <utility>
#include <vector>

#include "model/shape.h"
#include "window/UnitMain.h"

namespace qd {

void TFormMain::BuildPointerShape() {
  ShapeReady = false;
  Geometry = ComputePointerGeometry(BaseUnit, Settings);
  const std::vector<TPoint> outline(Geometry.PointerPolygon.begin(),
                                    Geometry.PointerPolygon.begin() + 7);
  // The region belongs to the window system once it is handed over.
  OwnedRegion region = Ws().CreatePolygonRegion(outline);

  // No alpha blending while region and bounds change.
  const bool wasBlended = AlphaBlend();
  if (!BeforeFirstShow) {
    SetAlphaBlend(false);
  }
  // A shrinking arrow is cut first, so the old outline never shows beyond the smaller
  // window; a growing one is cut last, so it never shows clipped by the old bounds.
  if (Settings.Size < PreviousSize) {
    Ws().SetWindowRegion(Handle(), std::move(region), true);
    SetBounds(Geometry.WindowLeft, Geometry.WindowTop, Geometry.WindowWidth, Geometry.WindowHeight);
  } else {
    SetBounds(Geometry.WindowLeft, Geometry.WindowTop, Geometry.WindowWidth, Geometry.WindowHeight);
    Ws().SetWindowRegion(Handle(), std::move(region), true);
  }
  SetAlphaBlend(wasBlended);

  PaintPointer();
  PreviousSize = Settings.Size;
  ShapeReady = true;
}

void TFormMain::PaintPointer() {
  {
    const auto canvas = GetCanvas();
    canvas->FillRect({0, 0, Geometry.WindowWidth, Geometry.WindowHeight}, Color());
    DrawPointerRim(*canvas);
  }
  // One repeat paint draws the rim again over a repaint the window system made meanwhile.
  TimerDrawBorder.SetEnabled(!TimerDrawBorder.Enabled());
}

void TFormMain::DrawPointerRim(Canvas& canvas) {
  const int penWidth = Settings.Size >= 5 ? 5 : 3;
  const TColor penColor = Color() == clBlack ? clWhite : clBlack;
  canvas.Polyline(
      std::vector<TPoint>(Geometry.PointerPolygon.begin(), Geometry.PointerPolygon.end()), penWidth,
      penColor);
}

void TFormMain::FormMainOnPaint(Canvas& canvas) {
  canvas.FillRect({0, 0, Width(), Height()}, Color());
  DrawPointerRim(canvas);
}

void TFormMain::TimerDrawBorderOnTimer() { PaintPointer(); }

void TFormMain::OnTimer(unsigned timerId) {
  // A tick already queued when its timer stopped is dropped.
  if (timerId == TimerDrawBorder.Id() && TimerDrawBorder.Enabled()) {
    TimerDrawBorderOnTimer();
  } else if (timerId == TimerMouseMoveHoldOff.Id() && TimerMouseMoveHoldOff.Enabled()) {
    TimerMouseMoveHoldOffOnTimer();
  } else if (timerId == TimerSaveSettings.Id() && TimerSaveSettings.Enabled()) {
    TimerSaveSettingsOnTimer();
  }
}

}  // namespace qd
