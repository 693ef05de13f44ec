// The look of a menu item's glyph: the colour of its lower-left pixel is the key, the
// background that must not show as a square.
#pragma once

#include <cstdint>
#include <vector>

#include "framework/win32/win32.h"

namespace qd::win32 {

// Pixels are 0xAARRGGBB, rows top-down. Themed menus blend an item's 32-bit bitmap by its
// premultiplied alpha: key pixels become fully transparent there (alpha and colour 0).
// Classic and high-contrast menus show the bitmap as it is: key pixels take the menu colour.
// Every other pixel is opaque.
void KeyOutMenuGlyph(std::vector<std::uint32_t>& pixels, int width, int height, bool themed,
                     COLORREF menuColor);

// Whether popup menus are drawn by the visual style now: not in high contrast, and not
// with the classic look.
bool ThemedMenus();

}  // namespace qd::win32
