// Plain value types shared by every layer.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace qd {

// 0x00BBGGRR, red in the low byte: the window system's colour format.
using TColor = std::uint32_t;
inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clWhite = 0xFFFFFF;

// The colour dialog's sixteen custom colours, each as the hexadecimal text it is stored as.
using TCustomColors = std::array<std::string, 16>;

struct TPoint {
  std::int32_t x = 0;
  std::int32_t y = 0;
  friend bool operator==(const TPoint&, const TPoint&) = default;
};

struct TRect {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;
  friend bool operator==(const TRect&, const TRect&) = default;
};

// Pixels with an alpha value each, lent by their owner: rows top-down, each pixel 0xAARRGGBB
// with red, green and blue already multiplied by the alpha (never above it); width x height
// of them, or none.
struct PixelView {
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::span<std::uint32_t> pixels;
};

// One display monitor in screen coordinates: monitors left of or above the primary have
// negative ones.
struct MonitorInfo {
  TRect bounds;
  TRect workArea;
  bool primary = false;
  // Dots per inch as the system scales this monitor: 96 at 100 %, 144 at 150 %.
  std::uint32_t dpi = 96;
  friend bool operator==(const MonitorInfo&, const MonitorInfo&) = default;
};

enum class TMouseButton : std::uint8_t { mbLeft, mbRight, mbMiddle };

enum TShiftStateElement : std::uint8_t {
  ssShift = 1U << 0U,
  ssAlt = 1U << 1U,
  ssCtrl = 1U << 2U,
  ssLeft = 1U << 3U,
  ssRight = 1U << 4U,
  ssMiddle = 1U << 5U,
  ssDouble = 1U << 6U,
};

// The set of modifier keys and mouse buttons that comes with an input event.
class TShiftState {
 public:
  constexpr TShiftState() = default;
  constexpr TShiftState(TShiftStateElement element) : bits_(element) {}  // NOLINT: a set of one
  [[nodiscard]] constexpr bool Contains(TShiftStateElement element) const {
    return (bits_ & element) != 0;
  }
  [[nodiscard]] constexpr bool Empty() const { return bits_ == 0; }
  [[nodiscard]] constexpr std::uint8_t Bits() const { return bits_; }
  constexpr TShiftState operator+(TShiftState other) const { return FromBits(bits_ | other.bits_); }
  constexpr TShiftState operator-(TShiftState other) const {
    return FromBits(static_cast<std::uint8_t>(bits_ & ~other.bits_));
  }
  friend constexpr bool operator==(TShiftState, TShiftState) = default;

  static constexpr TShiftState FromBits(unsigned bits) {
    TShiftState s;
    s.bits_ = static_cast<std::uint8_t>(bits & 0x7FU);
    return s;
  }

 private:
  std::uint8_t bits_ = 0;
};

constexpr TShiftState operator+(TShiftStateElement a, TShiftStateElement b) {
  return TShiftState(a) + TShiftState(b);
}

// Modifiers of a system-wide hotkey.
inline constexpr unsigned kHotKeyAlt = 1;
inline constexpr unsigned kHotKeyCtrl = 2;
inline constexpr unsigned kHotKeyShift = 4;
inline constexpr unsigned kHotKeyWin = 8;

// Virtual-key codes the program looks at.
inline constexpr std::uint16_t kKeyShift = 16;
inline constexpr std::uint16_t kKeyControl = 17;
inline constexpr std::uint16_t kKeyEscape = 27;
inline constexpr std::uint16_t kKeyLeft = 37;
inline constexpr std::uint16_t kKeyUp = 38;
inline constexpr std::uint16_t kKeyRight = 39;
inline constexpr std::uint16_t kKeyDown = 40;
inline constexpr std::uint16_t kKeyF1 = 112;
inline constexpr std::uint16_t kKeyF2 = 113;
inline constexpr std::uint16_t kKeyF3 = 114;
inline constexpr std::uint16_t kKeyF4 = 115;

}  // namespace qd
