// Reading and writing the settings file: section "Pointer" with the pointer settings,
// section "Colors" with the colour dialog's sixteen custom colours.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "framework/system_services.h"
#include "model/pointer_settings.h"

namespace qd {

inline constexpr std::string_view kPointerSection = "Pointer";
inline constexpr std::string_view kColorsSection = "Colors";
inline constexpr int kCustomColorCount = 16;

struct SettingsLoadResult {
  PointerSettings settings;
  bool readFailed = false;  // the file exists but could not be read
  std::string error;        // the system's message when readFailed
};

// Loads SettingsLocked, EscTerminates, TipPosX, TipPosY, Size, Orientation, Color,
// ColorIndex and AlphaBlendIndex from the file at `path`, each with its default and clamped
// into its range (the tip's default is the middle of the work area, and its range keeps it
// 32 pixels inside), and the sixteen lines "ColorA=..." to "ColorP=...". A missing file
// gives the defaults. A file that exists but cannot be read gives the defaults too, with
// readFailed set: the caller reports it once and must not save over that file at the end.
SettingsLoadResult LoadSettings(SystemServices& services, const std::string& path,
                                std::int32_t workAreaWidth, std::int32_t workAreaHeight);

// Writes the settings over the file, keeping the sections and keys it does not know, and
// replaces the file atomically. Returns the system's message when the file cannot be read
// or written; the old file is then left as it was.
std::optional<std::string> SaveSettings(SystemServices& services, const std::string& path,
                                        const PointerSettings& settings);

}  // namespace qd
