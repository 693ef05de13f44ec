#include "x_input.h"

#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <stdexcept>
#include <string>

namespace qd::e2e {

void XInput::MoveTo(int x, int y) {
  XTestFakeMotionEvent(display_, -1, x, y, CurrentTime);
  XSync(display_, False);
}

void XInput::Button(unsigned button, bool down) {
  if (button < 1 || button > 5) throw std::invalid_argument("XInput: button 1 to 5");
  XTestFakeButtonEvent(display_, button, down ? True : False, CurrentTime);
  XSync(display_, False);
}

void XInput::KeyEvent(KeySym key, bool down) {
  const KeyCode code = XKeysymToKeycode(display_, key);
  if (code == 0) throw std::invalid_argument("XInput: no key for keysym " + std::to_string(key));
  XTestFakeKeyEvent(display_, code, down ? True : False, CurrentTime);
  XSync(display_, False);
}

void XInput::Modifiers(unsigned modifiers, bool down) {
  const KeySym order[] = {XK_Shift_L, XK_Control_L, XK_Alt_L};
  const unsigned bits[] = {kShift, kCtrl, kAlt};
  if (down) {
    for (int i = 0; i < 3; ++i) {
      if ((modifiers & bits[i]) != 0) KeyEvent(order[i], true);
    }
  } else {
    for (int i = 2; i >= 0; --i) {
      if ((modifiers & bits[i]) != 0) KeyEvent(order[i], false);
    }
  }
}

void XInput::Press(unsigned button, unsigned modifiers) {
  Modifiers(modifiers, true);
  Button(button, true);
}

void XInput::Release(unsigned button, unsigned modifiers) {
  Button(button, false);
  Modifiers(modifiers, false);
}

void XInput::Click(unsigned button, unsigned modifiers) {
  Modifiers(modifiers, true);
  Button(button, true);
  Button(button, false);
  Modifiers(modifiers, false);
}

void XInput::DoubleClick(unsigned button, unsigned modifiers) {
  Modifiers(modifiers, true);
  for (int i = 0; i < 2; ++i) {
    Button(button, true);
    Button(button, false);
  }
  Modifiers(modifiers, false);
}

void XInput::Wheel(int steps, unsigned modifiers) {
  Modifiers(modifiers, true);
  const unsigned button = steps > 0 ? 4 : 5;
  for (int i = 0; i < (steps > 0 ? steps : -steps); ++i) {
    Button(button, true);
    Button(button, false);
  }
  Modifiers(modifiers, false);
}

void XInput::KeyDown(KeySym key) { KeyEvent(key, true); }
void XInput::KeyUp(KeySym key) { KeyEvent(key, false); }

void XInput::Key(KeySym key, unsigned modifiers) {
  Modifiers(modifiers, true);
  KeyEvent(key, true);
  KeyEvent(key, false);
  Modifiers(modifiers, false);
}

void XInput::Focus(Window window) {
  XSetInputFocus(display_, window, RevertToPointerRoot, CurrentTime);
  XSync(display_, False);
}

}  // namespace qd::e2e
