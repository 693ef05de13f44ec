// A window shown as an image with alpha per pixel: UpdateLayeredWindow with a premultiplied
// top-down 32-bit DIB section, drawn into in place and kept so that a new constant alpha
// shows it again without drawing it anew.
#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>

#include "framework/win32/win32_window_system.h"

namespace qd::win32 {

PixelView Win32WindowSystem::WindowImagePixels(NativeWindow window, std::int32_t width,
                                               std::int32_t height) {
  auto* data = reinterpret_cast<WindowData*>(::GetWindowLongPtrW(ToHwnd(window), GWLP_USERDATA));
  if (data == nullptr || width <= 0 || height <= 0) return {};
  if (data->imageSize.cx != width || data->imageSize.cy != height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down, as the view's rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    // The old one goes first, so that a turn of a large arrow never holds two images: the
    // window keeps showing its last one, and if the new one cannot be made the form draws
    // the arrow with sharp edges instead. Asked for from inside a showing of the old one (a
    // change of scale reported from inside the move), the old one is still selected for it:
    // it goes once that showing is done.
    if (data->showing) {
      data->retiredImage = std::move(data->image);
    } else {
      data->image.Reset();
    }
    data->imageBits = nullptr;
    data->imageSize = SIZE{0, 0};
    // Paged-file memory of its own (zeroed when made), so that the next image can lie in the
    // same pages: a turn of the largest arrow at 4K otherwise faults in 30 MB afresh. Room
    // for a fourth more, as the boxes of one size's turns differ by less; let go where an
    // image needs less than half, so that a small arrow holds no large one's pages.
    const std::uint64_t bytes =
        std::uint64_t{static_cast<std::uint32_t>(width)} * static_cast<std::uint32_t>(height) * 4;
    if (bytes > data->imageMemoryBytes || bytes < data->imageMemoryBytes / 2) {
      data->imageMemory.Reset();
      data->imageMemoryBytes = 0;
      const std::uint64_t room = bytes + bytes / 4;
      KernelHandle memory(::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE,
                                               static_cast<DWORD>(room >> 32U),
                                               static_cast<DWORD>(room), nullptr));
      if (!memory.Valid()) return {};
      data->imageMemory = std::move(memory);
      data->imageMemoryBytes = room;
    }
    void* bits = nullptr;
    GdiObject bitmap(
        ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, data->imageMemory.Get(), 0));
    if (!bitmap.Valid() || bits == nullptr) return {};
    data->image = std::move(bitmap);
    data->imageBits = static_cast<std::uint32_t*>(bits);
    data->imageSize = SIZE{width, height};
  }
  // GDI may still be reading the bits for the last showing.
  ::GdiFlush();
  // 0xAARRGGBB in memory is the DIB's blue, green, red, alpha.
  return {width, height,
          std::span<std::uint32_t>(
              data->imageBits, static_cast<std::size_t>(width) * static_cast<std::size_t>(height))};
}

bool Win32WindowSystem::OntoAnotherMonitor(HWND hwnd, int left, int top, SIZE size) {
  // By the monitors' rectangles: Wine's MonitorFromRect named the laptop for a window
  // placed on the projector beside it.
  RECT now{};
  if (!::GetWindowRect(hwnd, &now)) return false;
  const auto monitorOf = [monitors = GetMonitors()](long x, long y) {
    for (std::size_t i = 0; i < monitors.size(); ++i) {
      const TRect& b = monitors[i].bounds;
      if (x >= b.left && x < b.right && y >= b.top && y < b.bottom) return i;
    }
    return monitors.size();
  };
  return monitorOf((now.left + now.right) / 2, (now.top + now.bottom) / 2) !=
         monitorOf(left + size.cx / 2, top + size.cy / 2);
}

bool Win32WindowSystem::ShowWindowImage(NativeWindow window, int left, int top) {
  HWND hwnd = ToHwnd(window);
  auto* data = reinterpret_cast<WindowData*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (data == nullptr) return false;
  const LONG exStyle = ::GetWindowLongW(hwnd, GWL_EXSTYLE);
  if ((exStyle & WS_EX_LAYERED) == 0) ::SetWindowLongW(hwnd, GWL_EXSTYLE, exStyle | WS_EX_LAYERED);
  // The move is reported from inside the call; marked, it is told apart from the system's.
  const HWND previous = std::exchange(movingWindow_, hwnd);
  POINT at{left, top};
  bool shown = false;
  if (keyboard_.WineSteps() && OntoAnotherMonitor(hwnd, left, top, data->imageSize)) {
    // Wine maps an image placed onto a monitor of another scale by the old monitor's scale
    // (the arrow drawn two thirds as large in its window, the rest cut away): moved there
    // first, the window takes its image as it is.
    ::SetWindowPos(hwnd, nullptr, left, top, data->imageSize.cx, data->imageSize.cy,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    shown = ShowImage(*data, nullptr);
  } else {
    shown = ShowImage(*data, &at);
  }
  movingWindow_ = previous;
  return shown;
}

void Win32WindowSystem::SetImageAlpha(NativeWindow window, std::uint8_t alpha) {
  auto* data = reinterpret_cast<WindowData*>(::GetWindowLongPtrW(ToHwnd(window), GWLP_USERDATA));
  if (data == nullptr) return;
  data->imageAlpha = alpha;
  ShowImage(*data, nullptr);
}

bool Win32WindowSystem::ShowImage(WindowData& data, POINT* at) {
  if (!data.image.Valid()) return false;
  HDC memory = ::CreateCompatibleDC(nullptr);
  if (memory == nullptr) return false;
  ++LiveObjects().gdi;
  BOOL shown = FALSE;
  {
    data.showing = true;
    const Selection selected(memory, data.image.Get());
    SIZE size = data.imageSize;
    POINT origin{0, 0};
    BLENDFUNCTION blend{AC_SRC_OVER, 0, data.imageAlpha, AC_SRC_ALPHA};
    // Place, size and picture in one step. The same bitmap every time: a new constant alpha
    // needs a source (without one, Wine keeps the old picture).
    shown =
        ::UpdateLayeredWindow(data.hwnd, nullptr, at, &size, memory, &origin, 0, &blend, ULW_ALPHA);
  }
  data.showing = false;
  data.retiredImage.Reset();
  ::DeleteDC(memory);
  --LiveObjects().gdi;
  return shown != FALSE;
}

}  // namespace qd::win32
