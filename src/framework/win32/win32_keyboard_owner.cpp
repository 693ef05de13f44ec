// The keyboard's owner: the states and moves listed in its header.
#include "framework/win32/win32_keyboard_owner.h"

#include "framework/win32/system_library.h"

namespace qd::win32 {

namespace {

// The owner's timers on the arrow's window, far from the form's timer ids: a plain click
// hands over the keyboard when the first fires (Wine's steps) ...
constexpr UINT_PTR kTakeKeyboardTimer = 0x5144;
// ... and the second looks once more whether something has gone above the arrow: a moment
// after a new foreground window (a slide show may put itself on top again as it loses the
// keyboard), or when a round of raises ends after one was refused.
constexpr UINT_PTR kKeepOnTopTimer = 0x5145;
constexpr UINT kKeepOnTopDelayMs = 300;
// No window list is longer; a bound all the same while other programs reorder windows.
constexpr int kMostWindows = 4096;
// SHQueryUserNotificationState: a game or video in exclusive full-screen Direct3D.
constexpr int kRunningD3DFullScreen = 3;
// The system's own surfaces stay above the arrow: the task bar and its flyouts, Start,
// search, the task switchers, and open menus and tooltips. Windows 11 hosts its new ones in
// XAML islands: the tray overflow (TopLevelWindowForOverflowXamlIsland), quick settings and
// the notification centre (ControlCenterWindow), the task bar's and Snap layouts' flyouts
// (Xaml_WindowedPopupClass), search and widgets (Windows.UI.Composition.
// DesktopWindowContentBridge), Start (Windows.UI.Core.CoreWindow), Alt+Tab and Task View
// (XamlExplorerHostIslandWindow), and the input switcher (Shell_InputSwitchTopLevelWindow).
constexpr const wchar_t* kShellClasses[] = {L"Shell_TrayWnd",
                                            L"Shell_SecondaryTrayWnd",
                                            L"Windows.UI.Core.CoreWindow",
                                            L"MultitaskingViewFrame",
                                            L"TaskSwitcherWnd",
                                            L"XamlExplorerHostIslandWindow",
                                            L"ForegroundStaging",
                                            L"#32771",
                                            L"DV2ControlHost",
                                            L"NotifyIconOverflowWindow",
                                            L"TopLevelWindowForOverflowXamlIsland",
                                            L"ControlCenterWindow",
                                            L"Xaml_WindowedPopupClass",
                                            L"Windows.UI.Composition.DesktopWindowContentBridge",
                                            L"Shell_InputSwitchTopLevelWindow",
                                            L"#32768",
                                            L"tooltips_class32"};

// The owner whose hook is on; the hook's callback runs on its thread. SetWinEventHook gives
// its callback no context of its own: this is the one way the callback finds its owner.
KeyboardOwnership*& Hooked() {
  // NOLINTNEXTLINE(cppcoreguidelines-avoid-non-const-global-variables)
  static KeyboardOwnership* owner = nullptr;
  return owner;
}

bool ShellWindow(HWND window) {
  wchar_t name[64] = {};
  if (window == nullptr || ::GetClassNameW(window, name, 64) == 0) return false;
  for (const wchar_t* shell : kShellClasses) {
    if (::lstrcmpW(name, shell) == 0) return true;
  }
  return false;
}

bool OwnWindow(HWND window) {
  DWORD process = 0;
  return window != nullptr && ::GetWindowThreadProcessId(window, &process) != 0 &&
         process == ::GetCurrentProcessId();
}

// What lies above the arrow in the z-order and covers it: visible, of another program, not
// the shell's, not click-through (a screen-sharing frame, an overlay), and over its rect.
struct CoverSearch {
  HWND arrow = nullptr;
  RECT arrowRect{};
  HWND named = nullptr;  // the window to judge alone, or none
  bool covered = false;
  int seen = 0;
};

bool Covers(HWND window, const RECT& arrowRect) {
  const LONG exStyle = ::GetWindowLongW(window, GWL_EXSTYLE);
  constexpr LONG kClickThrough = WS_EX_TRANSPARENT | WS_EX_LAYERED;
  RECT theirs{};
  RECT overlap{};
  return ::IsWindowVisible(window) && !::IsIconic(window) &&
         (exStyle & kClickThrough) != kClickThrough && !OwnWindow(window) && !ShellWindow(window) &&
         ::GetWindowRect(window, &theirs) && ::IntersectRect(&overlap, &arrowRect, &theirs);
}

// EnumWindows goes from the top of the z-order down: it stops at the arrow.
BOOL CALLBACK LookAbove(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<CoverSearch*>(param);
  if (window == search->arrow || ++search->seen > kMostWindows) return FALSE;
  if ((search->named == nullptr || window == search->named) && Covers(window, search->arrowRect)) {
    search->covered = true;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

KeyboardOwnership::KeyboardOwnership() {
  if (HMODULE ntdll = ::GetModuleHandleA("ntdll.dll"); ntdll != nullptr) {
    wineSteps_ = ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
  }
}

KeyboardOwnership::~KeyboardOwnership() {
  if (foregroundHook_ != nullptr) ::UnhookWinEvent(foregroundHook_);
  if (Hooked() == this) Hooked() = nullptr;
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
  // Out of context: no DLL in other programs, and nothing runs while nothing changes; the
  // program's own menus and boxes do not wake it.
  if (foregroundHook_ == nullptr) {
    foregroundHook_ = ::SetWinEventHook(EVENT_SYSTEM_FOREGROUND, EVENT_SYSTEM_FOREGROUND, nullptr,
                                        &ForegroundChanged, 0, 0,
                                        WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNPROCESS);
    if (foregroundHook_ != nullptr) Hooked() = this;
  }
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
  // Given it some other way (the task bar, Alt+Tab), it is an ordinary window again; a
  // show may answer by putting itself on top, which no event of its own reports.
  if (LOWORD(wParam) != WA_INACTIVE) {
    SetNoActivate(arrow, false);
    LookSoon(nullptr);
  } else if (!OwnWindow(reinterpret_cast<HWND>(lParam))) {
    SetNoActivate(arrow, true);
  }
}

bool KeyboardOwnership::OnTimer(HWND arrow, UINT_PTR timerId) {
  if (timerId == kKeepOnTopTimer) {
    ::KillTimer(arrow, kKeepOnTopTimer);
    KeepOnTop(lookFor_);
    return true;
  }
  if (timerId == kTakeKeyboardTimer) {
    ::KillTimer(arrow, kTakeKeyboardTimer);
    if (StillWantsTheKeyboard(arrow)) TakeKeyboard(arrow);
    return true;
  }
  return false;
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

void CALLBACK KeyboardOwnership::ForegroundChanged(HWINEVENTHOOK /*hook*/, DWORD /*event*/,
                                                   HWND window, LONG objectId, LONG /*childId*/,
                                                   DWORD /*thread*/, DWORD /*time*/) {
  // The program's own windows are the arrow's own activation's business (Activated), also
  // where the skip flag is not honoured.
  if (objectId != OBJID_WINDOW || Hooked() == nullptr || OwnWindow(window)) return;
  Hooked()->LookSoon(window != nullptr ? ::GetAncestor(window, GA_ROOT) : nullptr);
}

void KeyboardOwnership::LookSoon(HWND named) {
  if (arrow_ == nullptr || !::IsWindowVisible(arrow_)) return;
  lookFor_ = named;
  ::SetTimer(arrow_, kKeepOnTopTimer, kKeepOnTopDelayMs, nullptr);
  KeepOnTop(named);
}

bool KeyboardOwnership::FullScreenGame() {
  // Loaded at the first raise: imported, shell32 would load with every start.
  if (!shellLoaded_) {
    shellLoaded_ = true;
    if (const HMODULE shell32 = LoadSystemLibrary(L"shell32.dll"); shell32 != nullptr) {
      queryNotificationState_ = reinterpret_cast<QueryNotificationStateFn>(
          reinterpret_cast<void*>(::GetProcAddress(shell32, "SHQueryUserNotificationState")));
    }
  }
  int state = 0;
  return queryNotificationState_ != nullptr && queryNotificationState_(&state) == S_OK &&
         state == kRunningD3DFullScreen;
}

void KeyboardOwnership::KeepOnTop(HWND named) {
  HWND arrow = arrow_;
  // Disabled, it is behind the program's own box, which must stay above it.
  if (arrow == nullptr || !::IsWindowVisible(arrow) || !::IsWindowEnabled(arrow) ||
      ::IsIconic(appWindow_) || (::GetWindowLongW(arrow, GWL_EXSTYLE) & WS_EX_TOPMOST) == 0 ||
      ShellWindow(::GetForegroundWindow())) {
    return;
  }
  CoverSearch search{arrow, {}, named};
  if (!::GetWindowRect(arrow, &search.arrowRect)) return;
  ::EnumWindows(&LookAbove, reinterpret_cast<LPARAM>(&search));
  if (!search.covered || FullScreenGame()) return;
  const DWORD now = ::GetTickCount();
  if (!raises_.Allow(now)) {
    // One look when the round ends, so that a show that won it does not stay above for good.
    lookFor_ = named;
    ::SetTimer(arrow, kKeepOnTopTimer, raises_.RetryInMs(now), nullptr);
    return;
  }
  ::SetWindowPos(arrow, HWND_TOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
}

}  // namespace qd::win32
