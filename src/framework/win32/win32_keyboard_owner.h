// Who has the keyboard, the arrow or the presenter's slide show: the one owner of
// WS_EX_NOACTIVATE and of the hand-over and hand-back. The window procedure, the menu, the boxes,
// the task bar and the hotkey tell it what happened; it alone changes the style and the foreground.
//
//   state     NOACTIVATE  event                                       next
//   Passive   set         plain click (Wine's steps: after the        Owns
//                         double-click time, if still wanted)
//                         activated (task bar, Alt+Tab, own box)      Owns
//                         menu opens (TakeKeyboard)                   Lent
//                         hidden, minimised                           Hidden
//   Owns      clear       another program activated                   Passive
//                         the program's own window activated          Owns
//                         hidden, minimised                           Hidden
//   Lent      clear       GiveBack to the window that had it          Passive
//                         the user clicked elsewhere (kept there)     Passive
//   Hidden    set         shown by the program (colour pick)          Owns
//                         shown or restored by the hotkey             Passive
//                         restored from the task bar                  Owns
#pragma once

#include "framework/win32/win32.h"

namespace qd::win32 {

// A window of this program's process.
bool OwnWindow(HWND window);

class KeyboardOwnership {
 public:
  KeyboardOwnership();

  // The extended style a new arrow starts with: it takes no keyboard from a press.
  static DWORD CreationStyle();
  // The task-bar window's: never activated by accident (when the window in front closes,
  // say), since it would pass the keyboard to the arrow; its task-bar entry all the same.
  static DWORD TaskBarWindowStyle();
  void SetWindows(HWND appWindow, HWND arrow);
  // Wine's extra steps (on by default only under Wine): a hide-and-show before the
  // hand-over, a re-map without focus after the hand-back, and a hand-over deferred past a
  // double-click. Without them, what Windows itself does.
  void UseWineSteps(bool use) { wineSteps_ = use; }

  // The message loop starts: the arrow shown in front with the keyboard.
  static void StartShown(HWND arrow);
  // Shown again by the program (the colour pick), the arrow takes the keyboard; hidden,
  // it takes none, whatever shows it again.
  static void Show(HWND hwnd, bool visible);
  // A left press, and a plain click when its button came up.
  static void Pressed(HWND arrow);
  void PlainClick(HWND arrow);
  // WM_MOUSEACTIVATE's answer and WM_ACTIVATE.
  static LRESULT MouseActivateAnswer(HWND arrow);
  static void Activated(HWND arrow, WPARAM wParam, LPARAM lParam);
  // The owner's own timer on the arrow; whether the tick was that one.
  bool OnTimer(HWND arrow, UINT_PTR timerId);

  // Before the menu: it needs the foreground to close on a click elsewhere.
  void TakeKeyboard(HWND hwnd) const;
  [[nodiscard]] static HWND CurrentOwner();
  void GiveBack(HWND previous) const;
  // Around a box without an owner: the window that had the keyboard takes it again after.
  static HWND BeforeBox();
  static void AfterBox(HWND active);

  // The task bar: minimised, and restored from it (with the keyboard) or by the hotkey.
  void Minimizing() const;
  void Restored(bool activate) const;
  // The task-bar window was given the focus.
  void AppWindowFocused() const;
  // The hotkey: on top and shown, without the keyboard unless it has it.
  static void RaiseWithoutActivation(HWND hwnd);

 private:
  static void SetNoActivate(HWND hwnd, bool noActivate);
  bool StillWantsTheKeyboard(HWND arrow) const;
  void RemapWithoutFocus(HWND hwnd) const;
  bool ProgramWindow(HWND window) const;

  HWND appWindow_ = nullptr;
  HWND arrow_ = nullptr;
  bool wineSteps_ = false;
  // Windows' foreground at the last plain click, while its hand-over waits (Wine's steps).
  HWND foregroundAtClick_ = nullptr;
};

}  // namespace qd::win32
