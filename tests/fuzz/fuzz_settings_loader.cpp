// Any bytes as the settings file: every field loads within its range, and what is saved
// loads back to the same state.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <string>

#include "fake_system_services.h"
#include "framework/strings.h"
#include "model/pointer_settings.h"
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
  Check(!qd::SaveSettings(sys, kPath, first.settings).has_value());

  const qd::SettingsLoadResult again = qd::LoadSettings(sys, kPath, area.width, area.height);
  Check(!again.readFailed);
  const qd::PointerSettings& p = first.settings;
  const qd::PointerSettings& q = again.settings;
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
