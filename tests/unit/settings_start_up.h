// The pointer state that start-up has set up before it loads the settings, and the part of
// it that loading fills in.
#pragma once

#include <ostream>
#include <string>

#include "model/pointer_state.h"

namespace qd::test {

inline void PrepareSettingsStartUp(int workAreaWidth, int workAreaHeight,
                                   const std::string& settingsPath) {
  Pointer = PointerState{};
  Pointer.WorkAreaWidth = workAreaWidth;
  Pointer.WorkAreaHeight = workAreaHeight;
  Pointer.DefaultTipPosX = workAreaWidth / 2;
  Pointer.DefaultTipPosY = workAreaHeight / 2;
  Pointer.SettingsFilePath = settingsPath;
  Pointer.DefaultCustomColor = "1FFFFFFF";
}

// What a load leaves in the pointer state, with the colour it hands back; the defaults are
// those of a missing file on a 1920 x 1080 work area.
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

inline LoadedPointer LoadedPointerState(TColor color) {
  return {Pointer.SettingsLocked, Pointer.EscTerminates, Pointer.TipPosX,
          Pointer.TipPosY,        Pointer.Size,          Pointer.Orientation,
          color,                  Pointer.ColorIndex,    Pointer.CurrentAlphaIndex};
}

}  // namespace qd::test
