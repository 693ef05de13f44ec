#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "model/shape.h"
#include "model/smooth_edges.h"

namespace qd::test {
namespace {

// The arrow drawn in place over pixels that still hold something else, as a kept image
// does: a pixel left as it was shows colour above its alpha.
std::vector<std::uint32_t> Render(const std::vector<TPoint>& outline, int width, int height,
                                  double rimWidth, TColor fill, TColor rim) {
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height, 0x40FFFFFFU);
  SmoothArrowCoverage coverage;
  coverage.Cover(outline, rimWidth, width, height);
  coverage.Paint(fill, rim, PixelView{width, height, pixels});
  return pixels;
}

// The reference: the polygon clipped to the pixel's square, its area by the shoelace rule.
double ExactPixelCoverage(const std::vector<PointF>& polygon, int px, int py) {
  std::vector<PointF> poly = polygon;
  const auto clip = [&poly](auto inside, auto cross) {
    std::vector<PointF> out;
    for (std::size_t k = 0; k < poly.size(); ++k) {
      const PointF a = poly[k];
      const PointF b = poly[(k + 1) % poly.size()];
      if (inside(a)) {
        out.push_back(a);
      }
      if (inside(a) != inside(b)) {
        out.push_back(cross(a, b));
      }
    }
    poly = out;
  };
  const auto atX = [](double x) {
    return [x](PointF a, PointF b) {
      return PointF{x, a.y + ((b.y - a.y) * (x - a.x) / (b.x - a.x))};
    };
  };
  const auto atY = [](double y) {
    return [y](PointF a, PointF b) {
      return PointF{a.x + ((b.x - a.x) * (y - a.y) / (b.y - a.y)), y};
    };
  };
  clip([&](PointF p) { return p.x >= px; }, atX(px));
  clip([&](PointF p) { return p.x <= px + 1; }, atX(px + 1));
  clip([&](PointF p) { return p.y >= py; }, atY(py));
  clip([&](PointF p) { return p.y <= py + 1; }, atY(py + 1));
  double area = 0;
  for (std::size_t k = 0; k < poly.size(); ++k) {
    const PointF a = poly[k];
    const PointF b = poly[(k + 1) % poly.size()];
    area += (a.x * b.y) - (b.x * a.y);
  }
  return std::abs(area) / 2;
}

std::vector<PointF> ToPointF(const std::vector<TPoint>& points) {
  std::vector<PointF> out;
  for (const TPoint& p : points) {
    out.push_back({static_cast<double>(p.x), static_cast<double>(p.y)});
  }
  return out;
}

struct Arrow {
  PointerGeometry geometry;
  std::vector<TPoint> outline;
};

Arrow ArrowAt(int size, int orientation) {
  PointerSettings settings;
  settings.Size = size;
  settings.Orientation = orientation;
  Arrow arrow{ComputePointerGeometry(3, settings), {}};
  arrow.outline.assign(arrow.geometry.PointerPolygon.begin(),
                       arrow.geometry.PointerPolygon.begin() + 7);
  return arrow;
}

std::uint32_t Byte(std::uint32_t pixel, unsigned shift) { return (pixel >> shift) & 0xFFU; }

// Alpha, red, green, blue of every pixel against the exact covered shares of the outline
// and of its inset: within one step of 255. The arrow at every orientation, and outlines
// beyond the image, whose runs and crossings the rows' ends cut.
TEST(SmoothArrow, MatchesTheExactCoverageOfOutlineAndRimAtEveryOrientation) {
  constexpr TColor kFill = 0x2080F0;  // 0x00BBGGRR
  constexpr TColor kRim = 0x000000;
  struct Case {
    std::string name;
    std::vector<TPoint> outline;
    int width;
    int height;
    double rimWidth;
  };
  std::vector<Case> cases = {
      {"beyond both sides, with a corner on the right one in the last row",
       {{-3, 0}, {12, 0}, {12, 3}, {8, 5}, {6, 7}, {-3, 7}},
       8,
       6,
       0},
  };
  for (const int size : {1, 5}) {
    for (int orientation = 0; orientation < kOrientationSteps; ++orientation) {
      const Arrow arrow = ArrowAt(size, orientation);
      cases.push_back(
          {"size " + std::to_string(size) + " orientation " + std::to_string(orientation),
           arrow.outline, arrow.geometry.WindowWidth, arrow.geometry.WindowHeight,
           size >= 5 ? 2.5 : 1.5});
    }
  }
  for (const Case& c : cases) {
    const std::vector<std::uint32_t> pixels =
        Render(c.outline, c.width, c.height, c.rimWidth, kFill, kRim);
    const std::vector<PointF> outer = ToPointF(c.outline);
    const std::vector<PointF> inner = InsetPolygon(outer, c.rimWidth);
    ASSERT_FALSE(inner.empty()) << c.name;
    int worst = 0;
    for (int y = 0; y < c.height; ++y) {
      for (int x = 0; x < c.width; ++x) {
        const double a = ExactPixelCoverage(outer, x, y);
        const double ci = std::min(ExactPixelCoverage(inner, x, y), a);
        const std::uint32_t pixel = pixels[(static_cast<std::size_t>(y) * c.width) + x];
        const auto off = [&](std::uint32_t got, double want) {
          return static_cast<int>(std::lround(std::abs(got - (want * 255.0))));
        };
        worst = std::max(worst, off(Byte(pixel, 24), a));
        worst = std::max(worst, off(Byte(pixel, 16), ((kFill & 0xFFU) / 255.0) * ci));
        worst = std::max(worst, off(Byte(pixel, 8), (((kFill >> 8U) & 0xFFU) / 255.0) * ci));
        worst = std::max(worst, off(Byte(pixel, 0), (((kFill >> 16U) & 0xFFU) / 255.0) * ci));
      }
    }
    EXPECT_LE(worst, 1) << c.name;
  }
}

// At every size and orientation: no colour where nothing covers (it would add light on
// the screen), colour never above alpha, and the alphas add up to the outline's area.
TEST(SmoothArrow, KeepsColourWithinAlphaAndTheWholeAreaAtEverySize) {
  for (int size = kMinSize; size <= kMaxSize; size += 23) {
    for (int orientation = 0; orientation < kOrientationSteps; orientation += size == 1 ? 1 : 8) {
      const Arrow arrow = ArrowAt(size, orientation);
      const std::vector<std::uint32_t> pixels =
          Render(arrow.outline, arrow.geometry.WindowWidth, arrow.geometry.WindowHeight,
                 size >= 5 ? 2.5 : 1.5, 0xFFFFFF, 0);
      double alphaSum = 0;
      int colourOverAlpha = 0;
      for (const std::uint32_t pixel : pixels) {
        const std::uint32_t a = Byte(pixel, 24);
        alphaSum += a / 255.0;
        colourOverAlpha +=
            static_cast<int>(std::max({Byte(pixel, 16), Byte(pixel, 8), Byte(pixel, 0)}) > a);
      }
      double area = 0;
      const std::vector<PointF> outer = ToPointF(arrow.outline);
      for (std::size_t k = 0; k < outer.size(); ++k) {
        const PointF& p = outer[k];
        const PointF& q = outer[(k + 1) % outer.size()];
        area += ((p.x * q.y) - (q.x * p.y)) / 2;
      }
      EXPECT_EQ(colourOverAlpha, 0) << size << "/" << orientation;
      EXPECT_NEAR(alphaSum, std::abs(area), 0.002 * std::abs(area) + 1)
          << size << "/" << orientation;
    }
  }
}

// One coverage kept through changes, as the window keeps it: each painting is what a fresh
// one gives, whether the change was a new colour or needed covering anew.
TEST(SmoothArrow, PaintsWhatAFreshCoverageGivesThroughEveryChange) {
  struct Step {
    const char* name;
    int orientation;
    double rimWidth;
    int widerBy;
    TColor fill;
  };
  const std::vector<Step> steps = {
      {"the first", 0, 2.5, 0, 0x0000FF},
      {"a new colour", 0, 2.5, 0, 0xFF8000},
      {"turned half round, in the same bounds", 12, 2.5, 0, 0xFF8000},
      {"a narrower rim", 12, 1.5, 0, 0xFF8000},
      {"a wider image", 12, 1.5, 1, 0xFF8000},
  };
  SmoothArrowCoverage kept;
  for (const Step& step : steps) {
    const Arrow arrow = ArrowAt(5, step.orientation);
    const int width = arrow.geometry.WindowWidth + step.widerBy;
    const int height = arrow.geometry.WindowHeight;
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height, 0x40FFFFFFU);
    kept.Cover(arrow.outline, step.rimWidth, width, height);
    kept.Paint(step.fill, 0, PixelView{width, height, pixels});
    EXPECT_EQ(pixels, Render(arrow.outline, width, height, step.rimWidth, step.fill, 0))
        << step.name;
  }
}

TEST(InsetPolygon, MovesEveryEdgeInwardOrGivesNothingWhenTooThin) {
  struct Case {
    const char* name;
    std::vector<PointF> polygon;
    double distance;
    std::vector<PointF> expected;  // empty: too thin
  };
  const std::vector<Case> cases = {
      {"square, one winding",
       {{0, 0}, {10, 0}, {10, 10}, {0, 10}},
       2,
       {{2, 2}, {8, 2}, {8, 8}, {2, 8}}},
      {"square, the other, closing point repeated",
       {{0, 0}, {0, 10}, {10, 10}, {10, 0}, {0, 0}},
       2,
       {{2, 2}, {2, 8}, {8, 8}, {8, 2}}},
      {"bar thinner than twice the distance", {{0, 0}, {10, 0}, {10, 3}, {0, 3}}, 2, {}},
  };
  for (const Case& c : cases) {
    const std::vector<PointF> got = InsetPolygon(c.polygon, c.distance);
    ASSERT_EQ(got.size(), c.expected.size()) << c.name;
    for (std::size_t k = 0; k < got.size(); ++k) {
      EXPECT_NEAR(got[k].x, c.expected[k].x, 1e-9) << c.name << " point " << k;
      EXPECT_NEAR(got[k].y, c.expected[k].y, 1e-9) << c.name << " point " << k;
    }
  }
}

TEST(SmoothArrow, IsAllRimWhenTooThinForItsRim) {
  const std::vector<TPoint> bar = {{0, 0}, {8, 0}, {8, 2}, {0, 2}};
  for (const std::uint32_t pixel : Render(bar, 8, 2, 1.5, 0x0000FF, 0xFFFFFF)) {
    EXPECT_EQ(pixel, 0xFFFFFFFFU);
  }
}

}  // namespace
}  // namespace qd::test
