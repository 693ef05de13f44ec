// Where a tip position lands on the monitors present: a tip on a monitor other than the
// primary stays there, every other tip is kept inside the primary work area.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "framework/types.h"

namespace qd {

// How far the tip is kept inside a work area.
inline constexpr std::int32_t kTipMargin = 32;

// Lower bound first, so that an upper bound below the lower one wins (tiny work areas).
std::int32_t ClampLowFirst(std::int32_t value, std::int32_t low, std::int32_t high);

// The monitor whose bounds hold the point, or null.
const MonitorInfo* MonitorAt(TPoint point, const std::vector<MonitorInfo>& monitors);

// The DPIs an arrow is drawn for: its monitor's over the primary's gives its scale
// (MonitorScale in model/shape.h); its unit comes from the primary work area (BaseUnitFor).
struct ArrowDpis {
  std::uint32_t arrow = 0;  // none yet: the primary's
  std::uint32_t primary = 96;
  friend bool operator==(const ArrowDpis&, const ArrowDpis&) = default;
};

// The DPIs for the monitors listed: the arrow takes that of the monitor under the pointer
// while a drag step runs (`dragPointer`), else under the tip. Never the window's own DPI,
// which the system takes from where most of the window lies: an arrow resized around its
// tip could flip between two monitors' scales without end. Where no monitor of a known DPI
// is under that point the arrow keeps `current.arrow`; the primary's DPI is that of the
// monitor listed as primary, `current.primary` where it is unknown.
ArrowDpis ArrowDpisFor(const std::vector<MonitorInfo>& monitors, TPoint tip,
                       std::optional<TPoint> dragPointer, ArrowDpis current);

// A tip on a present monitor other than the primary, clamped into that monitor's work area
// with the margin; any other tip clamped into 0..width and 0..height of the primary work
// area with the margin, as a tip has always been kept.
TPoint PlaceTip(TPoint tip, const std::vector<MonitorInfo>& monitors, std::int32_t primaryWorkWidth,
                std::int32_t primaryWorkHeight);

}  // namespace qd
