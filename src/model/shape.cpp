#include "model/shape.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace qd {

namespace {
constexpr double kStepAngle = 0.26179938779914946;  // pi / 12: 15 degrees
}

std::int32_t RoundHalfEven(double value) {
  // nearbyint follows the default rounding mode, which is to nearest, ties to even.
  const double rounded = std::nearbyint(value);
  constexpr double kMax = std::numeric_limits<std::int32_t>::max();
  constexpr double kMin = std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(std::clamp(rounded, kMin, kMax));
}

std::int32_t BaseUnitFor(std::int32_t workAreaWidth, std::int32_t workAreaHeight) {
  return std::max<std::int32_t>(std::max(workAreaWidth, workAreaHeight) / 512, 1);
}

void ComputePointerGeometry(PointerState& s) {
  s.Scale = s.BaseUnit * s.ScaleTable[static_cast<std::size_t>(std::clamp(s.Size, kMinSize, kMaxSize))];
  s.Angle = s.Orientation * kStepAngle;
  s.CosAngle = std::cos(s.Angle);
  s.SinAngle = std::sin(s.Angle);

  std::int32_t minX = std::numeric_limits<std::int32_t>::max();
  std::int32_t minY = minX;
  std::int32_t maxX = -minX;  // one above the smallest 32-bit value, as the bounds always were
  std::int32_t maxY = -minX;
  for (std::size_t k = 0; k < s.BasePolygon.size(); ++k) {
    const double x = s.BasePolygon[k].x;
    const double y = s.BasePolygon[k].y;
    const std::int32_t turnedX = RoundHalfEven(s.Scale * (x * s.CosAngle + y * s.SinAngle));
    const std::int32_t turnedY = RoundHalfEven(s.Scale * (y * s.CosAngle - x * s.SinAngle));
    s.PointerPolygon[k] = {turnedX, turnedY};
    minX = std::min(minX, turnedX);
    maxX = std::max(maxX, turnedX);
    minY = std::min(minY, turnedY);
    maxY = std::max(maxY, turnedY);
  }
  for (std::size_t k = 0; k < s.BasePolygon.size(); ++k) {
    s.PointerPolygon[k].x -= minX;
    s.PointerPolygon[k].y -= minY;
  }
  s.PointerPolygon[7] = s.PointerPolygon[0];
  s.WindowWidth = maxX - minX + 1;
  s.WindowHeight = maxY - minY + 1;
  s.WindowLeft = s.TipPosX + minX;
  s.WindowTop = s.TipPosY + minY;
}

}  // namespace qd
