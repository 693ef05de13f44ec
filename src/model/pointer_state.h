// The one pointer state of the program: the settings that define the arrow, the values
// derived from them, and the flags the input handlers consult. Every layer reads and
// writes the fields directly; there is exactly one instance, `Pointer`.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "framework/types.h"

namespace qd {

enum class TUiLanguage : std::uint8_t { English = 0, German = 1 };

inline constexpr int kMinSize = 1;
inline constexpr int kMaxSize = 24;
inline constexpr int kOrientationSteps = 24;
inline constexpr int kPaletteCount = 12;
inline constexpr int kAlphaCount = 23;
inline constexpr int kTopAlphaIndex = 22;

// Cursor zones of the mouse within the window's bounding rectangle.
inline constexpr std::uint8_t kZoneNone = 0;
inline constexpr std::uint8_t kZoneInner = 13;

struct PointerState {
  // Settings, stored under these names.
  std::int32_t TipPosX = 0;
  std::int32_t TipPosY = 0;
  std::int32_t Size = 0;
  std::int32_t Orientation = 0;
  std::int32_t ColorIndex = 0;
  std::int32_t AlphaBlendIndex = 0;
  bool SettingsLocked = false;
  bool EscTerminates = false;

  // Run-time fields.
  std::int32_t CurrentAlphaIndex = 0;
  bool FadedOut = false;
  std::int32_t PreviousSize = 0;
  double Scale = 0.0;
  bool ShapeReady = false;
  std::uint8_t CursorZone = 0;
  std::uint8_t LastCursorZone = 0;
  TPoint DragStartCursor;
  TPoint DragStartWindow;  // left, top
  TPoint DragStartTip;

  // Screen and geometry.
  std::int32_t WorkAreaWidth = 0;
  std::int32_t WorkAreaHeight = 0;
  std::int32_t DefaultTipPosX = 0;
  std::int32_t DefaultTipPosY = 0;
  std::int32_t BaseUnit = 0;
  std::array<TPoint, 7> BasePolygon{};
  std::array<TPoint, 8> PointerPolygon{};
  std::int32_t WindowLeft = 0;
  std::int32_t WindowTop = 0;
  std::int32_t WindowWidth = 0;
  std::int32_t WindowHeight = 0;
  double Angle = 0.0;
  double CosAngle = 0.0;
  double SinAngle = 0.0;
  double ScaleRatio = 0.0;
  std::array<double, kMaxSize + 1> ScaleTable{};  // indexes 1..24; 0 unused

  // Fixed at start-up.
  std::string ExePath;
  std::string ExeBaseName;
  std::string SettingsFilePath;
  std::string DefaultCustomColor;
  TUiLanguage UiLanguage = TUiLanguage::English;
  std::uint16_t UserLanguageId = 0;
};

extern PointerState Pointer;

}  // namespace qd
