// The settings that define the arrow and outlive the program, and the ranges they keep to.
#pragma once

#include <cstdint>

#include "framework/types.h"

namespace qd {

inline constexpr int kMinSize = 1;
inline constexpr int kMaxSize = 24;
inline constexpr int kOrientationSteps = 24;
inline constexpr int kPaletteCount = 12;
inline constexpr int kAlphaCount = 23;
inline constexpr int kTopAlphaIndex = 22;

// One value, filled by the settings loader at start and read by the saver at the end
// (settings/settings.h). While the program runs, the window's colour dialog holds the custom
// colours; the other fields, the colour among them, are the live values.
struct PointerSettings {
  std::int32_t TipPosX = 0;
  std::int32_t TipPosY = 0;
  std::int32_t Size = 0;
  std::int32_t Orientation = 0;
  TColor Color = 0;
  std::int32_t ColorIndex = 0;  // palette position, -1 for a colour outside the palette
  // The opacity index shown, and returned to after a fade-out.
  std::int32_t AlphaBlendIndex = 0;
  bool SettingsLocked = false;
  bool EscTerminates = false;
  TCustomColors CustomColors{};

  friend bool operator==(const PointerSettings&, const PointerSettings&) = default;
};

}  // namespace qd
