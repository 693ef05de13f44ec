#include "settings/settings.h"

#include <algorithm>
#include <type_traits>
#include <utility>

#include "framework/ini_file.h"
#include "framework/strings.h"
#include "model/placement.h"

namespace qd {

namespace {

constexpr std::string_view kDefaultCustomColor = "1FFFFFFF";
// A custom colour is written with at most eight characters of its text.
constexpr std::size_t kCustomColorValueLength = 8;

}  // namespace

std::string CustomColorKey(std::size_t slot) {
  return std::string("Color") + static_cast<char>('A' + slot);
}

SettingsLoadResult LoadSettings(SystemServices& services, const std::string& path,
                                std::int32_t workAreaWidth, std::int32_t workAreaHeight,
                                const std::vector<MonitorInfo>& monitors) {
  SettingsLoadResult result;
  TMemIniFile ini;
  if (auto error = ReadIniFile(services, path, ini)) {
    result.readFailed = true;
    result.error = std::move(*error);
  }

  PointerSettings& settings = result.settings;
  for (const PointerKey& key : kPointerKeys) {
    const std::int32_t fallback = key.span == WorkAreaSpan::Width    ? workAreaWidth / 2
                                  : key.span == WorkAreaSpan::Height ? workAreaHeight / 2
                                                                     : key.fallback;
    const std::int32_t value =
        ClampLowFirst(ini.ReadInteger(kPointerSection, key.name, fallback), key.low, key.high);
    std::visit(
        [&](auto field) {
          using Value = std::remove_reference_t<decltype(settings.*field)>;
          settings.*field = static_cast<Value>(value);
        },
        key.field);
  }
  // A tip left on another monitor that is still there stays on it.
  const TPoint tip =
      PlaceTip({settings.TipPosX, settings.TipPosY}, monitors, workAreaWidth, workAreaHeight);
  settings.TipPosX = tip.x;
  settings.TipPosY = tip.y;
  // Two different answers for a missing key tell it from any value the user wrote.
  const std::string hotKey = ini.ReadString(kHotkeySection, kArrowToPointerKey, "0");
  if (hotKey != "0" || ini.ReadString(kHotkeySection, kArrowToPointerKey, "1") != "1") {
    result.arrowToPointer = hotKey;
  }
  result.smoothEdges = SameTextAnsi(ini.ReadString(kDisplaySection, kEdgesKey, ""), "Smooth");
  const std::string defaultColor(kDefaultCustomColor);
  for (std::size_t slot = 0; slot < settings.CustomColors.size(); ++slot) {
    settings.CustomColors[slot] =
        ini.ReadString(kColorsSection, CustomColorKey(slot), defaultColor);
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

  for (const PointerKey& key : kPointerKeys) {
    const std::int32_t value = std::visit(
        [&](auto field) { return static_cast<std::int32_t>(settings.*field); }, key.field);
    ini.WriteInteger(kPointerSection, key.name, value);
  }
  for (std::size_t slot = 0; slot < settings.CustomColors.size(); ++slot) {
    ini.WriteString(kColorsSection, CustomColorKey(slot),
                    settings.CustomColors[slot].substr(0, kCustomColorValueLength));
  }
  return UpdateIniFile(services, path, ini);
}

}  // namespace qd
