// Input through the X test extension, as a user would give it.
#pragma once

#include <X11/Xlib.h>

namespace qd::e2e {

enum Modifier : unsigned {
  kNoModifier = 0,
  kShift = 1,
  kCtrl = 2,
  kAlt = 4,
};

class XInput {
 public:
  explicit XInput(::Display* display) : display_(display) {}

  void MoveTo(int x, int y);
  // Buttons 1 to 5: left, middle, right, wheel up, wheel down.
  void Press(unsigned button, unsigned modifiers = kNoModifier);
  void Release(unsigned button, unsigned modifiers = kNoModifier);
  void Click(unsigned button, unsigned modifiers = kNoModifier);
  void DoubleClick(unsigned button = 1, unsigned modifiers = kNoModifier);
  // Positive steps turn the wheel up (away from the user), negative ones down.
  void Wheel(int steps, unsigned modifiers = kNoModifier);
  void KeyDown(KeySym key);
  void KeyUp(KeySym key);
  // Presses the modifiers, taps the key and releases them in reverse order.
  void Key(KeySym key, unsigned modifiers = kNoModifier);
  // Gives the window the keyboard, as a window manager would: without one, the keyboard
  // follows the pointer, and keys over the bare root reach no program.
  void Focus(Window window);

 private:
  void Modifiers(unsigned modifiers, bool down);
  void Button(unsigned button, bool down);
  void KeyEvent(KeySym key, bool down);

  ::Display* display_;
};

}  // namespace qd::e2e
