// Where the mouse is within the window's bounding rectangle.
#pragma once

#include <cstdint>

namespace qd {

// Zone code for window-relative X, Y in a window of the given size: 1 to 8 for the
// strips and corners within 8 pixels of the edges, 13 for the inner area; 1 whenever
// the Shift key is down. Never 0.
std::uint8_t ComputeCursorZone(bool ShiftDown, std::int32_t X, std::int32_t Y,
                               std::int32_t width, std::int32_t height);

}  // namespace qd
