// The least a shaped top-most window costs: one red arrow-shaped pop-up, top-most, with its
// tip on the centre of the work area, and nothing else. Benchmarks use it as the floor, and
// the end-to-end rig is checked against it.
//
//   baseline.exe [alpha]   alpha 0..255 makes the window layered with that constant alpha
//   baseline.exe image W H a W x H window showing an opaque image with alpha per pixel
//                          (UpdateLayeredWindow), shown twice, as a fade step shows it again:
//                          what the window system itself keeps of such a window
//
// Each WM_DISPLAYCHANGE it gets shows in its title, "Baseline, display change <n>: <w>x<h>",
// so that the rig can see a running program told of a monitor switched off or on.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "baseline_shape.h"

namespace {

LRESULT CALLBACK BaselineWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DISPLAYCHANGE) {
    static int changes = 0;
    char title[64];
    std::snprintf(title, sizeof title, "Baseline, display change %d: %ux%u", ++changes,
                  static_cast<unsigned>(LOWORD(lParam)), static_cast<unsigned>(HIWORD(lParam)));
    SetWindowTextA(window, title);
  } else if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// The image window of `baseline.exe image W H`; 1 if it could not be shown.
int ShowImageWindow(HINSTANCE instance, const char* className, int width, int height) {
  HWND window = CreateWindowExA(WS_EX_TOPMOST | WS_EX_LAYERED, className, "Baseline image",
                                WS_POPUP, 0, 0, width, height, nullptr, nullptr, instance, nullptr);
  if (window == nullptr) return 1;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP image = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (image == nullptr || bits == nullptr) return 1;
  // Opaque: 0xAARRGGBB with the fill's red, green and blue.
  const unsigned pixel = 0xFF000000U | ((qd::baseline::kColor & 0xFFU) << 16U) |
                         (qd::baseline::kColor & 0xFF00U) | ((qd::baseline::kColor >> 16U) & 0xFFU);
  unsigned* pixels = static_cast<unsigned*>(bits);
  for (long i = 0; i < static_cast<long>(width) * height; ++i) pixels[i] = pixel;
  HDC memory = CreateCompatibleDC(nullptr);
  SelectObject(memory, image);
  POINT at{0, 0};
  SIZE size{width, height};
  POINT origin{0, 0};
  for (const BYTE alpha : {BYTE{255}, BYTE{128}}) {
    BLENDFUNCTION blend{AC_SRC_OVER, 0, alpha, AC_SRC_ALPHA};
    if (!UpdateLayeredWindow(window, nullptr, &at, &size, memory, &origin, 0, &blend, ULW_ALPHA)) {
      return 1;
    }
    ShowWindow(window, SW_SHOWNOACTIVATE);
  }
  return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
  using namespace qd::baseline;
  int imageWidth = 0;
  int imageHeight = 0;
  const bool image = commandLine != nullptr &&
                     std::sscanf(commandLine, "image %d %d", &imageWidth, &imageHeight) == 2 &&
                     imageWidth > 0 && imageHeight > 0;
  const bool layered = !image && commandLine != nullptr && std::strlen(commandLine) > 0;
  const int alpha = layered ? std::atoi(commandLine) : 255;

  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = BaselineWndProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
  windowClass.hbrBackground = CreateSolidBrush(kColor);
  windowClass.lpszClassName = "QuiverdartBaseline";
  if (RegisterClassA(&windowClass) == 0) return 1;

  if (image) {
    if (ShowImageWindow(instance, windowClass.lpszClassName, imageWidth, imageHeight) != 0) {
      return 1;
    }
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
    return 0;
  }

  RECT workArea{};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &workArea, 0);
  const int tipX = (workArea.right - workArea.left) / 2;
  const int tipY = (workArea.bottom - workArea.top) / 2;

  DWORD exStyle = WS_EX_TOPMOST;
  if (layered) exStyle |= WS_EX_LAYERED;
  HWND window =
      CreateWindowExA(exStyle, windowClass.lpszClassName, "Baseline", WS_POPUP, tipX - kTip.x,
                      tipY - kTip.y, kWidth, kHeight, nullptr, nullptr, instance, nullptr);
  if (window == nullptr) return 1;
  if (layered) SetLayeredWindowAttributes(window, 0, static_cast<BYTE>(alpha), LWA_ALPHA);

  POINT points[sizeof kOutline / sizeof kOutline[0]];
  for (unsigned i = 0; i < sizeof kOutline / sizeof kOutline[0]; ++i) {
    points[i] = POINT{kOutline[i].x, kOutline[i].y};
  }
  // The region belongs to the window from here on.
  SetWindowRgn(window, CreatePolygonRgn(points, sizeof points / sizeof points[0], ALTERNATE),
               FALSE);
  ShowWindow(window, SW_SHOWNORMAL);

  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return static_cast<int>(message.wParam);
}
