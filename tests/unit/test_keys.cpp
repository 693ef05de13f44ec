#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "fake_window_system.h"
#include "framework/strings.h"
#include "model/shape.h"
#include "model/tables.h"
#include "program_fixture.h"
#include "window/UnitMain.h"
#include "window/help_texts.h"

namespace qd {
namespace {

constexpr TColor kScreenColor = 0x00123456;

enum class Input {
  WheelForward,
  WheelBackward,
  WheelZero,
  Left,
  Up,
  Right,
  Down,
  F1,
  F2,
  F3,
  EscChar,
  SpaceChar,
  DoubleClick,
};

const char* Name(Input input) {
  constexpr const char* kNames[] = {"wheel forward", "wheel backward", "wheel zero",  "Left", "Up",
                                    "Right",         "Down",           "F1",          "F2",   "F3",
                                    "Esc",           "space",          "double-click"};
  return kNames[static_cast<int>(input)];
}

// Inputs that come without a shift state of their own.
bool HasShiftState(Input input) {
  return input != Input::EscChar && input != Input::SpaceChar && input != Input::DoubleClick;
}

enum class Effect {
  None,
  TurnCounterClockwise,
  TurnClockwise,
  Grow,
  Shrink,
  NextColor,
  PreviousColor,
  MoreOpaque,
  LessOpaque,
  Help,
  ColorDialog,
  ToggleLock,
  Exit,
  BlackWhite,
  Pick,
};

enum class Ending { Nothing, Repaint, ShapeBuild };

// The inputs and their effects at a glance. Every pair not listed does nothing.
struct GlanceRow {
  Input input;
  TShiftState shift;
  Effect effect;
  bool blockedByLock;
  Ending ending;
};

const TShiftState kNone{};

const GlanceRow kGlance[] = {
    {Input::WheelForward, kNone, Effect::TurnCounterClockwise, false, Ending::ShapeBuild},
    {Input::Left, kNone, Effect::TurnCounterClockwise, false, Ending::ShapeBuild},
    {Input::Down, kNone, Effect::TurnCounterClockwise, false, Ending::ShapeBuild},
    {Input::WheelBackward, kNone, Effect::TurnClockwise, false, Ending::ShapeBuild},
    {Input::WheelZero, kNone, Effect::TurnClockwise, false, Ending::ShapeBuild},
    {Input::Up, kNone, Effect::TurnClockwise, false, Ending::ShapeBuild},
    {Input::Right, kNone, Effect::TurnClockwise, false, Ending::ShapeBuild},

    {Input::WheelForward, ssShift, Effect::Grow, true, Ending::ShapeBuild},
    {Input::WheelZero, ssShift, Effect::Grow, true, Ending::ShapeBuild},
    {Input::Up, ssShift, Effect::Grow, true, Ending::ShapeBuild},
    {Input::Right, ssShift, Effect::Grow, true, Ending::ShapeBuild},
    {Input::WheelBackward, ssShift, Effect::Shrink, true, Ending::ShapeBuild},
    {Input::Left, ssShift, Effect::Shrink, true, Ending::ShapeBuild},
    {Input::Down, ssShift, Effect::Shrink, true, Ending::ShapeBuild},

    {Input::WheelForward, ssCtrl, Effect::NextColor, true, Ending::Repaint},
    {Input::Up, ssCtrl, Effect::NextColor, true, Ending::Repaint},
    {Input::Right, ssCtrl, Effect::NextColor, true, Ending::Repaint},
    {Input::WheelBackward, ssCtrl, Effect::PreviousColor, true, Ending::Repaint},
    {Input::WheelZero, ssCtrl, Effect::PreviousColor, true, Ending::Repaint},
    {Input::Left, ssCtrl, Effect::PreviousColor, true, Ending::Repaint},
    {Input::Down, ssCtrl, Effect::PreviousColor, true, Ending::Repaint},

    {Input::WheelForward, ssAlt, Effect::MoreOpaque, true, Ending::Repaint},
    {Input::WheelZero, ssAlt, Effect::MoreOpaque, true, Ending::Repaint},
    {Input::Up, ssAlt, Effect::MoreOpaque, true, Ending::Repaint},
    {Input::Right, ssAlt, Effect::MoreOpaque, true, Ending::Repaint},
    {Input::WheelBackward, ssAlt, Effect::LessOpaque, true, Ending::Repaint},
    {Input::Left, ssAlt, Effect::LessOpaque, true, Ending::Repaint},
    {Input::Down, ssAlt, Effect::LessOpaque, true, Ending::Repaint},

    {Input::F1, kNone, Effect::Help, false, Ending::Nothing},
    {Input::F2, kNone, Effect::ColorDialog, false, Ending::Repaint},
    {Input::F3, kNone, Effect::ToggleLock, false, Ending::Nothing},
    {Input::EscChar, kNone, Effect::Exit, false, Ending::Nothing},
    {Input::SpaceChar, kNone, Effect::BlackWhite, true, Ending::Repaint},
    {Input::DoubleClick, kNone, Effect::Pick, true, Ending::Repaint},
};

// What the user sees of the program: the window, the boxes and dialogs it opened, whether
// it ended, and the settings it saved.
struct Observed {
  TColor fill = 0;
  int alpha = 0;
  bool quit = false;
  std::vector<std::string> boxes;
  int colorDialogs = 0;
  test::LoadedPointer saved;
  friend bool operator==(const Observed&, const Observed&) = default;
};

std::ostream& operator<<(std::ostream& os, const Observed& o) {
  os << "fill " << test::ColorText(o.fill) << " alpha " << o.alpha << (o.quit ? " quit" : "")
     << " boxes " << o.boxes.size() << " dialogs " << o.colorDialogs << " saved " << o.saved;
  return os;
}

Observed Apply(Observed o, Effect effect) {
  const auto color = [&](TColor c) {
    o.fill = o.saved.color = c;
    o.saved.colorIndex = PaletteIndexOf(c);
  };
  const auto opacity = [&](int index) {
    o.saved.alpha = index;
    o.alpha = AlphaTable[static_cast<std::size_t>(index)];
  };
  switch (effect) {
    case Effect::None:
      break;
    case Effect::TurnCounterClockwise:
      ++o.saved.orientation;
      break;
    case Effect::TurnClockwise:
      --o.saved.orientation;
      break;
    case Effect::Grow:
      ++o.saved.size;
      break;
    case Effect::Shrink:
      --o.saved.size;
      break;
    case Effect::NextColor:
      color(ColorPalette[static_cast<std::size_t>(o.saved.colorIndex + 1)]);
      break;
    case Effect::PreviousColor:
      color(ColorPalette[static_cast<std::size_t>(o.saved.colorIndex - 1)]);
      break;
    case Effect::MoreOpaque:
      opacity(o.saved.alpha + 1);
      break;
    case Effect::LessOpaque:
      opacity(o.saved.alpha - 1);
      break;
    case Effect::Help:
      o.boxes.push_back("Quiverdart|" + Windows1252ToUtf8(HelpText(TUiLanguage::English)));
      break;
    case Effect::ColorDialog:
      ++o.colorDialogs;
      color(ColorPalette[8]);  // as chosen in the dialog
      break;
    case Effect::ToggleLock:
      o.saved.locked = !o.saved.locked;
      break;
    case Effect::Exit:
      o.quit = true;
      break;
    case Effect::BlackWhite:
      color(clBlack);
      break;
    case Effect::Pick:
      color(kScreenColor);
      break;
  }
  return o;
}

// A settings file with these lines in its pointer section.
std::string PointerSection(const std::string& lines) { return "[Pointer]\r\n" + lines; }

class KeysTest : public test::ProgramTest {
 protected:
  // Mid-range settings, so that every step has room both ways.
  void RestartMidRange(bool locked) {
    Restart(
        PointerSection("TipPosX=700\r\nTipPosY=400\r\nOrientation=5\r\nSize=10\r\nColorIndex=3\r\n"
                       "AlphaBlendIndex=10\r\nEscTerminates=1\r\nSettingsLocked=" +
                       std::string(locked ? "1" : "0") + "\r\n"));
  }

  // Ends the program.
  Observed Observe() {
    Observed o{ws.window.fill,
               ws.window.alpha,
               !ws.Calls("PostQuit").empty(),
               ws.messageBoxes,
               static_cast<int>(ws.Calls("ChooseColor").size()),
               {}};
    o.saved = Saved();
    return o;
  }
  // The window shows the arrow of the saved settings, its tip on the saved tip position.
  void ExpectShapeOf(const test::LoadedPointer& saved) {
    PointerSettings s;
    s.TipPosX = saved.x;
    s.TipPosY = saved.y;
    s.Size = saved.size;
    s.Orientation = saved.orientation;
    const PointerGeometry g = ComputePointerGeometry(BaseUnitFor(1920, 1080), s);
    EXPECT_EQ(ws.window.region,
              std::vector<TPoint>(g.PointerPolygon.begin(), g.PointerPolygon.begin() + 7));
    EXPECT_EQ(ws.window.bounds, (TRect{g.WindowLeft, g.WindowTop, g.WindowLeft + g.WindowWidth,
                                       g.WindowTop + g.WindowHeight}));
  }

  Ending EndingSeen() const {
    if (!ws.Calls("CreatePolygonRegion").empty()) {
      return Ending::ShapeBuild;
    }
    if (!ws.Calls("FillRect").empty()) {
      return Ending::Repaint;
    }
    return Ending::Nothing;
  }

  void Wheel(TShiftState shift, int delta) {
    ws.events->FormMainOnMouseWheel(shift, delta, {640, 480});
  }
  void KeyDown(std::uint16_t key, TShiftState shift = {}) {
    ws.events->FormMainOnKeyDown(key, shift);
  }
  void KeyPress(char ch) { ws.events->FormMainOnKeyPress(ch); }

  void Deliver(Input input, TShiftState shift) {
    switch (input) {
      case Input::WheelForward:
        return Wheel(shift, 120);
      case Input::WheelBackward:
        return Wheel(shift, -120);
      case Input::WheelZero:
        return Wheel(shift, 0);
      case Input::Left:
        return KeyDown(kKeyLeft, shift);
      case Input::Up:
        return KeyDown(kKeyUp, shift);
      case Input::Right:
        return KeyDown(kKeyRight, shift);
      case Input::Down:
        return KeyDown(kKeyDown, shift);
      case Input::F1:
        return KeyDown(kKeyF1, shift);
      case Input::F2:
        return KeyDown(kKeyF2, shift);
      case Input::F3:
        return KeyDown(kKeyF3, shift);
      case Input::EscChar:
        return KeyPress('\x1B');
      case Input::SpaceChar:
        return KeyPress(' ');
      case Input::DoubleClick:
        return ws.events->FormMainOnDblClick();
    }
  }
};

TEST_F(KeysTest, EveryInputShiftStateAndLock) {
  const Input inputs[] = {
      Input::WheelForward, Input::WheelBackward, Input::WheelZero,  Input::Left, Input::Up,
      Input::Right,        Input::Down,          Input::F1,         Input::F2,   Input::F3,
      Input::EscChar,      Input::SpaceChar,     Input::DoubleClick};
  const TShiftState shifts[] = {
      kNone,
      ssShift,
      ssCtrl,
      ssAlt,
      ssShift + ssCtrl,
      ssShift + ssAlt,
      ssCtrl + ssAlt,
      TShiftState(ssShift) + ssCtrl + ssAlt,
      ssLeft,
      ssShift + ssLeft,
      ssCtrl + ssLeft,
      ssAlt + ssLeft,
      ssRight,
      ssMiddle,
  };
  ws.screenPixel = [](TPoint) { return kScreenColor; };
  ws.chooseColor = [](TColor& color, std::array<TColor, 16>&) {
    color = ColorPalette[8];
    return true;
  };
  int cases = 0;
  for (const Input input : inputs) {
    for (const TShiftState shift : shifts) {
      if (!HasShiftState(input) && !shift.Empty()) {
        continue;
      }
      for (const bool locked : {false, true}) {
        SCOPED_TRACE(testing::Message() << Name(input) << ", shift bits " << int{shift.Bits()}
                                        << (locked ? ", locked" : ", unlocked"));
        RestartMidRange(locked);
        const Observed before{ColorPalette[3],
                              AlphaTable[10],
                              false,
                              {},
                              0,
                              {locked, true, 700, 400, 10, 5, ColorPalette[3], 3, 10}};
        const auto row =
            std::find_if(std::begin(kGlance), std::end(kGlance),
                         [&](const GlanceRow& r) { return r.input == input && r.shift == shift; });
        const bool acts = row != std::end(kGlance) && !(locked && row->blockedByLock);
        Deliver(input, shift);
        ++cases;

        EXPECT_EQ(EndingSeen(), acts ? row->ending : Ending::Nothing);
        const Observed seen = Observe();
        EXPECT_EQ(seen, Apply(before, acts ? row->effect : Effect::None));
        ExpectShapeOf(seen.saved);
      }
    }
  }
  EXPECT_EQ(cases, 2 * (10 * 14 + 3));
}

struct ColorStepCase {
  const char* what;
  int colorIndex;           // in the settings file; -1 with the screen colour
  std::vector<int> deltas;  // Ctrl wheel steps; 0 for the space bar
  TColor endColor;
};

TEST_F(KeysTest, ColorStepsAndTheBlackAndWhiteRule) {
  const ColorStepCase cases[] = {
      {"11 forward wraps to 0", 11, {120}, ColorPalette[0]},
      {"0 backward wraps to 11", 0, {-120}, ColorPalette[11]},
      {"around the palette", 4, std::vector<int>(12, 120), ColorPalette[4]},
      {"-1 forward gives 0", -1, {120}, ColorPalette[0]},
      {"-1 backward gives 0", -1, {-120}, ColorPalette[0]},
      {"-1 then on", -1, {-120, -120}, ColorPalette[11]},
      {"space twice makes white", 7, {0, 0}, clWhite},
      {"space three times makes black", 7, {0, 0, 0}, clBlack},
      {"black returns to its index first", 7, {0, 120}, ColorPalette[7]},
      {"black, then on", 7, {0, 120, 120}, ColorPalette[8]},
      {"white returns to its index first", 7, {0, 0, -120}, ColorPalette[7]},
      {"white, then back", 7, {0, 0, -120, -30}, ColorPalette[6]},
      {"black with no index stays black", -1, {0, 120, -120}, clBlack},
      {"white with no index stays white", -1, {0, 0, 120}, clWhite},
  };
  for (const ColorStepCase& c : cases) {
    SCOPED_TRACE(c.what);
    Restart(PointerSection("ColorIndex=" + std::to_string(c.colorIndex) +
                           "\r\nColor=" + std::to_string(kScreenColor) + "\r\n"));
    for (const int delta : c.deltas) {
      ws.ClearLog();
      if (delta == 0) {
        KeyPress(' ');
      } else {
        Wheel(ssCtrl, delta);
      }
      // Every step repaints, also when the colour stays.
      EXPECT_EQ(EndingSeen(), Ending::Repaint);
    }
    EXPECT_EQ(test::ColorText(ws.window.fill), test::ColorText(c.endColor));
  }
}

struct OpacityCase {
  const char* what;
  int index;                // in the settings file
  std::vector<int> deltas;  // Alt wheel steps; kMiddle for a middle-button press
  int alpha;                // of the window
  bool layered;
  int endIndex;  // the opacity to return to
};

constexpr int kMiddle = 1;

TEST_F(KeysTest, OpacityStepsAndTheFadedOutRule) {
  const OpacityCase cases[] = {
      {"after a fade-out, backward keeps the index to return to", 15, {kMiddle, -120}, 2, true, 15},
      {"after a fade-out, forward starts again from 1", 15, {kMiddle, 120}, 2, true, 1},
      {"after a fade-out, zero counts forward", 15, {kMiddle, 0}, 2, true, 1},
      {"3 shows 4", 8, std::vector<int>(5, -120), 4, true, 3},
      {"down to 0: index 2 shows 2", 8, std::vector<int>(6, -120), 2, true, 2},
      {"index 1", 8, std::vector<int>(7, -120), 2, true, 1},
      {"index 0", 8, std::vector<int>(8, -120), 2, true, 0},
      {"0 stops", 8, std::vector<int>(9, -120), 2, true, 0},
      {"18 shows 192", 17, {120}, 192, true, 18},
      {"22 is opaque without translucency", 21, {120}, 255, false, 22},
      {"22 stops", 21, {120, 120}, 255, false, 22},
      {"back from 22 is translucent again", 21, {120, -120}, 240, true, 21},
  };
  for (const OpacityCase& c : cases) {
    SCOPED_TRACE(c.what);
    Restart(PointerSection("AlphaBlendIndex=" + std::to_string(c.index) + "\r\n"));
    for (const int delta : c.deltas) {
      ws.ClearLog();
      if (delta == kMiddle) {
        ws.events->FormMainOnMouseDown(TMouseButton::mbMiddle, ssMiddle, 5, 5);
        continue;
      }
      Wheel(ssAlt, delta);
      EXPECT_EQ(EndingSeen(), Ending::Repaint);
    }
    EXPECT_EQ(ws.window.alpha, c.alpha);
    EXPECT_EQ(ws.window.layered, c.layered);
    EXPECT_EQ(Saved().alpha, c.endIndex);
  }
}

struct RangeCase {
  const char* what;
  TShiftState shift;
  int start;
  std::vector<std::uint16_t> keys;  // cursor keys, or 0 for a forward wheel step, 1 backward
  int end;
};

TEST_F(KeysTest, OrientationWrapsAndSizeStopsStillRebuilding) {
  const RangeCase cases[] = {
      {"orientation 23 forward", kNone, 23, {0}, 0},
      {"orientation 0 backward", kNone, 0, {1}, 23},
      {"orientation 23, Left", kNone, 23, {kKeyLeft}, 0},
      {"orientation 23, Down", kNone, 23, {kKeyDown}, 0},
      {"orientation 0, Up", kNone, 0, {kKeyUp}, 23},
      {"orientation 0, Right", kNone, 0, {kKeyRight}, 23},
      {"a whole turn", kNone, 7, std::vector<std::uint16_t>(24, kKeyLeft), 7},
      {"size 24 forward", ssShift, 24, {0}, 24},
      {"size 24, Up", ssShift, 24, {kKeyUp}, 24},
      {"size 1 backward", ssShift, 1, {1}, 1},
      {"size 1, Left", ssShift, 1, {kKeyLeft}, 1},
      {"size 23, twice up", ssShift, 23, {kKeyRight, kKeyUp}, 24},
  };
  for (const RangeCase& c : cases) {
    SCOPED_TRACE(c.what);
    Restart(PointerSection((c.shift.Empty() ? "Orientation=" : "Size=") + std::to_string(c.start) +
                           "\r\n"));
    for (const std::uint16_t key : c.keys) {
      ws.ClearLog();
      if (key <= 1) {
        Wheel(c.shift, key == 0 ? 120 : -120);
      } else {
        KeyDown(key, c.shift);
      }
      EXPECT_EQ(EndingSeen(), Ending::ShapeBuild);
    }
    const test::LoadedPointer saved = Saved();
    EXPECT_EQ(c.shift.Empty() ? saved.orientation : saved.size, c.end);
    ExpectShapeOf(saved);
  }
}

TEST_F(KeysTest, EscEndsTheProgramOnlyWhileAllowed) {
  struct Case {
    bool escTerminates;
    char ch;
    bool ends;
  };
  const Case cases[] = {{true, '\x1B', true},
                        {false, '\x1B', false},
                        {true, 'q', false},
                        {true, '\r', false},
                        {true, '\x03', false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << int{c.ch} << " esc " << c.escTerminates);
    Restart(PointerSection(c.escTerminates ? "EscTerminates=1\r\n" : "EscTerminates=0\r\n"));
    KeyPress(c.ch);
    EXPECT_EQ(ws.Calls("PostQuit").size(), c.ends ? 1U : 0U);
    EXPECT_EQ(EndingSeen(), Ending::Nothing);
  }
}

TEST_F(KeysTest, DoubleClickHidesWaitsReadsThePixelAtTheCursorRepaintsAndShows) {
  struct Case {
    TColor pixel;
    TColor picked;
  };
  const Case cases[] = {{kScreenColor, kScreenColor},
                        {0xFFFFFFFF, ColorPalette[3]}};  // unreadable: the colour stays
  for (const Case& c : cases) {
    SCOPED_TRACE(test::ColorText(c.pixel));
    Restart(PointerSection("ColorIndex=3\r\n"));
    ws.cursorPos = {701, 302};
    ws.screenPixel = [&](TPoint p) { return p == TPoint{701, 302} ? c.pixel : 0x00FF00FF; };
    ws.onProcessMessages = [this] { ws.log.push_back("nested handler"); };
    ws.events->FormMainOnDblClick();
    // Off the screen, and the screen redrawn beneath, before the pixel is read.
    const std::vector<std::string> order = {"HideAppWindow", "nested handler",
                                            "WaitForTimer",  "GetScreenPixel 701 302",
                                            "FillRect",      "ShowAppWindow"};
    std::vector<std::string> seen;
    for (const std::string& line : ws.log) {
      for (const std::string& event : order) {
        if (line.starts_with(event)) {
          seen.push_back(event);
        }
      }
    }
    EXPECT_EQ(seen, order);
    EXPECT_EQ(ws.window.fill, c.picked);
    EXPECT_TRUE(ws.window.visible);
    // The pick leaves the palette position alone.
    Wheel(ssCtrl, 120);
    EXPECT_EQ(ws.window.fill, ColorPalette[4]);
  }
}

}  // namespace
}  // namespace qd
