// What a settings load gives, as one record to compare; the defaults are those of a missing
// file on a 1920 x 1080 work area.
#pragma once

#include <algorithm>
#include <cstddef>
#include <ostream>
#include <string_view>

#include "model/pointer_settings.h"
#include "settings/settings.h"

namespace qd::test {

struct LoadedPointer {
  bool locked = false;
  bool esc = true;
  int x = 960;
  int y = 540;
  int size = 4;
  int orientation = 0;
  TColor color = 255;
  int colorIndex = 0;
  int alpha = 18;
  friend bool operator==(const LoadedPointer&, const LoadedPointer&) = default;
};

inline std::ostream& operator<<(std::ostream& os, const LoadedPointer& l) {
  return os << "locked " << l.locked << " esc " << l.esc << " tip " << l.x << "," << l.y
            << " size " << l.size << " orientation " << l.orientation << " color " << l.color
            << " index " << l.colorIndex << " alpha " << l.alpha;
}

// The key of a custom colour slot in section "Colors", as the settings table names it.
inline std::string_view CustomColorKey(std::size_t slot) {
  const auto* row = std::find_if(kSettingsKeys.begin(), kSettingsKeys.end(), [&](const auto& key) {
    return key.field == SettingsField{CustomColorSlot{slot}};
  });
  return row == kSettingsKeys.end() ? std::string_view{} : row->name;
}

inline LoadedPointer LoadedPointerState(const PointerSettings& s) {
  return {s.SettingsLocked, s.EscTerminates, s.TipPosX,     s.TipPosY,        s.Size,
          s.Orientation,    s.Color,         s.ColorIndex,  s.AlphaBlendIndex};
}

}  // namespace qd::test
