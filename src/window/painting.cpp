#include <vector>

#include "model/pointer_state.h"
#include "window/UnitMain.h"

namespace qd {

void DrawPointerRim(Canvas& canvas) {
  const int penWidth = Pointer.Size >= 5 ? 5 : 3;
  const TColor penColor = FormMain->Color() == clBlack ? clWhite : clBlack;
  canvas.Polyline(std::vector<TPoint>(Pointer.PointerPolygon.begin(), Pointer.PointerPolygon.end()),
                  penWidth, penColor);
}

void PaintPointer() {
  {
    const auto canvas = FormMain->GetCanvas();
    canvas->FillRect({0, 0, Pointer.WindowWidth, Pointer.WindowHeight}, FormMain->Color());
    DrawPointerRim(*canvas);
  }
  // One repeat paint draws the rim again over a repaint the window system made meanwhile.
  TTimer& timer = FormMain->TimerDrawBorder;
  timer.SetEnabled(!timer.Enabled());
}

void TFormMain::TimerDrawBorderOnTimer(TObject* /*Sender*/) { PaintPointer(); }

}  // namespace qd
