// Any bytes as the settings file: every field loads within its range, the hotkey's value
// parses to a combination the system takes or to none, and what is saved loads back to the
// same state, the hotkey's value untouched.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <optional>
#include <string>

#include "fake_system_services.h"
#include "framework/strings.h"
#include "model/pointer_settings.h"
#include "settings/hotkey.h"
#include "settings/settings.h"

namespace {

constexpr char kFolder[] = "C:\\Users\\ann\\AppData\\Roaming\\Brennavo\\Quiverdart";
constexpr char kPath[] = "C:\\Users\\ann\\AppData\\Roaming\\Brennavo\\Quiverdart\\Quiverdart.ini";

struct WorkArea {
  int width;
  int height;
};
// Common screens, and ones too small for the tip margins.
constexpr WorkArea kWorkAreas[] = {{1920, 1080}, {1365, 984}, {3840, 2160}, {64, 64},
                                   {50, 40},     {0, 0},      {1, 4000}};

void Check(bool condition) {
  if (!condition) {
    std::abort();
  }
}

void CheckTip(std::int32_t tip, std::int32_t extent) {
  const std::int32_t high = extent - 32;
  Check(high < 32 ? tip == high : tip >= 32 && tip <= high);
}

void CheckInRange(const WorkArea& area, const qd::PointerSettings& p) {
  CheckTip(p.TipPosX, area.width);
  CheckTip(p.TipPosY, area.height);
  Check(p.Size >= 1 && p.Size <= 24);
  Check(p.Orientation >= 0 && p.Orientation <= 23);
  Check(p.ColorIndex >= -1 && p.ColorIndex <= 11);
  Check(p.AlphaBlendIndex >= 8 && p.AlphaBlendIndex <= 22);
}

// Switched off, or a key with at least one of Ctrl, Alt and Win and no other bits.
void CheckHotKey(const std::string& value) {
  const std::optional<qd::HotKey> hotKey = qd::ParseHotKey(value);
  if (!hotKey || hotKey->key == 0) {
    Check(!hotKey || hotKey->modifiers == 0);
    return;
  }
  constexpr unsigned kAll = qd::kHotKeyCtrl | qd::kHotKeyAlt | qd::kHotKeyShift | qd::kHotKeyWin;
  Check((hotKey->modifiers & ~kAll) == 0);
  Check((hotKey->modifiers & (qd::kHotKeyCtrl | qd::kHotKeyAlt | qd::kHotKeyWin)) != 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) {
    return 0;
  }
  const WorkArea& area = kWorkAreas[data[0] % std::size(kWorkAreas)];
  qd::test::FakeSystemServices sys;
  sys.directories.insert(kFolder);
  sys.files[kPath] = std::string(reinterpret_cast<const char*>(data + 1), size - 1);

  const qd::SettingsLoadResult first = qd::LoadSettings(sys, kPath, area.width, area.height);
  Check(!first.readFailed);
  CheckInRange(area, first.settings);
  if (first.arrowToPointer) {
    CheckHotKey(*first.arrowToPointer);
  }
  Check(!qd::SaveSettings(sys, kPath, first.settings).has_value());

  const qd::SettingsLoadResult again = qd::LoadSettings(sys, kPath, area.width, area.height);
  Check(!again.readFailed);
  const qd::PointerSettings& p = first.settings;
  const qd::PointerSettings& q = again.settings;
  Check(again.arrowToPointer == first.arrowToPointer);
  Check(q.Color == p.Color);
  Check(q.SettingsLocked == p.SettingsLocked && q.EscTerminates == p.EscTerminates &&
        q.TipPosX == p.TipPosX && q.TipPosY == p.TipPosY && q.Size == p.Size &&
        q.Orientation == p.Orientation && q.ColorIndex == p.ColorIndex &&
        q.AlphaBlendIndex == p.AlphaBlendIndex);
  // Saved custom colours are cut to eight characters; trailing blanks of the cut go on
  // reading.
  for (std::size_t slot = 0; slot < p.CustomColors.size(); ++slot) {
    const std::string value = p.CustomColors[slot].substr(0, 8);
    Check(q.CustomColors[slot] == std::string(qd::TrimBlanks(value)));
  }
  return 0;
}
