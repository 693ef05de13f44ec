// The form's mouse handlers: press, drag, release, the hold-off between handled moves,
// the wheel steps and the double-click colour pick.
#include <algorithm>

#include "model/tables.h"
#include "window/UnitMain.h"

namespace qd {

namespace {

constexpr std::int32_t kMargin = 8;
constexpr TColor kUnreadablePixel = 0xFFFFFFFF;  // what the platform gives for no pixel
constexpr std::uint16_t kPickPauseMs = 100;

}  // namespace

std::uint8_t TFormMain::ComputeCursorZone(bool ShiftDown, std::int32_t X, std::int32_t Y,
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

void TFormMain::FormMainOnMouseDown(TMouseButton Button, TShiftState /*Shift*/, int /*X*/,
                                    int /*Y*/) {
  if (Button == TMouseButton::mbLeft) {
    PressLost = false;
    HeldDragMove.reset();
    DragStartCursor = Ws().GetCursorPos();
    DragStartWindow = {Left(), Top()};
    DragStartTip = {Settings.TipPosX, Settings.TipPosY};
    SetCursor(HandGrab);
    App().SetCursor(HandGrab);
  } else if (Button == TMouseButton::mbMiddle) {
    SetAlphaBlend(true);
    if (CurrentAlphaIndex == 0) {
      FadeIn();
    } else {
      FadeOut();
    }
  }
}

void TFormMain::FormMainOnMouseMove(TShiftState Shift, int X, int Y) {
  if (!ShapeReady) {
    return;
  }
  // At most one handled move per hold-off period, and the last drag move of the period
  // when it ends; the others are dropped.
  if (TimerMouseMoveHoldOff.Enabled()) {
    if (Shift - ssShift == TShiftState(ssLeft)) {
      HeldDragMove = HeldMove{Shift, X, Y};
    } else {
      HeldDragMove.reset();
    }
    return;
  }
  TimerMouseMoveHoldOff.SetEnabled(true);
  HandleMouseMove(Shift, X, Y);
}

void TFormMain::HandleMouseMove(TShiftState Shift, int X, int Y) {
  if (Shift.Contains(ssCtrl)) {
    CursorZone = kZoneNone;
  } else if (!Shift.Contains(ssLeft)) {
    CursorZone = ComputeCursorZone(Shift.Contains(ssShift), X, Y, Width(), Height());
  }

  if (CursorZone != LastCursorZone) {
    if (CursorZone == kZoneNone) {
      SetCursor(crDefault);
    } else if (CursorZone == kZoneInner) {
      SetCursor(HandFlat);
    }
    App().SetCursor(Cursor());
    LastCursorZone = CursorZone;
  }

  if (Shift - ssShift == TShiftState(ssLeft) && !PressLost) {
    // From the anchors of the press, never added up, so a dropped move loses nothing.
    const TPoint cursor = Ws().GetCursorPos();
    const std::int32_t dx = cursor.x - DragStartCursor.x;
    const std::int32_t dy = cursor.y - DragStartCursor.y;
    SetBounds(DragStartWindow.x + dx, DragStartWindow.y + dy, Width(), Height());
    Settings.TipPosX = DragStartTip.x + dx;
    Settings.TipPosY = DragStartTip.y + dy;
    if (CursorZone != kZoneInner) {
      BuildPointerShape();
    }
  }
}

void TFormMain::FormMainOnMouseUp(TMouseButton Button, TShiftState /*Shift*/, int /*X*/,
                                  int /*Y*/) {
  // A quick drag's last move, held off, is where the button came up.
  if (Button == TMouseButton::mbLeft && HeldDragMove) {
    const HeldMove last = *HeldDragMove;
    HeldDragMove.reset();
    HandleMouseMove(last.shift, last.x, last.y);
  }
  if (CursorZone == kZoneInner) {
    SetCursor(HandFlat);
    App().SetCursor(HandFlat);
  }
}

void TFormMain::TimerMouseMoveHoldOffOnTimer() {
  TimerMouseMoveHoldOff.SetEnabled(false);
  // Applied without a new hold-off: the next move is handled at once, as it would have been.
  if (HeldDragMove) {
    const HeldMove last = *HeldDragMove;
    HeldDragMove.reset();
    HandleMouseMove(last.shift, last.x, last.y);
  }
}

void TFormMain::OnCaptureLost() {
  // What the arrow shows is what stays: the settings already hold its place.
  PressLost = true;
  SetCursor(CursorZone == kZoneInner ? HandFlat : crDefault);
  App().SetCursor(Cursor());
}

void TFormMain::FormMainOnMouseWheel(TShiftState Shift, int WheelDelta, TPoint /*MousePos*/) {
  // One step per message, by sign only. Zero is backward for orientation and colour,
  // forward for size and opacity.
  PointerSettings& s = Settings;
  if (Shift.Empty()) {
    s.Orientation = WheelDelta > 0 ? (s.Orientation + 1) % kOrientationSteps
                                   : (s.Orientation + kOrientationSteps - 1) % kOrientationSteps;
    BuildPointerShape();
    return;
  }
  if (s.SettingsLocked) {
    return;
  }
  if (Shift == TShiftState(ssShift)) {
    s.Size = WheelDelta < 0 ? std::max(s.Size - 1, kMinSize) : std::min(s.Size + 1, kMaxSize);
    BuildPointerShape();
  } else if (Shift == TShiftState(ssCtrl)) {
    // After the space bar made the arrow black or white, the first step brings back the
    // last palette colour without moving on.
    if (Color() != clBlack && Color() != clWhite) {
      if (s.ColorIndex == -1) {
        s.ColorIndex = 0;
      } else if (WheelDelta > 0) {
        s.ColorIndex = (s.ColorIndex + 1) % kPaletteCount;
      } else {
        s.ColorIndex = (s.ColorIndex + kPaletteCount - 1) % kPaletteCount;
      }
    }
    if (s.ColorIndex != -1) {
      SetColor(ColorPalette[static_cast<std::size_t>(s.ColorIndex)]);
    }
    PaintPointer();
  } else if (Shift == TShiftState(ssAlt)) {
    if (WheelDelta < 0) {
      CurrentAlphaIndex = std::max(CurrentAlphaIndex - 1, 0);
    } else {
      CurrentAlphaIndex = std::min(CurrentAlphaIndex + 1, kTopAlphaIndex);
      FadedOut = false;
    }
    if (!FadedOut) {
      s.AlphaBlendIndex = CurrentAlphaIndex;
    }
    const std::uint8_t alpha = StepAlphaValue(CurrentAlphaIndex);
    SetAlphaBlendValue(alpha);
    SetAlphaBlend(alpha < 255);
    PaintPointer();
  }
}

void TFormMain::FormMainOnDblClick() {
  if (Settings.SettingsLocked) {
    return;
  }
  const ModalMoment modal(*this);
  // Off the screen first, so that the pixel read is what lies beneath the arrow.
  Hide();
  App().ProcessMessages();
  Delay(kPickPauseMs);
  const TColor picked = Ws().GetScreenPixel(Ws().GetCursorPos());
  if (picked != kUnreadablePixel) {
    SetColor(picked);
  }
  PaintPointer();
  Show();
}

}  // namespace qd
