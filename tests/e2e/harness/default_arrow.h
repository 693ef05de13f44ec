// The arrow a start without a settings file shows on the 1920 x 1080 screen the suites run
// on: where the harness's own shape rules put it, in the program's first palette colour.
#pragma once

#include "arrow_shape.h"
#include "model/tables.h"
#include "x_screen.h"

namespace qd::e2e {

// Tip (960, 540), size 4, orientation 0, BaseUnit 3.
inline const ArrowPose kDefaultPose{};
// {899, 525, 62, 31}.
inline const Rect kDefaultBounds = ExpectedBounds(kDefaultPose);
// The default colour index is 0.
inline const Rgb kRed = Rgb::FromColorRef(ColorPalette[0]);

}  // namespace qd::e2e
