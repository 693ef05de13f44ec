// The form's key handlers: cursor keys as wheel steps, the function keys, Esc and the space
// bar, and the release of Shift or Ctrl, which changes the cursor zone.
#include "window/UnitMain.h"

namespace qd {

namespace {

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

void TFormMain::FormMainOnKeyDown(std::uint16_t Key, TShiftState Shift) {
  if (Shift.Empty()) {
    if (Key == kKeyF1) {
      ShowHelpText();
    } else if (Key == kKeyF2) {
      PopupMenuColorOnClick();
    } else if (Key == kKeyF3) {
      Settings.SettingsLocked = !Settings.SettingsLocked;
    }
  }
  int step = KeyStep(Key);
  if (Shift.Empty()) {
    step = -step;
  }
  if (step != 0) {
    FormMainOnMouseWheel(Shift, step, {0, 0});
  }
  SettingsMayHaveChanged();
}

void TFormMain::FormMainOnKeyUp(std::uint16_t Key, TShiftState Shift) {
  if (Key == kKeyShift || Key == kKeyControl) {
    const TPoint cursor = Ws().GetCursorPos();
    FormMainOnMouseMove(Shift, cursor.x - Left(), cursor.y - Top());
  }
}

void TFormMain::FormMainOnKeyPress(char Key) {
  if (Key == '\x1B') {
    if (Settings.EscTerminates) {
      App().Terminate();
    }
  } else if (Key == ' ' && !Settings.SettingsLocked) {
    SetColor(Color() == clBlack ? clWhite : clBlack);
    PaintPointer();
  }
  SettingsMayHaveChanged();
}

}  // namespace qd
