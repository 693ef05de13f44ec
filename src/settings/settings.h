// Reading and writing the settings file through one table of its keys: section "Pointer"
// with the pointer settings, "Colors" with the colour dialog's sixteen custom colours, and
// the keys only the user writes, "Hotkey" and "Display".
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "framework/ini_file.h"
#include "framework/system_services.h"
#include "model/pointer_settings.h"

namespace qd {

inline constexpr std::string_view kPointerSection = "Pointer";
inline constexpr std::string_view kColorsSection = "Colors";
inline constexpr std::string_view kHotkeySection = "Hotkey";
inline constexpr std::string_view kArrowToPointerKey = "ArrowToPointer";
inline constexpr std::string_view kDisplaySection = "Display";
inline constexpr std::string_view kEdgesKey = "Edges";

struct SettingsLoadResult {
  PointerSettings settings;
  bool readFailed = false;  // the file exists but could not be read
  std::string error;        // the system's message when readFailed
  // The hotkey's value as written in the file; none when the key is absent.
  std::optional<std::string> arrowToPointer;
  bool smoothEdges = false;
};

// Which extent of the primary work area a key's default follows.
enum class WorkAreaSpan : std::uint8_t { None, Width, Height };

// Whether the program writes a key. A read-only key is one the user adds by hand; a save
// keeps it as the file has it.
enum class KeyUse : std::uint8_t { Saved, ReadOnly };

// A slot of the colour dialog's custom colours.
struct CustomColorSlot {
  std::size_t slot = 0;
  friend bool operator==(CustomColorSlot, CustomColorSlot) = default;
};

// Where a key's value goes, which also says how it is read and written:
// - a field of PointerSettings: a decimal integer (the flags 0 or 1, the colour its signed
//   32-bit value), clamped into low..high, lower bound first;
// - a custom colour slot: text, `text` when missing, written with at most eight characters;
// - the hotkey's text: as written, none when the key is missing;
// - a flag of the load: set when the value is `text`, in any case.
using SettingsField =
    std::variant<bool PointerSettings::*, std::int32_t PointerSettings::*,
                 TColor PointerSettings::*, CustomColorSlot,
                 std::optional<std::string> SettingsLoadResult::*, bool SettingsLoadResult::*>;

// One key of the settings file: section and name, once shipped never renamed; where its
// value goes; whether it is written; the value of a missing or unreadable integer and the
// range a loaded one is clamped into; for text, its default or the word that sets a flag.
// The tip's coordinates default to the middle of the work area and are placed on their
// monitor as a whole (model/placement.h) rather than clamped one by one.
struct SettingsKey {
  std::string_view section;
  std::string_view name;
  SettingsField field;
  KeyUse use = KeyUse::Saved;
  std::int32_t fallback = 0;
  std::int32_t low = std::numeric_limits<std::int32_t>::min();
  std::int32_t high = std::numeric_limits<std::int32_t>::max();
  WorkAreaSpan span = WorkAreaSpan::None;
  std::string_view text = {};
};

inline constexpr std::string_view kDefaultCustomColor = "1FFFFFFF";

constexpr SettingsKey CustomColorRow(std::string_view name, std::size_t slot) {
  return {.section = kColorsSection,
          .name = name,
          .field = CustomColorSlot{slot},
          .text = kDefaultCustomColor};
}

// Every key the program knows, in the order they are written.
inline constexpr std::array<SettingsKey, 27> kSettingsKeys = {{
    {kPointerSection, "SettingsLocked", &PointerSettings::SettingsLocked, KeyUse::Saved, 0},
    {kPointerSection, "EscTerminates", &PointerSettings::EscTerminates, KeyUse::Saved, 1},
    {.section = kPointerSection,
     .name = "TipPosX",
     .field = &PointerSettings::TipPosX,
     .span = WorkAreaSpan::Width},
    {.section = kPointerSection,
     .name = "TipPosY",
     .field = &PointerSettings::TipPosY,
     .span = WorkAreaSpan::Height},
    {kPointerSection, "Size", &PointerSettings::Size, KeyUse::Saved, 4, kMinSize, kMaxSize},
    {kPointerSection, "Orientation", &PointerSettings::Orientation, KeyUse::Saved, 0, 0,
     kOrientationSteps - 1},
    {kPointerSection, "Color", &PointerSettings::Color, KeyUse::Saved, 255},
    {kPointerSection, "ColorIndex", &PointerSettings::ColorIndex, KeyUse::Saved, 0, -1,
     kPaletteCount - 1},
    {kPointerSection, "AlphaBlendIndex", &PointerSettings::AlphaBlendIndex, KeyUse::Saved, 18, 8,
     kTopAlphaIndex},
    CustomColorRow("ColorA", 0),
    CustomColorRow("ColorB", 1),
    CustomColorRow("ColorC", 2),
    CustomColorRow("ColorD", 3),
    CustomColorRow("ColorE", 4),
    CustomColorRow("ColorF", 5),
    CustomColorRow("ColorG", 6),
    CustomColorRow("ColorH", 7),
    CustomColorRow("ColorI", 8),
    CustomColorRow("ColorJ", 9),
    CustomColorRow("ColorK", 10),
    CustomColorRow("ColorL", 11),
    CustomColorRow("ColorM", 12),
    CustomColorRow("ColorN", 13),
    CustomColorRow("ColorO", 14),
    CustomColorRow("ColorP", 15),
    // The hotkey: changed or switched off by hand (settings/hotkey.h).
    {.section = kHotkeySection,
     .name = kArrowToPointerKey,
     .field = &SettingsLoadResult::arrowToPointer,
     .use = KeyUse::ReadOnly},
    // "Smooth" draws the arrow's edges anti-aliased, anything else (or nothing) cuts them
    // sharp.
    {.section = kDisplaySection,
     .name = kEdgesKey,
     .field = &SettingsLoadResult::smoothEdges,
     .use = KeyUse::ReadOnly,
     .text = "Smooth"},
}};

// What only a load fills cannot be saved: such a key must be read-only.
static_assert(std::ranges::all_of(kSettingsKeys, [](const SettingsKey& key) {
  return key.use == KeyUse::ReadOnly ||
         !(std::holds_alternative<std::optional<std::string> SettingsLoadResult::*>(key.field) ||
           std::holds_alternative<bool SettingsLoadResult::*>(key.field));
}));

// Every key of the table from the file's text as it stands, a missing or unreadable
// integer as its default, nothing clamped or placed yet.
SettingsLoadResult ReadSettingsKeys(const TMemIniFile& ini, std::int32_t workAreaWidth,
                                    std::int32_t workAreaHeight);

// Loads every key of the table from the file at `path`. A missing file gives the defaults.
// A file that exists but cannot be read gives the defaults too, with readFailed set: the
// caller reports it once and must not save over that file at the end. A tip on one of the
// monitors other than the primary is kept on that monitor (model/placement.h); the primary
// work area's size gives every other tip's range.
SettingsLoadResult LoadSettings(SystemServices& services, const std::string& path,
                                std::int32_t workAreaWidth, std::int32_t workAreaHeight,
                                const std::vector<MonitorInfo>& monitors = {});

// Writes the table's saved keys over the file, keeping the read-only keys and the sections
// and keys it does not know, and replaces the file atomically. Returns the system's message
// when the file cannot be read or written; the old file is then left as it was.
std::optional<std::string> SaveSettings(SystemServices& services, const std::string& path,
                                        const PointerSettings& settings);

}  // namespace qd
