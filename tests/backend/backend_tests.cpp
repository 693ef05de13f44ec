// Tests of the Windows backend, run under Wine (or on Windows) in a scratch folder:
// message decoding, the window's minimum size, files with non-ANSI names, the registry
// and environment readers, the command-line splitter and the release of every object; and
// the arrow's scale table and worked geometry examples as this build's arithmetic gives them.
// GoogleTest: exits non-zero if any test failed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <new>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "framework/win32/handles.h"
#include "framework/win32/menu_glyph.h"
#include "framework/win32/system_library.h"
#include "framework/win32/text.h"
#include "framework/win32/win32_system_services.h"
#include "framework/win32/win32_window_system.h"
#include "shape_examples.h"

// Every block the program holds, so that a block freed twice is counted rather than freed.
namespace {

constexpr std::size_t kSlots = std::size_t{1} << 16U;
void* liveBlocks[kSlots];
void* const kFreed = &liveBlocks;  // a slot whose block went away
int doubleFrees = 0;

std::size_t SlotOf(const void* block) {
  return (reinterpret_cast<std::uintptr_t>(block) >> 4U) % kSlots;
}

void Release(void* block) noexcept {
  if (block == nullptr) return;
  for (std::size_t i = SlotOf(block); liveBlocks[i] != nullptr; i = (i + 1) % kSlots) {
    if (liveBlocks[i] == block) {
      liveBlocks[i] = kFreed;
      std::free(block);
      return;
    }
  }
  ++doubleFrees;
}

}  // namespace

void* operator new(std::size_t size) {
  void* block = std::malloc(size != 0 ? size : 1);
  if (block == nullptr) throw std::bad_alloc();
  for (std::size_t i = SlotOf(block);; i = (i + 1) % kSlots) {
    if (liveBlocks[i] == nullptr || liveBlocks[i] == kFreed) {
      liveBlocks[i] = block;
      return block;
    }
  }
}

void operator delete(void* block) noexcept { Release(block); }
void operator delete(void* block, std::size_t /*size*/) noexcept { Release(block); }

namespace {

// Appends pieces one by one: GCC 12 warns falsely (-Wrestrict) on "literal" + string&&.
std::string Cat(std::initializer_list<std::string_view> pieces) {
  std::string text;
  for (std::string_view piece : pieces) text += piece;
  return text;
}

// The program makes one window system and one set of services for its life; so do the tests,
// in main, with the scratch folder named on the command line.
qd::win32::Win32WindowSystem* sharedWindowSystem = nullptr;
qd::win32::Win32SystemServices* sharedServices = nullptr;
std::string scratchRoot;

class Backend : public testing::Test {
 protected:
  qd::win32::Win32WindowSystem& ws = *sharedWindowSystem;
  qd::win32::Win32SystemServices& services = *sharedServices;
  const std::string& root = scratchRoot;
};

class SystemServices : public testing::Test {
 protected:
  qd::win32::Win32SystemServices& ws = *sharedServices;
  const std::string& root = scratchRoot;
};

class RecordingEvents final : public qd::WindowEvents {
 public:
  std::vector<std::string> log;

  void FormMainOnCreate() override { log.push_back("create"); }
  void FormMainOnDestroy() override { log.push_back("destroy"); }
  void FormMainOnPaint(qd::Canvas& canvas) override {
    canvas.FillRect({0, 0, 10, 10}, 0x0000FF);
    canvas.Polyline({{0, 0}, {5, 5}, {9, 0}}, 3, 0xFFFFFF);
    log.push_back("paint");
  }
  void FormMainOnMouseDown(qd::TMouseButton b, qd::TShiftState s, int x, int y) override {
    Add("down", static_cast<int>(b), s.Bits(), x, y);
  }
  void FormMainOnMouseUp(qd::TMouseButton b, qd::TShiftState s, int x, int y) override {
    Add("up", static_cast<int>(b), s.Bits(), x, y);
  }
  void FormMainOnMouseMove(qd::TShiftState s, int x, int y) override {
    Add("move", s.Bits(), x, y);
  }
  void FormMainOnDblClick() override { log.push_back("dblclick"); }
  void OnCaptureLost() override { log.push_back("capture lost"); }
  void FormMainOnMouseWheel(qd::TShiftState s, int delta, qd::TPoint p) override {
    Add("wheel step", s.Bits(), delta, p.x, p.y);
  }
  void OnMouseWheelMessage(qd::TShiftState s, int delta, qd::TPoint p,
                           std::uint32_t /*time*/) override {
    Add("wheel", s.Bits(), delta, p.x, p.y);
  }
  void OnSuspend() override { log.push_back("suspend"); }
  void FormMainOnKeyDown(std::uint16_t key, qd::TShiftState) override { Add("keydown", key); }
  void FormMainOnKeyUp(std::uint16_t key, qd::TShiftState) override { Add("keyup", key); }
  void FormMainOnKeyPress(char ch) override { Add("press", ch); }
  void FormMainOnContextPopup(qd::TPoint p) override { Add("context", p.x, p.y); }
  void OnTimer(unsigned id) override { Add("timer", static_cast<int>(id)); }
  qd::NativeCursor OnSetCursor() override { return {}; }
  void OnCloseRequest() override { log.push_back("close"); }
  void OnEndSession() override { log.push_back("endsession"); }
  void ApplicationOnRestore() override { log.push_back("restore"); }
  void FormMainOnDisplayChange() override { log.push_back("display"); }
  void OnDpiChanged() override { log.push_back("dpi"); }
  void OnBoundsChanged(int left, int top, int width, int height, qd::MovedBy by) override {
    Add(by == qd::MovedBy::Program ? "own bounds" : "bounds", left, top, width, height);
  }
  void FormMainOnHotKey(int id) override { Add("hotkey", id); }
  qd::HandOverAnswer answer = qd::HandOverAnswer::HandedOver;  // to a second start
  qd::HandOverAnswer OnHandOverAsked() override {
    log.push_back("asked");
    return answer;
  }
  void FormMainOnHandOver() override { log.push_back("hand-over"); }
  void OnHandlerError(const char* text) override { log.push_back(std::string("error ") + text); }

 private:
  template <typename... Ints>
  void Add(const char* name, Ints... values) {
    std::string entry = name;
    ((entry += ' ', entry += std::to_string(values)), ...);
    log.push_back(entry);
  }
};

std::string Joined(const std::vector<std::string>& entries) {
  std::string text;
  for (const std::string& e : entries) {
    if (!text.empty()) text += " | ";
    text += e;
  }
  return text;
}

// Pumps messages until `done` holds or `ms` have passed; whether it held.
template <typename Done>
bool PumpUntil(qd::win32::Win32WindowSystem& ws, DWORD ms, Done done) {
  const DWORD start = ::GetTickCount();
  while (!done()) {
    if (::GetTickCount() - start > ms) return false;
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    ws.ProcessMessages();
  }
  return true;
}

// Waits without pumping: for the steps a second thread or another process takes.
template <typename Done>
bool WaitUntil(DWORD ms, Done done) {
  const DWORD start = ::GetTickCount();
  while (!done()) {
    if (::GetTickCount() - start > ms) return false;
    ::Sleep(20);
  }
  return true;
}

TEST_F(Backend, MessageDecoding) {
  RecordingEvents events;
  qd::WindowParams params;
  params.bounds = {10, 10, 110, 60};
  params.minWidth = 8;
  params.minHeight = 8;
  params.topMost = true;
  const qd::NativeWindow window = ws.CreateAppWindow(params, events);
  EXPECT_TRUE(static_cast<bool>(window)) << "the window is created";
  HWND hwnd = qd::win32::ToWin32<HWND>(window);
  const POINT cursor = [] {
    POINT p{};
    ::GetCursorPos(&p);
    return p;
  }();
  const std::string cursorText = Cat({std::to_string(cursor.x), " ", std::to_string(cursor.y)});

  struct Case {
    const char* name;
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
    std::string expected;
  };
  const LPARAM negative = MAKELPARAM(static_cast<WORD>(-5), static_cast<WORD>(-7));
  RECT offered{500, 500, 567, 534};  // what the system would offer for 96 DPI
  // The display's power state as Windows 8 and later report it: 0 off, 1 on, 2 dimmed.
  struct DisplayState {
    GUID setting;
    DWORD length;
    DWORD state;
  };
  constexpr GUID kConsoleDisplayState = {
      0x6fe69556, 0x704a, 0x47a0, {0x8f, 0x24, 0xc2, 0x8d, 0x93, 0x6f, 0xda, 0x47}};
  DisplayState off{kConsoleDisplayState, sizeof(DWORD), 0};
  DisplayState on{kConsoleDisplayState, sizeof(DWORD), 1};
  DisplayState dimmed{kConsoleDisplayState, sizeof(DWORD), 2};
  DisplayState otherOff{
      GUID{0x02731015, 0x4510, 0x4526, {0x99, 0xe6, 0xe5, 0xa1, 0x7e, 0xbd, 0x1a, 0xea}},
      sizeof(DWORD), 0};  // the away mode, not the display
  const auto power = [](DisplayState& s) { return reinterpret_cast<LPARAM>(&s); };
  const Case cases[] = {
      {"a change of scale", 0x02E0, MAKEWPARAM(96, 96), reinterpret_cast<LPARAM>(&offered), "dpi"},
      {"left press with Shift", WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, MAKELPARAM(3, 4),
       "down 0 9 3 4"},
      {"coordinates are signed", WM_MOUSEMOVE, MK_LBUTTON, negative, "move 8 -5 -7"},
      {"double-click is the event and then a marked press", WM_LBUTTONDBLCLK, MK_LBUTTON,
       MAKELPARAM(1, 2), "dblclick | down 0 72 1 2"},
      {"the mouse taken during the press", WM_CAPTURECHANGED, 0, 0, "capture lost"},
      {"taken again: no press, nothing", WM_CAPTURECHANGED, 0, 0, ""},
      {"middle double-click is a press", WM_MBUTTONDBLCLK, MK_MBUTTON, MAKELPARAM(1, 2),
       "down 2 96 1 2"},
      {"right release, then the context menu at its screen position", WM_RBUTTONUP, MK_CONTROL,
       MAKELPARAM(6, 6), "up 1 4 6 6 | context 16 16"},
      {"wheel down keeps its sign and screen position", WM_MOUSEWHEEL,
       MAKEWPARAM(MK_CONTROL, static_cast<WORD>(-120)), MAKELPARAM(300, 200),
       "wheel 4 -120 300 200"},
      {"system key reaches the key handler", WM_SYSKEYDOWN, VK_LEFT, 0x20000000, "keydown 37"},
      {"system key release", WM_SYSKEYUP, VK_LEFT, static_cast<LPARAM>(0xE0000000U), "keyup 37"},
      {"escape character", WM_CHAR, 27, 0, "press 27"},
      {"context menu from the keyboard uses the cursor", WM_CONTEXTMENU, 0, -1,
       Cat({"context ", cursorText})},
      {"context menu from the mouse", WM_CONTEXTMENU, 0, MAKELPARAM(40, 50), "context 40 50"},
      {"menu mode after Alt is swallowed", WM_SYSCOMMAND, SC_KEYMENU, 0, ""},
      {"close request", WM_CLOSE, 0, 0, "close"},
      {"close command from the system", WM_SYSCOMMAND, SC_CLOSE, 0, "close"},
      {"session end", WM_ENDSESSION, TRUE, 0, "endsession"},
      {"cancelled session end", WM_ENDSESSION, FALSE, 0, ""},
      {"suspend", WM_POWERBROADCAST, PBT_APMSUSPEND, 0, "suspend"},
      {"resume", WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0, ""},
      {"display off: the lid of a laptop that may never suspend", WM_POWERBROADCAST,
       PBT_POWERSETTINGCHANGE, power(off), "suspend"},
      {"display on", WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE, power(on), ""},
      {"display dimmed", WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE, power(dimmed), ""},
      {"another setting at 0", WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE, power(otherOff), ""},
      {"timer", WM_TIMER, 7, 0, "timer 7"},
      {"display change", WM_DISPLAYCHANGE, 32, MAKELPARAM(1920, 1080), "display"},
      {"work area change", WM_SETTINGCHANGE, SPI_SETWORKAREA, 0, "display"},
      {"scale change", WM_SETTINGCHANGE, 0x009F, 0, "display"},
      {"other setting change", WM_SETTINGCHANGE, SPI_SETDESKWALLPAPER, 0, ""},
      {"hotkey", WM_HOTKEY, 1, MAKELPARAM(MOD_CONTROL | MOD_ALT, VK_F8), "hotkey 1"},
  };
  for (const Case& c : cases) {
    events.log.clear();
    ::SendMessageW(hwnd, c.msg, c.wParam, c.lParam);
    const std::string got = Joined(events.log);
    EXPECT_TRUE(got == c.expected)
        << Cat({c.name, ": got \"", got, "\", want \"", c.expected, "\""});
  }
  // The offered rectangle is not taken, nor the system's scaled size: the arrow sizes itself.
  RECT r{};
  EXPECT_TRUE(::GetWindowRect(hwnd, &r) && r.left == 10 && r.right == 110)
      << "a change of scale leaves the window where it is";
  SIZE scaled{100, 50};
  EXPECT_TRUE(::SendMessageW(hwnd, 0x02E4, 144, reinterpret_cast<LPARAM>(&scaled)) == TRUE &&
              scaled.cx == 100 && scaled.cy == 50)
      << "the size for another scale is the size as it is";
  // U+011B, which cut to eight bits would be Esc.
  events.log.clear();
  ::SendMessageW(hwnd, WM_CHAR, 0x011B, 0);
  EXPECT_TRUE(events.log.size() == 1 && events.log[0] != "press 27")
      << Cat({"a letter outside ASCII is no control character: got ", Joined(events.log)});
  EXPECT_TRUE(::SendMessageA(hwnd, WM_QUERYENDSESSION, 0, 0) == TRUE) << "session end is allowed";
  // Told to the task-bar window first, the session end still ends the program.
  events.log.clear();
  ::SendMessageW(::GetWindow(hwnd, GW_OWNER), WM_ENDSESSION, TRUE, 0);
  EXPECT_TRUE(Joined(events.log) == "endsession")
      << Cat({"session end through the task-bar window: got ", Joined(events.log)});
  EXPECT_TRUE(::SendMessageA(hwnd, WM_ERASEBKGND, 0, 0) == 1) << "the paint fills the background";

  struct Bounds {
    int width;
    int height;
    int wantWidth;
    int wantHeight;
  };
  for (const Bounds& b : {Bounds{2, 3, 8, 8}, Bounds{8, 100, 8, 100}, Bounds{120, 7, 120, 8}}) {
    ws.SetWindowBounds(window, -20, 30, b.width, b.height);
    RECT r{};
    ::GetWindowRect(hwnd, &r);
    EXPECT_TRUE(r.left == -20 && r.top == 30 && r.right - r.left == b.wantWidth &&
                r.bottom - r.top == b.wantHeight)
        << Cat({"bounds ", std::to_string(b.width), "x", std::to_string(b.height), " give ",
                std::to_string(r.right - r.left), "x", std::to_string(r.bottom - r.top)});
  }

  events.log.clear();
  ws.SetWindowBounds(window, 10, 10, 100, 50);
  EXPECT_TRUE(events.log.empty()) << "a hidden window's moves are not reported";
  ws.SetWindowRegion(window, ws.CreatePolygonRegion({{0, 0}, {99, 25}, {0, 49}}), false);
  HRGN region = ::CreateRectRgn(0, 0, 0, 0);
  EXPECT_TRUE(::GetWindowRgn(hwnd, region) != ERROR) << "the region reaches the window";
  EXPECT_TRUE(::PtInRegion(region, 10, 25) && !::PtInRegion(region, 90, 5))
      << "the region is the polygon";
  ::DeleteObject(region);
  EXPECT_TRUE((::GetWindowLongA(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0)
      << "the window is top-most";
  EXPECT_TRUE(::GetWindow(hwnd, GW_OWNER) != nullptr) << "the window has an owner";

  if (ws.HasLayeredAttributes()) {
    ws.SetLayered(window, true);
    ws.SetLayeredAlpha(window, 77);
    BYTE alpha = 0;
    DWORD flags = 0;
    EXPECT_TRUE(::GetLayeredWindowAttributes(hwnd, nullptr, &alpha, &flags) && alpha == 77 &&
                flags == LWA_ALPHA)
        << "constant alpha reaches the window";
    ws.SetLayered(window, false);
    EXPECT_TRUE((::GetWindowLongA(hwnd, GWL_EXSTYLE) & WS_EX_LAYERED) == 0)
        << "layering is removed";
  }
  // An image with alpha per pixel makes the window layered again, for the image alone. Its
  // first rows are the window's top: here the top ten opaque blue, the rest clear.
  ::SetWindowRgn(hwnd, nullptr, FALSE);
  const qd::PixelView lent = ws.WindowImagePixels(window, 100, 50);
  EXPECT_TRUE(lent.pixels.size() == 5000) << "an image of the size asked for is lent";
  std::fill(lent.pixels.begin(), lent.pixels.begin() + 1000, 0xFF0000FFU);
  std::fill(lent.pixels.begin() + 1000, lent.pixels.end(), 0U);
  ::ShowWindow(hwnd, SW_SHOWNOACTIVATE);
  EXPECT_TRUE(ws.ShowWindowImage(window, 20, 10)) << "the image shown";
  RECT placed{};
  ::GetWindowRect(hwnd, &placed);
  EXPECT_TRUE(placed.left == 20 && placed.top == 10 && placed.right == 120 && placed.bottom == 60)
      << "shown where asked, at the image's size, in the same step";
  HDC screen = ::GetDC(nullptr);
  const COLORREF blue = RGB(0, 0, 255);
  COLORREF top = CLR_INVALID;
  COLORREF bottom = CLR_INVALID;
  const bool topDown = PumpUntil(ws, 2000, [&] {
    top = ::GetPixel(screen, 70, 15);
    bottom = ::GetPixel(screen, 70, 55);
    return top == blue && bottom != blue;
  });
  const auto bgr = [](COLORREF c) {
    char text[16];
    std::snprintf(text, sizeof text, "%06lX", static_cast<unsigned long>(c));
    return std::string(text);
  };
  EXPECT_TRUE(topDown) << Cat({"the image's first rows show at the window's top: BGR ", bgr(top),
                               " at the top, ", bgr(bottom), " at the bottom"});
  ::ReleaseDC(nullptr, screen);
  ::ShowWindow(hwnd, SW_HIDE);
  const qd::PixelView again = ws.WindowImagePixels(window, 100, 50);
  EXPECT_TRUE(again.pixels.data() == lent.pixels.data() && again.pixels.front() == 0xFF0000FFU)
      << "the image is kept while its size stays";
  // An image of another size, which may lie in the last one's memory (a turn): it shows
  // its own rows, top-down.
  const qd::PixelView turned = ws.WindowImagePixels(window, 50, 100);
  std::fill(turned.pixels.begin(), turned.pixels.end(), 0U);
  std::fill(turned.pixels.begin(), turned.pixels.begin() + 500, 0xFF0000FFU);
  ::ShowWindow(hwnd, SW_SHOWNOACTIVATE);
  EXPECT_TRUE(ws.ShowWindowImage(window, 20, 10)) << "the image of another size shown";
  screen = ::GetDC(nullptr);
  const bool turnedTopDown = PumpUntil(ws, 2000, [&] {
    top = ::GetPixel(screen, 45, 15);
    bottom = ::GetPixel(screen, 45, 105);
    return top == blue && bottom != blue;
  });
  ::ReleaseDC(nullptr, screen);
  ::ShowWindow(hwnd, SW_HIDE);
  EXPECT_TRUE(turnedTopDown) << Cat({"an image of another size shows its own rows: BGR ",
                                     bgr(top), " at the top, ", bgr(bottom), " at the bottom"});
  EXPECT_TRUE(ws.WindowImagePixels(window, 1 << 20, 1 << 20).pixels.empty())
      << "no image of a size the system cannot make";
  EXPECT_TRUE(!ws.WindowImagePixels(window, 100, 50).pixels.empty())
      << "after a size the system cannot make, one it can is made again";
  ws.SetImageAlpha(window, 128);
  EXPECT_TRUE((::GetWindowLongA(hwnd, GWL_EXSTYLE) & WS_EX_LAYERED) != 0)
      << "an image makes the window layered";

  {
    const auto canvas = ws.GetCanvas(window);
    canvas->FillRect({0, 0, 5, 5}, 0x00FF00);
    canvas->Polyline({{0, 0}, {20, 20}, {40, 0}}, 5, 0x000000);
  }
  ::InvalidateRect(hwnd, nullptr, FALSE);
  ::UpdateWindow(hwnd);
  ws.ProcessMessages();
  ws.DestroyAppWindow(window);
}

// A small top-most window, shown in front with the keyboard, as the arrow is after start.
qd::NativeWindow ShowInFront(qd::win32::Win32WindowSystem& ws, RecordingEvents& events) {
  qd::WindowParams params;
  params.bounds = {10, 10, 60, 60};
  params.topMost = true;
  const qd::NativeWindow window = ws.CreateAppWindow(params, events);
  HWND hwnd = qd::win32::ToWin32<HWND>(window);
  ::ShowWindow(hwnd, SW_SHOW);
  ::SetForegroundWindow(hwnd);
  ws.ProcessMessages();
  EXPECT_TRUE(::GetFocus() == hwnd) << "the shown window has the keyboard";
  return window;
}

// The double-click colour pick hides the arrow and shows it again; shown again it must have
// the keyboard back, or the keys that follow go to whatever window took it meanwhile.
TEST_F(Backend, ShowAgainTakesTheKeyboard) {
  RecordingEvents events;
  const qd::NativeWindow window = ShowInFront(ws, events);
  HWND hwnd = qd::win32::ToWin32<HWND>(window);
  ws.ShowAppWindow(window, false);
  ws.ProcessMessages();
  EXPECT_TRUE(::GetFocus() != hwnd) << "a hidden window has lost the keyboard";
  ws.ShowAppWindow(window, true);
  ws.ProcessMessages();
  EXPECT_TRUE(::IsWindowVisible(hwnd) && ::GetFocus() == hwnd)
      << "shown again, the window has the keyboard again";
  // Moved by someone else: the form learns where the window now is.
  events.log.clear();
  ::SetWindowPos(hwnd, nullptr, 30, -40, 50, 50, SWP_NOZORDER | SWP_NOACTIVATE);
  EXPECT_TRUE(Joined(events.log) == "bounds 30 -40 50 50")
      << Cat({"a moved window reports its bounds: ", Joined(events.log)});
  events.log.clear();
  ws.SetWindowBounds(window, 20, 10, 60, 50);
  EXPECT_TRUE(Joined(events.log) == "own bounds 20 10 60 50")
      << Cat({"the program's own move is marked: ", Joined(events.log)});
  // Minimised by another tool: off the screen, and no move.
  events.log.clear();
  ::ShowWindow(hwnd, SW_MINIMIZE);
  ::ShowWindow(hwnd, SW_RESTORE);
  ws.ProcessMessages();
  EXPECT_TRUE(Joined(events.log).find("bounds -") == std::string::npos)
      << Cat({"a minimised window reports no bounds: ", Joined(events.log)});
  ws.DestroyAppWindow(window);
}

bool sawMenuMode = false;

// Runs only if a menu loop is still going 200 ms after it began; records that and ends it
// the way a user would, with Esc, so the test goes on.
void CALLBACK LeaveMenuMode(HWND /*unused*/, UINT /*unused*/, UINT_PTR /*unused*/,
                            DWORD /*unused*/) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  if (::GetGUIThreadInfo(::GetCurrentThreadId(), &info) && (info.flags & GUI_INMENUMODE) != 0) {
    sawMenuMode = true;
    ::EndMenu();
    ::PostMessageA(info.hwndFocus != nullptr ? info.hwndFocus : info.hwndMenuOwner, WM_KEYDOWN,
                   VK_ESCAPE, 0);
  }
}

// The task-bar window keeps its entry but takes no activation by accident (when the window
// in front closes, Windows passes it to the next; this one would give it to the arrow),
// though Wine, which ignores the style there, may still give it the keyboard while the arrow
// is hidden for a colour pick. A lone Alt (or Alt+Space) reaching it must not start menu
// mode: its menu is off every screen and the loop would hold the program, the arrow hidden,
// until something ended it.
TEST_F(Backend, NoMenuModeOnTheTaskBarWindow) {
  RecordingEvents events;
  const qd::NativeWindow window = ShowInFront(ws, events);
  HWND hwnd = qd::win32::ToWin32<HWND>(window);
  HWND taskBarWindow = ::GetWindow(hwnd, GW_OWNER);
  EXPECT_TRUE(taskBarWindow != nullptr) << "the window is owned by the task-bar window";
  constexpr LONG kEntryNoActivation = WS_EX_APPWINDOW | WS_EX_NOACTIVATE;
  EXPECT_TRUE((::GetWindowLongW(taskBarWindow, GWL_EXSTYLE) & kEntryNoActivation) ==
              kEntryNoActivation)
      << "the task-bar window has its entry and takes no activation by accident";
  ws.ShowAppWindow(window, false);
  ws.ProcessMessages();
  for (const LPARAM key : {LPARAM{0}, LPARAM{' '}}) {
    sawMenuMode = false;
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 200, LeaveMenuMode);
    ::SendMessageA(taskBarWindow, WM_SYSCOMMAND, SC_KEYMENU, key);
    ws.ProcessMessages();
    ::KillTimer(nullptr, timer);
    EXPECT_TRUE(!sawMenuMode) << Cat(
        {"no menu mode on the task-bar window after Alt", key == 0 ? "" : "+Space"});
  }
  ws.DestroyAppWindow(window);
}

// Closes the program's message box as soon as it shows, as a user clicking OK would.
DWORD WINAPI CloseMessageBox(void* /*unused*/) {
  for (int i = 0; i < 500; ++i) {
    if (HWND box = ::FindWindowA("#32770", "backend test"); box != nullptr) {
      ::PostMessageA(box, WM_COMMAND, IDOK, 0);
      return 0;
    }
    ::Sleep(10);
  }
  return 1;
}

// The help is a message box without an owner; once it is closed the window that had the
// keyboard must have it again, or F1, Esc and the keys after the help reach nothing.
TEST_F(Backend, MessageBoxGivesTheKeyboardBack) {
  RecordingEvents events;
  const qd::NativeWindow window = ShowInFront(ws, events);
  HWND hwnd = qd::win32::ToWin32<HWND>(window);
  HANDLE closer = ::CreateThread(nullptr, 0, CloseMessageBox, nullptr, 0, nullptr);
  ws.ShowMessageBox(window, "text", "backend test", qd::MessageKind::Plain);
  DWORD closed = 1;
  ::WaitForSingleObject(closer, 10000);
  ::GetExitCodeThread(closer, &closed);
  ::CloseHandle(closer);
  EXPECT_TRUE(closed == 0) << "the message box showed and was closed";
  ws.ProcessMessages();
  EXPECT_TRUE(::GetFocus() == hwnd) << "after the message box the window has the keyboard again";
  ws.DestroyAppWindow(window);
}

bool NoActivate(HWND hwnd) { return (::GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_NOACTIVATE) != 0; }

// The arrow as the on-top and keyboard tests have it: top-most, where the covers and the
// presses overlap it.
qd::NativeWindow TopMostArrow(qd::win32::Win32WindowSystem& ws, RecordingEvents& events) {
  qd::WindowParams params;
  params.bounds = {300, 300, 360, 360};
  params.topMost = true;
  return ws.CreateAppWindow(params, events);
}

// The presenter's slide show keeps the keyboard while the arrow is pressed, dragged, raised
// by the hotkey or restored by it; a plain click gives the arrow the keyboard, and losing it
// to another program makes presses leave it alone again. Windows' own view (foreground,
// focus, the answer to a press), which the window manager under Wine does not show.
void PressesLeaveTheKeyboardWithTheSlides(qd::win32::Win32WindowSystem& ws, bool wineSteps) {
  ws.UseWineSteps(wineSteps);
  const std::string way = wineSteps ? " (Wine's steps)" : " (Windows' way)";
  RecordingEvents events;
  const qd::NativeWindow window = TopMostArrow(ws, events);
  HWND arrow = qd::win32::ToWin32<HWND>(window);
  ::ShowWindow(arrow, SW_SHOWNA);
  HWND slides = ::CreateWindowExW(0, L"STATIC", L"slides", WS_OVERLAPPEDWINDOW, 0, 0, 200, 200,
                                  nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
  ::ShowWindow(slides, SW_SHOW);
  ::SetForegroundWindow(slides);
  ws.ProcessMessages();
  EXPECT_TRUE(::GetForegroundWindow() == slides && NoActivate(arrow))
      << "the slides have the keyboard, the arrow takes none" << way;
  EXPECT_TRUE(::SendMessageW(arrow, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(arrow),
                             MAKELPARAM(HTCLIENT, WM_LBUTTONDOWN)) == MA_NOACTIVATE)
      << "a press does not activate the arrow" << way;

  const auto press = [&](POINT at, POINT release) {
    ::SetCursorPos(at.x, at.y);
    ::SendMessageW(arrow, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    ::SetCursorPos(release.x, release.y);
    ::SendMessageW(arrow, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(5, 5));
    ::SendMessageW(arrow, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  };
  const DWORD waitMs = ::GetDoubleClickTime() + 3000;
  // Slanted, straight sideways, straight down.
  for (const POINT release : {POINT{330, 325}, POINT{330, 320}, POINT{320, 325}}) {
    press({320, 320}, release);
    EXPECT_TRUE(!PumpUntil(ws, ::GetDoubleClickTime() + 300,
                           [&] { return ::GetForegroundWindow() != slides; }))
        << Cat({"after a drag to ", std::to_string(release.x), ",", std::to_string(release.y),
                " the slides still have the keyboard"})
        << way;
  }

  ws.RaiseWithoutActivation(window);
  ws.ProcessMessages();
  EXPECT_TRUE(::GetForegroundWindow() == slides && ::IsWindowVisible(arrow))
      << "the hotkey's raise shows the arrow and leaves the keyboard" << way;
  HWND taskBarWindow = ::GetWindow(arrow, GW_OWNER);
  // Away from the arrow: without a window manager the X focus follows the pointer.
  ::SetCursorPos(700, 700);
  ::SendMessageW(taskBarWindow, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  ::SetForegroundWindow(slides);
  ws.ProcessMessages();
  EXPECT_TRUE(ws.KeyboardHolder() == qd::win32::KeyboardState::Hidden)
      << "the owner knows the arrow is minimised" << way;
  EXPECT_TRUE(!::IsWindowVisible(arrow) && ws.RestoreApplication())
      << "minimised, then restored" << way;
  ws.ProcessMessages();
  // Windows leaves the slides in front; Wine 8 activates a minimised window that
  // SW_SHOWNOACTIVATE restores, here the task-bar window. Either way the arrow takes none.
  EXPECT_TRUE(::IsWindowVisible(arrow) && !::IsIconic(taskBarWindow) &&
              ::GetForegroundWindow() != arrow)
      << "the hotkey's restore shows the arrow without activating it" << way;

  // A tap within the drag threshold is the plain click.
  press({320, 320}, {321, 320});
  EXPECT_TRUE(PumpUntil(ws, waitMs, [&] { return ::GetForegroundWindow() == arrow; }) &&
              ::GetFocus() == arrow && !NoActivate(arrow))
      << "a tap gives the arrow the keyboard" << way;
  EXPECT_TRUE(ws.KeyboardHolder() == qd::win32::KeyboardState::Owns)
      << "the owner knows the arrow has the keyboard" << way;
  // The hotkey while the arrow has the keyboard: it keeps it, and a press keeps answering.
  ws.RaiseWithoutActivation(window);
  EXPECT_TRUE(!NoActivate(arrow) && ::GetForegroundWindow() == arrow)
      << "the hotkey's raise leaves the arrow's keyboard with it" << way;

  // Minimised with the keyboard, activation passes to the task-bar window first; back
  // through the hotkey's restore, a press must still not activate it.
  ::SendMessageW(taskBarWindow, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  ::SetForegroundWindow(slides);
  ws.ProcessMessages();
  EXPECT_TRUE(ws.RestoreApplication()) << "minimised with the keyboard, then restored" << way;
  ws.ProcessMessages();
  EXPECT_TRUE(::IsWindowVisible(arrow) && NoActivate(arrow) &&
              ::SendMessageW(arrow, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(arrow),
                             MAKELPARAM(HTCLIENT, WM_LBUTTONDOWN)) == MA_NOACTIVATE)
      << "restored by the hotkey after a minimise with the keyboard, a press takes none" << way;
  EXPECT_TRUE(ws.KeyboardHolder() == qd::win32::KeyboardState::Passive)
      << "the owner knows the hotkey's restore took no keyboard" << way;

  // The menu takes the foreground so that it closes on a click elsewhere; after it the
  // slides have the keyboard again.
  ::SetForegroundWindow(slides);
  ws.ProcessMessages();
  const qd::NativeWindow before = ws.KeyboardOwner();
  ::SetForegroundWindow(arrow);
  ws.ProcessMessages();
  ws.GiveKeyboardBack(before);
  EXPECT_TRUE(PumpUntil(ws, waitMs, [&] { return ::GetForegroundWindow() == slides; }) &&
              NoActivate(arrow))
      << "after the menu the slides have the keyboard again" << way;
  EXPECT_TRUE(ws.KeyboardHolder() == qd::win32::KeyboardState::Passive)
      << "the owner knows the keyboard went back" << way;

  // Hidden before the deferred hand-over (Wine) is due, the arrow must still take none
  // once it is shown again.
  ::SetForegroundWindow(slides);
  ws.ProcessMessages();
  press({320, 320}, {320, 320});
  ws.ShowAppWindow(window, false);
  PumpUntil(ws, ::GetDoubleClickTime() + 300, [] { return false; });
  ::ShowWindow(arrow, SW_SHOWNA);
  EXPECT_TRUE(NoActivate(arrow) && ::GetForegroundWindow() != arrow)
      << "a plain click on a window hidden before its hand-over leaves it taking none" << way;

  // The user switches to another window before a deferred hand-over is due: it stays there.
  if (wineSteps) {
    press({320, 320}, {320, 320});
    HWND other = ::CreateWindowExW(0, L"STATIC", L"other", WS_OVERLAPPEDWINDOW, 0, 250, 200, 100,
                                   nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    ::ShowWindow(other, SW_SHOW);
    ::SetForegroundWindow(other);
    EXPECT_TRUE(!PumpUntil(ws, ::GetDoubleClickTime() + 300,
                           [&] { return ::GetForegroundWindow() == arrow; }))
        << "a plain click followed by a switch elsewhere leaves the keyboard there" << way;
    ::DestroyWindow(other);
    ::SetForegroundWindow(slides);
    ws.ProcessMessages();
  }
  press({320, 320}, {320, 320});
  EXPECT_TRUE(PumpUntil(ws, waitMs, [&] { return ::GetForegroundWindow() == arrow; }))
      << "a plain click gives the arrow the keyboard" << way;
  // The program's own box takes the keyboard and gives it back; another program keeps it.
  ::SendMessageW(arrow, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(taskBarWindow));
  EXPECT_TRUE(!NoActivate(arrow)) << "losing the keyboard to the program's own window" << way;
  EXPECT_TRUE(ws.KeyboardHolder() == qd::win32::KeyboardState::Owns)
      << "the owner knows its own window's activation keeps the keyboard its" << way;
  ::SendMessageW(arrow, WM_ACTIVATE, WA_INACTIVE, 0);
  EXPECT_TRUE(NoActivate(arrow)) << "losing the keyboard to another program" << way;
  EXPECT_TRUE(ws.KeyboardHolder() == qd::win32::KeyboardState::Passive)
      << "the owner knows another program has the keyboard" << way;
  ::DestroyWindow(slides);
  ws.DestroyAppWindow(window);
}

TEST_F(Backend, PressesLeaveTheKeyboardWithTheSlidesWineSteps) {
  PressesLeaveTheKeyboardWithTheSlides(ws, true);
}

TEST_F(Backend, PressesLeaveTheKeyboardWithTheSlidesWindowsWay) {
  PressesLeaveTheKeyboardWithTheSlides(ws, false);
}

// The class of a cover's window: shell:NAME gives a window of the system shell's class NAME.
std::wstring CoverClass(std::string_view kind) {
  return kind.starts_with("shell:") ? qd::win32::Utf8ToWide(kind.substr(6)) : L"QdCover";
}

// Another program's window over the arrow: this test program started again as
// `cover KIND`, KIND one of topmost, show (top-most too), clickthrough, ordinary, aside
// (ordinary, clear of the arrow), shell:CLASS (top-most, of a shell's class); it lives until
// it is closed.
int RunCover(const char* kind) {
  const std::wstring className = CoverClass(kind);
  const bool clickThrough = std::string_view(kind) == "clickthrough";
  const bool topMost = clickThrough || std::string_view(kind) == "topmost" ||
                       std::string_view(kind) == "show" || className != L"QdCover";
  // Clear of the arrow: a program the presenter switches to beside it.
  const int left = std::string_view(kind) == "aside" ? 900 : 250;
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = ::DefWindowProcW;
  windowClass.hInstance = ::GetModuleHandleW(nullptr);
  windowClass.hbrBackground = static_cast<HBRUSH>(::GetStockObject(GRAY_BRUSH));
  windowClass.lpszClassName = className.c_str();
  ::RegisterClassW(&windowClass);
  DWORD exStyle = topMost ? WS_EX_TOPMOST : 0;
  if (clickThrough) exStyle |= WS_EX_LAYERED | WS_EX_TRANSPARENT;
  HWND window = ::CreateWindowExW(exStyle, className.c_str(), qd::win32::Utf8ToWide(kind).c_str(),
                                  topMost ? WS_POPUP : WS_OVERLAPPEDWINDOW, left, 250, 200, 200,
                                  nullptr, nullptr, windowClass.hInstance, nullptr);
  if (window == nullptr) return 1;
  if (clickThrough) ::SetLayeredWindowAttributes(window, 0, 128, LWA_ALPHA);
  ::ShowWindow(window, topMost ? SW_SHOWNA : SW_SHOW);
  MSG msg;
  const DWORD start = ::GetTickCount();
  while (::IsWindow(window) && ::GetTickCount() - start < 120000) {
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
  return 0;
}

HWND StartCover(const std::string& kind) {
  wchar_t self[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring command = L"\"" + std::wstring(self) + L"\" cover " + qd::win32::Utf8ToWide(kind);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
    return nullptr;
  }
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  const std::wstring title = qd::win32::Utf8ToWide(kind);
  for (int i = 0; i < 500; ++i) {
    if (HWND cover = ::FindWindowW(CoverClass(kind).c_str(), title.c_str()); cover != nullptr) {
      return cover;
    }
    ::Sleep(20);
  }
  return nullptr;
}

// Whether `upper` is above `lower` in the z-order.
bool Above(HWND upper, HWND lower) {
  for (HWND w = ::GetWindow(lower, GW_HWNDPREV); w != nullptr; w = ::GetWindow(w, GW_HWNDPREV)) {
    if (w == upper) return true;
  }
  return false;
}

unsigned long TimerTicks(HWND arrow) {
  return static_cast<unsigned long>(
      ::SendMessageW(arrow, ::RegisterWindowMessageA("Quiverdart.TimerTicks"), 0, 0));
}

// The arrow back above another program's top-most window that covers it, a few times a
// round; once refused, one look when the round ends, and no tick after; when it moves
// under one that went on top while the two were apart; and later after an activation, while
// a top-most window lies under it. Click-through
// windows cover nothing; the hand-back after the menu leaves the keyboard with another program that
// took it meanwhile.
// The system's own surfaces over the arrow stay there: the arrow is not raised above them.
TEST_F(Backend, ShellSurfacesStayAbove) {
  RecordingEvents events;
  const qd::NativeWindow window = TopMostArrow(ws, events);
  HWND arrow = qd::win32::ToWin32<HWND>(window);
  ws.RaiseWithoutActivation(window);
  // Once activated before the rows: the first activation changes the arrow's style, which
  // Wine may answer by restacking it.
  ::SendMessageW(arrow, WM_ACTIVATE, WA_ACTIVE, 0);
  PumpUntil(ws, 500, [] { return false; });
  for (const char* shell :
       {"Windows.UI.Core.CoreWindow", "XamlExplorerHostIslandWindow",
        "TopLevelWindowForOverflowXamlIsland", "ControlCenterWindow", "Xaml_WindowedPopupClass",
        "Windows.UI.Composition.DesktopWindowContentBridge", "Shell_InputSwitchTopLevelWindow"}) {
    HWND surface = StartCover(Cat({"shell:", shell}));
    EXPECT_TRUE(surface != nullptr) << Cat({shell, ": up"});
    if (surface == nullptr) continue;
    ::SetWindowPos(surface, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    // Another process's window: it takes its place when that process gets to it.
    EXPECT_TRUE(PumpUntil(ws, 10000, [&] { return Above(surface, arrow); }))
        << Cat({shell, ": on top"});
    ::SendMessageW(arrow, WM_ACTIVATE, WA_ACTIVE, 0);
    PumpUntil(ws, 500, [] { return false; });
    EXPECT_TRUE(Above(surface, arrow)) << Cat({shell, " stays above the arrow"});
    ::PostMessageW(surface, WM_CLOSE, 0, 0);
    PumpUntil(ws, 2000, [&] { return ::IsWindow(surface) == FALSE; });
  }
  ws.DestroyAppWindow(window);
}

TEST_F(Backend, KeepOnTop) {
  RecordingEvents events;
  const qd::NativeWindow window = TopMostArrow(ws, events);
  HWND arrow = qd::win32::ToWin32<HWND>(window);
  ws.RaiseWithoutActivation(window);
  HWND clickThrough = StartCover("clickthrough");
  HWND ordinary = StartCover("ordinary");
  HWND cover = StartCover("topmost");
  EXPECT_TRUE(clickThrough != nullptr && ordinary != nullptr && cover != nullptr)
      << "the covers are up";
  if (clickThrough == nullptr || ordinary == nullptr || cover == nullptr) return;
  ws.ProcessMessages();
  // The arrow activated is when a show may answer by putting itself on top. The second look
  // a moment later is waited out, so that it never meets the next step's cover (on a slow
  // machine it did, and took a raise of the round).
  const auto look = [&] {
    ::SendMessageW(arrow, WM_ACTIVATE, WA_ACTIVE, 0);
    PumpUntil(ws, 500, [] { return false; });
  };
  // Another process's window takes its place when that process gets to it: waited for
  // without pumping, so that no look of the arrow's runs meanwhile.
  const auto coverOnTop = [&] {
    ::SetWindowPos(cover, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    WaitUntil(10000, [&] { return Above(cover, arrow); });
  };
  ::SetWindowPos(clickThrough, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  ::ShowWindow(cover, SW_HIDE);
  look();
  EXPECT_TRUE(Above(clickThrough, arrow)) << "a click-through window above the arrow is no cover";
  ::ShowWindow(cover, SW_SHOWNA);
  for (int round = 1; round <= 4; ++round) {
    coverOnTop();
    look();
    // On a busy machine the look a moment later may come late.
    EXPECT_TRUE(PumpUntil(ws, 3000, [&] { return Above(arrow, cover); }))
        << Cat({"raise ", std::to_string(round), " puts the arrow on top"});
  }
  coverOnTop();
  look();
  EXPECT_TRUE(Above(cover, arrow)) << "the fifth raise in a round waits";
  EXPECT_TRUE(PumpUntil(ws, 12000, [&] { return Above(arrow, cover); }))
      << "when the round ends the arrow is back on top";
  const unsigned long ticks = TimerTicks(arrow);
  PumpUntil(ws, 1500, [] { return false; });
  EXPECT_TRUE(TimerTicks(arrow) == ticks) << "above everything, nothing ticks";

  // A window gone on top while clear of the arrow, which then moves under it (dragged onto
  // the projector where a show has started meanwhile): the arrow is back on top at once.
  ::SetWindowPos(cover, HWND_TOPMOST, 700, 250, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
  ws.ProcessMessages();
  EXPECT_TRUE(Above(cover, arrow)) << "the cover went on top clear of the arrow";
  ws.SetWindowBounds(window, 720, 300, 60, 60);
  ws.ProcessMessages();
  EXPECT_TRUE(Above(arrow, cover)) << "moved under a window on top, the arrow comes back above it";

  // A show that goes on top again late after losing the keyboard (a busy machine): past the
  // look a moment after the activation, a later one finds it.
  look();
  coverOnTop();
  EXPECT_TRUE(PumpUntil(ws, 3000, [&] { return Above(arrow, cover); }))
      << "the arrow comes back above a window that went on top late";

  // The menu ended by a click into another program: the keyboard stays with it.
  HWND slides = ::CreateWindowExW(0, L"STATIC", L"slides", WS_OVERLAPPEDWINDOW, 0, 0, 200, 200,
                                  nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
  ::ShowWindow(slides, SW_SHOW);
  ::SetForegroundWindow(slides);
  ws.ProcessMessages();
  const qd::NativeWindow before = ws.KeyboardOwner();
  ::SetForegroundWindow(ordinary);
  PumpUntil(ws, 2000, [&] { return ::GetForegroundWindow() == ordinary; });
  ws.GiveKeyboardBack(before);
  ws.ProcessMessages();
  EXPECT_TRUE(::GetForegroundWindow() == ordinary)
      << "the hand-back leaves another program's keyboard";
  for (HWND w : {clickThrough, ordinary, cover}) ::PostMessageW(w, WM_CLOSE, 0, 0);
  ::DestroyWindow(slides);
  ws.DestroyAppWindow(window);
}

// A running program that a second start asks: this test program started again as
// `answer NAME KIND`. KIND handed-over: an arrow that takes over, and ends with code 10 once
// it has; ending: one on its way out for 6 s, then gone; silent: another program's window of
// the arrow's class, which ends with code 3 if the message ever reaches it.
UINT silentHears = 0;  // the hand-over message, in the silent answerer

LRESULT CALLBACK SilentWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == silentHears) ::ExitProcess(3);
  return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

int RunAnswerer(const std::string& name, std::string_view kind) {
  silentHears = ::RegisterWindowMessageW(qd::win32::HandOverMessageName(name).c_str());
  const std::wstring title = qd::win32::Utf8ToWide(std::string(kind));
  if (kind == "silent") {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = &SilentWindowProc;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"TFormMain";
    ::RegisterClassW(&windowClass);
    if (::CreateWindowExW(0, L"TFormMain", title.c_str(), WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                          windowClass.hInstance, nullptr) == nullptr) {
      return 1;
    }
  }
  qd::win32::Win32WindowSystem ws(::GetModuleHandleA(nullptr));
  RecordingEvents events;
  events.answer = kind == "ending" ? qd::HandOverAnswer::Ending : qd::HandOverAnswer::HandedOver;
  if (kind != "silent") {
    qd::WindowParams params;
    params.bounds = {0, 0, 10, 10};
    params.caption = std::string(kind);
    ws.AnswerHandOvers(ws.CreateAppWindow(params, events), name);
  }
  const bool handedOver = PumpUntil(ws, kind == "ending" ? 6000 : 60000, [&] {
    return std::find(events.log.begin(), events.log.end(), "hand-over") != events.log.end();
  });
  return handedOver ? 10 : 0;
}

struct Answerer {
  HANDLE process = nullptr;
  ~Answerer() {
    if (process == nullptr) return;
    ::TerminateProcess(process, 0);
    ::CloseHandle(process);
  }
  [[nodiscard]] bool Running() const {
    return process != nullptr && ::WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
  }
  [[nodiscard]] DWORD ExitCode(DWORD waitMs) const {
    DWORD code = STILL_ACTIVE;
    ::WaitForSingleObject(process, waitMs);
    ::GetExitCodeProcess(process, &code);
    return code;
  }
};

// Started, and once its window is there.
void StartAnswerer(Answerer& answerer, const std::string& name, const std::string& kind) {
  wchar_t self[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring command = L"\"" + std::wstring(self) + L"\" answer \"" +
                         qd::win32::Utf8ToWide(name) + L"\" " + qd::win32::Utf8ToWide(kind);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
    return;
  }
  ::CloseHandle(process.hThread);
  answerer.process = process.hProcess;
  const std::wstring title = qd::win32::Utf8ToWide(kind);
  WaitUntil(10000, [&] { return ::FindWindowW(L"TFormMain", title.c_str()) != nullptr; });
}

DWORD WINAPI SendDisplayChange(void* window) {
  DWORD_PTR result = 0;
  return ::SendMessageTimeoutW(static_cast<HWND>(window), WM_DISPLAYCHANGE, 32, 0, SMTO_NORMAL,
                               3000, &result) != 0
             ? 1
             : 0;
}

// A second start finds the running arrow in another process and only there: never one of
// its own windows, never another program's window of the same class; it waits for as long as
// the running one says it is ending, answering what is sent to its own windows meanwhile.
TEST_F(Backend, HandOver) {
  RecordingEvents own;
  qd::WindowParams params;
  params.bounds = {0, 0, 10, 10};
  const qd::NativeWindow window = ws.CreateAppWindow(params, own);
  HWND hwnd = qd::win32::ToWin32<HWND>(window);
  ws.AnswerHandOvers(window, "C:\\qd\\own.ini");
  EXPECT_TRUE(ws.HandOversFromAnyLevel()) << "hand-overs let in from lower integrity levels";
  int rounds = 0;
  EXPECT_TRUE(!ws.HandOver("C:\\qd\\own.ini", [&] { return ++rounds > 3; }) && own.log.empty())
      << "own window never asked: " + Joined(own.log);

  struct Case {
    const char* kind;
    bool handedOver;
    DWORD exitCode;  // of the answerer once asked; STILL_ACTIVE: still running
  };
  for (const Case& c : {Case{"handed-over", true, 10}, Case{"silent", false, STILL_ACTIVE},
                        Case{"ending", false, 0}}) {
    const std::string name = Cat({"C:\\qd\\", c.kind, ".ini"});
    Answerer answerer;
    StartAnswerer(answerer, name, c.kind);
    EXPECT_TRUE(answerer.Running()) << Cat({c.kind, ": answerer started"});
    own.log.clear();
    // While the start waits, another program sends its window a broadcast.
    HANDLE sender =
        c.handedOver ? nullptr : ::CreateThread(nullptr, 0, &SendDisplayChange, hwnd, 0, nullptr);
    const bool handedOver = ws.HandOver(name, [&] {
      const bool sent = sender == nullptr || ::WaitForSingleObject(sender, 0) == WAIT_OBJECT_0;
      return sent && (std::string_view(c.kind) != "ending" || !answerer.Running());
    });
    EXPECT_TRUE(handedOver == c.handedOver) << Cat({c.kind, ": handed over as expected"});
    EXPECT_TRUE(answerer.ExitCode(c.exitCode == STILL_ACTIVE ? 0 : 5000) == c.exitCode)
        << Cat({c.kind, ": the answerer's exit code"});
    if (sender == nullptr) continue;
    DWORD sent = 0;
    ::WaitForSingleObject(sender, 5000);
    ::GetExitCodeThread(sender, &sent);
    ::CloseHandle(sender);
    EXPECT_TRUE(sent == 1 && own.log.empty())
        << Cat({c.kind, ": sent while waiting, answered without the form: ", Joined(own.log)});
  }
  ws.DestroyAppWindow(window);
}

struct HookScene {
  HWND arrow = nullptr;
  HWND show = nullptr;   // another program's top-most window over the arrow
  HWND aside = nullptr;  // another program's window clear of the arrow
  HWND own = nullptr;    // a window of this program
  DWORD loopThread = 0;
};

// What this test's own hook saw last: whether the system sends the events at all.
HWND foregroundSeen = nullptr;
void CALLBACK SeeForeground(HWINEVENTHOOK /*hook*/, DWORD /*event*/, HWND window, LONG /*object*/,
                            LONG /*child*/, DWORD /*thread*/, DWORD /*time*/) {
  foregroundSeen = window;
}

DWORD WINAPI PlayHookScene(void* param) {
  const HookScene& scene = *static_cast<const HookScene*>(param);
  const auto comesToFront = [](HWND w) {
    ::SetForegroundWindow(w);
    return WaitUntil(2000, [w] { return ::GetForegroundWindow() == w; });
  };
  // The looks of the arrow's own start are over.
  WaitUntil(3000, [&] { return ::IsWindowVisible(scene.arrow) != FALSE; });
  ::Sleep(800);
  // Shown only now: a top-most window under the arrow as it starts would make it look later.
  ::ShowWindow(scene.show, SW_SHOWNA);
  ::SetWindowPos(scene.show, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  EXPECT_TRUE(Above(scene.show, scene.arrow)) << "the show is above the arrow to begin with";
  EXPECT_TRUE(comesToFront(scene.aside)) << "the window beside the arrow comes to the front";
  if (!WaitUntil(1000, [&] { return foregroundSeen == scene.aside; })) {
    // Wine 8 sends another program's foreground change to no out-of-context hook.
    std::printf("Not shown here: no foreground event reaches an out-of-context hook\n");
    ::PostThreadMessageW(scene.loopThread, WM_QUIT, 0, 0);
    return 0;
  }
  ::Sleep(1000);
  EXPECT_TRUE(Above(scene.show, scene.arrow))
      << "a program brought to the front beside the arrow leaves it where it is";
  EXPECT_TRUE(comesToFront(scene.show)) << "the show comes to the front";
  EXPECT_TRUE(WaitUntil(1500, [&] { return Above(scene.arrow, scene.show); }))
      << "a show that comes to the front over the arrow puts the arrow back on top";
  ::Sleep(1000);  // and its second look a moment later is over
  const unsigned long ticks = TimerTicks(scene.arrow);
  EXPECT_TRUE(comesToFront(scene.own)) << "the program's own window comes to the front";
  ::Sleep(1000);
  EXPECT_TRUE(TimerTicks(scene.arrow) == ticks) << "the program's own window wakes no look";
  ::PostThreadMessageW(scene.loopThread, WM_QUIT, 0, 0);
  return 0;
}

// The foreground hook of the running message loop: it judges the window an event names
// alone, and the program's own windows do not wake it (Wine ignores the skip flag).
TEST_F(Backend, ForegroundHook) {
  RecordingEvents events;
  const qd::NativeWindow window = TopMostArrow(ws, events);
  HookScene scene;
  scene.arrow = qd::win32::ToWin32<HWND>(window);
  scene.show = StartCover("show");
  scene.aside = StartCover("aside");
  scene.own = ::CreateWindowExW(0, L"STATIC", L"own", WS_OVERLAPPEDWINDOW, 0, 0, 200, 200, nullptr,
                                nullptr, ::GetModuleHandleW(nullptr), nullptr);
  scene.loopThread = ::GetCurrentThreadId();
  EXPECT_TRUE(scene.show != nullptr && scene.aside != nullptr)
      << "the other program's windows are up";
  if (scene.show != nullptr && scene.aside != nullptr) {
    ::ShowWindow(scene.own, SW_SHOWNA);
    ::ShowWindow(scene.show, SW_HIDE);
    HWINEVENTHOOK seer = ::SetWinEventHook(EVENT_SYSTEM_FOREGROUND, EVENT_SYSTEM_FOREGROUND,
                                           nullptr, &SeeForeground, 0, 0, WINEVENT_OUTOFCONTEXT);
    HANDLE player = ::CreateThread(nullptr, 0, &PlayHookScene, &scene, 0, nullptr);
    EXPECT_TRUE(player != nullptr) << "the scene's thread starts";
    if (player != nullptr) {
      ws.RunMessageLoop(window);
      ::WaitForSingleObject(player, INFINITE);
      ::CloseHandle(player);
    }
    if (seer != nullptr) ::UnhookWinEvent(seer);
  }
  for (HWND w : {scene.show, scene.aside}) {
    if (w != nullptr) ::PostMessageW(w, WM_CLOSE, 0, 0);
  }
  PumpUntil(ws, 3000, [&] { return !::IsWindow(scene.show) && !::IsWindow(scene.aside); });
  ::DestroyWindow(scene.own);
  ws.DestroyAppWindow(window);
}

TEST_F(Backend, ObjectsReleased) {
  const std::string scratchFile = Cat({root, "\\released.tmp"});
  services.ForceDirectories(root);
  const qd::win32::LiveObjectCounts before = qd::win32::LiveObjects();
  RecordingEvents events;
  qd::WindowParams params;
  params.bounds = {0, 0, 50, 50};
  params.layered = true;
  for (int i = 0; i < 20; ++i) {
    const qd::NativeWindow window = ws.CreateAppWindow(params, events);
    ws.SetWindowRegion(window, ws.CreatePolygonRegion({{0, 0}, {40, 20}, {0, 40}}), true);
    ws.GetCanvas(window)->Polyline({{0, 0}, {9, 9}}, 3, 0);
    ::UpdateWindow(qd::win32::ToWin32<HWND>(window));
    // Images of two sizes: the second replaces the first.
    ws.WindowImagePixels(window, 10, 10);
    ws.ShowWindowImage(window, 0, 0);
    ws.WindowImagePixels(window, 20, 10);
    ws.ShowWindowImage(window, 0, 0);
    ws.DestroyAppWindow(window);
    // A region that never reaches a window, a timer and a file are given back by their
    // owners.
    EXPECT_TRUE(ws.CreatePolygonRegion({{0, 0}, {40, 20}, {0, 40}}) &&
                services.CreateWaitableTimer() && services.CreateFileForWrite(scratchFile))
        << "a region, a timer and a file are created";
  }
  services.DeleteFile(scratchFile);
  const qd::win32::LiveObjectCounts after = qd::win32::LiveObjects();
  EXPECT_TRUE(after.gdi == before.gdi && after.user == before.user && after.kernel == before.kernel)
      << Cat({"every object created is released: gdi ", std::to_string(after.gdi - before.gdi),
              ", user ", std::to_string(after.user - before.user), ", kernel ",
              std::to_string(after.kernel - before.kernel)});
}

LRESULT CALLBACK DestroyAtCreate(int code, WPARAM wParam, LPARAM lParam) {
  const auto* message = reinterpret_cast<const CWPSTRUCT*>(lParam);
  if (code == HC_ACTION && message->message == WM_CREATE) ::DestroyWindow(message->hwnd);
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

// A window destroyed while it is being made fails after its window procedure took its
// data over and freed it on the way out.
TEST_F(Backend, FailedCreationFreesOnce) {
  const long users = qd::win32::LiveObjects().user;
  const int frees = doubleFrees;
  HHOOK hook =
      ::SetWindowsHookExW(WH_CALLWNDPROC, DestroyAtCreate, nullptr, ::GetCurrentThreadId());
  EXPECT_TRUE(hook != nullptr) << "the hook is set";
  RecordingEvents events;
  qd::WindowParams params;
  params.bounds = {0, 0, 40, 40};
  EXPECT_TRUE(!ws.CreateAppWindow(params, events)) << "a window gone at its creation is no window";
  ::UnhookWindowsHookEx(hook);
  EXPECT_TRUE(doubleFrees == frees) << "its data is freed once";
  EXPECT_TRUE(qd::win32::LiveObjects().user == users) << "no window is left counted";
}

// Looks for the file over and over from another thread, as a second program starting
// while the first one saves would, counting the looks that found no file.
struct FileWatch {
  std::wstring path;
  volatile LONG stop = 0;
  volatile LONG looks = 0;
  volatile LONG missing = 0;
};

DWORD WINAPI WatchFile(void* param) {
  auto* watch = static_cast<FileWatch*>(param);
  while (::InterlockedCompareExchange(&watch->stop, 0, 0) == 0) {
    if (::GetFileAttributesW(watch->path.c_str()) == INVALID_FILE_ATTRIBUTES) {
      ::InterlockedIncrement(&watch->missing);
    }
    ::InterlockedIncrement(&watch->looks);
  }
  return 0;
}

DWORD WINAPI LetGoSoon(void* held) {
  ::Sleep(60);
  ::CloseHandle(static_cast<HANDLE>(held));
  return 0;
}

// Writes `content` to a new file at `path` and renames it over `target`.
bool ReplaceWith(qd::win32::Win32SystemServices& ws, const std::string& path,
                 const std::string& target, const std::string& content) {
  qd::OwnedFile file = ws.CreateFileForWrite(path);
  return file && ws.WriteFileBytes(file.Get(), content) && file.Close() &&
         ws.ReplaceFile(path, target);
}

// Targets past MAX_PATH, and a file another program holds for a moment. Wine's
// GetFinalPathNameByHandleW fails a little further on (from 268 characters; for a 32-bit
// program under WoW64 already at 265), which stands for the volumes and redirectors where
// Windows' does.
TEST_F(SystemServices, LongPathsAndHeldFiles) {
  const std::string longRoot = Cat({"\\\\?\\", root, "\\"});
  const std::string folder = Cat({longRoot, std::string(233, 'L')});
  ::CreateDirectoryW(qd::win32::Utf8ToWide(folder).c_str(), nullptr);
  const std::string name = Cat({folder, "\\s.ini"});  // 262 characters
  EXPECT_TRUE(ReplaceWith(ws, Cat({name, ".0.tmp"}), name, "old")) << "a long name made";
  const std::optional<qd::FileLinks> links = ws.ResolveFileLinks(name);
  EXPECT_TRUE(links && links->finalPath.starts_with("\\\\?\\") &&
              links->finalPath.ends_with("\\s.ini") && links->names == 1 && !links->link)
      << Cat({"a long path resolves in its long form: ", links ? links->finalPath : "nothing"});
  const std::string target = links && !links->finalPath.empty() ? links->finalPath : name;
  EXPECT_TRUE(ws.FileAttributes(target).has_value() && ws.MayReplace(target))
      << "the long form's attributes and rights read";
  EXPECT_TRUE(ReplaceWith(ws, Cat({target, ".1.tmp"}), target, "new") &&
              ws.ReadWholeFile(name).bytes == "new")
      << "the long form replaced";

  const std::string deeper = Cat({longRoot, std::string(240, 'M')});
  ::CreateDirectoryW(qd::win32::Utf8ToWide(deeper).c_str(), nullptr);
  const std::string first = Cat({deeper, "\\s.ini"});
  const std::string second = Cat({deeper, "\\t.ini"});
  EXPECT_TRUE(ReplaceWith(ws, Cat({first, ".0.tmp"}), first, "one") &&
              ::CreateHardLinkW(qd::win32::Utf8ToWide(second).c_str(),
                                qd::win32::Utf8ToWide(first).c_str(), nullptr) != 0)
      << "a file with two names made";
  const std::optional<qd::FileLinks> two = ws.ResolveFileLinks(first);
  EXPECT_TRUE(two && two->names == 2 &&
              (two->finalPath.empty() || two->finalPath.starts_with("\\\\?\\")))
      << "two names are known, whether or not the path can be told";

  HANDLE held = ::CreateFileW(qd::win32::Utf8ToWide(target).c_str(), GENERIC_READ, FILE_SHARE_READ,
                              nullptr, OPEN_EXISTING, 0, nullptr);
  HANDLE letGo = ::CreateThread(nullptr, 0, LetGoSoon, held, 0, nullptr);
  EXPECT_TRUE(held != INVALID_HANDLE_VALUE && letGo != nullptr) << "another holds the file";
  EXPECT_TRUE(ReplaceWith(ws, Cat({target, ".2.tmp"}), target, "after") &&
              ws.ReadWholeFile(name).bytes == "after")
      << Cat({"a file held for a moment is replaced after it: ", ws.LastErrorMessage()});
  ::WaitForSingleObject(letGo, INFINITE);
  ::CloseHandle(letGo);
}

TEST_F(SystemServices, Files) {
  // "Ærø-Ωmega" in UTF-8: outside Windows-1252 in part, so only the wide calls can reach it.
  const std::string folder = Cat({root, "\\\xC3\x86r\xC3\xB8-\xCE\xA9mega\\sub\\deeper"});
  ws.ForceDirectories(Cat({folder, "\\"}));
  EXPECT_TRUE(ws.DirectoryExists(folder)) << "ForceDirectories makes every level";
  EXPECT_TRUE(!ws.FileExists(folder)) << "a folder is not a file";

  const std::string target = Cat({folder, "\\settings.ini"});
  const std::string temp = Cat({target, ".tmp"});
  const std::string content("[Pointer]\r\nSize=12\r\n\xE4\0end", 25);
  for (int round = 0; round < 2; ++round) {
    qd::OwnedFile file = ws.CreateFileForWrite(temp);
    EXPECT_TRUE(static_cast<bool>(file)) << "create for writing";
    EXPECT_TRUE(ws.WriteFileBytes(file.Get(), content) && ws.FlushFile(file.Get()) && file.Close())
        << "write, flush, close";
    EXPECT_TRUE(ws.ReplaceFile(temp, target)) << Cat({"replace round ", std::to_string(round)});
  }
  FileWatch watch;
  watch.path = qd::win32::Utf8ToWide(target);
  HANDLE watcher = ::CreateThread(nullptr, 0, WatchFile, &watch, 0, nullptr);
  EXPECT_TRUE(watcher != nullptr) << "the watching thread starts";
  for (int round = 0; round < 200; ++round) {
    qd::OwnedFile file = ws.CreateFileForWrite(temp);
    EXPECT_TRUE(file && ws.WriteFileBytes(file.Get(), content) && file.Close() &&
                ws.ReplaceFile(temp, target))
        << "replace while watched";
  }
  ::InterlockedExchange(&watch.stop, 1);
  ::WaitForSingleObject(watcher, INFINITE);
  ::CloseHandle(watcher);
  EXPECT_TRUE(watch.missing == 0) << Cat({"the file is there at every look: missing at ",
                                          std::to_string(watch.missing), " of ",
                                          std::to_string(watch.looks)});
  const qd::FileRead read = ws.ReadWholeFile(target);
  EXPECT_TRUE(read.status == qd::FileStatus::Ok && read.bytes == content)
      << "bytes survive unchanged";
  EXPECT_TRUE(!ws.FileExists(temp)) << "the temporary file is gone after the replace";

  EXPECT_TRUE(!ws.CopyFileFailIfExists(target, target)) << "copy never overwrites";
  const std::string copy = Cat({folder, "\\copy.ini"});
  EXPECT_TRUE(ws.CopyFileFailIfExists(target, copy) && ws.FileExists(copy)) << "copy to a new name";
  ws.DeleteFile(copy);
  EXPECT_TRUE(!ws.FileExists(copy)) << "delete";

  struct Missing {
    std::string path;
    qd::FileStatus want;
  };
  for (const Missing& m :
       {Missing{Cat({folder, "\\none.ini"}), qd::FileStatus::NotFound},
        Missing{Cat({root, "\\no\\such\\dir\\x.ini"}), qd::FileStatus::NotFound}}) {
    EXPECT_TRUE(ws.ReadWholeFile(m.path).status == m.want) << Cat({"missing file ", m.path});
  }
  // A refusal that no other program causes fails with the system's message. Here a folder
  // has the name.
  const std::string folderTarget = Cat({folder, "\\a folder.ini"});
  ws.ForceDirectories(folderTarget);
  EXPECT_TRUE(ws.CreateFileForWrite(temp).Close()) << "a file to put in a folder's place";
  EXPECT_TRUE(!ws.ReplaceFile(temp, folderTarget) &&
              ws.LastErrorMessage() == ws.AccessDeniedMessage())
      << Cat({"replacing a folder is denied: ", ws.LastErrorMessage()});
  ws.DeleteFile(temp);
  const qd::FileRead folderRead = ws.ReadWholeFile(folder);
  EXPECT_TRUE(folderRead.status == qd::FileStatus::Error && !folderRead.error.empty())
      << "reading a folder is an error with a message";
  EXPECT_TRUE(!ws.CreateFileForWrite(folder) && !ws.LastErrorMessage().empty())
      << "a failed create explains itself";

  struct Same {
    const char* a;
    const char* b;
    bool want;
  };
  for (const Same& s :
       {Same{"C:\\Tools\\Quiverdart.INI", "c:\\tools\\quiverdart.ini", true},
        Same{"\xC3\x84rger", "\xC3\xA4RGER", true}, Same{"a.ini", "a.ini ", false}}) {
    EXPECT_TRUE(ws.SameText(s.a, s.b) == s.want) << Cat({"SameText ", s.a, " / ", s.b});
  }
}

TEST_F(SystemServices, RegistryAndEnvironment) {
  const wchar_t* keyPath = L"Software\\QuiverdartBackendTest";
  HKEY key = nullptr;
  ::RegCreateKeyExW(HKEY_CURRENT_USER, keyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                    nullptr);
  const std::wstring text = L"C:\\Users\\\x00C5sa\\AppData";
  ::RegSetValueExW(key, L"AppData", 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  const DWORD number = 5;
  ::RegSetValueExW(key, L"Number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                   sizeof number);
  ::RegSetValueExW(key, L"Empty", 0, REG_SZ, reinterpret_cast<const BYTE*>(L""), 0);
  const std::wstring expandable = L"%USERPROFILE%\\AppData";
  ::RegSetValueExW(key, L"Expandable", 0, REG_EXPAND_SZ,
                   reinterpret_cast<const BYTE*>(expandable.c_str()),
                   static_cast<DWORD>((expandable.size() + 1) * sizeof(wchar_t)));
  ::RegCloseKey(key);

  struct Case {
    const char* key;
    const char* value;
    qd::RegistryStatus status;
    const char* text;
  };
  const Case cases[] = {
      {"\\Software\\QuiverdartBackendTest\\", "AppData", qd::RegistryStatus::Text,
       "C:\\Users\\\xC3\x85sa\\AppData"},
      {"\\Software\\QuiverdartBackendTest\\", "Number", qd::RegistryStatus::NotText, ""},
      {"\\Software\\QuiverdartBackendTest\\", "Empty", qd::RegistryStatus::Text, ""},
      {"\\Software\\QuiverdartBackendTest\\", "Expandable", qd::RegistryStatus::ExpandableText,
       "%USERPROFILE%\\AppData"},
      {"\\Software\\QuiverdartBackendTest\\", "Missing", qd::RegistryStatus::NoValue, ""},
      {"\\Software\\QuiverdartBackendTest\\Nothing\\", "AppData", qd::RegistryStatus::NoKey, ""},
  };
  for (const Case& c : cases) {
    const qd::RegistryRead read = ws.ReadUserRegistryText(c.key, c.value);
    EXPECT_TRUE(read.status == c.status && read.text == c.text)
        << Cat({"registry ", c.key, c.value, " gave \"", read.text, "\""});
  }
  ::RegDeleteKeyW(HKEY_CURRENT_USER, keyPath);

  ::SetEnvironmentVariableW(L"QD_TEST_SET", L" \x00D8 ");
  ::SetEnvironmentVariableW(L"QD_TEST_LONG", std::wstring(300, L'x').c_str());
  ::SetEnvironmentVariableW(L"QD_TEST_UNSET", nullptr);
  EXPECT_TRUE(ws.GetEnvironmentVariable("QD_TEST_SET") == std::optional<std::string>(" \xC3\x98 "))
      << "an environment value comes back whole, in UTF-8";
  EXPECT_TRUE(ws.GetEnvironmentVariable("QD_TEST_LONG") ==
              std::optional<std::string>(std::string(300, 'x')))
      << "a long environment value is not cut";
  EXPECT_TRUE(!ws.GetEnvironmentVariable("QD_TEST_UNSET").has_value())
      << "an absent variable is none";
}

TEST(MenuGlyph, Key) {
  // The lower-left pixel gives the key colour; the reserved byte comes from GetDIBits as 0.
  constexpr std::uint32_t kKey = 0x00C0C0C0;
  constexpr std::uint32_t kInk = 0x00102030;
  const std::vector<std::uint32_t> source = {kInk, kKey, kKey, kInk};
  struct Case {
    bool themed;
    std::vector<std::uint32_t> want;
  };
  for (const Case& c : {Case{true, {0xFF102030, 0, 0, 0xFF102030}},
                        Case{false, {0xFF102030, 0xFFF0E0D0, 0xFFF0E0D0, 0xFF102030}}}) {
    std::vector<std::uint32_t> pixels = source;
    qd::win32::KeyOutMenuGlyph(pixels, 2, 2, c.themed, RGB(0xF0, 0xE0, 0xD0));
    EXPECT_TRUE(pixels == c.want) << (c.themed ? "themed menus: the key is fully transparent"
                                               : "classic menus: the key takes the menu colour");
  }
}

struct CommandLineCase {
  const wchar_t* line;
  std::vector<std::wstring> want;
};

void PrintTo(const CommandLineCase& c, std::ostream* os) { *os << qd::win32::WideToUtf8(c.line); }

class CommandLineSplitting : public testing::TestWithParam<CommandLineCase> {};

TEST_P(CommandLineSplitting, GivesTheArguments) {
  const CommandLineCase& c = GetParam();
  EXPECT_TRUE(qd::win32::SplitCommandLine(c.line) == c.want)
      << Cat({"command line ", qd::win32::WideToUtf8(c.line)});
}

const CommandLineCase kCommandLines[] = {
    {L"prog.exe", {L"prog.exe"}},
    {L"\"C:\\Program Files\\q.exe\" -? /x", {L"C:\\Program Files\\q.exe", L"-?", L"/x"}},
    {L"q  \"a b\"\tc", {L"q", L"a b", L"c"}},
    {L"q a\\\\\\\"b", {L"q", L"a\\\"b"}},
    {L"q \"a\\\\\" b", {L"q", L"a\\", L"b"}},
    {L"q a\\b\\\\c", {L"q", L"a\\b\\\\c"}},
    {L"q \"say \"\"hi\"\"\"", {L"q", L"say \"hi\""}},
    {L"q \"\"", {L"q", L""}},
    {L"q x/?y   ", {L"q", L"x/?y"}},
};

INSTANTIATE_TEST_SUITE_P(Lines, CommandLineSplitting, testing::ValuesIn(kCommandLines));

TEST_F(SystemServices, WaitableTimer) {
  const qd::OwnedWaitableTimer owned = ws.CreateWaitableTimer();
  const qd::NativeWaitableTimer timer = owned.Get();
  EXPECT_TRUE(static_cast<bool>(timer)) << "a waitable timer is created";
  const DWORD start = ::GetTickCount();
  const std::uint32_t clockStart = ws.TickCount();
  EXPECT_TRUE(ws.SetWaitableTimer(timer, 200000) && ws.WaitForTimer(timer, 2000))
      << "a relative due time of 20 ms fires";
  const std::uint32_t clocked = ws.TickCount() - clockStart;
  const DWORD elapsed = ::GetTickCount() - start;
  EXPECT_TRUE(elapsed >= 10 && elapsed < 1000)
      << Cat({"the due time is relative to now: ", std::to_string(elapsed), " ms"});
  // GetTickCount moves in steps of up to 16 ms.
  EXPECT_TRUE(clocked + 20 >= elapsed && clocked <= elapsed + 20)
      << Cat({"the clock counts milliseconds: ", std::to_string(clocked), " against ",
              std::to_string(elapsed)});
  EXPECT_TRUE(ws.SetWaitableTimer(timer, 50000000) && ws.CancelWaitableTimer(timer) &&
              !ws.WaitForTimer(timer, 50))
      << "a cancelled timer does not fire";
}

// Each monitor's DPI: shcore's GetDpiForMonitor is found in the system folder, and where it
// is missing or fails (Windows 7, 8) every monitor has the system's DPI.
HRESULT WINAPI FailingGetDpiForMonitor(HMONITOR /*m*/, int /*type*/, UINT* x, UINT* y) {
  *x = 0;
  *y = 0;
  return E_FAIL;
}
HRESULT WINAPI ZeroGetDpiForMonitor(HMONITOR /*m*/, int /*type*/, UINT* x, UINT* y) {
  *x = 0;
  *y = 0;
  return S_OK;
}

TEST_F(Backend, MonitorDpi) {
  HDC screen = ::GetDC(nullptr);
  const UINT systemDpi = static_cast<UINT>(::GetDeviceCaps(screen, LOGPIXELSX));
  ::ReleaseDC(nullptr, screen);
  const qd::win32::GetDpiForMonitorFn shcore = qd::win32::LoadGetDpiForMonitor();
  EXPECT_TRUE(shcore != nullptr) << "GetDpiForMonitor is found in the system folder's shcore";
  const HMONITOR primary = ::MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
  UINT x = 0;
  UINT y = 0;
  const UINT own = shcore != nullptr && SUCCEEDED(shcore(primary, 0, &x, &y)) ? x : 0;
  for (const qd::MonitorInfo& m : ws.GetMonitors()) {
    const HMONITOR h =
        ::MonitorFromPoint(POINT{m.bounds.left, m.bounds.top}, MONITOR_DEFAULTTONULL);
    const UINT want = shcore != nullptr && SUCCEEDED(shcore(h, 0, &x, &y)) ? x : systemDpi;
    EXPECT_TRUE(m.dpi == want) << Cat(
        {"a monitor's DPI is ", std::to_string(m.dpi), ", not ", std::to_string(want)});
  }
  EXPECT_TRUE(qd::win32::MonitorDpi(primary, shcore) == own && own != 0)
      << "a monitor's DPI as shcore gives it";
  const struct {
    const char* what;
    qd::win32::GetDpiForMonitorFn fn;
  } fallbacks[] = {{"none", nullptr},
                   {"failing", &FailingGetDpiForMonitor},
                   {"answering 0", &ZeroGetDpiForMonitor}};
  for (const auto& f : fallbacks) {
    EXPECT_TRUE(qd::win32::MonitorDpi(primary, f.fn) == systemDpi)
        << Cat({"with GetDpiForMonitor ", f.what, ", the system's DPI"});
  }
}

// Run-time DLLs come from the system folder, whatever lies beside the program.
TEST(SystemLibraries, LoadedFromTheSystemFolder) {
  wchar_t system[MAX_PATH] = {};
  const UINT length = ::GetSystemDirectoryW(system, MAX_PATH);
  for (const wchar_t* name : {L"uxtheme.dll", L"shell32.dll", L"comdlg32.dll"}) {
    const HMODULE module = qd::win32::LoadSystemLibrary(name);
    wchar_t path[MAX_PATH] = {};
    const DWORD got = module != nullptr ? ::GetModuleFileNameW(module, path, MAX_PATH) : 0;
    EXPECT_TRUE(got > length &&
                ::CompareStringOrdinal(path, static_cast<int>(length), system,
                                       static_cast<int>(length), TRUE) == CSTR_EQUAL)
        << "loaded from the system folder: " + qd::win32::WideToUtf8(path);
  }
  EXPECT_TRUE(qd::win32::LoadSystemLibrary(std::wstring(MAX_PATH, L'a').c_str()) == nullptr)
      << "a name too long for a path loads nothing";
}

// The native unit tests' exact values, with the arithmetic this build compiles: x87
// intermediates in a 32-bit build can round a turned outline's points otherwise.
TEST(ShapeArithmetic, ScaleTable) {
  using qd::test::kScaleTable;
  for (std::size_t k = 1; k < kScaleTable.size(); ++k) {
    char text[96];
    std::snprintf(text, sizeof text, "scale table entry %u is %.17g, not %.17g",
                  static_cast<unsigned>(k), qd::ScaleTable[k], kScaleTable[k]);
    EXPECT_TRUE(qd::ScaleTable[k] == kScaleTable[k]) << text;
  }
}

}  // namespace

namespace qd::test {
void PrintTo(const ShapeCase& c, std::ostream* os) { *os << c.name; }
}  // namespace qd::test

namespace {

class WorkedExample : public testing::TestWithParam<qd::test::ShapeCase> {};

TEST_P(WorkedExample, ComputesTheSameShape) {
  const qd::test::ShapeCase& c = GetParam();
  const qd::PointerGeometry g = qd::test::ComputedShape(c);
  EXPECT_TRUE(g.PointerPolygon == c.polygon && g.WindowWidth == c.width &&
              g.WindowHeight == c.height && g.WindowLeft == c.left && g.WindowTop == c.top)
      << Cat({"worked example ", c.name});
}

INSTANTIATE_TEST_SUITE_P(Shapes, WorkedExample, testing::ValuesIn(qd::test::kWorkedExamples),
                         [](const testing::TestParamInfo<qd::test::ShapeCase>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace

// The child programs the tests start come first: their arguments are not GoogleTest's.
int main(int argc, char** argv) {
  if (argc == 3 && std::string_view(argv[1]) == "cover") return RunCover(argv[2]);
  if (argc == 4 && std::string_view(argv[1]) == "answer") return RunAnswerer(argv[2], argv[3]);
  testing::InitGoogleTest(&argc, argv);
  if (argc != 2) {
    std::printf("usage: %s SCRATCH_FOLDER [GoogleTest flags]\n", argv[0]);
    return 2;
  }
  qd::win32::Win32WindowSystem ws(::GetModuleHandleA(nullptr));
  qd::win32::Win32SystemServices services;
  services.ForceDirectories(argv[1]);
  sharedWindowSystem = &ws;
  sharedServices = &services;
  scratchRoot = argv[1];
  return RUN_ALL_TESTS();
}
