#include "model/smooth_edges.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace qd {

namespace {

// Adds one edge's part within the row to the row's accumulation cells: each cell gets the
// change in covered share that the edge makes there, so that the running sum along the row
// is the covered share of each pixel (signed by the edge's direction).
void AccumulateEdge(PointF from, PointF to, double row, std::vector<double>& cells,
                    std::int32_t width) {
  if (from.y == to.y) {
    return;
  }
  const double dir = from.y < to.y ? 1.0 : -1.0;
  if (from.y > to.y) {
    std::swap(from, to);
  }
  const double top = std::max(from.y, row);
  const double bottom = std::min(to.y, row + 1.0);
  if (bottom <= top) {
    return;
  }
  const double slope = (to.x - from.x) / (to.y - from.y);
  const double limit = width;
  const double xTop = std::clamp(from.x + ((top - from.y) * slope), 0.0, limit);
  const double xBottom = std::clamp(from.x + ((bottom - from.y) * slope), 0.0, limit);
  const double d = (bottom - top) * dir;
  const double x0 = std::min(xTop, xBottom);
  const double x1 = std::max(xTop, xBottom);
  const double x0floor = std::floor(x0);
  const double x1ceil = std::ceil(x1);
  const auto i0 = static_cast<std::size_t>(x0floor);
  const auto i1 = static_cast<std::size_t>(x1ceil);
  if (i1 <= i0 + 1) {
    // Within one pixel: the part right of the edge's middle is covered.
    const double mid = (0.5 * (xTop + xBottom)) - x0floor;
    cells[i0] += d * (1.0 - mid);
    cells[i0 + 1] += d * mid;
    return;
  }
  // Across several pixels: the triangle in the first, a trapezoid in each between, the
  // rest in the last.
  const double s = 1.0 / (x1 - x0);
  const double f0 = x0 - x0floor;
  const double a0 = 0.5 * s * (1.0 - f0) * (1.0 - f0);
  const double f1 = x1 - x1ceil + 1.0;
  const double am = 0.5 * s * f1 * f1;
  cells[i0] += d * a0;
  if (i1 == i0 + 2) {
    cells[i0 + 1] += d * (1.0 - a0 - am);
  } else {
    const double a1 = s * (1.5 - f0);
    cells[i0 + 1] += d * (a1 - a0);
    for (std::size_t i = i0 + 2; i + 1 < i1; ++i) {
      cells[i] += d * s;
    }
    const double a2 = a1 + (static_cast<double>(i1 - i0) - 3.0) * s;
    cells[i1 - 1] += d * (1.0 - a2 - am);
  }
  cells[i1] += d * am;
}

std::uint32_t Channel(TColor color, unsigned shift) { return (color >> shift) & 0xFFU; }

std::uint32_t ToByte(double value) {
  return static_cast<std::uint32_t>(std::floor(std::clamp(value, 0.0, 255.0) + 0.5));
}

}  // namespace

void PolygonCoverageRow(const std::vector<PointF>& polygon, std::int32_t row,
                        std::vector<double>& out, std::int32_t width) {
  const auto cellCount = static_cast<std::size_t>(width) + 2;
  out.assign(cellCount, 0.0);
  for (std::size_t k = 0; k < polygon.size(); ++k) {
    AccumulateEdge(polygon[k], polygon[(k + 1) % polygon.size()], row, out, width);
  }
  double running = 0;
  for (std::size_t x = 0; x < cellCount; ++x) {
    running += out[x];
    out[x] = std::min(std::abs(running), 1.0);
  }
  out.resize(static_cast<std::size_t>(width));
}

std::vector<PointF> InsetPolygon(const std::vector<PointF>& polygon, double distance) {
  std::vector<PointF> points;
  for (const PointF& p : polygon) {
    if (points.empty() || p.x != points.back().x || p.y != points.back().y) {
      points.push_back(p);
    }
  }
  while (points.size() > 1 && points.back().x == points.front().x &&
         points.back().y == points.front().y) {
    points.pop_back();
  }
  const std::size_t n = points.size();
  if (n < 3) {
    return {};
  }
  double area = 0;
  for (std::size_t k = 0; k < n; ++k) {
    const PointF& a = points[k];
    const PointF& b = points[(k + 1) % n];
    area += (a.x * b.y) - (b.x * a.y);
  }
  // The inside lies left of each edge when the signed area is positive.
  const double side = area > 0 ? 1.0 : -1.0;
  std::vector<PointF> normals(n);
  for (std::size_t k = 0; k < n; ++k) {
    const PointF& a = points[k];
    const PointF& b = points[(k + 1) % n];
    const double length = std::hypot(b.x - a.x, b.y - a.y);
    normals[k] = {side * -(b.y - a.y) / length, side * (b.x - a.x) / length};
  }
  std::vector<PointF> inset(n);
  for (std::size_t k = 0; k < n; ++k) {
    const PointF& before = normals[(k + n - 1) % n];
    const PointF& after = normals[k];
    const double joint = 1.0 + (before.x * after.x) + (before.y * after.y);
    if (joint < 1e-9) {
      return {};
    }
    inset[k] = {points[k].x + (distance * (before.x + after.x) / joint),
                points[k].y + (distance * (before.y + after.y) / joint)};
  }
  for (std::size_t k = 0; k < n; ++k) {
    const std::size_t next = (k + 1) % n;
    const double along = ((inset[next].x - inset[k].x) * (points[next].x - points[k].x)) +
                         ((inset[next].y - inset[k].y) * (points[next].y - points[k].y));
    if (along <= 0) {
      return {};
    }
  }
  return inset;
}

void RenderSmoothArrow(const std::vector<TPoint>& outline, double rimWidth, TColor fill, TColor rim,
                       PixelView target) {
  const std::int32_t width = std::max(target.width, 0);
  const std::int32_t height = std::max(target.height, 0);
  if (target.pixels.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) {
    return;
  }
  std::vector<PointF> outer;
  outer.reserve(outline.size());
  for (const TPoint& p : outline) {
    outer.push_back({static_cast<double>(p.x), static_cast<double>(p.y)});
  }
  // Too thin for its rim, the arrow is all rim.
  const std::vector<PointF> inner = InsetPolygon(outer, rimWidth);
  std::vector<double> outerRow;
  std::vector<double> innerRow(static_cast<std::size_t>(width), 0.0);
  for (std::int32_t y = 0; y < height; ++y) {
    PolygonCoverageRow(outer, y, outerRow, width);
    if (!inner.empty()) {
      PolygonCoverageRow(inner, y, innerRow, width);
    }
    const std::size_t rowStart = static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
    for (std::size_t x = 0; x < outerRow.size(); ++x) {
      const double alpha = outerRow[x];
      const double inside = std::min(innerRow[x], alpha);
      const std::uint32_t a = ToByte(alpha * 255.0);
      std::uint32_t pixel = a << 24U;
      // Red, green, blue from the top byte down; 0x00BBGGRR has red lowest.
      for (const unsigned shift : {0U, 8U, 16U}) {
        const double value =
            (Channel(fill, shift) * inside) + (Channel(rim, shift) * (alpha - inside));
        pixel |= std::min(ToByte(value), a) << (16U - shift);
      }
      target.pixels[rowStart + x] = pixel;
    }
  }
}

}  // namespace qd
