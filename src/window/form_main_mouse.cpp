// The form's mouse handlers: press, drag, release, the hold-off between handled moves,
// the wheel steps and the double-click colour pick.
#include <algorithm>

#include "model/shape.h"
#include "model/tables.h"
#include "window/UnitMain.h"

namespace qd {

namespace {

constexpr TColor kUnreadablePixel = 0xFFFFFFFF;  // what the platform gives for no pixel
constexpr std::uint16_t kPickPauseMs = 100;

}  // namespace

std::uint8_t TFormMain::ComputeCursorZone(bool ShiftDown, std::int32_t X, std::int32_t Y,
                                          std::int32_t width, std::int32_t height,
                                          std::int32_t margin) {
  if (ShiftDown) {
    return 1;
  }
  // The left column before the right one and the top row before the bottom one decide
  // where the strips overlap in a small window.
  if (X <= margin) {
    return Y <= margin ? 5 : Y >= height - margin ? 7 : 1;
  }
  if (X >= width - margin) {
    return Y <= margin ? 6 : Y >= height - margin ? 8 : 2;
  }
  return Y <= margin ? 3 : Y >= height - margin ? 4 : kZoneInner;
}

void TFormMain::FormMainOnMouseDown(TMouseButton Button, TShiftState /*Shift*/, int X, int Y) {
  if (Button == TMouseButton::mbLeft) {
    PressLost = false;
    HeldDragMove.reset();
    // Where the button went down, which the pointer may have left by the time a busy program
    // (a fade, a loaded machine) handles the press: the grabbed point stays under the pointer.
    DragStartCursor = {Left() + X, Top() + Y};
    DragStartWindow = {Left(), Top()};
    DragStartTip = {Settings.TipPosX, Settings.TipPosY};
    DragStartDpi = Dpis.arrow;
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
  SettingsMayHaveChanged();
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
    CursorZone = ComputeCursorZone(Shift.Contains(ssShift), X, Y, Width(), Height(),
                                   ScaledPixels(kZoneMargin, ArrowScale()));
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
    // A change of scale reported from inside this step's move resizes around the pointer.
    class DragStep {
     public:
      DragStep(std::optional<TPoint>& slot, TPoint at) : slot_(slot) { slot_.emplace(at); }
      ~DragStep() { slot_.reset(); }
      DragStep(const DragStep&) = delete;
      DragStep& operator=(const DragStep&) = delete;
      DragStep(DragStep&&) = delete;
      DragStep& operator=(DragStep&&) = delete;

     private:
      std::optional<TPoint>& slot_;
    };
    const DragStep step(DragStepCursor, cursor);
    if (FollowScales()) {
      RescaleDragged(cursor);
      return;
    }
    const TPoint tip = DraggedTip(cursor);
    Settings.TipPosX = tip.x;
    Settings.TipPosY = tip.y;
    const unsigned builds = ShapeBuilds;
    SetBounds(DragStartWindow.x + cursor.x - DragStartCursor.x,
              DragStartWindow.y + cursor.y - DragStartCursor.y, Width(), Height());
    if (CursorZone != kZoneInner && builds == ShapeBuilds) {
      BuildPointerShape();
    }
  }
}

void TFormMain::RescaleDragged(TPoint cursor) {
  const TPoint tip = DraggedTip(cursor);
  Settings.TipPosX = tip.x;
  Settings.TipPosY = tip.y;
  BuildPointerShape();
  // The next steps move the resized window on from here.
  DragStartWindow = {Geometry.WindowLeft - (cursor.x - DragStartCursor.x),
                     Geometry.WindowTop - (cursor.y - DragStartCursor.y)};
}

TPoint TFormMain::DraggedTip(TPoint cursor) const {
  const double scale = MonitorScale(Dpis.arrow, DragStartDpi);
  return {cursor.x + RoundHalfEven((DragStartTip.x - DragStartCursor.x) * scale),
          cursor.y + RoundHalfEven((DragStartTip.y - DragStartCursor.y) * scale)};
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
  // Dropped with the tip on a monitor of another scale than the pointer's: drawn for the
  // tip's, the tip where it is.
  if (FollowScales()) {
    BuildPointerShape();
  }
  SettingsMayHaveChanged();
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
  // What the arrow shows is what stays: the settings already hold its place, saved as
  // after a release.
  PressLost = true;
  HeldDragMove.reset();
  SetCursor(CursorZone == kZoneInner ? HandFlat : crDefault);
  App().SetCursor(Cursor());
  SettingsMayHaveChanged();
}

void TFormMain::FormMainOnMouseWheel(TShiftState Shift, int WheelDelta, TPoint /*MousePos*/) {
  // One step per message, by sign only. Zero is backward for orientation and colour,
  // forward for size and opacity.
  PointerSettings& s = Settings;
  if (Shift.Empty()) {
    s.Orientation = WheelDelta > 0 ? (s.Orientation + 1) % kOrientationSteps
                                   : (s.Orientation + kOrientationSteps - 1) % kOrientationSteps;
    BuildPointerShape();
    SettingsMayHaveChanged();
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
  SettingsMayHaveChanged();
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
  SettingsMayHaveChanged();
}

}  // namespace qd
