// The outline of the baseline window, shared by the baseline program and the tests that
// check the rig against it. Plain data only: this header is compiled for Windows and Linux.
#pragma once

namespace qd::baseline {

struct ShapePoint {
  int x;
  int y;
};

// An arrow pointing right, five pixels per arrow unit, in window coordinates.
inline constexpr ShapePoint kOutline[] = {{60, 15}, {30, 0},  {30, 10}, {0, 10},
                                          {0, 20},  {30, 20}, {30, 30}};
inline constexpr int kWidth = 61;
inline constexpr int kHeight = 31;
// The tip, which the baseline puts on the centre of the work area.
inline constexpr ShapePoint kTip = {60, 15};
// The fill, as 0x00BBGGRR.
inline constexpr unsigned kColor = 0x000000FF;

}  // namespace qd::baseline
