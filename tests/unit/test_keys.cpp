#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "fake_window_system.h"
#include "framework/strings.h"
#include "model/tables.h"
#include "program_fixture.h"
#include "window/UnitMain.h"
#include "window/help_texts.h"

namespace qd {
namespace {

constexpr char kSettingsPath[] = "C:\\Tools\\Quiverdart.ini";
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
  constexpr const char* kNames[] = {"wheel forward", "wheel backward", "wheel zero", "Left",
                                    "Up",            "Right",          "Down",       "F1",
                                    "F2",            "F3",             "Esc",        "space",
                                    "double-click"};
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
    {Input::F2, kNone, Effect::ColorDialog, false, Ending::Nothing},
    {Input::F3, kNone, Effect::ToggleLock, false, Ending::Nothing},
    {Input::EscChar, kNone, Effect::Exit, false, Ending::Nothing},
    {Input::SpaceChar, kNone, Effect::BlackWhite, true, Ending::Repaint},
    {Input::DoubleClick, kNone, Effect::Pick, true, Ending::Repaint},
};

struct Observed {
  int orientation = 0;
  int size = 0;
  int colorIndex = 0;
  TColor color = 0;
  int currentAlpha = 0;
  int blendIndex = 0;
  bool fadedOut = false;
  int alphaValue = 0;
  bool locked = false;
  bool terminated = false;
  int helpBoxes = 0;
  int colorDialogs = 0;
  friend bool operator==(const Observed&, const Observed&) = default;
};

std::ostream& operator<<(std::ostream& os, const Observed& o) {
  return os << "orientation " << o.orientation << " size " << o.size << " index "
            << o.colorIndex << " color " << test::ColorText(o.color) << " alpha "
            << o.currentAlpha << "/" << o.blendIndex << (o.fadedOut ? " faded" : "")
            << " value " << o.alphaValue << (o.locked ? " locked" : "")
            << (o.terminated ? " terminated" : "") << " help " << o.helpBoxes << " dialogs "
            << o.colorDialogs;
}

class KeysTest : public test::ProgramTest {
 protected:
  // A started program with mid-range settings, so that every step has room both ways.
  void StartWith(const std::string& pointerSection) {
    sys.files[kSettingsPath] = "[Pointer]\r\n" + pointerSection;
    Start();
  }
  void StartMidRange(bool locked) {
    StartWith("Orientation=5\r\nSize=10\r\nColorIndex=3\r\nAlphaBlendIndex=10\r\n"
              "EscTerminates=1\r\nSettingsLocked=" +
              std::string(locked ? "1" : "0") + "\r\n");
  }
  void Restart(bool locked) {
    TearDown();
    sys.files.clear();
    ws.messageBoxes.clear();
    ws.ClearLog();
    SetUp();
    StartMidRange(locked);
  }

  Observed Observe() const {
    return {form->Settings.Orientation,
            form->Settings.Size,
            form->Settings.ColorIndex,
            form->Color(),
            form->CurrentAlphaIndex,
            form->Settings.AlphaBlendIndex,
            form->FadedOut,
            form->AlphaBlendValue(),
            form->Settings.SettingsLocked,
            app->Terminated(),
            static_cast<int>(ws.Calls("MessageBox ").size()),
            static_cast<int>(ws.Calls("ChooseColor").size())};
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

  void Wheel(TShiftState shift, int delta) { ws.events->OnMouseWheel(shift, delta, {640, 480}); }
  void KeyDown(std::uint16_t key, TShiftState shift = {}) { ws.events->OnKeyDown(key, shift); }
  void KeyPress(char ch) { ws.events->OnKeyPress(ch); }

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
        return ws.events->OnDblClick();
    }
  }
};

Observed Apply(Observed o, Effect effect) {
  switch (effect) {
    case Effect::None:
      break;
    case Effect::TurnCounterClockwise:
      ++o.orientation;
      break;
    case Effect::TurnClockwise:
      --o.orientation;
      break;
    case Effect::Grow:
      ++o.size;
      break;
    case Effect::Shrink:
      --o.size;
      break;
    case Effect::NextColor:
      o.color = ColorPalette[static_cast<std::size_t>(++o.colorIndex)];
      break;
    case Effect::PreviousColor:
      o.color = ColorPalette[static_cast<std::size_t>(--o.colorIndex)];
      break;
    case Effect::MoreOpaque:
      o.blendIndex = ++o.currentAlpha;
      o.alphaValue = AlphaTable[static_cast<std::size_t>(o.currentAlpha)];
      break;
    case Effect::LessOpaque:
      o.blendIndex = --o.currentAlpha;
      o.alphaValue = AlphaTable[static_cast<std::size_t>(o.currentAlpha)];
      break;
    case Effect::Help:
      ++o.helpBoxes;
      break;
    case Effect::ColorDialog:
      ++o.colorDialogs;
      break;
    case Effect::ToggleLock:
      o.locked = !o.locked;
      break;
    case Effect::Exit:
      o.terminated = true;
      break;
    case Effect::BlackWhite:
      o.color = clBlack;
      break;
    case Effect::Pick:
      o.color = kScreenColor;
      break;
  }
  return o;
}

TEST_F(KeysTest, EveryInputShiftStateAndLock) {
  const Input inputs[] = {Input::WheelForward, Input::WheelBackward, Input::WheelZero,
                          Input::Left,         Input::Up,            Input::Right,
                          Input::Down,         Input::F1,            Input::F2,
                          Input::F3,           Input::EscChar,       Input::SpaceChar,
                          Input::DoubleClick};
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
  int cases = 0;
  for (const Input input : inputs) {
    for (const TShiftState shift : shifts) {
      if (!HasShiftState(input) && !shift.Empty()) {
        continue;
      }
      for (const bool locked : {false, true}) {
        SCOPED_TRACE(testing::Message() << Name(input) << ", shift bits " << int{shift.Bits()}
                                        << (locked ? ", locked" : ", unlocked"));
        Restart(locked);
        const Observed before = Observe();
        ASSERT_EQ(before.colorIndex, 3);
        ASSERT_EQ(before.color, ColorPalette[3]);
        ASSERT_EQ(before.currentAlpha, 10);

        const auto row = std::find_if(std::begin(kGlance), std::end(kGlance),
                                      [&](const GlanceRow& r) {
                                        return r.input == input && r.shift == shift;
                                      });
        const bool acts = row != std::end(kGlance) && !(locked && row->blockedByLock);
        Deliver(input, shift);
        ++cases;

        EXPECT_EQ(Observe(), Apply(before, acts ? row->effect : Effect::None));
        EXPECT_EQ(EndingSeen(), acts ? row->ending : Ending::Nothing);
        if (!acts) {
          EXPECT_EQ(ws.Calls("Invalidate").size(), 0U);
          EXPECT_EQ(ws.Calls("SetLayeredAlpha").size(), 0U);
          EXPECT_EQ(ws.Calls("HideAppWindow").size(), 0U);
          EXPECT_EQ(ws.Calls("PostQuit").size(), 0U);
        }
      }
    }
  }
  EXPECT_EQ(cases, 2 * (10 * 14 + 3));
}

struct ColorStepCase {
  const char* what;
  TColor color;
  int colorIndex;
  std::vector<int> deltas;  // Ctrl wheel steps; 0 for the space bar
  int endIndex;
  TColor endColor;
};

TEST_F(KeysTest, ColorStepsAndTheBlackAndWhiteRule) {
  StartMidRange(false);
  const ColorStepCase cases[] = {
      {"11 forward wraps to 0", ColorPalette[11], 11, {120}, 0, ColorPalette[0]},
      {"0 backward wraps to 11", ColorPalette[0], 0, {-120}, 11, ColorPalette[11]},
      {"around the palette", ColorPalette[4], 4, std::vector<int>(12, 120), 4, ColorPalette[4]},
      {"-1 forward gives 0", 0x00123456, -1, {120}, 0, ColorPalette[0]},
      {"-1 backward gives 0", 0x00123456, -1, {-120}, 0, ColorPalette[0]},
      {"-1 then on", 0x00123456, -1, {-120, -120}, 11, ColorPalette[11]},
      {"black returns to its index first", clBlack, 7, {120}, 7, ColorPalette[7]},
      {"black, then on", clBlack, 7, {120, 120}, 8, ColorPalette[8]},
      {"white returns to its index first", clWhite, 7, {-120}, 7, ColorPalette[7]},
      {"white, then back", clWhite, 7, {-120, -30}, 6, ColorPalette[6]},
      {"black with no index stays black", clBlack, -1, {120, -120}, -1, clBlack},
      {"white with no index stays white", clWhite, -1, {120}, -1, clWhite},
      {"space, then Ctrl brings back the palette colour", ColorPalette[3], 3, {0, 120}, 3,
       ColorPalette[3]},
      {"space, then two Ctrl steps", ColorPalette[3], 3, {0, 120, 120}, 4, ColorPalette[4]},
      {"space twice makes white", ColorPalette[3], 3, {0, 0}, 3, clWhite},
      {"space three times makes black", ColorPalette[3], 3, {0, 0, 0}, 3, clBlack},
      {"space on a picked colour", 0x00123456, -1, {0}, -1, clBlack},
  };
  for (const ColorStepCase& c : cases) {
    SCOPED_TRACE(c.what);
    form->Settings.ColorIndex = c.colorIndex;
    form->SetColor(c.color);
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
    EXPECT_EQ(form->Settings.ColorIndex, c.endIndex);
    EXPECT_EQ(form->Color(), c.endColor);
  }
}

struct OpacityCase {
  const char* what;
  int current;
  int blendIndex;
  bool fadedOut;
  std::vector<int> deltas;  // Alt wheel steps
  int endCurrent;
  int endBlendIndex;
  bool endFadedOut;
  int endValue;
  bool endBlended;
};

TEST_F(KeysTest, OpacityStepsAndTheFadedOutRule) {
  StartMidRange(false);
  const OpacityCase cases[] = {
      {"after a fade-out, backward keeps the index to return to", 0, 15, true, {-120}, 0, 15,
       true, 2, true},
      {"after a fade-out, forward starts again from 1", 0, 15, true, {120}, 1, 1, false, 2,
       true},
      {"after a fade-out, zero counts forward", 0, 15, true, {0}, 1, 1, false, 2, true},
      {"down to 0: indexes 2, 1, 0 all show 2", 3, 3, false, {-120}, 2, 2, false, 2, true},
      {"index 1", 3, 3, false, {-120, -120}, 1, 1, false, 2, true},
      {"index 0", 3, 3, false, {-120, -120, -120}, 0, 0, false, 2, true},
      {"0 stops", 3, 3, false, {-120, -120, -120, -120}, 0, 0, false, 2, true},
      {"3 shows 4", 2, 2, false, {120}, 3, 3, false, 4, true},
      {"22 is opaque without translucency", 21, 21, false, {120}, 22, 22, false, 255, false},
      {"22 stops", 21, 21, false, {120, 120}, 22, 22, false, 255, false},
      {"back from 22 is translucent again", 21, 21, false, {120, -120}, 21, 21, false, 240,
       true},
      {"18 shows 192", 17, 17, false, {120}, 18, 18, false, 192, true},
  };
  for (const OpacityCase& c : cases) {
    SCOPED_TRACE(c.what);
    form->CurrentAlphaIndex = c.current;
    form->Settings.AlphaBlendIndex = c.blendIndex;
    form->FadedOut = c.fadedOut;
    form->SetAlphaBlendValue(TFormMain::StepAlphaValue(c.current));
    form->SetAlphaBlend(true);
    for (const int delta : c.deltas) {
      ws.ClearLog();
      Wheel(ssAlt, delta);
      EXPECT_EQ(EndingSeen(), Ending::Repaint);
    }
    EXPECT_EQ(form->CurrentAlphaIndex, c.endCurrent);
    EXPECT_EQ(form->Settings.AlphaBlendIndex, c.endBlendIndex);
    EXPECT_EQ(form->FadedOut, c.endFadedOut);
    EXPECT_EQ(form->AlphaBlendValue(), c.endValue);
    EXPECT_EQ(form->AlphaBlend(), c.endBlended);
    if (!c.endBlended && c.deltas.size() == 1) {
      EXPECT_EQ(ws.Calls("SetLayered "), std::vector<std::string>{"SetLayered off"});
    }
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
  StartMidRange(false);
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
    int& field = c.shift.Empty() ? form->Settings.Orientation : form->Settings.Size;
    field = c.start;
    form->BuildPointerShape();
    for (const std::uint16_t key : c.keys) {
      ws.ClearLog();
      if (key <= 1) {
        Wheel(c.shift, key == 0 ? 120 : -120);
      } else {
        KeyDown(key, c.shift);
      }
      EXPECT_EQ(EndingSeen(), Ending::ShapeBuild);
    }
    EXPECT_EQ(field, c.end);
    EXPECT_EQ(form->Left() + form->Geometry.PointerPolygon[0].x, form->Settings.TipPosX);
  }
}

TEST_F(KeysTest, EscEndsTheProgramOnlyWhileAllowed) {
  struct Case {
    bool escTerminates;
    char ch;
    bool ends;
  };
  const Case cases[] = {{true, '\x1B', true},  {false, '\x1B', false}, {true, 'q', false},
                        {true, '\r', false},   {true, '\x03', false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << int{c.ch} << " esc " << c.escTerminates);
    TearDown();
    sys.files.clear();
    SetUp();
    StartWith(c.escTerminates ? "EscTerminates=1\r\n" : "EscTerminates=0\r\n");
    KeyPress(c.ch);
    EXPECT_EQ(app->Terminated(), c.ends);
    EXPECT_EQ(ws.Calls("PostQuit").size(), c.ends ? 1U : 0U);
    EXPECT_EQ(EndingSeen(), Ending::Nothing);
  }
}

TEST_F(KeysTest, FunctionKeysActOnlyWithoutModifiers) {
  StartMidRange(false);
  for (const std::uint16_t key : {kKeyF1, kKeyF2, kKeyF3}) {
    for (const TShiftState shift : {TShiftState(ssShift), TShiftState(ssCtrl),
                                    TShiftState(ssAlt), ssShift + ssCtrl}) {
      KeyDown(key, shift);
    }
  }
  EXPECT_EQ(ws.messageBoxes.size(), 0U);
  EXPECT_EQ(ws.Calls("ChooseColor").size(), 0U);
  EXPECT_FALSE(form->Settings.SettingsLocked);

  // F1 is the help action and F2 the colour action, also while the lock is on.
  form->Settings.SettingsLocked = true;
  KeyDown(kKeyF1);
  ASSERT_EQ(ws.messageBoxes.size(), 1U);
  EXPECT_EQ(ws.messageBoxes[0], "Quiverdart|" + Windows1252ToUtf8(HelpText(TUiLanguage::English)));
  ws.chooseColor = [](TColor& color, std::array<TColor, 16>&) {
    color = ColorPalette[8];
    return true;
  };
  KeyDown(kKeyF2);
  EXPECT_EQ(form->Color(), ColorPalette[8]);
  EXPECT_EQ(form->Settings.ColorIndex, 8);
  KeyDown(kKeyF3);
  EXPECT_FALSE(form->Settings.SettingsLocked);
  KeyDown(kKeyF3);
  EXPECT_TRUE(form->Settings.SettingsLocked);
}

class DoubleClickTest : public KeysTest {};

TEST_F(DoubleClickTest, HidesWaitsReadsThePixelAtTheCursorRepaintsAndShows) {
  StartMidRange(false);
  ws.cursorPos = {701, 302};
  ws.screenPixel = [](TPoint p) { return p == TPoint{701, 302} ? kScreenColor : 0x00FF00FF; };
  ws.onProcessMessages = [this] { ws.log.push_back("nested handler"); };
  ws.events->OnDblClick();

  const std::vector<std::string> expected = {
      "HideAppWindow",       "ProcessMessages",         "nested handler",
      "CreateWaitableTimer", "SetWaitableTimer 990000", "WaitForTimer 65535",
      "CancelWaitableTimer", "CloseWaitableTimer",      "GetScreenPixel 701 302",
  };
  ASSERT_GE(ws.log.size(), expected.size());
  EXPECT_EQ(std::vector<std::string>(ws.log.begin(), ws.log.begin() + expected.size()),
            expected);
  const auto fill = std::find(ws.log.begin(), ws.log.end(),
                              "FillRect 0 0 " + std::to_string(form->Geometry.WindowWidth) + " " +
                                  std::to_string(form->Geometry.WindowHeight) + " " +
                                  test::ColorText(kScreenColor));
  EXPECT_NE(fill, ws.log.end());
  EXPECT_EQ(ws.log.back(), "ShowAppWindow");
  EXPECT_LT(fill - ws.log.begin(), static_cast<long>(ws.log.size()) - 1);
  EXPECT_EQ(form->Color(), kScreenColor);
  EXPECT_EQ(form->Settings.ColorIndex, 3) << "the pick leaves the palette position alone";
  EXPECT_EQ(ws.Calls("CreatePolygonRegion").size(), 0U);
}

TEST_F(DoubleClickTest, AnUnreadablePixelKeepsTheColour) {
  StartMidRange(false);
  ws.screenPixel = [](TPoint) { return TColor{0xFFFFFFFF}; };
  ws.events->OnDblClick();
  EXPECT_EQ(form->Color(), ColorPalette[3]);
  EXPECT_EQ(ws.Calls("FillRect").size(), 1U);
  EXPECT_EQ(ws.log.back(), "ShowAppWindow");
}

TEST_F(DoubleClickTest, AfterThePickTheNextCtrlStepContinuesFromThePalette) {
  StartMidRange(false);
  ws.screenPixel = [](TPoint) { return kScreenColor; };
  ws.events->OnDblClick();
  Wheel(ssCtrl, 120);
  EXPECT_EQ(form->Settings.ColorIndex, 4);
  EXPECT_EQ(form->Color(), ColorPalette[4]);
}

}  // namespace
}  // namespace qd
