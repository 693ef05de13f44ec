#include "model/tables.h"

#include <cmath>

namespace qd {

std::int32_t PaletteIndexOf(TColor color) {
  for (std::size_t i = 0; i < ColorPalette.size(); ++i) {
    if (ColorPalette[i] == color) {
      return static_cast<std::int32_t>(i);
    }
  }
  return -1;
}

void FillBasePolygon(PointerState& state) {
  state.BasePolygon = {{{0, 0}, {-6, -3}, {-6, -1}, {-12, -1}, {-12, 1}, {-6, 1}, {-6, 3}}};
}

void FillScaleTable(PointerState& state) {
  // Repeated products, not powers: the stored sizes depend on these exact doubles.
  state.ScaleRatio = std::sqrt(std::sqrt(2.0));
  state.ScaleTable[1] = 1.0;
  for (int k = 2; k <= kMaxSize; ++k) {
    state.ScaleTable[k] = state.ScaleTable[k - 1] * state.ScaleRatio;
  }
}

}  // namespace qd
