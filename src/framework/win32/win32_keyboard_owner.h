// Who has the keyboard, the arrow or the presenter's slide show: the one owner of
// WS_EX_NOACTIVATE and of the hand-over and hand-back. The window procedure, the menu, the
// boxes, the task bar and the hotkey tell it what happened (On); it alone changes the style
// and the foreground, and keeps the state they make:
//
//   state     NOACTIVATE  event                                       next
//   Passive   set         plain click (Wine's steps: after the        Owns
//                         double-click time, if still wanted)
//                         activated (task bar, Alt+Tab, own box)      Owns
//                         menu opens                                  Lent
//                         hidden, minimised                           Hidden
//   Owns      clear       another program activated                   Passive
//                         the program's own window activated          Owns
//                         raised by the hotkey, not in front          Passive
//                         hidden, minimised                           Hidden
//   Lent      clear       menu closed: back to the window that had it Passive
//                         the user clicked elsewhere (kept there)     Passive
//                         menu closed, the arrow had the keyboard     Owns
//                         hidden, minimised                           Hidden
//   Hidden    set         shown by the program (colour pick)          Owns
//                         shown or restored by the hotkey             Passive
//                         restored from the task bar                  Owns
//
// Windows may change both behind the program's back (another program activated): each
// event sets the state from what Windows then shows.
#pragma once

#include "framework/win32/win32.h"

namespace qd::win32 {

// A window of this program's process.
bool OwnWindow(HWND window);

enum class KeyboardState { Passive, Owns, Lent, Hidden };

// What happened, as the window procedure, the menu, the boxes, the task bar and the hotkey
// report it. `window` is the arrow's window, or the one the kind names.
struct KeyboardEvent {
  enum class Kind {
    Started,           // the message loop starts: the arrow shown in front with the keyboard
    ShownByProgram,    // shown again by the program (the colour pick): it takes the keyboard
    HiddenByProgram,   // it takes none, whatever shows it again
    Pressed,           // a left or right press
    PlainClick,        // a left press's button came up within the drag threshold
    Activation,        // WM_ACTIVATE, its parameters in wParam and lParam
    Tick,              // WM_TIMER, its id in wParam
    MenuOpens,         // the menu needs the foreground to close on a click elsewhere
    MenuClosed,        // `window`: the window that had the keyboard before the menu
    BoxClosed,         // `window`: the active window before a box without an owner
    Minimizing,        // to the task bar
    Restored,          // from the task bar, with the keyboard
    RestoredByHotkey,  // without the keyboard
    RaisedByHotkey,    // on top and shown, without the keyboard unless it has it
    AppWindowFocused,  // the task-bar window was given the focus
  };
  Kind kind{};
  HWND window = nullptr;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
};

class KeyboardOwnership {
 public:
  KeyboardOwnership();

  // The extended style a new arrow starts with: it takes no keyboard from a press.
  static DWORD CreationStyle();
  // The task-bar window's: never activated by accident (when the window in front closes,
  // say), since it would pass the keyboard to the arrow; its task-bar entry all the same.
  static DWORD TaskBarWindowStyle();
  // WM_MOUSEACTIVATE's answer, from the style.
  static LRESULT MouseActivateAnswer(HWND arrow);

  void SetWindows(HWND appWindow, HWND arrow);
  // Wine's extra steps (on by default only under Wine): a hide-and-show before the
  // hand-over, a re-map without focus after the hand-back, and a hand-over deferred past a
  // double-click. Without them, what Windows itself does.
  void UseWineSteps(bool use) { wineSteps_ = use; }
  [[nodiscard]] bool WineSteps() const { return wineSteps_; }

  // The one way in for the events of the table; false for a tick that is not the owner's.
  bool On(const KeyboardEvent& event);
  [[nodiscard]] KeyboardState State() const { return state_; }

 private:
  // What an event did, in the table's terms: the arrow took the keyboard, lent it to the
  // menu, left it to another program, shown without it, kept it past the menu, or hid.
  enum class Change { None, Took, Lent, Left, ShownWithout, Kept, Hid };
  static KeyboardState Next(KeyboardState from, Change change);

  Change Answer(const KeyboardEvent& event);
  static void SetNoActivate(HWND hwnd, bool noActivate);
  Change PlainClick(HWND arrow);
  bool StillWantsTheKeyboard(HWND arrow) const;
  [[nodiscard]] bool TakeKeyboard(HWND hwnd) const;
  void RemapWithoutFocus(HWND hwnd) const;
  bool ProgramWindow(HWND window) const;
  Change GiveBack(HWND previous) const;
  static Change Activation(HWND arrow, WPARAM wParam, LPARAM lParam);
  static Change RaiseWithoutActivation(HWND hwnd);

  HWND appWindow_ = nullptr;
  HWND arrow_ = nullptr;
  bool wineSteps_ = false;
  // A new arrow is made hidden, and takes no keyboard.
  KeyboardState state_ = KeyboardState::Hidden;
  // Windows' foreground at the last plain click, while its hand-over waits (Wine's steps).
  HWND foregroundAtClick_ = nullptr;
};

}  // namespace qd::win32
