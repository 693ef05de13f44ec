#include "model/tables.h"

namespace qd {

std::int32_t PaletteIndexOf(TColor color) {
  for (std::size_t i = 0; i < ColorPalette.size(); ++i) {
    if (ColorPalette[i] == color) {
      return static_cast<std::int32_t>(i);
    }
  }
  return -1;
}

}  // namespace qd
