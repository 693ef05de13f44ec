// The screen around the arrow: the mouse pointer, monitors and work areas, the colour of
// a pixel, and the system-wide hotkey that brings the arrow to the front.
#include <utility>
#include <vector>

#include "framework/win32/system_library.h"
#include "framework/win32/win32_window_system.h"

namespace qd::win32 {

namespace {

constexpr int kEffectiveDpi = 0;  // MDT_EFFECTIVE_DPI: the scale the user set
constexpr UINT kDefaultDpi = 96;

struct MonitorListing {
  std::vector<MonitorInfo> monitors;
  GetDpiForMonitorFn getDpiForMonitor;
};

BOOL CALLBACK AddMonitor(HMONITOR monitor, HDC /*dc*/, LPRECT /*rect*/, LPARAM param) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (::GetMonitorInfoW(monitor, &info)) {
    auto* listing = reinterpret_cast<MonitorListing*>(param);
    const RECT& b = info.rcMonitor;
    const RECT& w = info.rcWork;
    listing->monitors.push_back(MonitorInfo{TRect{b.left, b.top, b.right, b.bottom},
                                            TRect{w.left, w.top, w.right, w.bottom},
                                            (info.dwFlags & MONITORINFOF_PRIMARY) != 0,
                                            MonitorDpi(monitor, listing->getDpiForMonitor)});
  }
  return TRUE;
}

}  // namespace

GetDpiForMonitorFn LoadGetDpiForMonitor() {
  // Windows 7 has none: a bare name would load whatever shcore.dll lies beside the program.
  const HMODULE shcore = LoadSystemLibrary(L"shcore.dll");
  if (shcore == nullptr) return nullptr;
  return reinterpret_cast<GetDpiForMonitorFn>(
      reinterpret_cast<void*>(::GetProcAddress(shcore, "GetDpiForMonitor")));
}

UINT MonitorDpi(HMONITOR monitor, GetDpiForMonitorFn getDpiForMonitor) {
  UINT x = 0;
  UINT y = 0;
  if (getDpiForMonitor != nullptr && SUCCEEDED(getDpiForMonitor(monitor, kEffectiveDpi, &x, &y)) &&
      x != 0) {
    return x;
  }
  const WindowDc screen(nullptr);
  const int dpi = ::GetDeviceCaps(screen.Get(), LOGPIXELSX);
  return dpi > 0 ? static_cast<UINT>(dpi) : kDefaultDpi;
}

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
  if (!dpiLookedUp_) {
    getDpiForMonitor_ = LoadGetDpiForMonitor();
    dpiLookedUp_ = true;
  }
  MonitorListing listing{{}, getDpiForMonitor_};
  ::EnumDisplayMonitors(nullptr, nullptr, AddMonitor, reinterpret_cast<LPARAM>(&listing));
  return std::move(listing.monitors);
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
  keyboard_.On({KeyboardEvent::Kind::RaisedByHotkey, ToHwnd(window)});
}

}  // namespace qd::win32
