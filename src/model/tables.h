// The colour palette and the opacity steps.
#pragma once

#include <array>
#include <cstdint>

#include "framework/types.h"
#include "model/pointer_settings.h"

namespace qd {

inline constexpr std::array<TColor, kPaletteCount> ColorPalette = {
    0x000000FF, 0x000080FF, 0x0000FFFF, 0x0000FF80, 0x0000FF00, 0x0080FF00,
    0x00FFFF00, 0x00FF8000, 0x00FF0000, 0x00FF0080, 0x00FF00FF, 0x008000FF,
};

inline constexpr std::array<std::uint8_t, kAlphaCount> AlphaTable = {
    0, 1, 2, 4, 8, 12, 16, 24, 32, 48, 64, 80, 96, 112, 128, 144, 160, 176, 192, 208, 224, 240, 255,
};

// Palette position of a colour (whole 32-bit value), or -1.
std::int32_t PaletteIndexOf(TColor color);

}  // namespace qd
