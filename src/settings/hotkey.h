// The hotkey that brings the arrow to the mouse pointer, as the user may write it in the
// settings file: modifiers joined by '+', then one key, e.g. "Ctrl+Alt+F8"; "Off" switches
// it off.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "framework/types.h"

namespace qd {

struct HotKey {
  unsigned modifiers = 0;  // kHotKey* bits
  std::uint16_t key = 0;   // virtual-key code; 0 when switched off
  friend bool operator==(const HotKey&, const HotKey&) = default;
};

// AltGr arrives as Ctrl+Alt, but gives no character with a function key on German or
// English layouts; F1 to F5, F9 to F12 are taken by this program, Windows or Office.
inline constexpr HotKey kDefaultArrowToPointer{kHotKeyCtrl | kHotKeyAlt, 0x77};
inline constexpr std::string_view kDefaultArrowToPointerText = "Ctrl+Alt+F8";

// Case and blanks around the parts do not matter. Modifiers: Ctrl (Control), Alt, Shift,
// Win, each once, at least one of Ctrl, Alt and Win. Keys: A-Z, 0-9, F1-F24, Space,
// Insert, Delete, Home, End, PageUp, PageDown, Left, Up, Right, Down, Pause. "Off" or
// nothing: a HotKey with key 0. Anything else: none.
std::optional<HotKey> ParseHotKey(std::string_view text);

}  // namespace qd
