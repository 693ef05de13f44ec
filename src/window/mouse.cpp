#include "model/pointer_state.h"
#include "window/UnitMain.h"
#include "window/cursor_zone.h"

namespace qd {

namespace {
constexpr std::int32_t kMargin = 8;
}

std::uint8_t ComputeCursorZone(bool ShiftDown, std::int32_t X, std::int32_t Y,
                               std::int32_t width, std::int32_t height) {
  if (ShiftDown) {
    return 1;
  }
  // The left column before the right one and the top row before the bottom one decide
  // where the strips overlap in a small window.
  if (X <= kMargin) {
    return Y <= kMargin ? 5 : Y >= height - kMargin ? 7 : 1;
  }
  if (X >= width - kMargin) {
    return Y <= kMargin ? 6 : Y >= height - kMargin ? 8 : 2;
  }
  return Y <= kMargin ? 3 : Y >= height - kMargin ? 4 : kZoneInner;
}

void TFormMain::FormMainOnMouseDown(TObject* /*Sender*/, TMouseButton Button,
                                    TShiftState /*Shift*/, int /*X*/, int /*Y*/) {
  if (Button == TMouseButton::mbLeft) {
    Pointer.DragStartCursor = Ws().GetCursorPos();
    Pointer.DragStartWindow = {Left(), Top()};
    Pointer.DragStartTip = {Pointer.TipPosX, Pointer.TipPosY};
    SetCursor(HandGrab);
    App().SetCursor(HandGrab);
  } else if (Button == TMouseButton::mbMiddle) {
    SetAlphaBlend(true);
    if (Pointer.CurrentAlphaIndex == 0) {
      FadeIn();
    } else {
      FadeOut();
    }
  }
}

void TFormMain::FormMainOnMouseMove(TObject* /*Sender*/, TShiftState Shift, int X, int Y) {
  if (!Pointer.ShapeReady) {
    return;
  }
  // At most one handled move per hold-off period; the others are dropped.
  if (TimerMouseMoveHoldOff.Enabled()) {
    return;
  }
  TimerMouseMoveHoldOff.SetEnabled(true);

  if (Shift.Contains(ssCtrl)) {
    Pointer.CursorZone = kZoneNone;
  } else if (!Shift.Contains(ssLeft)) {
    Pointer.CursorZone = ComputeCursorZone(Shift.Contains(ssShift), X, Y, Width(), Height());
  }

  if (Pointer.CursorZone != Pointer.LastCursorZone) {
    if (Pointer.CursorZone == kZoneNone) {
      SetCursor(crDefault);
    } else if (Pointer.CursorZone == kZoneInner) {
      SetCursor(HandFlat);
    }
    App().SetCursor(Cursor());
    Pointer.LastCursorZone = Pointer.CursorZone;
  }

  if (Shift - ssShift == TShiftState(ssLeft)) {
    // From the anchors of the press, never added up, so a dropped move loses nothing.
    const TPoint cursor = Ws().GetCursorPos();
    const std::int32_t dx = cursor.x - Pointer.DragStartCursor.x;
    const std::int32_t dy = cursor.y - Pointer.DragStartCursor.y;
    SetLeft(Pointer.DragStartWindow.x + dx);
    Pointer.TipPosX = Pointer.DragStartTip.x + dx;
    SetTop(Pointer.DragStartWindow.y + dy);
    Pointer.TipPosY = Pointer.DragStartTip.y + dy;
    if (Pointer.CursorZone != kZoneInner) {
      BuildPointerShape();
    }
  }
}

void TFormMain::FormMainOnMouseUp(TObject* /*Sender*/, TMouseButton /*Button*/,
                                  TShiftState /*Shift*/, int /*X*/, int /*Y*/) {
  if (Pointer.CursorZone == kZoneInner) {
    SetCursor(HandFlat);
    App().SetCursor(HandFlat);
  }
}

void TFormMain::FormMainOnKeyUp(TObject* Sender, std::uint16_t& Key, TShiftState Shift) {
  if (Key == kKeyShift || Key == kKeyControl) {
    const TPoint cursor = Ws().GetCursorPos();
    FormMainOnMouseMove(Sender, Shift, cursor.x - Left(), cursor.y - Top());
  }
}

void TFormMain::TimerMouseMoveHoldOffOnTimer(TObject* /*Sender*/) {
  TimerMouseMoveHoldOff.SetEnabled(false);
}

}  // namespace qd
