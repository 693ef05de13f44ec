#include "settings/settings.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "framework/ini_file.h"
#include "model/pointer_state.h"

namespace qd {

namespace {

constexpr std::int32_t kTipMargin = 32;
constexpr TColor kDefaultColor = 255;
constexpr std::int32_t kDefaultSize = 4;
constexpr std::int32_t kDefaultAlphaIndex = 18;
constexpr std::int32_t kMinLoadedAlphaIndex = 8;
// The custom colour lines are "ColorA=" and a value of up to eight characters.
constexpr std::size_t kCustomColorPrefix = 7;
constexpr std::size_t kCustomColorValueLength = 8;

// Lower bound first, so that an upper bound below the lower one wins (tiny work areas).
std::int32_t ClampLowFirst(std::int32_t value, std::int32_t low, std::int32_t high) {
  return std::min(std::max(value, low), high);
}

std::string CustomColorKey(std::size_t slot) {
  return std::string("Color") + static_cast<char>('A' + slot);
}

}  // namespace

SettingsLoadResult LoadSettings(SystemServices& services, TColor& windowColor,
                                std::vector<std::string>& customColors) {
  SettingsLoadResult result;
  TMemIniFile ini;
  if (auto error = ReadIniFile(services, Pointer.SettingsFilePath, ini)) {
    result.readFailed = true;
    result.error = std::move(*error);
  }

  const std::string_view s = kPointerSection;
  Pointer.SettingsLocked = ini.ReadBool(s, "SettingsLocked", false);
  Pointer.EscTerminates = ini.ReadBool(s, "EscTerminates", true);
  Pointer.TipPosX = ClampLowFirst(ini.ReadInteger(s, "TipPosX", Pointer.DefaultTipPosX), kTipMargin,
                                  Pointer.WorkAreaWidth - kTipMargin);
  Pointer.TipPosY = ClampLowFirst(ini.ReadInteger(s, "TipPosY", Pointer.DefaultTipPosY), kTipMargin,
                                  Pointer.WorkAreaHeight - kTipMargin);
  Pointer.Size = ClampLowFirst(ini.ReadInteger(s, "Size", kDefaultSize), kMinSize, kMaxSize);
  Pointer.Orientation =
      ClampLowFirst(ini.ReadInteger(s, "Orientation", 0), 0, kOrientationSteps - 1);
  windowColor =
      static_cast<TColor>(ini.ReadInteger(s, "Color", static_cast<std::int32_t>(kDefaultColor)));
  Pointer.ColorIndex = ClampLowFirst(ini.ReadInteger(s, "ColorIndex", 0), -1, kPaletteCount - 1);
  Pointer.CurrentAlphaIndex =
      ClampLowFirst(ini.ReadInteger(s, "AlphaBlendIndex", kDefaultAlphaIndex), kMinLoadedAlphaIndex,
                    kTopAlphaIndex);

  customColors.clear();
  for (std::size_t slot = 0; slot < kCustomColorCount; ++slot) {
    const std::string key = CustomColorKey(slot);
    customColors.push_back(key + "=" +
                           ini.ReadString(kColorsSection, key, Pointer.DefaultCustomColor));
  }
  return result;
}

std::optional<std::string> SaveSettings(SystemServices& services, TColor windowColor,
                                        const std::vector<std::string>& customColors) {
  // Re-read, so that what the program does not know survives; a file that cannot be
  // read now is not overwritten with less than it holds.
  TMemIniFile ini;
  if (auto error = ReadIniFile(services, Pointer.SettingsFilePath, ini)) {
    return error;
  }

  const std::string_view s = kPointerSection;
  ini.WriteBool(s, "SettingsLocked", Pointer.SettingsLocked);
  ini.WriteBool(s, "EscTerminates", Pointer.EscTerminates);
  ini.WriteInteger(s, "TipPosX", Pointer.TipPosX);
  ini.WriteInteger(s, "TipPosY", Pointer.TipPosY);
  ini.WriteInteger(s, "Size", Pointer.Size);
  ini.WriteInteger(s, "Orientation", Pointer.Orientation);
  // Signed, as it is read back: a colour with the top bit set is written negative.
  ini.WriteInteger(s, "Color", static_cast<std::int32_t>(windowColor));
  ini.WriteInteger(s, "ColorIndex", Pointer.ColorIndex);
  ini.WriteInteger(s, "AlphaBlendIndex", Pointer.AlphaBlendIndex);

  // The key comes from the line's position, not from its own name.
  for (std::size_t slot = 0; slot < customColors.size(); ++slot) {
    const std::string& line = customColors[slot];
    const std::string value = line.size() > kCustomColorPrefix
                                  ? line.substr(kCustomColorPrefix, kCustomColorValueLength)
                                  : std::string();
    ini.WriteString(kColorsSection, CustomColorKey(slot), value);
  }
  return UpdateIniFile(services, Pointer.SettingsFilePath, ini);
}

}  // namespace qd
