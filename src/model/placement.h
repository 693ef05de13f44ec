// Where a tip position lands on the monitors present: a tip on a monitor other than the
// primary stays there, every other tip is kept inside the primary work area.
#pragma once

#include <cstdint>
#include <vector>

#include "framework/types.h"

namespace qd {

// How far the tip is kept inside a work area.
inline constexpr std::int32_t kTipMargin = 32;

// Lower bound first, so that an upper bound below the lower one wins (tiny work areas).
std::int32_t ClampLowFirst(std::int32_t value, std::int32_t low, std::int32_t high);

// The monitor whose bounds hold the point, or null.
const MonitorInfo* MonitorAt(TPoint point, const std::vector<MonitorInfo>& monitors);

// A tip on a present monitor other than the primary, clamped into that monitor's work area
// with the margin; any other tip clamped into 0..width and 0..height of the primary work
// area with the margin, as a tip has always been kept.
TPoint PlaceTip(TPoint tip, const std::vector<MonitorInfo>& monitors, std::int32_t primaryWorkWidth,
                std::int32_t primaryWorkHeight);

}  // namespace qd
