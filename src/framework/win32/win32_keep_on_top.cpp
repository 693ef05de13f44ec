// The raise rule: when the arrow goes back on top, as its header says.
#include "framework/win32/win32_keep_on_top.h"

#include <iterator>

#include "framework/win32/system_library.h"
#include "framework/win32/win32_keyboard_owner.h"

namespace qd::win32 {

namespace {

// The timer on the arrow's window, far from the form's timer ids, that looks once more
// whether something has gone above the arrow: a moment after a new foreground window (a
// slide show may put itself on top again as it loses the keyboard), or when a round of
// raises ends after one was refused.
constexpr UINT_PTR kKeepOnTopTimer = 0x5145;
// The looks after the first; after the arrow took the keyboard, while another program's
// top-most window lies under it, the later ones too: a show that goes on top again as it
// loses the keyboard may do so late on a busy machine.
constexpr UINT kKeepOnTopDelaysMs[] = {300, 1500, 5000};
constexpr int kKeepOnTopLooks = static_cast<int>(std::size(kKeepOnTopDelaysMs));
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
KeepOnTop*& Hooked() {
  // NOLINTNEXTLINE(cppcoreguidelines-avoid-non-const-global-variables)
  static KeepOnTop* owner = nullptr;
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

// What lies above the arrow in the z-order and covers it: visible, of another program, not
// the shell's, not click-through (a screen-sharing frame, an overlay), and over its rect.
struct CoverSearch {
  HWND arrow = nullptr;
  RECT arrowRect{};
  HWND named = nullptr;  // the window to judge alone, or none
  bool covered = false;
  // Past the arrow: a top-most window under it that may go above it again.
  bool belowArrow = false;
  bool contender = false;
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

// EnumWindows goes from the top of the z-order down, past the arrow to the first window
// that is not top-most.
BOOL CALLBACK LookAbove(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<CoverSearch*>(param);
  if (++search->seen > kMostWindows) return FALSE;
  if (window == search->arrow) {
    search->belowArrow = true;
    return TRUE;
  }
  if (search->belowArrow) {
    if ((::GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) == 0) return FALSE;
    search->contender = Covers(window, search->arrowRect);
    return search->contender ? FALSE : TRUE;
  }
  if ((search->named == nullptr || window == search->named) && Covers(window, search->arrowRect)) {
    search->covered = true;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

KeepOnTop::~KeepOnTop() {
  if (foregroundHook_ != nullptr) ::UnhookWinEvent(foregroundHook_);
  if (Hooked() == this) Hooked() = nullptr;
}

void KeepOnTop::SetWindows(HWND appWindow, HWND arrow) {
  appWindow_ = appWindow;
  // A new arrow starts with a round of its own; its timer went with the old one.
  if (arrow != arrow_) {
    raises_ = RaiseLimiter{};
    lookFor_ = nullptr;
    nextLook_ = 0;
  }
  arrow_ = arrow;
}

void KeepOnTop::Start() {
  // Out of context: no DLL in other programs, and nothing runs while nothing changes; the
  // program's own menus and boxes do not wake it.
  if (foregroundHook_ == nullptr) {
    foregroundHook_ = ::SetWinEventHook(EVENT_SYSTEM_FOREGROUND, EVENT_SYSTEM_FOREGROUND, nullptr,
                                        &ForegroundChanged, 0, 0,
                                        WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNPROCESS);
    if (foregroundHook_ != nullptr) Hooked() = this;
  }
}

bool KeepOnTop::OnTimer(UINT_PTR timerId) {
  if (timerId != kKeepOnTopTimer) return false;
  ::KillTimer(arrow_, kKeepOnTopTimer);
  const bool contender = Look(lookFor_);
  if (contender && nextLook_ < kKeepOnTopLooks) {
    ::SetTimer(arrow_, kKeepOnTopTimer, kKeepOnTopDelaysMs[nextLook_++], nullptr);
  } else {
    nextLook_ = kKeepOnTopLooks;
  }
  return true;
}

void CALLBACK KeepOnTop::ForegroundChanged(HWINEVENTHOOK /*hook*/, DWORD /*event*/, HWND window,
                                           LONG objectId, LONG /*childId*/, DWORD /*thread*/,
                                           DWORD /*time*/) {
  // The program's own windows are the arrow's own activation's business (Activated), also
  // where the skip flag is not honoured.
  if (objectId != OBJID_WINDOW || Hooked() == nullptr || OwnWindow(window)) return;
  Hooked()->LookSoon(window != nullptr ? ::GetAncestor(window, GA_ROOT) : nullptr, false);
}

void KeepOnTop::LookSoon(HWND named, bool thenLater) {
  if (arrow_ == nullptr || !::IsWindowVisible(arrow_)) return;
  lookFor_ = named;
  nextLook_ = thenLater ? 1 : kKeepOnTopLooks;
  ::SetTimer(arrow_, kKeepOnTopTimer, kKeepOnTopDelaysMs[0], nullptr);
  Look(named);
}

bool KeepOnTop::FullScreenGame() {
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

bool KeepOnTop::Look(HWND named) {
  HWND arrow = arrow_;
  // Disabled, it is behind the program's own box, which must stay above it.
  if (arrow == nullptr || !::IsWindowVisible(arrow) || !::IsWindowEnabled(arrow) ||
      ::IsIconic(appWindow_) || (::GetWindowLongW(arrow, GWL_EXSTYLE) & WS_EX_TOPMOST) == 0 ||
      ShellWindow(::GetForegroundWindow())) {
    return false;
  }
  CoverSearch search{arrow, {}, named};
  if (!::GetWindowRect(arrow, &search.arrowRect)) return false;
  ::EnumWindows(&LookAbove, reinterpret_cast<LPARAM>(&search));
  if (!search.covered) return search.contender;
  if (FullScreenGame()) return false;
  const DWORD now = ::GetTickCount();
  if (!raises_.Allow(now)) {
    // One look when the round ends, so that a show that won it does not stay above for good;
    // none after it, so that nothing ticks while it fights on.
    lookFor_ = named;
    nextLook_ = kKeepOnTopLooks;
    ::SetTimer(arrow, kKeepOnTopTimer, raises_.RetryInMs(now), nullptr);
    return false;
  }
  ::SetWindowPos(arrow, HWND_TOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
  return true;
}

}  // namespace qd::win32
