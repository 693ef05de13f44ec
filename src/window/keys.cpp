#include <algorithm>

#include "model/pointer_state.h"
#include "model/tables.h"
#include "window/UnitMain.h"
#include "window/menu.h"

namespace qd {

namespace {

constexpr TColor kUnreadablePixel = 0xFFFFFFFF;  // what the platform gives for no pixel
constexpr std::uint16_t kPickPauseMs = 100;

// Cursor keys as wheel steps: Left and Down backward, Up and Right forward.
int KeyStep(std::uint16_t key) {
  switch (key) {
    case kKeyLeft:
    case kKeyDown:
      return -1;
    case kKeyUp:
    case kKeyRight:
      return 1;
    default:
      return 0;
  }
}

}  // namespace

void TFormMain::FormMainOnMouseWheel(TObject* /*Sender*/, TShiftState Shift, int WheelDelta,
                                     TPoint /*MousePos*/, bool& /*Handled*/) {
  // One step per message, by sign only. Zero is backward for orientation and colour,
  // forward for size and opacity.
  PointerState& s = Pointer;
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
      s.CurrentAlphaIndex = std::max(s.CurrentAlphaIndex - 1, 0);
    } else {
      s.CurrentAlphaIndex = std::min(s.CurrentAlphaIndex + 1, kTopAlphaIndex);
      s.FadedOut = false;
    }
    if (!s.FadedOut) {
      s.AlphaBlendIndex = s.CurrentAlphaIndex;
    }
    const std::uint8_t alpha = StepAlphaValue(s.CurrentAlphaIndex);
    SetAlphaBlendValue(alpha);
    SetAlphaBlend(alpha < 255);
    PaintPointer();
  }
}

void TFormMain::FormMainOnKeyDown(TObject* Sender, std::uint16_t& Key, TShiftState Shift) {
  if (Shift.Empty()) {
    if (Key == kKeyF1) {
      ShowHelpText();
    } else if (Key == kKeyF2) {
      PopupMenuColorOnClick(Sender);
    } else if (Key == kKeyF3) {
      Pointer.SettingsLocked = !Pointer.SettingsLocked;
    }
  }
  int step = KeyStep(Key);
  if (Shift.Empty()) {
    step = -step;
  }
  if (step != 0) {
    bool handled = false;
    FormMainOnMouseWheel(Sender, Shift, step, {0, 0}, handled);
  }
}

void TFormMain::FormMainOnKeyPress(TObject* /*Sender*/, char& Key) {
  if (Key == '\x1B') {
    if (Pointer.EscTerminates) {
      App().Terminate();
    }
  } else if (Key == ' ' && !Pointer.SettingsLocked) {
    SetColor(Color() == clBlack ? clWhite : clBlack);
    PaintPointer();
  }
}

void TFormMain::FormMainOnDblClick(TObject* /*Sender*/) {
  if (Pointer.SettingsLocked) {
    return;
  }
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
