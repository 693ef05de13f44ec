// The arrow's window: its class, the window procedure that decodes each message into one
// typed event of the form, and the operations on the window: bounds, region, opacity,
// timers, cursor and the message loop.
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <utility>

#include "framework/modifiers.h"
#include "framework/win32/text.h"
#include "framework/win32/win32_canvas.h"
#include "framework/win32/win32_window_system.h"

namespace qd::win32 {

namespace {

constexpr wchar_t kAppClassName[] = L"TApplication";
constexpr wchar_t kFormClassName[] = L"TFormMain";
constexpr char kIconName[] = "MAINICON";
constexpr int kParkedPosition = -32000;
// A probe in another process asks for the live-object counts with this message; wParam
// 0, 1, 2 selects GDI, USER or kernel objects.
constexpr char kLiveObjectsMessageName[] = "Quiverdart.LiveObjects";
// ... and the number of timer ticks dispatched to the program's windows so far, so that a
// benchmark can see whether an untouched arrow keeps waking up.
constexpr char kTimerTicksMessageName[] = "Quiverdart.TimerTicks";
// Sent to a per-monitor aware window (Windows 8.1 and 10 1703 and later); named here
// because the headers declare them only for those Windows.
constexpr UINT kDpiChanged = 0x02E0;
constexpr UINT kGetDpiScaledSize = 0x02E4;
// The setting that holds the monitors' scales (Windows 8 and later).
constexpr WPARAM kSetLogicalDpiOverride = 0x009F;
// A second start asks the running program to take over: what the running one answers, how
// long each may take to answer and how long the second start looks for one that does.
constexpr LRESULT kHandedOver = 0x5146;
constexpr LRESULT kHandOverEnding = 0x5145;
constexpr UINT kHandOverAnswerMs = 1000;
constexpr DWORD kHandOverWaitMs = 5000;
constexpr DWORD kHandOverRetryMs = 50;

// A typed character as the key-press handlers take it, in the ANSI code page, as a window
// of the ANSI calls would have it; one outside that code page becomes '?', never the
// control character that cutting it to eight bits would make of it (U+011B: Esc).
char AnsiChar(wchar_t ch) {
  if (ch < 0x80) return static_cast<char>(ch);
  char ansi = '?';
  ::WideCharToMultiByte(CP_ACP, 0, &ch, 1, &ansi, 1, nullptr, nullptr);
  return ansi;
}

// Shift, Ctrl and Alt as this thread's key state has them, and as the keyboard has them now.
ModifierReadings ReadModifiers() {
  ModifierReadings keys;
  const auto read = [](SHORT (*state)(int)) {
    unsigned bits = 0;
    if (state(VK_SHIFT) < 0) bits |= ssShift;
    if (state(VK_CONTROL) < 0) bits |= ssCtrl;
    if (state(VK_MENU) < 0) bits |= ssAlt;
    return TShiftState::FromBits(bits);
  };
  keys.thread = read([](int key) { return ::GetKeyState(key); });
  keys.system = read([](int key) { return ::GetAsyncKeyState(key); });
  return keys;
}

// Whether this thread's windows have the keyboard, so that its own key state is current.
bool ThreadHasKeyboard() {
  HWND foreground = ::GetForegroundWindow();
  return foreground != nullptr &&
         ::GetWindowThreadProcessId(foreground, nullptr) == ::GetCurrentThreadId();
}

TShiftState KeyShiftState() {
  return MessageShiftState({}, false, ThreadHasKeyboard(), ReadModifiers());
}

// The mouse messages carry Shift, Ctrl and the buttons; Alt is read from the keyboard.
TShiftState MouseShiftState(WPARAM keys) {
  unsigned bits = 0;
  if ((keys & MK_SHIFT) != 0) bits |= ssShift;
  if ((keys & MK_CONTROL) != 0) bits |= ssCtrl;
  if ((keys & MK_LBUTTON) != 0) bits |= ssLeft;
  if ((keys & MK_RBUTTON) != 0) bits |= ssRight;
  if ((keys & MK_MBUTTON) != 0) bits |= ssMiddle;
  return MessageShiftState(TShiftState::FromBits(bits), true, ThreadHasKeyboard(), ReadModifiers());
}

// A tap of a pen or finger, or a shaky hand, moves the pointer a pixel or two: still a
// click, as Windows' own click-or-drag test (DragDetect) has it.
bool WithinDragThreshold(POINT pressAt, POINT at) {
  return std::abs(at.x - pressAt.x) < ::GetSystemMetrics(SM_CXDRAG) &&
         std::abs(at.y - pressAt.y) < ::GetSystemMetrics(SM_CYDRAG);
}

struct HandOverSearch {
  UINT message = 0;
  // The property that marks the windows answering the message (the message's name).
  const wchar_t* mark = nullptr;
  bool handedOver = false;
  bool ending = false;
};

// Asks each window of another process that answers for the name; another program's window
// of the same class is never asked, nor is one of this program's own.
BOOL CALLBACK AskToTakeOver(HWND window, LPARAM param) {
  auto& search = *reinterpret_cast<HandOverSearch*>(param);
  DWORD process = 0;
  if (::GetPropW(window, search.mark) == nullptr ||
      ::GetWindowThreadProcessId(window, &process) == 0 || process == ::GetCurrentProcessId()) {
    return TRUE;
  }
  // The user started this program: the running one may bring its open box to the front.
  ::AllowSetForegroundWindow(process);
  DWORD_PTR answer = 0;
  if (::SendMessageTimeoutW(window, search.message, 0, 0, SMTO_ABORTIFHUNG, kHandOverAnswerMs,
                            &answer) == 0) {
    return TRUE;
  }
  search.handedOver = answer == static_cast<DWORD_PTR>(kHandedOver);
  search.ending = search.ending || answer == static_cast<DWORD_PTR>(kHandOverEnding);
  return search.handedOver ? FALSE : TRUE;
}

// Waits, answering the messages sent to this thread's windows (broadcasts a program waits
// for) and leaving every posted one in the queue.
void WaitAnsweringSentMessages(DWORD milliseconds) {
  const DWORD start = ::GetTickCount();
  for (DWORD elapsed = 0; elapsed < milliseconds; elapsed = ::GetTickCount() - start) {
    if (::MsgWaitForMultipleObjects(0, nullptr, FALSE, milliseconds - elapsed, QS_SENDMESSAGE) !=
        WAIT_OBJECT_0) {
      return;
    }
    MSG msg;
    ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
}

// The running program may still be starting (two starts at once): it answers once its
// window is ready. One that is ending is waited for as long as it says so.
bool AskUntilHandedOver(HandOverSearch& search, const std::function<bool()>& ended) {
  DWORD since = ::GetTickCount();
  while (true) {
    search.ending = false;
    ::EnumWindows(&AskToTakeOver, reinterpret_cast<LPARAM>(&search));
    if (search.handedOver) return true;
    if (ended()) return false;
    if (search.ending) {
      since = ::GetTickCount();
    } else if (::GetTickCount() - since >= kHandOverWaitMs) {
      return false;
    }
    WaitAnsweringSentMessages(kHandOverRetryMs);
  }
}

// The display's power state (GUID_CONSOLE_DISPLAY_STATE, Windows 8 and later): 0 off, 1 on,
// 2 dimmed. Named here, so that no GUID library is linked for it.
constexpr GUID kConsoleDisplayState = {
    0x6fe69556, 0x704a, 0x47a0, {0x8f, 0x24, 0xc2, 0x8d, 0x93, 0x6f, 0xda, 0x47}};

bool DisplayWentOff(WPARAM wParam, LPARAM lParam) {
  if (wParam != PBT_POWERSETTINGCHANGE || lParam == 0) return false;
  const auto* setting = reinterpret_cast<const POWERBROADCAST_SETTING*>(lParam);
  DWORD state = 1;
  if (setting->PowerSetting != kConsoleDisplayState || setting->DataLength != sizeof state) {
    return false;
  }
  std::memcpy(&state, setting->Data, sizeof state);
  return state == 0;
}

// The standard dialog class: the colour pick and the message boxes.
BOOL CALLBACK FindOpenBox(HWND window, LPARAM param) {
  wchar_t name[8] = {};
  if (::IsWindowVisible(window) == FALSE || ::IsWindowEnabled(window) == FALSE ||
      ::GetClassNameW(window, name, 8) == 0 || ::lstrcmpW(name, L"#32770") != 0) {
    return TRUE;
  }
  *reinterpret_cast<HWND*>(param) = window;
  return FALSE;
}

}  // namespace

std::wstring HandOverMessageName(const std::string& name) {
  return InstanceTag(name) + L".HandOver";
}

Win32WindowSystem::Win32WindowSystem(HINSTANCE instance) : instance_(instance) {
  if (HMODULE user32 = ::GetModuleHandleA("User32.dll"); user32 != nullptr) {
    setLayeredWindowAttributes_ = reinterpret_cast<SetLayeredWindowAttributesFn>(
        reinterpret_cast<void*>(::GetProcAddress(user32, "SetLayeredWindowAttributes")));
  }
  liveObjectsMessage_ = ::RegisterWindowMessageA(kLiveObjectsMessageName);
  timerTicksMessage_ = ::RegisterWindowMessageA(kTimerTicksMessageName);
  const HICON icon = ::LoadIconA(instance_, kIconName);

  WNDCLASSEXW appClass{};
  appClass.cbSize = sizeof appClass;
  appClass.lpfnWndProc = &AppWindowProc;
  appClass.hInstance = instance_;
  appClass.hIcon = icon;
  appClass.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
  appClass.lpszClassName = kAppClassName;
  ::RegisterClassExW(&appClass);

  WNDCLASSEXW formClass{};
  formClass.cbSize = sizeof formClass;
  formClass.style = CS_DBLCLKS;
  formClass.lpfnWndProc = &FormWindowProc;
  formClass.hInstance = instance_;
  formClass.hIcon = icon;
  formClass.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
  formClass.lpszClassName = kFormClassName;
  ::RegisterClassExW(&formClass);

  // Visible, so that it owns the task-bar entry, but of zero size and parked where
  // minimised windows go, far off every screen: at the screen centre Wine would map it
  // as a one-pixel X window over the arrow's default place.
  appWindow_ =
      ::CreateWindowExW(KeyboardOwnership::TaskBarWindowStyle(), kAppClassName, L"",
                        WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX,
                        kParkedPosition, kParkedPosition, 0, 0, nullptr, nullptr, instance_, this);
  keyboard_.SetWindows(appWindow_, nullptr);
  onTop_.SetWindows(appWindow_, nullptr);
}

Win32WindowSystem::~Win32WindowSystem() {
  if (appWindow_ != nullptr) ::DestroyWindow(appWindow_);
}

NativeWindow Win32WindowSystem::CreateAppWindow(const WindowParams& params, WindowEvents& events) {
  auto data = std::make_unique<WindowData>(
      WindowData{this, nullptr, &events, params.minWidth, params.minHeight});
  const bool layered = params.layered && HasLayeredAttributes();
  // A press, a drag, a fade or a wheel turn must leave the keyboard with the presenter's
  // slide show; a plain click hands it over.
  DWORD exStyle = KeyboardOwnership::CreationStyle();
  if (params.topMost) exStyle |= WS_EX_TOPMOST;
  if (layered) exStyle |= WS_EX_LAYERED;
  const TRect& b = params.bounds;
  // The window takes the data over at WM_NCCREATE and frees it at WM_NCDESTROY, also when
  // its creation fails after that; before, and if it never gets that far, it is ours.
  HWND hwnd = ::CreateWindowExW(exStyle, kFormClassName, Utf8ToWide(params.caption).c_str(),
                                WS_POPUP, b.left, b.top, b.right - b.left, b.bottom - b.top,
                                appWindow_, nullptr, instance_, &data);
  if (hwnd == nullptr) return {};
  // A layered window stays invisible until it has attributes; start it opaque.
  if (layered) setLayeredWindowAttributes_(hwnd, 0, 255, LWA_ALPHA);
  if (mainWindow_ == nullptr) {
    mainWindow_ = hwnd;
    keyboard_.SetWindows(appWindow_, hwnd);
    onTop_.SetWindows(appWindow_, hwnd);
  }
  // Told when the display goes off, where the system knows the setting (Windows 8 and
  // later); before, nothing comes of it, and sleep is told the old way.
  reinterpret_cast<WindowData*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA))->displayNotice =
      ::RegisterPowerSettingNotification(hwnd, &kConsoleDisplayState, DEVICE_NOTIFY_WINDOW_HANDLE);
  return ToNative<NativeWindow>(hwnd);
}

void Win32WindowSystem::DestroyAppWindow(NativeWindow window) {
  if (ToHwnd(window) == mainWindow_) {
    mainWindow_ = nullptr;
    keyboard_.SetWindows(appWindow_, nullptr);
    onTop_.SetWindows(appWindow_, nullptr);
  }
  ::DestroyWindow(ToHwnd(window));
}

void Win32WindowSystem::SetWindowBounds(NativeWindow window, int left, int top, int width,
                                        int height) {
  // The change is reported from inside the call; marked, it is told apart from the system's.
  const HWND previous = std::exchange(movingWindow_, ToHwnd(window));
  ::SetWindowPos(ToHwnd(window), nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  movingWindow_ = previous;
}

void Win32WindowSystem::ShowAppWindow(NativeWindow window, bool visible) {
  // Activating: hiding gave the keyboard away, and the keys after a colour pick are the
  // arrow's.
  using Kind = KeyboardEvent::Kind;
  keyboard_.On({visible ? Kind::ShownByProgram : Kind::HiddenByProgram, ToHwnd(window)});
}

OwnedRegion Win32WindowSystem::CreatePolygonRegion(const std::vector<TPoint>& points) {
  if (points.size() > INT_MAX) return {};
  std::vector<POINT> vertices;
  vertices.reserve(points.size());
  for (const TPoint& p : points) vertices.push_back(POINT{p.x, p.y});
  const HRGN region =
      ::CreatePolygonRgn(vertices.data(), static_cast<int>(vertices.size()), ALTERNATE);
  if (region == nullptr) return {};
  ++LiveObjects().gdi;
  return {*this, ToNative<NativeRegion>(region)};
}

void Win32WindowSystem::SetWindowRegion(NativeWindow window, OwnedRegion region, bool redraw) {
  // On success the region belongs to the system; on failure `region` still frees it.
  if (::SetWindowRgn(ToHwnd(window), ToWin32<HRGN>(region.Get()), redraw ? TRUE : FALSE) != 0 &&
      region) {
    static_cast<void>(region.Release());
    --LiveObjects().gdi;
  }
}

bool Win32WindowSystem::DeleteRegion(NativeRegion region) {
  if (::DeleteObject(ToWin32<HRGN>(region)) == 0) return false;
  --LiveObjects().gdi;
  return true;
}

void Win32WindowSystem::SetLayered(NativeWindow window, bool layered) {
  // Without SetLayeredWindowAttributes a layered window could never be made visible.
  if (!HasLayeredAttributes()) return;
  HWND hwnd = ToHwnd(window);
  const LONG exStyle = ::GetWindowLongA(hwnd, GWL_EXSTYLE);
  const LONG wanted = layered ? (exStyle | WS_EX_LAYERED) : (exStyle & ~WS_EX_LAYERED);
  if (wanted == exStyle) return;
  ::SetWindowLongA(hwnd, GWL_EXSTYLE, wanted);
  if (!layered) {
    // An image shown through the style goes with it (the arrow is drawn with sharp edges).
    if (auto* data = reinterpret_cast<WindowData*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        data != nullptr) {
      data->image.Reset();
      data->imageMemory.Reset();
      data->imageMemoryBytes = 0;
      data->imageBits = nullptr;
      data->imageSize = SIZE{};
    }
    ::RedrawWindow(hwnd, nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
  }
}

bool Win32WindowSystem::HasLayeredAttributes() { return setLayeredWindowAttributes_ != nullptr; }

void Win32WindowSystem::SetLayeredAlpha(NativeWindow window, std::uint8_t alpha) {
  if (HasLayeredAttributes()) setLayeredWindowAttributes_(ToHwnd(window), 0, alpha, LWA_ALPHA);
}

void Win32WindowSystem::Invalidate(NativeWindow window) {
  ::InvalidateRect(ToHwnd(window), nullptr, TRUE);
}

std::unique_ptr<Canvas> Win32WindowSystem::GetCanvas(NativeWindow window) {
  return std::make_unique<DcCanvas>(ToHwnd(window));
}

bool Win32WindowSystem::StartTimer(NativeWindow window, unsigned timerId, unsigned intervalMs) {
  return ::SetTimer(ToHwnd(window), timerId, intervalMs, nullptr) != 0;
}

void Win32WindowSystem::StopTimer(NativeWindow window, unsigned timerId) {
  ::KillTimer(ToHwnd(window), timerId);
}

void Win32WindowSystem::RunMessageLoop(NativeWindow mainWindow) {
  HWND hwnd = ToHwnd(mainWindow);
  keyboard_.On({KeyboardEvent::Kind::Started, hwnd});
  onTop_.Start();
  ::UpdateWindow(hwnd);
  ::ShowWindow(appWindow_, SW_SHOWNA);
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

void Win32WindowSystem::ProcessMessages() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      // Leave the quit request for the main loop.
      ::PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

void Win32WindowSystem::PostQuit() { ::PostQuitMessage(0); }

NativeCursor Win32WindowSystem::LoadCursorResource(const std::string& name) {
  return ToNative<NativeCursor>(::LoadCursorA(instance_, name.c_str()));
}

void Win32WindowSystem::ApplyCursor(NativeWindow window, NativeCursor cursor) {
  HWND hwnd = ToHwnd(window);
  POINT p{};
  if (::GetCapture() == hwnd || (::GetCursorPos(&p) && ::WindowFromPoint(p) == hwnd)) {
    ::SetCursor(cursor ? ToWin32<HCURSOR>(cursor) : ::LoadCursorA(nullptr, IDC_ARROW));
  }
}

NativeWindow Win32WindowSystem::KeyboardOwner() {
  return ToNative<NativeWindow>(::GetForegroundWindow());
}

void Win32WindowSystem::GiveKeyboardBack(NativeWindow previousOwner) {
  keyboard_.On({KeyboardEvent::Kind::MenuClosed, ToHwnd(previousOwner)});
}

LRESULT CALLBACK Win32WindowSystem::FormWindowProc(HWND hwnd, UINT msg, WPARAM wParam,
                                                   LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    WindowData* adopted =
        static_cast<std::unique_ptr<WindowData>*>(create->lpCreateParams)->release();
    adopted->hwnd = hwnd;
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(adopted));
    ++LiveObjects().user;
  }
  auto* data = reinterpret_cast<WindowData*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (msg == WM_NCDESTROY) {
    if (data != nullptr && !data->system->handOverMark_.empty()) {
      ::RemovePropW(hwnd, data->system->handOverMark_.c_str());
    }
    if (data != nullptr && data->displayNotice != nullptr) {
      ::UnregisterPowerSettingNotification(data->displayNotice);
    }
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    // Owned by the window from WM_NCCREATE until now.
    std::unique_ptr<WindowData>(data).reset();
    --LiveObjects().user;
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
  }
  if (data == nullptr || data->system->handingOver_) {
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
  }
  LRESULT result = 0;
  Guarded(*data->events,
          [&] { result = data->system->HandleFormMessage(*data, msg, wParam, lParam); });
  return result;
}

// One case per message, each decoding its own parameters.
// NOLINTNEXTLINE(readability-function-cognitive-complexity)
LRESULT Win32WindowSystem::HandleFormMessage(WindowData& data, UINT msg, WPARAM wParam,
                                             LPARAM lParam) {
  WindowEvents& events = *data.events;
  HWND hwnd = data.hwnd;
  if (msg == liveObjectsMessage_ && liveObjectsMessage_ != 0) {
    const LiveObjectCounts& counts = LiveObjects();
    return wParam == 0 ? counts.gdi : wParam == 1 ? counts.user : counts.kernel;
  }
  if (msg == timerTicksMessage_ && timerTicksMessage_ != 0) {
    return static_cast<LRESULT>(timerTicks_);
  }
  if (msg == handOverMessage_ && handOverMessage_ != 0) {
    const HandOverAnswer answer = events.OnHandOverAsked();
    const LRESULT code = answer == HandOverAnswer::Ending ? kHandOverEnding : kHandedOver;
    // The second start goes on now, however long the arrow then takes to come.
    ::ReplyMessage(code);
    if (answer == HandOverAnswer::HandedOver) events.FormMainOnHandOver();
    return code;
  }
  switch (msg) {
    case WM_PAINT: {
      const PaintScope paint(hwnd);
      DcCanvas canvas(paint.Dc());
      events.FormMainOnPaint(canvas);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;  // the paint fills the whole window
    case WM_LBUTTONDOWN:
      // The window keeps the mouse from a left press to its release.
      ::SetCapture(hwnd);
      data.leftPressed = true;
      keyboard_.On({KeyboardEvent::Kind::Pressed, hwnd});
      data.plainClick = ::GetCursorPos(&data.pressAt) != 0;
      events.FormMainOnMouseDown(TMouseButton::mbLeft, MouseShiftState(wParam),
                                 GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      return 0;
    case WM_RBUTTONDOWN:
      // On to the menu: a click's deferred hand-over would take the keyboard from its box.
      keyboard_.On({KeyboardEvent::Kind::Pressed, hwnd});
      events.FormMainOnMouseDown(TMouseButton::mbRight, MouseShiftState(wParam),
                                 GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      return 0;
    case WM_MBUTTONDOWN:
      events.FormMainOnMouseDown(TMouseButton::mbMiddle, MouseShiftState(wParam),
                                 GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      return 0;
    // The second press of a double-click is still a press, marked as double.
    case WM_LBUTTONDBLCLK:
      ::SetCapture(hwnd);
      data.leftPressed = true;
      keyboard_.On({KeyboardEvent::Kind::Pressed, hwnd});
      data.plainClick = ::GetCursorPos(&data.pressAt) != 0;
      events.FormMainOnDblClick();
      events.FormMainOnMouseDown(TMouseButton::mbLeft, MouseShiftState(wParam) + ssDouble,
                                 GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      return 0;
    case WM_RBUTTONDBLCLK:
      events.FormMainOnMouseDown(TMouseButton::mbRight, MouseShiftState(wParam) + ssDouble,
                                 GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      return 0;
    case WM_MBUTTONDBLCLK:
      events.FormMainOnMouseDown(TMouseButton::mbMiddle, MouseShiftState(wParam) + ssDouble,
                                 GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      return 0;
    case WM_LBUTTONUP:
      data.leftPressed = false;
      ::ReleaseCapture();
      events.FormMainOnMouseUp(TMouseButton::mbLeft, MouseShiftState(wParam), GET_X_LPARAM(lParam),
                               GET_Y_LPARAM(lParam));
      if (std::exchange(data.plainClick, false)) {
        keyboard_.On({KeyboardEvent::Kind::PlainClick, hwnd});
      }
      return 0;
    case WM_CANCELMODE:
      // The system ends whatever the window was doing with the mouse.
      if (::GetCapture() == hwnd) ::ReleaseCapture();
      break;
    case WM_CAPTURECHANGED:
      // Taken during a press (Alt+Tab, a secure desktop, another program): no release will
      // come, and no click is counted.
      if (std::exchange(data.leftPressed, false) && reinterpret_cast<HWND>(lParam) != hwnd) {
        data.plainClick = false;
        events.OnCaptureLost();
      }
      return 0;
    case WM_RBUTTONUP:
      events.FormMainOnMouseUp(TMouseButton::mbRight, MouseShiftState(wParam), GET_X_LPARAM(lParam),
                               GET_Y_LPARAM(lParam));
      // DefWindowProc turns the release into WM_CONTEXTMENU.
      break;
    case WM_MBUTTONUP:
      events.FormMainOnMouseUp(TMouseButton::mbMiddle, MouseShiftState(wParam),
                               GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      return 0;
    case WM_MOUSEMOVE:
      if (data.plainClick && (wParam & MK_LBUTTON) != 0) {
        POINT at{};
        data.plainClick = ::GetCursorPos(&at) != 0 && WithinDragThreshold(data.pressAt, at);
      }
      events.FormMainOnMouseMove(MouseShiftState(wParam), GET_X_LPARAM(lParam),
                                 GET_Y_LPARAM(lParam));
      return 0;
    case WM_MOUSEWHEEL:
      events.OnMouseWheelMessage(MouseShiftState(GET_KEYSTATE_WPARAM(wParam)),
                                 GET_WHEEL_DELTA_WPARAM(wParam),
                                 TPoint{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)},
                                 static_cast<std::uint32_t>(::GetMessageTime()));
      return 0;
    case WM_KEYDOWN:
      events.FormMainOnKeyDown(static_cast<std::uint16_t>(wParam), KeyShiftState());
      return 0;
    case WM_KEYUP:
      events.FormMainOnKeyUp(static_cast<std::uint16_t>(wParam), KeyShiftState());
      return 0;
    // Alt combinations: the handlers see them, and DefWindowProc still turns Alt+F4 into
    // the close command.
    case WM_SYSKEYDOWN:
      events.FormMainOnKeyDown(static_cast<std::uint16_t>(wParam), KeyShiftState());
      break;
    case WM_SYSKEYUP:
      events.FormMainOnKeyUp(static_cast<std::uint16_t>(wParam), KeyShiftState());
      break;
    case WM_CHAR:
      events.FormMainOnKeyPress(AnsiChar(static_cast<wchar_t>(wParam)));
      return 0;
    case WM_SYSCOMMAND:
      // There is no menu bar; menu mode after a lone Alt would swallow the next keys.
      if ((wParam & 0xFFF0U) == SC_KEYMENU) return 0;
      break;
    case WM_CONTEXTMENU: {
      // From the keyboard's menu key the position is -1, -1.
      const TPoint at =
          lParam == -1 ? GetCursorPos() : TPoint{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      events.FormMainOnContextPopup(at);
      return 0;
    }
    case WM_TIMER:
      ++timerTicks_;
      if (onTop_.OnTimer(wParam) || keyboard_.On({KeyboardEvent::Kind::Tick, hwnd, wParam})) {
        return 0;
      }
      events.OnTimer(static_cast<unsigned>(wParam));
      return 0;
    case WM_SETCURSOR:
      if (LOWORD(lParam) == HTCLIENT && reinterpret_cast<HWND>(wParam) == hwnd) {
        const NativeCursor cursor = events.OnSetCursor();
        ::SetCursor(cursor ? ToWin32<HCURSOR>(cursor) : ::LoadCursorA(nullptr, IDC_ARROW));
        return TRUE;
      }
      break;
    case WM_WINDOWPOSCHANGING: {
      auto* pos = reinterpret_cast<WINDOWPOS*>(lParam);
      if ((pos->flags & SWP_NOSIZE) == 0) {
        if (pos->cx < data.minWidth) pos->cx = data.minWidth;
        if (pos->cy < data.minHeight) pos->cy = data.minHeight;
      }
      break;
    }
    case WM_WINDOWPOSCHANGED: {
      const UINT flags = reinterpret_cast<const WINDOWPOS*>(lParam)->flags;
      // Under Wine a window shown after its image lost it.
      if ((flags & SWP_SHOWWINDOW) != 0) {
        ShowImage(data, nullptr);
      }
      // A minimised or hidden window reports a position far off the screen, whether the
      // task-bar window or the arrow's own was minimised (another tool may do the latter).
      RECT r{};
      if (::IsWindowVisible(hwnd) && !::IsIconic(appWindow_) && !::IsIconic(hwnd) &&
          ::GetWindowRect(hwnd, &r)) {
        events.OnBoundsChanged(r.left, r.top, r.right - r.left, r.bottom - r.top,
                               hwnd == movingWindow_ ? MovedBy::Program : MovedBy::System);
      }
      if (hwnd == mainWindow_ && (flags & (SWP_NOMOVE | SWP_NOSIZE)) != (SWP_NOMOVE | SWP_NOSIZE)) {
        onTop_.Moved();
      }
      break;
    }
    case WM_DISPLAYCHANGE:
      events.FormMainOnDisplayChange();
      break;
    case kDpiChanged:
      // The arrow sizes itself for the monitor under its tip, whatever the window's own
      // DPI: the rectangle offered is not taken.
      events.OnDpiChanged();
      return 0;
    case kGetDpiScaledSize:
      return TRUE;  // the size stays as it is, as the arrow decides it

    case WM_SETTINGCHANGE:
      // A monitor's scale set anew: an arrow on another monitor than that one gets no DPI
      // message, yet its size is taken over the primary's scale.
      if (wParam == SPI_SETWORKAREA || wParam == kSetLogicalDpiOverride) {
        events.FormMainOnDisplayChange();
      }
      break;
    case WM_HOTKEY:
      events.FormMainOnHotKey(static_cast<int>(wParam));
      return 0;
    case WM_MOUSEACTIVATE:
      return KeyboardOwnership::MouseActivateAnswer(hwnd);
    case WM_ACTIVATE:
      keyboard_.On({KeyboardEvent::Kind::Activation, hwnd, wParam, lParam});
      if (LOWORD(wParam) != WA_INACTIVE) onTop_.Activated();
      break;
    case WM_CLOSE:
      events.OnCloseRequest();
      return 0;
    case WM_QUERYENDSESSION:
      return TRUE;
    case WM_ENDSESSION:
      if (wParam != 0) events.OnEndSession();
      return 0;
    case WM_POWERBROADCAST:
      if (wParam == PBT_APMSUSPEND || DisplayWentOff(wParam, lParam)) events.OnSuspend();
      break;
    default:
      break;
  }
  return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

void Win32WindowSystem::AnswerHandOvers(NativeWindow window, const std::string& name) {
  HWND hwnd = ToHwnd(window);
  handOverMark_ = HandOverMessageName(name);
  handOverMessage_ = ::RegisterWindowMessageW(handOverMark_.c_str());
  // Started elevated (an elevated console, a task with highest privileges), the arrow would
  // never hear a start at the normal level: the system drops registered messages from lower
  // integrity levels unless the window lets them in.
  handOversFromAnyLevel_ =
      handOverMessage_ != 0 &&
      ::ChangeWindowMessageFilterEx(hwnd, handOverMessage_, MSGFLT_ALLOW, nullptr) != FALSE;
  ::SetPropW(hwnd, handOverMark_.c_str(), hwnd);
}

bool Win32WindowSystem::HandOver(const std::string& name, const std::function<bool()>& ended) {
  const std::wstring mark = HandOverMessageName(name);
  HandOverSearch search{::RegisterWindowMessageW(mark.c_str()), mark.c_str()};
  if (search.message == 0) return false;
  // This program's windows exist already, its form not yet made: what the system sends them
  // meanwhile is answered without reaching the form.
  handingOver_ = true;
  const bool handedOver = AskUntilHandedOver(search, ended);
  handingOver_ = false;
  return handedOver;
}

void Win32WindowSystem::BringOpenBoxToFront() {
  HWND box = nullptr;
  ::EnumThreadWindows(::GetCurrentThreadId(), &FindOpenBox, reinterpret_cast<LPARAM>(&box));
  if (box != nullptr) ::SetForegroundWindow(box);
}

}  // namespace qd::win32
