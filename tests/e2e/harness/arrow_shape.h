// Where the arrow must be, worked out from the shape rules on their own: the outline turned
// counter-clockwise in 15-degree steps, scaled by BaseUnit times the size factor, rounded
// half to even, and placed so that the tip lies on the tip position.
#pragma once

#include <algorithm>
#include <array>
#include <cfenv>
#include <cmath>
#include <utility>
#include <vector>

#include "x_screen.h"

namespace qd::e2e {

struct ArrowPose {
  int baseUnit = 3;  // a 1920 x 1080 work area
  int size = 4;
  int orientation = 0;
  int tipX = 960;
  int tipY = 540;
  // The monitor's scale over the primary's (0.666... for 100 % beside a 150 % primary).
  double monitorScale = 1.0;
};

// Size factor: 1 at size 1, each step the previous one times the fourth root of 2.
inline double SizeFactor(int size) {
  const double ratio = std::sqrt(std::sqrt(2.0));
  double factor = 1.0;
  for (int k = 2; k <= size; ++k) factor *= ratio;
  return factor;
}

// A point given in arrow units (tip at the origin, pointing right, y down), turned and
// scaled as the outline is, before rounding; relative to the tip, in pixels.
inline std::pair<double, double> Turned(const ArrowPose& pose, double x, double y) {
  const double scale = pose.baseUnit * SizeFactor(pose.size) * pose.monitorScale;
  const double angle = pose.orientation * 0.26179938779914946;
  const double c = std::cos(angle);
  const double s = std::sin(angle);
  return {scale * (x * c + y * s), scale * (y * c - x * s)};
}

inline int RoundHalfEven(double value) {
  std::fesetround(FE_TONEAREST);
  return static_cast<int>(std::nearbyint(value));
}

// The outline's seven corners on the screen, the tip first, as the sharp arrow's window is
// cut to them.
inline std::vector<std::pair<int, int>> ExpectedOutline(const ArrowPose& pose) {
  constexpr std::array<std::pair<int, int>, 7> kOutline = {
      {{0, 0}, {-6, -3}, {-6, -1}, {-12, -1}, {-12, 1}, {-6, 1}, {-6, 3}}};
  std::vector<std::pair<int, int>> corners;
  for (const auto& [x, y] : kOutline) {
    const auto [tx, ty] = Turned(pose, x, y);
    corners.emplace_back(pose.tipX + RoundHalfEven(tx), pose.tipY + RoundHalfEven(ty));
  }
  return corners;
}

// The window's screen bounds for a pose.
inline Rect ExpectedBounds(const ArrowPose& pose) {
  int minX = pose.tipX;
  int maxX = pose.tipX;
  int minY = pose.tipY;
  int maxY = pose.tipY;
  for (const auto& [x, y] : ExpectedOutline(pose)) {
    minX = std::min(minX, x);
    maxX = std::max(maxX, x);
    minY = std::min(minY, y);
    maxY = std::max(maxY, y);
  }
  // A window never gets below 8 x 8 pixels.
  return {minX, minY, std::max(maxX - minX + 1, 8), std::max(maxY - minY + 1, 8)};
}

// A point in arrow units on the screen, rounded to the nearest pixel.
inline std::pair<int, int> OnScreen(const ArrowPose& pose, double x, double y) {
  const auto [tx, ty] = Turned(pose, x, y);
  return {pose.tipX + static_cast<int>(std::lround(tx)),
          pose.tipY + static_cast<int>(std::lround(ty))};
}

// Points well inside the outline (the middle of the head and of the shaft) and points
// inside the bounding box but off the outline (beside the shaft, beside the tip), in arrow
// units; each stays at least one and a half units from the outline's edges.
inline const std::vector<std::pair<double, double>>& InsidePoints() {
  static const std::vector<std::pair<double, double>> points = {{-3.5, 0}, {-9, 0}};
  return points;
}
inline const std::vector<std::pair<double, double>>& OutsidePoints() {
  static const std::vector<std::pair<double, double>> points = {
      {-9, -2.5}, {-9, 2.5}, {-1, -2.5}, {-1, 2.5}};
  return points;
}

// The arrow-unit points as window-relative pixels, for the probe's region test.
inline std::vector<std::pair<int, int>> WindowPoints(
    const ArrowPose& pose, const std::vector<std::pair<double, double>>& points) {
  const Rect bounds = ExpectedBounds(pose);
  std::vector<std::pair<int, int>> result;
  for (const auto& [x, y] : points) {
    const auto [sx, sy] = OnScreen(pose, x, y);
    result.emplace_back(sx - bounds.x, sy - bounds.y);
  }
  return result;
}

}  // namespace qd::e2e
