// The arrow's geometry: the base outline turned, scaled and rounded to whole pixels, and
// the window bounds that put its tip on the tip position.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "framework/types.h"
#include "model/pointer_settings.h"

namespace qd {

// The outline in arrow units: the tip at the origin, pointing right, y down.
inline constexpr std::array<TPoint, 7> BasePolygon = {
    {{0, 0}, {-6, -3}, {-6, -1}, {-12, -1}, {-12, 1}, {-6, 1}, {-6, 3}}};

// Each size step grows the arrow by the fourth root of 2, sqrt(sqrt(2.0)) written out so
// that the table below is a compile-time constant.
inline constexpr double ScaleRatio = 1.189207115002721;

// Size factor by size, 1 to 24 (0 unused): repeated products, not powers, in double
// precision on every target; the window sizes depend on these exact doubles.
inline constexpr std::array<double, kMaxSize + 1> ScaleTable = [] {
  std::array<double, kMaxSize + 1> table{};
  table[1] = 1.0;
  for (std::size_t k = 2; k < table.size(); ++k) {
    table[k] = table[k - 1] * ScaleRatio;
  }
  return table;
}();

struct PointerGeometry {
  // The outline in window coordinates, closed: the last point repeats the tip.
  std::array<TPoint, 8> PointerPolygon{};
  std::int32_t WindowLeft = 0;
  std::int32_t WindowTop = 0;
  std::int32_t WindowWidth = 0;
  std::int32_t WindowHeight = 0;
};

// The outline and window bounds for the size, orientation and tip position of the settings
// at a base unit, on a monitor of that scale (see MonitorScale).
PointerGeometry ComputePointerGeometry(std::int32_t baseUnit, const PointerSettings& settings,
                                       double monitorScale = 1.0);

// How much larger a length in pixels is on a monitor of `dpi` than on the primary monitor
// of `primaryDpi`, for the same look: exactly 1 where the two are alike (or one is unknown),
// so that every pixel stays as the primary's rules give it.
double MonitorScale(std::uint32_t dpi, std::uint32_t primaryDpi);

// A length the rules give in pixels for the primary monitor, on a monitor of that scale:
// rounded, at least 1.
std::int32_t ScaledPixels(std::int32_t pixels, double monitorScale);

// Rounds to the nearest integer, halves to the even neighbour.
std::int32_t RoundHalfEven(double value);

// BaseUnit for a work area: the larger side divided by 512, at least 1.
std::int32_t BaseUnitFor(std::int32_t workAreaWidth, std::int32_t workAreaHeight);

}  // namespace qd
