#include "settings/settings.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "framework/ini_file.h"

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
constexpr char kDefaultCustomColor[] = "1FFFFFFF";

// Lower bound first, so that an upper bound below the lower one wins (tiny work areas).
std::int32_t ClampLowFirst(std::int32_t value, std::int32_t low, std::int32_t high) {
  return std::min(std::max(value, low), high);
}

std::string CustomColorKey(std::size_t slot) {
  return std::string("Color") + static_cast<char>('A' + slot);
}

}  // namespace

SettingsLoadResult LoadSettings(SystemServices& services, const std::string& path,
                                std::int32_t workAreaWidth, std::int32_t workAreaHeight) {
  SettingsLoadResult result;
  TMemIniFile ini;
  if (auto error = ReadIniFile(services, path, ini)) {
    result.readFailed = true;
    result.error = std::move(*error);
  }

  const std::string_view s = kPointerSection;
  PointerSettings& p = result.settings;
  p.SettingsLocked = ini.ReadBool(s, "SettingsLocked", false);
  p.EscTerminates = ini.ReadBool(s, "EscTerminates", true);
  p.TipPosX = ClampLowFirst(ini.ReadInteger(s, "TipPosX", workAreaWidth / 2), kTipMargin,
                            workAreaWidth - kTipMargin);
  p.TipPosY = ClampLowFirst(ini.ReadInteger(s, "TipPosY", workAreaHeight / 2), kTipMargin,
                            workAreaHeight - kTipMargin);
  p.Size = ClampLowFirst(ini.ReadInteger(s, "Size", kDefaultSize), kMinSize, kMaxSize);
  p.Orientation = ClampLowFirst(ini.ReadInteger(s, "Orientation", 0), 0, kOrientationSteps - 1);
  p.Color =
      static_cast<TColor>(ini.ReadInteger(s, "Color", static_cast<std::int32_t>(kDefaultColor)));
  p.ColorIndex = ClampLowFirst(ini.ReadInteger(s, "ColorIndex", 0), -1, kPaletteCount - 1);
  p.AlphaBlendIndex = ClampLowFirst(ini.ReadInteger(s, "AlphaBlendIndex", kDefaultAlphaIndex),
                                    kMinLoadedAlphaIndex, kTopAlphaIndex);

  for (std::size_t slot = 0; slot < kCustomColorCount; ++slot) {
    const std::string key = CustomColorKey(slot);
    p.CustomColors.push_back(key + "=" + ini.ReadString(kColorsSection, key, kDefaultCustomColor));
  }
  return result;
}

std::optional<std::string> SaveSettings(SystemServices& services, const std::string& path,
                                        const PointerSettings& settings) {
  // Re-read, so that what the program does not know survives; a file that cannot be
  // read now is not overwritten with less than it holds.
  TMemIniFile ini;
  if (auto error = ReadIniFile(services, path, ini)) {
    return error;
  }

  const std::string_view s = kPointerSection;
  ini.WriteBool(s, "SettingsLocked", settings.SettingsLocked);
  ini.WriteBool(s, "EscTerminates", settings.EscTerminates);
  ini.WriteInteger(s, "TipPosX", settings.TipPosX);
  ini.WriteInteger(s, "TipPosY", settings.TipPosY);
  ini.WriteInteger(s, "Size", settings.Size);
  ini.WriteInteger(s, "Orientation", settings.Orientation);
  // Signed, as it is read back: a colour with the top bit set is written negative.
  ini.WriteInteger(s, "Color", static_cast<std::int32_t>(settings.Color));
  ini.WriteInteger(s, "ColorIndex", settings.ColorIndex);
  ini.WriteInteger(s, "AlphaBlendIndex", settings.AlphaBlendIndex);

  // The key comes from the line's position, not from its own name.
  for (std::size_t slot = 0; slot < settings.CustomColors.size(); ++slot) {
    const std::string& line = settings.CustomColors[slot];
    const std::string value = line.size() > kCustomColorPrefix
                                  ? line.substr(kCustomColorPrefix, kCustomColorValueLength)
                                  : std::string();
    ini.WriteString(kColorsSection, CustomColorKey(slot), value);
  }
  return UpdateIniFile(services, path, ini);
}

}  // namespace qd
