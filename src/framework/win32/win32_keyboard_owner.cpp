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

void KeyboardOwnership::SetWindows(HWND appWindow, HWND arrow) {
  appWindow_ = appWindow;
  arrow_ = arrow;
}

void KeyboardOwnership::SetNoActivate(HWND hwnd, bool noActivate) {
  const LONG exStyle = ::GetWindowLongW(hwnd, GWL_EXSTYLE);
  const LONG wanted = noActivate ? (exStyle | WS_EX_NOACTIVATE) : (exStyle & ~WS_EX_NOACTIVATE);
  if (wanted != exStyle) ::SetWindowLongW(hwnd, GWL_EXSTYLE, wanted);
}

void KeyboardOwnership::StartShown(HWND arrow) {
  // Shown in front with the keyboard, as an ordinary window until another program takes it.
  SetNoActivate(arrow, false);
  ::ShowWindow(arrow, SW_SHOW);
}

void KeyboardOwnership::Show(HWND hwnd, bool visible) {
  SetNoActivate(hwnd, !visible);
  ::ShowWindow(hwnd, visible ? SW_SHOW : SW_HIDE);
}

void KeyboardOwnership::Pressed(HWND arrow) { ::KillTimer(arrow, kTakeKeyboardTimer); }

void KeyboardOwnership::PlainClick(HWND arrow) {
  // With Wine's steps the hand-over shows the window afresh; done at once, the second press
  // of a double-click could find the window hidden and reach the slides. So there it waits
  // until no second press can come.
  if (wineSteps_) {
    foregroundAtClick_ = ::GetForegroundWindow();
    ::SetTimer(arrow, kTakeKeyboardTimer, ::GetDoubleClickTime(), nullptr);
  } else {
    TakeKeyboard(arrow);
  }
}

bool KeyboardOwnership::StillWantsTheKeyboard(HWND arrow) const {
  // Not if the user has gone on meanwhile: clicked into another window (the pointer is no
  // longer on the arrow), switched to one (the foreground moved on), or opened a box.
  POINT at{};
  return ::IsWindowVisible(arrow) && ::IsWindowEnabled(arrow) &&
         ::GetForegroundWindow() == foregroundAtClick_ && ::GetCursorPos(&at) &&
         ::WindowFromPoint(at) == arrow;
}

void KeyboardOwnership::TakeKeyboard(HWND hwnd) const {
  ::KillTimer(hwnd, kTakeKeyboardTimer);
  // Hidden or behind a box, it must keep taking none: whatever shows it again would
  // otherwise leave it ready to take the keyboard at the next press.
  if (!::IsWindowVisible(hwnd) || !::IsWindowEnabled(hwnd)) return;
  SetNoActivate(hwnd, false);
  if (::GetForegroundWindow() == hwnd) return;
  // Wine 8 gives the X focus to a window that the window manager manages only as it maps
  // the window, whatever SetForegroundWindow says.
  if (wineSteps_) {
    ::ShowWindow(hwnd, SW_HIDE);
    ::ShowWindow(hwnd, SW_SHOW);
  }
  ::SetForegroundWindow(hwnd);
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

HWND KeyboardOwnership::CurrentOwner() { return ::GetForegroundWindow(); }

void KeyboardOwnership::GiveBack(HWND previous) const {
  // A click elsewhere that closed the menu gave the keyboard to that program: it stays.
  HWND now = ::GetForegroundWindow();
  if (previous == nullptr || ProgramWindow(previous) || !::IsWindowVisible(previous) ||
      (now != nullptr && !OwnWindow(now))) {
    return;
  }
  if (arrow_ != nullptr) SetNoActivate(arrow_, true);
  ::SetForegroundWindow(previous);
  if (arrow_ != nullptr) RemapWithoutFocus(arrow_);
}

HWND KeyboardOwnership::BeforeBox() { return ::GetActiveWindow(); }

void KeyboardOwnership::AfterBox(HWND active) {
  if (active != nullptr && ::IsWindow(active) && ::IsWindowVisible(active)) {
    ::SetForegroundWindow(active);
  }
}

LRESULT KeyboardOwnership::MouseActivateAnswer(HWND arrow) {
  // Said outright: Wine's default answer does not look at the style.
  return (::GetWindowLongW(arrow, GWL_EXSTYLE) & WS_EX_NOACTIVATE) != 0 ? MA_NOACTIVATE
                                                                        : MA_ACTIVATE;
}

void KeyboardOwnership::Activated(HWND arrow, WPARAM wParam, LPARAM lParam) {
  // The keyboard has gone to another program (under Wine lParam is then 0): presses no
  // longer take it. The program's own help, colour dialog or pick gives it back after.
  // Given it some other way (the task bar, Alt+Tab), it is an ordinary window again.
  if (LOWORD(wParam) != WA_INACTIVE) {
    SetNoActivate(arrow, false);
  } else if (!OwnWindow(reinterpret_cast<HWND>(lParam))) {
    SetNoActivate(arrow, true);
  }
}

bool KeyboardOwnership::OnTimer(HWND arrow, UINT_PTR timerId) {
  if (timerId != kTakeKeyboardTimer) return false;
  ::KillTimer(arrow, kTakeKeyboardTimer);
  if (StillWantsTheKeyboard(arrow)) TakeKeyboard(arrow);
  return true;
}

void KeyboardOwnership::Minimizing() const {
  // Activation passes to the task-bar window first, so WM_ACTIVATE would leave the arrow
  // ready to take the keyboard at the first press after it is back.
  if (arrow_ != nullptr) SetNoActivate(arrow_, true);
}

void KeyboardOwnership::Restored(bool activate) const {
  // From the task bar it is an ordinary window with the keyboard; from the hotkey it takes
  // none.
  if (arrow_ != nullptr) SetNoActivate(arrow_, !activate);
}

void KeyboardOwnership::AppWindowFocused() const {
  // Keys go to the arrow, never to the invisible owner.
  if (arrow_ != nullptr && ::IsWindowVisible(arrow_) && ::IsWindowEnabled(arrow_)) {
    ::SetFocus(arrow_);
  }
}

void KeyboardOwnership::RaiseWithoutActivation(HWND hwnd) {
  // Brought back while another window has the keyboard, a press must not take it. The
  // task-bar window stays where it is: lifted, Windows could activate it by accident.
  if (::GetForegroundWindow() != hwnd) SetNoActivate(hwnd, true);
  ::SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOOWNERZORDER | SWP_SHOWWINDOW);
}

}  // namespace qd::win32
