// Drawing on the arrow's window with GDI: a canvas on a device context, and the paint
// scope of WM_PAINT.
#pragma once

#include <climits>
#include <optional>
#include <vector>

#include "framework/win32/handles.h"
#include "framework/win32/win32.h"
#include "framework/window_system.h"

namespace qd::win32 {

class DcCanvas final : public Canvas {
 public:
  explicit DcCanvas(HDC dc) : dc_(dc) {}
  explicit DcCanvas(HWND window) : dc_(windowDc_.emplace(window).Get()) {}

  void FillRect(const TRect& rect, TColor color) override {
    const RECT r{rect.left, rect.top, rect.right, rect.bottom};
    const GdiObject brush(::CreateSolidBrush(color));
    ::FillRect(dc_, &r, static_cast<HBRUSH>(brush.Get()));
  }

  void Polyline(const std::vector<TPoint>& points, int penWidth, TColor penColor) override {
    if (points.size() < 2 || points.size() > INT_MAX) return;
    // A wide cosmetic pen has round ends and joins, which the outline relies on.
    const LOGPEN style{PS_SOLID, POINT{penWidth, 0}, penColor};
    const GdiObject pen(::CreatePenIndirect(&style));
    const Selection penSelection(dc_, pen.Get());
    const Selection brushSelection(dc_, ::GetStockObject(HOLLOW_BRUSH));
    std::vector<POINT> vertices;
    vertices.reserve(points.size());
    for (const TPoint& p : points) vertices.push_back(POINT{p.x, p.y});
    ::Polyline(dc_, vertices.data(), static_cast<int>(vertices.size()));
  }

 private:
  std::optional<WindowDc> windowDc_;
  HDC dc_;
};

class PaintScope {
 public:
  explicit PaintScope(HWND window) : window_(window), dc_(::BeginPaint(window, &paint_)) {}
  PaintScope(const PaintScope&) = delete;
  PaintScope& operator=(const PaintScope&) = delete;
  ~PaintScope() { ::EndPaint(window_, &paint_); }
  [[nodiscard]] HDC Dc() const { return dc_; }

 private:
  HWND window_;
  PAINTSTRUCT paint_{};
  HDC dc_;
};

}  // namespace qd::win32
