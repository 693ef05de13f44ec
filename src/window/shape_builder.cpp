#include <utility>
#include <vector>

#include "model/pointer_state.h"
#include "model/shape.h"
#include "window/UnitMain.h"

namespace qd {

void BuildPointerShape() {
  PointerState& s = Pointer;
  TFormMain& form = *FormMain;
  s.ShapeReady = false;
  ComputePointerGeometry(s);
  OwnedRegion region = form.Ws().CreatePolygonRegion(
      std::vector<TPoint>(s.PointerPolygon.begin(), s.PointerPolygon.begin() + 7));

  // No alpha blending while region and bounds change.
  const bool wasBlended = form.AlphaBlend();
  form.SetAlphaBlend(false);
  // A shrinking arrow is cut first, so the old outline never shows beyond the smaller
  // window; a growing one is cut last, so it never shows clipped by the old bounds.
  if (s.Size < s.PreviousSize) {
    form.Ws().SetWindowRegion(form.Handle(), std::move(region), true);
    form.SetLeft(s.WindowLeft);
    form.SetTop(s.WindowTop);
    form.SetWidth(s.WindowWidth);
    form.SetHeight(s.WindowHeight);
  } else {
    form.SetWidth(s.WindowWidth);
    form.SetHeight(s.WindowHeight);
    form.SetLeft(s.WindowLeft);
    form.SetTop(s.WindowTop);
    form.Ws().SetWindowRegion(form.Handle(), std::move(region), true);
  }
  form.SetAlphaBlend(wasBlended);

  PaintPointer();
  s.PreviousSize = s.Size;
  s.ShapeReady = true;
}

}  // namespace qd
