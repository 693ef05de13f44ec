// The keyboard's owner: the states and moves listed in its header.
#include "framework/win32/win32_keyboard_owner.h"

namespace qd::win32 {

namespace {

// The owner's timer on the arrow's window, far from the form's timer ids: a plain click
// hands over the keyboard when it fires (Wine's steps).
constexpr UINT_PTR kTakeKeyboardTimer = 0x5144;

}  // namespace

bool OwnWindow(HWND window) {
  DWORD process = 0;
  return window != nullptr && ::GetWindowThreadProcessId(window, &process) != 0 &&
         process == ::GetCurrentProcessId();
}

KeyboardOwnership::KeyboardOwnership() {
  if (HMODULE ntdll = ::GetModuleHandleA("ntdll.dll"); ntdll != nullptr) {
    wineSteps_ = ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
  }
}

DWORD KeyboardOwnership::CreationStyle() { return WS_EX_NOACTIVATE; }

DWORD KeyboardOwnership::TaskBarWindowStyle() { return WS_EX_NOACTIVATE | WS_EX_APPWINDOW; }

LRESULT KeyboardOwnership::MouseActivateAnswer(HWND arrow) {
  // Said outright: Wine's default answer does not look at the style.
  return (::GetWindowLongW(arrow, GWL_EXSTYLE) & WS_EX_NOACTIVATE) != 0 ? MA_NOACTIVATE
                                                                        : MA_ACTIVATE;
}

void KeyboardOwnership::SetWindows(HWND appWindow, HWND arrow) {
  appWindow_ = appWindow;
  if (arrow != arrow_) state_ = KeyboardState::Hidden;
  arrow_ = arrow;
}

bool KeyboardOwnership::On(const KeyboardEvent& event) {
  if (event.kind == KeyboardEvent::Kind::Tick && event.wParam != kTakeKeyboardTimer) return false;
  state_ = Next(state_, Answer(event));
  return true;
}

// The header's table.
KeyboardState KeyboardOwnership::Next(KeyboardState from, Change change) {
  using enum KeyboardState;
  switch (from) {
    case Passive:
      switch (change) {
        case Change::Took:
          return Owns;
        case Change::Lent:
          return Lent;
        case Change::Hid:
          return Hidden;
        default:
          return Passive;
      }
    case Owns:
      switch (change) {
        case Change::Left:
        case Change::ShownWithout:
          return Passive;
        case Change::Lent:
          return Lent;
        case Change::Hid:
          return Hidden;
        default:
          return Owns;
      }
    case Lent:
      switch (change) {
        case Change::Left:
        case Change::ShownWithout:
          return Passive;
        case Change::Kept:
          return Owns;
        case Change::Hid:
          return Hidden;
        default:
          return Lent;
      }
    case Hidden:
      break;
  }
  // Another program activated meanwhile leaves it hidden.
  switch (change) {
    case Change::Took:
      return Owns;
    case Change::ShownWithout:
      return Passive;
    default:
      return Hidden;
  }
}

KeyboardOwnership::Change KeyboardOwnership::Answer(const KeyboardEvent& event) {
  using Kind = KeyboardEvent::Kind;
  HWND window = event.window;
  switch (event.kind) {
    // At the start shown in front with the keyboard, as an ordinary window until another
    // program takes it.
    case Kind::Started:
    case Kind::ShownByProgram:
      SetNoActivate(window, false);
      ::ShowWindow(window, SW_SHOW);
      return Change::Took;
    case Kind::HiddenByProgram:
      SetNoActivate(window, true);
      ::ShowWindow(window, SW_HIDE);
      return Change::Hid;
    case Kind::Pressed:
      ::KillTimer(window, kTakeKeyboardTimer);
      return Change::None;
    case Kind::PlainClick:
      return PlainClick(window);
    case Kind::Activation:
      return Activation(window, event.wParam, event.lParam);
    case Kind::Tick:
      ::KillTimer(window, kTakeKeyboardTimer);
      return StillWantsTheKeyboard(window) && TakeKeyboard(window) ? Change::Took : Change::None;
    case Kind::MenuOpens:
      return TakeKeyboard(window) ? Change::Lent : Change::None;
    case Kind::MenuClosed:
      return GiveBack(window);
    case Kind::BoxClosed:
      if (window != nullptr && ::IsWindow(window) && ::IsWindowVisible(window)) {
        ::SetForegroundWindow(window);
      }
      return Change::None;
    case Kind::Minimizing:
      // Activation passes to the task-bar window first, so WM_ACTIVATE would leave the arrow
      // ready to take the keyboard at the first press after it is back.
      if (arrow_ == nullptr) return Change::None;
      SetNoActivate(arrow_, true);
      return Change::Hid;
    case Kind::Restored:
    case Kind::RestoredByHotkey: {
      // From the task bar it is an ordinary window with the keyboard; from the hotkey it
      // takes none.
      if (arrow_ == nullptr) return Change::None;
      const bool activate = event.kind == Kind::Restored;
      SetNoActivate(arrow_, !activate);
      return activate ? Change::Took : Change::ShownWithout;
    }
    case Kind::RaisedByHotkey:
      return RaiseWithoutActivation(window);
    case Kind::AppWindowFocused:
      // Keys go to the arrow, never to the invisible owner.
      if (arrow_ != nullptr && ::IsWindowVisible(arrow_) && ::IsWindowEnabled(arrow_)) {
        ::SetFocus(arrow_);
      }
      return Change::None;
  }
  return Change::None;
}

void KeyboardOwnership::SetNoActivate(HWND hwnd, bool noActivate) {
  const LONG exStyle = ::GetWindowLongW(hwnd, GWL_EXSTYLE);
  const LONG wanted = noActivate ? (exStyle | WS_EX_NOACTIVATE) : (exStyle & ~WS_EX_NOACTIVATE);
  if (wanted != exStyle) ::SetWindowLongW(hwnd, GWL_EXSTYLE, wanted);
}

KeyboardOwnership::Change KeyboardOwnership::PlainClick(HWND arrow) {
  // With Wine's steps the hand-over shows the window afresh; done at once, the second press
  // of a double-click could find the window hidden and reach the slides. So there it waits
  // until no second press can come.
  if (wineSteps_) {
    foregroundAtClick_ = ::GetForegroundWindow();
    ::SetTimer(arrow, kTakeKeyboardTimer, ::GetDoubleClickTime(), nullptr);
    return Change::None;
  }
  return TakeKeyboard(arrow) ? Change::Took : Change::None;
}

bool KeyboardOwnership::StillWantsTheKeyboard(HWND arrow) const {
  // Not if the user has gone on meanwhile: clicked into another window (the pointer is no
  // longer on the arrow), switched to one (the foreground moved on), or opened a box.
  POINT at{};
  return ::IsWindowVisible(arrow) && ::IsWindowEnabled(arrow) &&
         ::GetForegroundWindow() == foregroundAtClick_ && ::GetCursorPos(&at) &&
         ::WindowFromPoint(at) == arrow;
}

bool KeyboardOwnership::TakeKeyboard(HWND hwnd) const {
  ::KillTimer(hwnd, kTakeKeyboardTimer);
  // Hidden or behind a box, it must keep taking none: whatever shows it again would
  // otherwise leave it ready to take the keyboard at the next press.
  if (!::IsWindowVisible(hwnd) || !::IsWindowEnabled(hwnd)) return false;
  SetNoActivate(hwnd, false);
  if (::GetForegroundWindow() == hwnd) return true;
  // Wine 8 gives the X focus to a window that the window manager manages only as it maps
  // the window, whatever SetForegroundWindow says.
  if (wineSteps_) {
    ::ShowWindow(hwnd, SW_HIDE);
    ::ShowWindow(hwnd, SW_SHOW);
  }
  ::SetForegroundWindow(hwnd);
  return true;
}

// Unmapped and mapped again without activation: under Wine the window manager then passes
// the X focus, and with it Windows' foreground, to the window that had it before.
void KeyboardOwnership::RemapWithoutFocus(HWND hwnd) const {
  if (!wineSteps_ || !::IsWindowVisible(hwnd)) return;
  ::ShowWindow(hwnd, SW_HIDE);
  ::ShowWindow(hwnd, SW_SHOWNA);
}

// The task-bar window, the arrow, and the boxes and dialogs they own.
bool KeyboardOwnership::ProgramWindow(HWND window) const {
  return window != nullptr &&
         (window == appWindow_ || ::GetAncestor(window, GA_ROOTOWNER) == appWindow_);
}

KeyboardOwnership::Change KeyboardOwnership::GiveBack(HWND previous) const {
  // A click elsewhere that closed the menu gave the keyboard to that program: it stays.
  HWND now = ::GetForegroundWindow();
  if (now != nullptr && !OwnWindow(now)) return Change::Left;
  if (previous == nullptr || ProgramWindow(previous) || !::IsWindowVisible(previous)) {
    return Change::Kept;
  }
  if (arrow_ != nullptr) SetNoActivate(arrow_, true);
  ::SetForegroundWindow(previous);
  if (arrow_ != nullptr) RemapWithoutFocus(arrow_);
  return Change::Left;
}

KeyboardOwnership::Change KeyboardOwnership::Activation(HWND arrow, WPARAM wParam, LPARAM lParam) {
  // The keyboard has gone to another program (under Wine lParam is then 0): presses no
  // longer take it. The program's own help, colour dialog or pick gives it back after.
  // Given it some other way (the task bar, Alt+Tab), it is an ordinary window again.
  if (LOWORD(wParam) != WA_INACTIVE) {
    SetNoActivate(arrow, false);
    return Change::Took;
  }
  if (!OwnWindow(reinterpret_cast<HWND>(lParam))) {
    SetNoActivate(arrow, true);
    return Change::Left;
  }
  return Change::None;
}

KeyboardOwnership::Change KeyboardOwnership::RaiseWithoutActivation(HWND hwnd) {
  // Brought back while another window has the keyboard, a press must not take it. The
  // task-bar window stays where it is: lifted, Windows could activate it by accident.
  const bool inFront = ::GetForegroundWindow() == hwnd;
  if (!inFront) SetNoActivate(hwnd, true);
  ::SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOOWNERZORDER | SWP_SHOWWINDOW);
  return inFront ? Change::Took : Change::ShownWithout;
}

}  // namespace qd::win32
