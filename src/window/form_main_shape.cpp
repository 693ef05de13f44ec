// The arrow on the window: its outline cut into the window's region and placed by the
// window's bounds, and painted inside it; with smooth edges, an image with alpha per pixel
// instead of region and paint.
#include <cstdint>
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
  if (SmoothEdges && BuildSmoothShape(build)) {
    // A build from inside the move, for a monitor of another scale, has drawn the window.
    if (build == ShapeBuilds) {
      PreviousSize = Settings.Size;
      PreviousScale = scale;
      ShapeReady = true;
    }
    return;
  }
  BuildSharpShape(build, scale);
}

void TFormMain::BuildSharpShape(unsigned build, double scale) {
  ShapeReady = false;
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

  PaintSharpPointer();
  PreviousSize = Settings.Size;
  PreviousScale = scale;
  ShapeReady = true;
}

bool TFormMain::BuildSmoothShape(unsigned build) {
  if (std::int64_t{Geometry.WindowWidth} * Geometry.WindowHeight > kSmoothImagePixelBudget) {
    ShowSharpInstead();
    return false;
  }
  if (!ImageMode()) {
    UseImageMode();
    // The image's alpha cuts the window from now on.
    Ws().SetWindowRegion(Handle(), OwnedRegion{}, false);
  }
  switch (DrawSmoothImage()) {
    case SmoothImage::Unchanged:
      // Moved only: the window keeps its image.
      SetBounds(Geometry.WindowLeft, Geometry.WindowTop, Geometry.WindowWidth,
                Geometry.WindowHeight);
      return true;
    case SmoothImage::Drawn:
      if (ShowImage(Geometry.WindowLeft, Geometry.WindowTop) || build != ShapeBuilds) {
        return true;
      }
      break;
    case SmoothImage::Failed:
      break;
  }
  ShowSharpInstead();
  return false;
}

void TFormMain::ShowSharpInstead() {
  LeaveImageMode();
  SmoothImageDrawn.reset();
}

void TFormMain::SetColor(TColor color) {
  if (color == Settings.Color) {
    return;
  }
  Settings.Color = color;
  if (HandleAllocated()) {
    Ws().Invalidate(Handle());
  }
}

void TFormMain::PaintPointer() {
  // The image is the whole window and the system never paints over it: nothing to repeat.
  if (ImageMode()) {
    const SmoothImage drawn = DrawSmoothImage();
    if (drawn == SmoothImage::Failed ||
        (drawn == SmoothImage::Drawn && !ShowImage(Left(), Top()))) {
      ShowSharpInstead();
      BuildSharpShape(++ShapeBuilds, ArrowScale());
    }
    return;
  }
  PaintSharpPointer();
}

void TFormMain::PaintSharpPointer() {
  {
    const auto canvas = GetCanvas();
    canvas->FillRect({0, 0, Geometry.WindowWidth, Geometry.WindowHeight}, Color());
    DrawPointerRim(*canvas);
  }
  // One repeat paint draws the rim again over a repaint the window system made meanwhile.
  TimerDrawBorder.SetEnabled(!TimerDrawBorder.Enabled());
}

TFormMain::SmoothImage TFormMain::DrawSmoothImage() {
  const SmoothImageSource source{Geometry.PointerPolygon, Geometry.WindowWidth,
                                 Geometry.WindowHeight, Settings.Size, Color()};
  if (SmoothImageDrawn == source) {
    return SmoothImage::Unchanged;
  }
  const PixelView pixels = ImagePixels(Geometry.WindowWidth, Geometry.WindowHeight);
  if (pixels.pixels.empty()) {
    return SmoothImage::Failed;
  }
  // The rim as wide as the half of the sharp rim's pen that lies inside the outline.
  SmoothCoverage.Cover(
      std::vector<TPoint>(Geometry.PointerPolygon.begin(), Geometry.PointerPolygon.begin() + 7),
      RimPenWidth(Settings.Size, ArrowScale()) / 2.0, Geometry.WindowWidth, Geometry.WindowHeight);
  SmoothCoverage.Paint(Color(), RimColor(Color()), pixels);
  SmoothImageDrawn = source;
  return SmoothImage::Drawn;
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
