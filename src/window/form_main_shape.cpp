// The arrow on the window: its outline cut into the window's region and placed by the
// window's bounds, and painted inside it; with smooth edges, an image with alpha per pixel
// instead of region and paint.
#include <utility>
#include <vector>

#include "model/shape.h"
#include "model/smooth_edges.h"
#include "window/UnitMain.h"

namespace qd {

namespace {

int RimPenWidth(std::int32_t size, double scale) { return ScaledPixels(size >= 5 ? 5 : 3, scale); }
TColor RimColor(TColor fill) { return fill == clBlack ? clWhite : clBlack; }

}  // namespace

void TFormMain::BuildPointerShape() {
  ShapeReady = false;
  const unsigned build = ++ShapeBuilds;
  const double scale = ArrowScale();
  Geometry = ComputePointerGeometry(BaseUnit, Settings, scale);
  if (ImageMode()) {
    // Drawn before the window changes, so that new bounds and new image follow at once.
    const bool drawn = DrawSmoothImage();
    SetBounds(Geometry.WindowLeft, Geometry.WindowTop, Geometry.WindowWidth, Geometry.WindowHeight);
    // A build from inside the move, for a monitor of another scale, has drawn the window.
    if (build != ShapeBuilds) {
      return;
    }
    if (drawn) {
      ShowImage();
    }
    PreviousSize = Settings.Size;
    PreviousScale = scale;
    ShapeReady = true;
    return;
  }
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
  if (Settings.Size < PreviousSize || scale < PreviousScale) {
    Ws().SetWindowRegion(Handle(), std::move(region), true);
    SetBounds(Geometry.WindowLeft, Geometry.WindowTop, Geometry.WindowWidth, Geometry.WindowHeight);
  } else {
    SetBounds(Geometry.WindowLeft, Geometry.WindowTop, Geometry.WindowWidth, Geometry.WindowHeight);
    if (build == ShapeBuilds) {
      Ws().SetWindowRegion(Handle(), std::move(region), true);
    }
  }
  SetAlphaBlend(wasBlended);
  // The move crossed into a monitor of another scale, and the shape was built anew for it
  // from inside the move: that build has cut and painted the window.
  if (build != ShapeBuilds) {
    return;
  }

  PaintPointer();
  PreviousSize = Settings.Size;
  PreviousScale = scale;
  ShapeReady = true;
}

void TFormMain::PaintPointer() {
  // The image is the whole window and the system never paints over it: nothing to repeat.
  if (ImageMode()) {
    if (DrawSmoothImage()) {
      ShowImage();
    }
    return;
  }
  {
    const auto canvas = GetCanvas();
    canvas->FillRect({0, 0, Geometry.WindowWidth, Geometry.WindowHeight}, Color());
    DrawPointerRim(*canvas);
  }
  // One repeat paint draws the rim again over a repaint the window system made meanwhile.
  TimerDrawBorder.SetEnabled(!TimerDrawBorder.Enabled());
}

bool TFormMain::DrawSmoothImage() {
  const SmoothImageSource source{Geometry.PointerPolygon, Geometry.WindowWidth,
                                 Geometry.WindowHeight, Settings.Size, Color()};
  if (SmoothImageDrawn == source) {
    return false;
  }
  const PixelView pixels = ImagePixels(Geometry.WindowWidth, Geometry.WindowHeight);
  if (pixels.pixels.empty()) {
    return false;
  }
  // The rim as wide as the half of the sharp rim's pen that lies inside the outline.
  SmoothCoverage.Cover(
      std::vector<TPoint>(Geometry.PointerPolygon.begin(), Geometry.PointerPolygon.begin() + 7),
      RimPenWidth(Settings.Size, ArrowScale()) / 2.0, Geometry.WindowWidth, Geometry.WindowHeight);
  SmoothCoverage.Paint(Color(), RimColor(Color()), pixels);
  SmoothImageDrawn = source;
  return true;
}

void TFormMain::DrawPointerRim(Canvas& canvas) {
  canvas.Polyline(
      std::vector<TPoint>(Geometry.PointerPolygon.begin(), Geometry.PointerPolygon.end()),
      RimPenWidth(Settings.Size, ArrowScale()), RimColor(Color()));
}

void TFormMain::FormMainOnPaint(Canvas& canvas) {
  // A paint would draw over the image where the system keeps it.
  if (ImageMode()) {
    return;
  }
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
