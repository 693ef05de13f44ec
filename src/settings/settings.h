// Reading and writing the settings file at SettingsFilePath: section "Pointer" with the
// pointer settings, section "Colors" with the colour dialog's sixteen custom colours.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "framework/system_services.h"
#include "framework/types.h"

namespace qd {

inline constexpr std::string_view kPointerSection = "Pointer";
inline constexpr std::string_view kColorsSection = "Colors";
inline constexpr int kCustomColorCount = 16;

struct SettingsLoadResult {
  bool readFailed = false;  // the file exists but could not be read
  std::string error;        // the system's message when readFailed
};

// Loads SettingsLocked, EscTerminates, TipPosX, TipPosY, Size, Orientation, the window
// colour, ColorIndex and CurrentAlphaIndex into Pointer, each with its default and
// clamped into its range, and fills `customColors` with the sixteen lines "ColorA=..."
// to "ColorP=...". Needs SettingsFilePath, the work area, the default tip position and
// DefaultCustomColor set. A missing file gives the defaults. A file that exists but
// cannot be read gives the defaults too, with readFailed set: the caller reports it
// once and must not save over that file at the end.
SettingsLoadResult LoadSettings(SystemServices& services, TColor& windowColor,
                                std::vector<std::string>& customColors);

// Writes the settings (AlphaBlendIndex in place of CurrentAlphaIndex) and the custom
// colours over the file, keeping the sections and keys it does not know, and replaces
// the file atomically. Returns the system's message when the file cannot be read or
// written; the old file is then left as it was.
std::optional<std::string> SaveSettings(SystemServices& services, TColor windowColor,
                                        const std::vector<std::string>& customColors);

}  // namespace qd
