// Reading and writing the settings file: section "Pointer" with the pointer settings,
// section "Colors" with the colour dialog's sixteen custom colours.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "framework/system_services.h"
#include "model/pointer_settings.h"

namespace qd {

inline constexpr std::string_view kPointerSection = "Pointer";
inline constexpr std::string_view kColorsSection = "Colors";
// Read only, never written: the user adds it to change or switch off the hotkey.
inline constexpr std::string_view kHotkeySection = "Hotkey";
inline constexpr std::string_view kArrowToPointerKey = "ArrowToPointer";
// Read only, never written: "Smooth" draws the arrow's edges anti-aliased, anything else
// (or nothing) cuts them sharp.
inline constexpr std::string_view kDisplaySection = "Display";
inline constexpr std::string_view kEdgesKey = "Edges";

// Which extent of the primary work area a key's default follows.
enum class WorkAreaSpan : std::uint8_t { None, Width, Height };

// One key of the "Pointer" section: its name, once shipped never renamed; the field it
// holds; the value of a missing or unreadable entry; the range a loaded value is clamped
// into, lower bound first. Every value is stored as a decimal integer: the flags as 0 or 1,
// the colour as its signed 32-bit value. The tip's coordinates default to the middle of
// the work area and are placed on their monitor as a whole (model/placement.h) rather than
// clamped one by one.
struct PointerKey {
  std::string_view name;
  std::variant<bool PointerSettings::*, std::int32_t PointerSettings::*, TColor PointerSettings::*>
      field;
  std::int32_t fallback = 0;
  std::int32_t low = std::numeric_limits<std::int32_t>::min();
  std::int32_t high = std::numeric_limits<std::int32_t>::max();
  WorkAreaSpan span = WorkAreaSpan::None;
};

// The keys in the order they are written.
inline constexpr std::array<PointerKey, 9> kPointerKeys = {{
    {"SettingsLocked", &PointerSettings::SettingsLocked, 0},
    {"EscTerminates", &PointerSettings::EscTerminates, 1},
    {.name = "TipPosX", .field = &PointerSettings::TipPosX, .span = WorkAreaSpan::Width},
    {.name = "TipPosY", .field = &PointerSettings::TipPosY, .span = WorkAreaSpan::Height},
    {"Size", &PointerSettings::Size, 4, kMinSize, kMaxSize},
    {"Orientation", &PointerSettings::Orientation, 0, 0, kOrientationSteps - 1},
    {"Color", &PointerSettings::Color, 255},
    {"ColorIndex", &PointerSettings::ColorIndex, 0, -1, kPaletteCount - 1},
    {"AlphaBlendIndex", &PointerSettings::AlphaBlendIndex, 18, 8, kTopAlphaIndex},
}};

// "ColorA" to "ColorP": the key of a custom colour slot in section "Colors".
std::string CustomColorKey(std::size_t slot);

struct SettingsLoadResult {
  PointerSettings settings;
  bool readFailed = false;  // the file exists but could not be read
  std::string error;        // the system's message when readFailed
  // The hotkey's value as written in the file; none when the key is absent.
  std::optional<std::string> arrowToPointer;
  bool smoothEdges = false;
};

// Loads every key of the table and the sixteen custom colours from the file at `path`. A
// missing file gives the defaults. A file that exists but cannot be read gives the defaults
// too, with readFailed set: the caller reports it once and must not save over that file at
// the end. A tip on one of the monitors other than the primary is kept on that monitor
// (model/placement.h); the primary work area's size gives every other tip's range.
SettingsLoadResult LoadSettings(SystemServices& services, const std::string& path,
                                std::int32_t workAreaWidth, std::int32_t workAreaHeight,
                                const std::vector<MonitorInfo>& monitors = {});

// Writes the settings over the file, keeping the sections and keys it does not know, and
// replaces the file atomically. Returns the system's message when the file cannot be read
// or written; the old file is then left as it was.
std::optional<std::string> SaveSettings(SystemServices& services, const std::string& path,
                                        const PointerSettings& settings);

}  // namespace qd
