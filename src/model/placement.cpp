#include "model/placement.h"

#include <algorithm>

namespace qd {

std::int32_t ClampLowFirst(std::int32_t value, std::int32_t low, std::int32_t high) {
  return std::min(std::max(value, low), high);
}

const MonitorInfo* MonitorAt(TPoint point, const std::vector<MonitorInfo>& monitors) {
  const auto it = std::find_if(monitors.begin(), monitors.end(), [&](const MonitorInfo& m) {
    return point.x >= m.bounds.left && point.x < m.bounds.right && point.y >= m.bounds.top &&
           point.y < m.bounds.bottom;
  });
  return it == monitors.end() ? nullptr : &*it;
}

ArrowDpis ArrowDpisFor(const std::vector<MonitorInfo>& monitors, TPoint tip,
                       std::optional<TPoint> dragPointer, ArrowDpis current) {
  ArrowDpis dpis = current;
  const auto primary = std::find_if(monitors.begin(), monitors.end(),
                                    [](const MonitorInfo& m) { return m.primary; });
  if (primary != monitors.end() && primary->dpi != 0) {
    dpis.primary = primary->dpi;
  }
  if (dpis.arrow == 0) {
    dpis.arrow = dpis.primary;
  }
  const MonitorInfo* monitor = MonitorAt(dragPointer.value_or(tip), monitors);
  if (monitor != nullptr && monitor->dpi != 0) {
    dpis.arrow = monitor->dpi;
  }
  return dpis;
}

TPoint PlaceTip(TPoint tip, const std::vector<MonitorInfo>& monitors, std::int32_t primaryWorkWidth,
                std::int32_t primaryWorkHeight) {
  const MonitorInfo* monitor = MonitorAt(tip, monitors);
  if (monitor != nullptr && !monitor->primary) {
    const TRect& area = monitor->workArea;
    return {ClampLowFirst(tip.x, area.left + kTipMargin, area.right - kTipMargin),
            ClampLowFirst(tip.y, area.top + kTipMargin, area.bottom - kTipMargin)};
  }
  return {ClampLowFirst(tip.x, kTipMargin, primaryWorkWidth - kTipMargin),
          ClampLowFirst(tip.y, kTipMargin, primaryWorkHeight - kTipMargin)};
}

}  // namespace qd
