// The least a shaped top-most window costs: one red arrow-shaped pop-up, top-most, with its
// tip on the centre of the work area, and nothing else. Benchmarks use it as the floor, and
// the end-to-end rig is checked against it.
//
//   baseline.exe [alpha]   alpha 0..255 makes the window layered with that constant alpha
//   baseline.exe image W H a W x H window showing an opaque image with alpha per pixel
//                          (UpdateLayeredWindow), shown twice, as a fade step shows it again:
//                          what the window system itself keeps of such a window
//   baseline.exe turn SIZE sharp|smooth ALPHA [ORIENTATION]
//                          the arrow's window at that size and orientation (0 unless given)
//                          on this work area (the model's geometry, tip on the centre), filled
//                          red, with that constant alpha, which each wheel notch turns by one
//                          orientation: a turn's floor.
//                          Every turn's outline, and with smooth edges its image, is made
//                          before the window shows, so a turn only hands them to the system:
//                          sharp, the window moved and sized and its region cut
//                          (SetWindowPos, SetWindowRgn); smooth, the pixels the last image
//                          covered cleared and the new one's written into one bitmap of the
//                          largest size, shown with position and size in one
//                          UpdateLayeredWindow. No rim: it changes no region and no alpha.
//   baseline.exe turn SIZE sharp|smooth ALPHA ORIENTATION rules
//                          the same, under the two rules the arrow keeps: sharp and
//                          translucent, no alpha blending while the bounds and region change
//                          (the layered style cleared, the window repainted, the style and
//                          alpha set again after); smooth, one image of the window's size at
//                          a time (each turn's bitmap made anew in one paged-file section
//                          of the largest turn's size, cleared, its pixels written).
//
// Each WM_DISPLAYCHANGE it gets shows in its title, "Baseline, display change <n>: <w>x<h>",
// so that the rig can see a running program told of a monitor switched off or on.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <vector>

#include "baseline_shape.h"
#include "model/pointer_settings.h"
#include "model/shape.h"
#include "model/smooth_edges.h"

namespace {

// One orientation of `turn`: its window bounds and outline, and with smooth edges its image
// as runs of equal pixels, transparent ones left out.
struct Run {
  int y;
  int x;
  int count;
  std::uint32_t pixel;
};
struct Turn {
  qd::PointerGeometry geometry;
  std::vector<Run> runs;
};

// The window that turns, once `turn` has set it up.
struct Turning {
  HWND window = nullptr;
  bool smooth = false;
  BYTE alpha = 255;
  std::vector<Turn> turns;
  int shown = 0;
  int wheel = 0;  // the part of a notch not yet turned
  bool rules = false;
  // Smooth: one top-down bitmap as wide and as tall as the largest turn, in a memory DC;
  // under the rules, the bitmap of the turn shown, in `section`.
  HDC memory = nullptr;
  std::uint32_t* bits = nullptr;
  int stride = 0;
  HANDLE section = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ initial = nullptr;  // the memory DC's own bitmap, selected while the last goes
} turning;

HBITMAP TopDownBitmap(int width, int height, void** bits, HANDLE section = nullptr);

// Under the rules: the bitmap of the turn to show, the last one freed first; false if it
// could not be made.
bool MakeTurnBitmap(const qd::PointerGeometry& g) {
  if (turning.bitmap != nullptr) {
    SelectObject(turning.memory, turning.initial);
    DeleteObject(turning.bitmap);
  }
  void* bits = nullptr;
  turning.bitmap = TopDownBitmap(g.WindowWidth, g.WindowHeight, &bits, turning.section);
  if (turning.bitmap == nullptr || bits == nullptr) return false;
  const HGDIOBJ replaced = SelectObject(turning.memory, turning.bitmap);
  if (turning.initial == nullptr) turning.initial = replaced;
  turning.bits = static_cast<std::uint32_t*>(bits);
  turning.stride = g.WindowWidth;
  std::fill(turning.bits, turning.bits + static_cast<long>(g.WindowWidth) * g.WindowHeight, 0U);
  return true;
}

void WriteRuns(const std::vector<Run>& runs, bool clear) {
  for (const Run& r : runs) {
    std::uint32_t* row = turning.bits + static_cast<long>(r.y) * turning.stride + r.x;
    std::fill(row, row + r.count, clear ? 0U : r.pixel);
  }
}

// Shows turn `index`; false if the system refused it.
bool ShowTurn(int index, bool first) {
  const Turn& previous = turning.turns[static_cast<unsigned>(turning.shown)];
  const Turn& next = turning.turns[static_cast<unsigned>(index)];
  const qd::PointerGeometry& g = next.geometry;
  turning.shown = index;
  if (turning.smooth) {
    GdiFlush();
    if (turning.rules) {
      if (!MakeTurnBitmap(g)) return false;
    } else if (!first) {
      WriteRuns(previous.runs, true);
    }
    WriteRuns(next.runs, false);
    POINT at{g.WindowLeft, g.WindowTop};
    SIZE size{g.WindowWidth, g.WindowHeight};
    POINT origin{0, 0};
    BLENDFUNCTION blend{AC_SRC_OVER, 0, turning.alpha, AC_SRC_ALPHA};
    return UpdateLayeredWindow(turning.window, nullptr, &at, &size, turning.memory, &origin, 0,
                               &blend, ULW_ALPHA) != 0;
  }
  POINT points[7];
  for (unsigned i = 0; i < 7; ++i) points[i] = POINT{g.PointerPolygon[i].x, g.PointerPolygon[i].y};
  const bool blendedOff = turning.rules && !first && turning.alpha < 255;
  const LONG exStyle = GetWindowLongA(turning.window, GWL_EXSTYLE);
  if (blendedOff) {
    SetWindowLongA(turning.window, GWL_EXSTYLE, exStyle & ~WS_EX_LAYERED);
    RedrawWindow(turning.window, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
  }
  if (!first) {
    SetWindowPos(turning.window, nullptr, g.WindowLeft, g.WindowTop, g.WindowWidth, g.WindowHeight,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
  // The region belongs to the window from here on.
  const bool cut = SetWindowRgn(turning.window, CreatePolygonRgn(points, 7, ALTERNATE), TRUE) != 0;
  if (blendedOff) {
    SetWindowLongA(turning.window, GWL_EXSTYLE, exStyle);
    SetLayeredWindowAttributes(turning.window, 0, turning.alpha, LWA_ALPHA);
  }
  return cut;
}

LRESULT CALLBACK BaselineWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_MOUSEWHEEL && window == turning.window) {
    // Forward (away from the user) turns to the next orientation, as the arrow does.
    turning.wheel += GET_WHEEL_DELTA_WPARAM(wParam);
    const int count = static_cast<int>(turning.turns.size());
    for (; turning.wheel >= WHEEL_DELTA; turning.wheel -= WHEEL_DELTA) {
      ShowTurn((turning.shown + 1) % count, false);
    }
    for (; turning.wheel <= -WHEEL_DELTA; turning.wheel += WHEEL_DELTA) {
      ShowTurn((turning.shown + count - 1) % count, false);
    }
    return 0;
  }
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

// A top-down 32-bit DIB section, as the arrow's image is; in `section` where given.
HBITMAP TopDownBitmap(int width, int height, void** bits, HANDLE section) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, bits, section, 0);
}

// The image window of `baseline.exe image W H`; 1 if it could not be shown.
int ShowImageWindow(HINSTANCE instance, const char* className, int width, int height) {
  HWND window = CreateWindowExA(WS_EX_TOPMOST | WS_EX_LAYERED, className, "Baseline image",
                                WS_POPUP, 0, 0, width, height, nullptr, nullptr, instance, nullptr);
  if (window == nullptr) return 1;
  void* bits = nullptr;
  HBITMAP image = TopDownBitmap(width, height, &bits);
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

// The window of `baseline.exe turn`; 1 if it could not be shown.
int ShowTurningWindow(HINSTANCE instance, const char* className, int size, bool smooth, int alpha,
                      int orientation, bool rules) {
  RECT workArea{};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &workArea, 0);
  qd::PointerSettings settings;
  settings.Size = size;
  settings.TipPosX = (workArea.right - workArea.left) / 2;
  settings.TipPosY = (workArea.bottom - workArea.top) / 2;
  const int baseUnit =
      qd::BaseUnitFor(workArea.right - workArea.left, workArea.bottom - workArea.top);
  int largestWidth = 0;
  int largestHeight = 0;
  long largestImage = 0;
  for (int o = 0; o < qd::kOrientationSteps; ++o) {
    settings.Orientation = o;
    turning.turns.push_back({qd::ComputePointerGeometry(baseUnit, settings), {}});
    const qd::PointerGeometry& g = turning.turns.back().geometry;
    largestWidth = std::max(largestWidth, g.WindowWidth);
    largestHeight = std::max(largestHeight, g.WindowHeight);
    largestImage = std::max(largestImage, static_cast<long>(g.WindowWidth) * g.WindowHeight);
  }
  turning.smooth = smooth;
  turning.rules = rules;
  turning.alpha = static_cast<BYTE>(alpha);
  if (smooth) {
    std::vector<std::uint32_t> image;
    for (Turn& t : turning.turns) {
      const qd::PointerGeometry& g = t.geometry;
      image.assign(static_cast<std::size_t>(g.WindowWidth) * g.WindowHeight, 0);
      qd::SmoothArrowCoverage coverage;
      coverage.Cover(
          std::vector<qd::TPoint>(g.PointerPolygon.begin(), g.PointerPolygon.begin() + 7), 0,
          g.WindowWidth, g.WindowHeight);
      coverage.Paint(qd::baseline::kColor, qd::baseline::kColor,
                     {g.WindowWidth, g.WindowHeight, image});
      for (int y = 0; y < g.WindowHeight; ++y) {
        const std::uint32_t* row = image.data() + static_cast<long>(y) * g.WindowWidth;
        for (int x = 0; x < g.WindowWidth;) {
          int end = x + 1;
          while (end < g.WindowWidth && row[end] == row[x]) ++end;
          if (row[x] != 0) t.runs.push_back({y, x, end - x, row[x]});
          x = end;
        }
      }
    }
    turning.memory = CreateCompatibleDC(nullptr);
    if (rules) {
      turning.section = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                           static_cast<DWORD>(largestImage * 4), nullptr);
      if (turning.section == nullptr) return 1;
    } else {
      void* bits = nullptr;
      HBITMAP bitmap = TopDownBitmap(largestWidth, largestHeight, &bits);
      if (bitmap == nullptr || bits == nullptr) return 1;
      SelectObject(turning.memory, bitmap);
      turning.bits = static_cast<std::uint32_t*>(bits);
      turning.stride = largestWidth;
    }
  }
  turning.shown = orientation;
  const qd::PointerGeometry& g = turning.turns[static_cast<unsigned>(orientation)].geometry;
  const DWORD exStyle = WS_EX_TOPMOST | (smooth || alpha < 255 ? WS_EX_LAYERED : 0);
  turning.window =
      CreateWindowExA(exStyle, className, "Baseline", WS_POPUP, g.WindowLeft, g.WindowTop,
                      g.WindowWidth, g.WindowHeight, nullptr, nullptr, instance, nullptr);
  if (turning.window == nullptr) return 1;
  if (!smooth && alpha < 255) {
    SetLayeredWindowAttributes(turning.window, 0, static_cast<BYTE>(alpha), LWA_ALPHA);
  }
  if (!ShowTurn(orientation, true)) return 1;
  ShowWindow(turning.window, SW_SHOWNORMAL);
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
  int turnSize = 0;
  char turnEdges[8] = {};
  int turnAlpha = 255;
  int turnOrientation = 0;
  char turnRules[8] = {};
  const int turnWords =
      image || commandLine == nullptr
          ? 0
          : std::sscanf(commandLine, "turn %d %7s %d %d %7s", &turnSize, turnEdges, &turnAlpha,
                        &turnOrientation, turnRules);
  const bool rules = turnWords == 5 && std::strcmp(turnRules, "rules") == 0;
  const bool turn =
      (turnWords == 3 || turnWords == 4 || rules) &&
      turnSize >= qd::kMinSize && turnSize <= qd::kMaxSize &&
      (std::strcmp(turnEdges, "sharp") == 0 || std::strcmp(turnEdges, "smooth") == 0) &&
      turnAlpha >= 0 && turnAlpha <= 255 && turnOrientation >= 0 &&
      turnOrientation < qd::kOrientationSteps;
  const bool layered = !image && !turn && commandLine != nullptr && std::strlen(commandLine) > 0;
  const int alpha = layered ? std::atoi(commandLine) : 255;

  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = BaselineWndProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
  windowClass.hbrBackground = CreateSolidBrush(kColor);
  windowClass.lpszClassName = "QuiverdartBaseline";
  if (RegisterClassA(&windowClass) == 0) return 1;

  if (image || turn) {
    const int shown =
        image
            ? ShowImageWindow(instance, windowClass.lpszClassName, imageWidth, imageHeight)
            : ShowTurningWindow(instance, windowClass.lpszClassName, turnSize,
                                std::strcmp(turnEdges, "smooth") == 0, turnAlpha, turnOrientation,
                                rules);
    if (shown != 0) return 1;
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
