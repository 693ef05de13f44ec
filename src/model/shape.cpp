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

double MonitorScale(std::uint32_t dpi, std::uint32_t primaryDpi) {
  if (dpi == primaryDpi || dpi == 0 || primaryDpi == 0) {
    return 1.0;
  }
  return static_cast<double>(dpi) / primaryDpi;
}

std::int32_t ScaledPixels(std::int32_t pixels, double monitorScale) {
  return std::max<std::int32_t>(RoundHalfEven(pixels * monitorScale), 1);
}

PointerGeometry ComputePointerGeometry(std::int32_t baseUnit, const PointerSettings& settings,
                                       double monitorScale) {
  // Times 1.0 leaves every product as it was.
  const double scale =
      baseUnit *
      ScaleTable[static_cast<std::size_t>(std::clamp(settings.Size, kMinSize, kMaxSize))] *
      monitorScale;
  const double angle = settings.Orientation * kStepAngle;
  const double cosAngle = std::cos(angle);
  const double sinAngle = std::sin(angle);

  PointerGeometry g;
  std::int32_t minX = std::numeric_limits<std::int32_t>::max();
  std::int32_t minY = minX;
  std::int32_t maxX = -minX;  // one above the smallest 32-bit value, as the bounds always were
  std::int32_t maxY = -minX;
  for (std::size_t k = 0; k < BasePolygon.size(); ++k) {
    const double x = BasePolygon[k].x;
    const double y = BasePolygon[k].y;
    const std::int32_t turnedX = RoundHalfEven(scale * (x * cosAngle + y * sinAngle));
    const std::int32_t turnedY = RoundHalfEven(scale * (y * cosAngle - x * sinAngle));
    g.PointerPolygon[k] = {turnedX, turnedY};
    minX = std::min(minX, turnedX);
    maxX = std::max(maxX, turnedX);
    minY = std::min(minY, turnedY);
    maxY = std::max(maxY, turnedY);
  }
  for (std::size_t k = 0; k < BasePolygon.size(); ++k) {
    g.PointerPolygon[k].x -= minX;
    g.PointerPolygon[k].y -= minY;
  }
  g.PointerPolygon[7] = g.PointerPolygon[0];
  g.WindowWidth = maxX - minX + 1;
  g.WindowHeight = maxY - minY + 1;
  g.WindowLeft = settings.TipPosX + minX;
  g.WindowTop = settings.TipPosY + minY;
  return g;
}

}  // namespace qd
