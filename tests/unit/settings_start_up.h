// The pointer state that start-up has set up before it loads the settings.
#pragma once

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

}  // namespace qd::test
