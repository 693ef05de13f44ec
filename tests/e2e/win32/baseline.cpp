// The least a shaped top-most window costs: one red arrow-shaped pop-up, top-most, with its
// tip on the centre of the work area, and nothing else. Benchmarks use it as the floor, and
// the end-to-end rig is checked against it.
//
//   baseline.exe [alpha]   alpha 0..255 makes the window layered with that constant alpha
//
// Each WM_DISPLAYCHANGE it gets shows in its title, "Baseline, display change <n>: <w>x<h>",
// so that the rig can see a running program told of a monitor switched off or on.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

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

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
  using namespace qd::baseline;
  const bool layered = commandLine != nullptr && std::strlen(commandLine) > 0;
  const int alpha = layered ? std::atoi(commandLine) : 255;

  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = BaselineWndProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
  windowClass.hbrBackground = CreateSolidBrush(kColor);
  windowClass.lpszClassName = "QuiverdartBaseline";
  if (RegisterClassA(&windowClass) == 0) return 1;

  RECT workArea{};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &workArea, 0);
  const int tipX = (workArea.right - workArea.left) / 2;
  const int tipY = (workArea.bottom - workArea.top) / 2;

  DWORD exStyle = WS_EX_TOPMOST;
  if (layered) exStyle |= WS_EX_LAYERED;
  HWND window = CreateWindowExA(exStyle, windowClass.lpszClassName, "Baseline", WS_POPUP,
                                tipX - kTip.x, tipY - kTip.y, kWidth, kHeight, nullptr,
                                nullptr, instance, nullptr);
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
