// The screen around the arrow: the mouse pointer, monitors and work areas, the colour of
// a pixel, and the system-wide hotkey that brings the arrow to the front.
#include <vector>

#include "framework/win32/win32_window_system.h"

namespace qd::win32 {

namespace {

BOOL CALLBACK AddMonitor(HMONITOR monitor, HDC /*dc*/, LPRECT /*rect*/, LPARAM param) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (::GetMonitorInfoW(monitor, &info)) {
    const RECT& b = info.rcMonitor;
    const RECT& w = info.rcWork;
    reinterpret_cast<std::vector<MonitorInfo>*>(param)->push_back(MonitorInfo{
        TRect{b.left, b.top, b.right, b.bottom}, TRect{w.left, w.top, w.right, w.bottom},
        (info.dwFlags & MONITORINFOF_PRIMARY) != 0});
  }
  return TRUE;
}

}  // namespace

TPoint Win32WindowSystem::GetCursorPos() {
  POINT p{};
  ::GetCursorPos(&p);
  return TPoint{p.x, p.y};
}

TRect Win32WindowSystem::GetWorkArea() {
  RECT r{};
  ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &r, 0);
  return TRect{r.left, r.top, r.right, r.bottom};
}

std::vector<MonitorInfo> Win32WindowSystem::GetMonitors() {
  std::vector<MonitorInfo> monitors;
  ::EnumDisplayMonitors(nullptr, nullptr, AddMonitor, reinterpret_cast<LPARAM>(&monitors));
  return monitors;
}

TColor Win32WindowSystem::GetScreenPixel(TPoint screenPos) {
  const WindowDc screen(nullptr);
  return ::GetPixel(screen.Get(), screenPos.x, screenPos.y);
}

bool Win32WindowSystem::RegisterHotKey(NativeWindow window, int hotKeyId, unsigned modifiers,
                                       std::uint16_t key) {
  // A held key gives one press, not a stream of them.
  constexpr UINT kNoRepeat = 0x4000;
  if (::RegisterHotKey(ToHwnd(window), hotKeyId, modifiers | kNoRepeat, key)) return true;
  // Windows before 7 do not know the no-repeat flag.
  return ::GetLastError() != ERROR_HOTKEY_ALREADY_REGISTERED &&
         ::RegisterHotKey(ToHwnd(window), hotKeyId, modifiers, key);
}

void Win32WindowSystem::UnregisterHotKey(NativeWindow window, int hotKeyId) {
  ::UnregisterHotKey(ToHwnd(window), hotKeyId);
}

void Win32WindowSystem::RaiseWithoutActivation(NativeWindow window) {
  KeyboardOwnership::RaiseWithoutActivation(ToHwnd(window));
}

}  // namespace qd::win32
