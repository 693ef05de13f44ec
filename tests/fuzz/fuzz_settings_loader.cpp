// Any bytes as the settings file: every field loads within its range, and what is saved
// loads back to the same state.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <string>
#include <vector>

#include "fake_system_services.h"
#include "framework/strings.h"
#include "model/pointer_state.h"
#include "settings/settings.h"
#include "settings_start_up.h"

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

void StartUp(const WorkArea& area) {
  qd::test::PrepareSettingsStartUp(area.width, area.height, kPath);
}

void CheckTip(std::int32_t tip, std::int32_t extent) {
  const std::int32_t high = extent - 32;
  Check(high < 32 ? tip == high : tip >= 32 && tip <= high);
}

void CheckInRange(const WorkArea& area, const std::vector<std::string>& custom) {
  const qd::PointerState& p = qd::Pointer;
  CheckTip(p.TipPosX, area.width);
  CheckTip(p.TipPosY, area.height);
  Check(p.Size >= 1 && p.Size <= 24);
  Check(p.Orientation >= 0 && p.Orientation <= 23);
  Check(p.ColorIndex >= -1 && p.ColorIndex <= 11);
  Check(p.CurrentAlphaIndex >= 8 && p.CurrentAlphaIndex <= 22);
  Check(custom.size() == 16);
  for (std::size_t slot = 0; slot < custom.size(); ++slot) {
    Check(custom[slot].starts_with(std::string("Color") + static_cast<char>('A' + slot) + "="));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) {
    return 0;
  }
  const WorkArea& area = kWorkAreas[data[0] % std::size(kWorkAreas)];
  StartUp(area);
  qd::test::FakeSystemServices sys;
  sys.directories.insert(kFolder);
  sys.files[kPath] = std::string(reinterpret_cast<const char*>(data + 1), size - 1);

  qd::TColor color = 0;
  std::vector<std::string> custom;
  Check(!qd::LoadSettings(sys, color, custom).readFailed);
  CheckInRange(area, custom);
  qd::Pointer.AlphaBlendIndex = qd::Pointer.CurrentAlphaIndex;
  const qd::PointerState first = qd::Pointer;
  Check(!qd::SaveSettings(sys, color, custom).has_value());

  StartUp(area);
  qd::TColor colorAgain = 0;
  std::vector<std::string> customAgain;
  Check(!qd::LoadSettings(sys, colorAgain, customAgain).readFailed);
  const qd::PointerState& again = qd::Pointer;
  Check(colorAgain == color);
  Check(again.SettingsLocked == first.SettingsLocked &&
        again.EscTerminates == first.EscTerminates && again.TipPosX == first.TipPosX &&
        again.TipPosY == first.TipPosY && again.Size == first.Size &&
        again.Orientation == first.Orientation && again.ColorIndex == first.ColorIndex &&
        again.CurrentAlphaIndex == first.CurrentAlphaIndex);
  // Saved custom colours are cut to eight characters; trailing blanks of the cut go on
  // reading.
  for (std::size_t slot = 0; slot < custom.size(); ++slot) {
    const std::string value = custom[slot].substr(7, 8);
    Check(customAgain[slot] == custom[slot].substr(0, 7) + std::string(qd::TrimBlanks(value)));
  }
  return 0;
}
