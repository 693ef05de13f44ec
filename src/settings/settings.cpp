#include "settings/settings.h"

#include <algorithm>
#include <type_traits>
#include <utility>

#include "framework/ini_file.h"
#include "framework/strings.h"
#include "model/placement.h"

namespace qd {

namespace {

// A custom colour is written with at most eight characters of its text.
constexpr std::size_t kCustomColorValueLength = 8;

template <class... Ts>
struct Overloaded : Ts... {
  using Ts::operator()...;
};
template <class... Ts>
Overloaded(Ts...) -> Overloaded<Ts...>;

// One key's value from the file into where the table puts it, as the file has it.
void ReadKey(const TMemIniFile& ini, const SettingsKey& key, std::int32_t workAreaWidth,
             std::int32_t workAreaHeight, SettingsLoadResult& result) {
  PointerSettings& settings = result.settings;
  std::visit(
      Overloaded{
          [&](CustomColorSlot c) {
            settings.CustomColors[c.slot] =
                ini.ReadString(key.section, key.name, std::string(key.text));
          },
          [&](std::optional<std::string> SettingsLoadResult::*text) {
            // Two different answers for a missing key tell it from any value the user wrote.
            std::string value = ini.ReadString(key.section, key.name, "0");
            if (value != "0" || ini.ReadString(key.section, key.name, "1") != "1") {
              result.*text = std::move(value);
            }
          },
          [&](bool SettingsLoadResult::*flag) {
            result.*flag = SameTextAnsi(ini.ReadString(key.section, key.name, ""), key.text);
          },
          [&](auto field) {
            const std::int32_t fallback = key.span == WorkAreaSpan::Width    ? workAreaWidth / 2
                                          : key.span == WorkAreaSpan::Height ? workAreaHeight / 2
                                                                             : key.fallback;
            using Value = std::remove_reference_t<decltype(settings.*field)>;
            settings.*field = static_cast<Value>(ini.ReadInteger(key.section, key.name, fallback));
          },
      },
      key.field);
}

// An integer key's value clamped into its range; text is kept as read.
void KeepInRange(const SettingsKey& key, PointerSettings& settings) {
  std::visit(Overloaded{
                 [](CustomColorSlot) {},
                 [](std::optional<std::string> SettingsLoadResult::*) {},
                 [](bool SettingsLoadResult::*) {},
                 [&](auto field) {
                   using Value = std::remove_reference_t<decltype(settings.*field)>;
                   settings.*field = static_cast<Value>(ClampLowFirst(
                       static_cast<std::int32_t>(settings.*field), key.low, key.high));
                 },
             },
             key.field);
}

// One saved key's value into the file.
void WriteKey(TMemIniFile& ini, const SettingsKey& key, const PointerSettings& settings) {
  std::visit(
      Overloaded{
          [&](CustomColorSlot c) {
            ini.WriteString(key.section, key.name,
                            settings.CustomColors[c.slot].substr(0, kCustomColorValueLength));
          },
          // Read-only: kept as the file has it.
          [](std::optional<std::string> SettingsLoadResult::*) {},
          [](bool SettingsLoadResult::*) {},
          [&](auto field) {
            ini.WriteInteger(key.section, key.name, static_cast<std::int32_t>(settings.*field));
          },
      },
      key.field);
}

}  // namespace

SettingsLoadResult ReadSettingsKeys(const TMemIniFile& ini, std::int32_t workAreaWidth,
                                    std::int32_t workAreaHeight) {
  SettingsLoadResult result;
  for (const SettingsKey& key : kSettingsKeys) {
    ReadKey(ini, key, workAreaWidth, workAreaHeight, result);
  }
  return result;
}

SettingsLoadResult LoadSettings(SystemServices& services, const std::string& path,
                                std::int32_t workAreaWidth, std::int32_t workAreaHeight,
                                const std::vector<MonitorInfo>& monitors) {
  TMemIniFile ini;
  std::optional<std::string> error = ReadIniFile(services, path, ini);
  SettingsLoadResult result = ReadSettingsKeys(ini, workAreaWidth, workAreaHeight);
  if (error) {
    result.readFailed = true;
    result.error = std::move(*error);
  }
  PointerSettings& settings = result.settings;
  for (const SettingsKey& key : kSettingsKeys) {
    KeepInRange(key, settings);
  }
  // A tip left on another monitor that is still there stays on it.
  const TPoint tip =
      PlaceTip({settings.TipPosX, settings.TipPosY}, monitors, workAreaWidth, workAreaHeight);
  settings.TipPosX = tip.x;
  settings.TipPosY = tip.y;
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
  for (const SettingsKey& key : kSettingsKeys) {
    if (key.use == KeyUse::Saved) {
      WriteKey(ini, key, settings);
    }
  }
  return UpdateIniFile(services, path, ini);
}

}  // namespace qd
