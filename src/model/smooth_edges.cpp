#include "model/smooth_edges.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <span>

namespace qd {

namespace {

// Cells [first, last] of a row that one edge changed.
struct Touched {
  std::size_t first = 0;
  std::size_t last = 0;
};

// Notes cells [first, last] of a row as changed, keeping the row's few notes (one for each
// edge that crosses it) in order of their first cell.
void Note(std::vector<Touched>& touched, Touched cells) {
  touched.push_back(cells);
  for (std::size_t k = touched.size() - 1; k > 0 && touched[k - 1].first > cells.first; --k) {
    std::swap(touched[k - 1], touched[k]);
  }
}

// Adds one edge's part within the row to the row's accumulation cells: each cell gets the
// change in covered share that the edge makes there, so that the running sum along the row
// is the covered share of each pixel (signed by the edge's direction). Notes the cells it
// changed in `touched`.
void AccumulateEdge(PointF from, PointF to, double row, std::vector<double>& cells,
                    std::int32_t width, std::vector<Touched>& touched) {
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
    Note(touched, {i0, mid > 0 ? i0 + 1 : i0});
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
  Note(touched, {i0, i1});
}

void AccumulatePolygon(const std::vector<PointF>& polygon, double row, std::vector<double>& cells,
                       std::int32_t width, std::vector<Touched>& touched) {
  for (std::size_t k = 0; k < polygon.size(); ++k) {
    AccumulateEdge(polygon[k], polygon[(k + 1) % polygon.size()], row, cells, width, touched);
  }
}

std::uint32_t Channel(TColor color, unsigned shift) { return (color >> shift) & 0xFFU; }

// Rounded to the nearest, halves up, without a call to floor.
std::uint32_t ToByte(double value) {
  // NOLINTNEXTLINE(bugprone-incorrect-roundings): never below 0, where the cast is the floor
  return static_cast<std::uint32_t>(std::clamp(value, 0.0, 255.0) + 0.5);
}

}  // namespace

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

void SmoothArrowCoverage::Cover(const std::vector<TPoint>& outline, double rimWidth,
                                std::int32_t width, std::int32_t height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (!rowRuns_.empty() && outline == outline_ && rimWidth == rimWidth_ && width == width_ &&
      height == height_) {
    return;
  }
  outline_ = outline;
  rimWidth_ = rimWidth;
  width_ = width;
  height_ = height;
  runEnds_.clear();
  shares_.clear();
  rowRuns_.assign(1, 0);
  std::vector<PointF> outer;
  outer.reserve(outline.size());
  for (const TPoint& p : outline) {
    outer.push_back({static_cast<double>(p.x), static_cast<double>(p.y)});
  }
  const std::vector<PointF> inner = InsetPolygon(outer, rimWidth);
  // Every cell back at 0 once its row is read: a row costs only what its edges touch.
  const auto end = static_cast<std::size_t>(width);
  std::vector<double> outerCells(end + 2, 0.0);
  std::vector<double> innerCells(end + 2, 0.0);
  std::vector<Touched> touched;
  double outerSum = 0;
  double innerSum = 0;
  // The shares of the pixel whose cell was read last, and of those after it up to the
  // next cell an edge touched.
  const auto shares = [&outerSum, &innerSum] {
    const double covered = std::min(std::abs(outerSum), 1.0);
    return Shares{static_cast<float>(covered),
                  static_cast<float>(std::min({std::abs(innerSum), 1.0, covered}))};
  };
  const auto endRun = [this](std::size_t x) { runEnds_.push_back(static_cast<std::int32_t>(x)); };
  for (std::int32_t y = 0; y < height; ++y) {
    touched.clear();
    AccumulatePolygon(outer, y, outerCells, width, touched);
    AccumulatePolygon(inner, y, innerCells, width, touched);
    outerSum = 0;
    innerSum = 0;
    for (std::size_t k = 0; k < touched.size();) {
      // Cells of edges that overlap or meet make one run.
      const std::size_t first = touched[k].first;
      std::size_t last = touched[k].last;
      for (++k; k < touched.size() && touched[k].first <= last + 1; ++k) {
        last = std::max(last, touched[k].last);
      }
      // Cells beyond the row change no pixel, but are put back to 0 all the same.
      if (first < end) {
        endRun(first);
        shares_.push_back(shares());
        for (std::size_t c = first; c <= std::min(last, end - 1); ++c) {
          outerSum += outerCells[c];
          innerSum += innerCells[c];
          shares_.push_back(shares());
        }
        endRun(std::min(last + 1, end));
      }
      std::ranges::fill(std::span(outerCells).subspan(first, last + 1 - first), 0.0);
      std::ranges::fill(std::span(innerCells).subspan(first, last + 1 - first), 0.0);
    }
    endRun(end);
    shares_.push_back(shares());
    rowRuns_.push_back(runEnds_.size());
  }
}

void SmoothArrowCoverage::Paint(TColor fill, TColor rim, PixelView target) const {
  const auto width = static_cast<std::size_t>(width_);
  if (target.width != width_ || target.height != height_ || rowRuns_.empty() ||
      target.pixels.size() != width * static_cast<std::size_t>(height_)) {
    return;
  }
  const auto pixel = [fill, rim](const Shares& shares) {
    const double alpha = shares.outline;
    const double inside = shares.inside;
    const std::uint32_t a = ToByte(alpha * 255.0);
    std::uint32_t value = a << 24U;
    // Red, green, blue from the top byte down; 0x00BBGGRR has red lowest.
    for (const unsigned shift : {0U, 8U, 16U}) {
      const double channel =
          (Channel(fill, shift) * inside) + (Channel(rim, shift) * (alpha - inside));
      value |= std::min(ToByte(channel), a) << (16U - shift);
    }
    return value;
  };
  auto share = shares_.begin();
  for (std::size_t y = 0; y < static_cast<std::size_t>(height_); ++y) {
    const std::span<std::uint32_t> row = target.pixels.subspan(y * width, width);
    std::size_t x = 0;
    for (std::size_t r = rowRuns_[y]; r < rowRuns_[y + 1]; ++r) {
      const auto runEnd = static_cast<std::size_t>(runEnds_[r]);
      if ((r - rowRuns_[y]) % 2 == 0) {
        std::ranges::fill(row.subspan(x, runEnd - x), pixel(*share++));
      } else {
        for (std::size_t i = x; i < runEnd; ++i) {
          row[i] = pixel(*share++);
        }
      }
      x = runEnd;
    }
  }
}

}  // namespace qd
