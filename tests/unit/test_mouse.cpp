#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_window_system.h"
#include "program_fixture.h"
#include "window/UnitMain.h"

namespace qd {
namespace {

constexpr NativeCursor kFlatHandle{0xF1};
constexpr NativeCursor kGrabHandle{0xF2};

struct ZoneCase {
  bool shift;
  int x;
  int y;
  int width;
  int height;
  int zone;
};

TEST(ComputeCursorZone, EveryZoneAndItsBoundaries) {
  const ZoneCase cases[] = {
      // 100 x 60: the strips are X <= 8, X >= 92, Y <= 8, Y >= 52.
      {false, 50, 30, 100, 60, 13},
      {false, 9, 9, 100, 60, 13},
      {false, 91, 51, 100, 60, 13},
      {false, 8, 30, 100, 60, 1},
      {false, 0, 30, 100, 60, 1},
      {false, -40, 30, 100, 60, 1},  // left of the window, as a key release may report
      {false, 92, 30, 100, 60, 2},
      {false, 140, 30, 100, 60, 2},
      {false, 50, 8, 100, 60, 3},
      {false, 50, -5, 100, 60, 3},
      {false, 50, 52, 100, 60, 4},
      {false, 50, 90, 100, 60, 4},
      {false, 8, 8, 100, 60, 5},
      {false, -3, -3, 100, 60, 5},
      {false, 92, 8, 100, 60, 6},
      {false, 200, -9, 100, 60, 6},
      {false, 8, 52, 100, 60, 7},
      {false, -1, 99, 100, 60, 7},
      {false, 92, 52, 100, 60, 8},
      {false, 99, 59, 100, 60, 8},
      {false, 9, 8, 100, 60, 3},
      {false, 8, 9, 100, 60, 1},
      {false, 91, 8, 100, 60, 3},
      {false, 92, 9, 100, 60, 2},
      {false, 9, 52, 100, 60, 4},
      {false, 8, 51, 100, 60, 1},
      // Shift: the left strip wherever the mouse is.
      {true, 50, 30, 100, 60, 1},
      {true, 99, 59, 100, 60, 1},
      {true, 0, 0, 100, 60, 1},
      // Narrow and low windows: the left column wins over the right, the top row over
      // the bottom.
      {false, 8, 30, 16, 60, 1},
      {false, 9, 30, 16, 60, 2},
      {false, 8, 30, 17, 60, 1},
      {false, 9, 30, 17, 60, 2},
      {false, 5, 30, 10, 60, 1},
      {false, 5, 0, 10, 60, 5},
      {false, 5, 55, 10, 60, 7},
      {false, 50, 8, 100, 16, 3},
      {false, 50, 9, 100, 16, 4},
      {false, 5, 5, 100, 10, 5},
      {false, 95, 5, 100, 10, 6},
      {false, 5, 5, 10, 10, 5},
      {false, 8, 8, 16, 16, 5},
      {false, 9, 9, 16, 16, 8},
  };
  for (const ZoneCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "shift " << c.shift << " at " << c.x << "," << c.y << " in "
                                    << c.width << "x" << c.height);
    EXPECT_EQ(TFormMain::ComputeCursorZone(c.shift, c.x, c.y, c.width, c.height), c.zone);
  }
}

TEST(ComputeCursorZone, NoInnerAreaInAWindowSixteenPixelsOrLessAcross) {
  for (const int size : {1, 8, 9, 16}) {
    for (int along = -2; along <= 100; ++along) {
      for (int across = -2; across <= size + 2; ++across) {
        EXPECT_NE(TFormMain::ComputeCursorZone(false, across, along, size, 100), 13)
            << across << "," << along << " width " << size;
        EXPECT_NE(TFormMain::ComputeCursorZone(false, along, across, 100, size), 13)
            << along << "," << across << " height " << size;
      }
    }
  }
  EXPECT_EQ(TFormMain::ComputeCursorZone(false, 8, 50, 17, 100), 1);
  EXPECT_EQ(TFormMain::ComputeCursorZone(false, 50, 50, 100, 100), 13);
}

class MouseTest : public test::ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    Start();
    ASSERT_GT(Width(), 16);
    ASSERT_GT(Height(), 16);
  }

  int Width() const { return ws.window.bounds.right - ws.window.bounds.left; }
  int Height() const { return ws.window.bounds.bottom - ws.window.bounds.top; }
  TPoint Inner() const { return {Width() / 2, Height() / 2}; }
  // The arrow's tip on the screen.
  TPoint Tip() const {
    return {ws.window.bounds.left + ws.window.region.at(0).x,
            ws.window.bounds.top + ws.window.region.at(0).y};
  }
  // The cursor over the window: the one shown last, which the system must keep showing.
  NativeCursor Shown() const {
    EXPECT_EQ(ws.events->OnSetCursor().Value(), ws.window.cursor.Value());
    return ws.window.cursor;
  }

  // A mouse move as the window system delivers it, then the hold-off tick, so that the
  // next move is handled too.
  void Move(TShiftState shift, TPoint at) {
    ws.events->FormMainOnMouseMove(shift, at.x, at.y);
    ws.Tick(kTimerMouseMoveHoldOffId);
  }
  // A press where the cursor is, in window coordinates, as the window system delivers it.
  void Press(TMouseButton button, TShiftState shift) {
    ws.events->FormMainOnMouseDown(button, shift, ws.cursorPos.x - ws.window.bounds.left,
                                   ws.cursorPos.y - ws.window.bounds.top);
  }
};

TEST_F(MouseTest, HoldOffDropsMovesUntilItsTick) {
  ws.events->FormMainOnMouseMove({}, Inner().x, Inner().y);
  EXPECT_EQ(ws.Calls("StartTimer"), std::vector<std::string>{"StartTimer 2 10"});
  EXPECT_EQ(Shown(), kFlatHandle);
  // Dropped, not queued: Ctrl would take the hand away, now or at the tick.
  ws.events->FormMainOnMouseMove(ssCtrl, 0, 0);
  ws.Tick(kTimerMouseMoveHoldOffId);
  EXPECT_EQ(Shown(), kFlatHandle);
  ws.events->FormMainOnMouseMove(ssCtrl, 0, 0);
  EXPECT_EQ(Shown(), NativeCursor{});
}

TEST_F(MouseTest, InputBeforeTheFirstShapeIsIgnored) {
  TearDown();
  ProgramTest::SetUp();
  // The box about the unreadable file comes before the arrow has a shape.
  sys.unreadableFiles.insert(test::kSettingsPath);
  bool delivered = false;
  ws.onMessageBox = [&](const std::string&) {
    const std::size_t before = ws.log.size();
    ws.cursorPos = {900, 700};
    for (const TShiftState shift : {TShiftState(), TShiftState(ssCtrl), TShiftState(ssLeft)}) {
      ws.events->FormMainOnMouseMove(shift, 30, 15);
    }
    ws.events->FormMainOnKeyUp(kKeyShift, {});
    EXPECT_EQ(ws.log.size(), before);
    delivered = true;
  };
  StartWith("[Pointer]\n");
  ASSERT_TRUE(delivered);
  EXPECT_EQ(Shown(), NativeCursor{});
  Move({}, Inner());
  EXPECT_EQ(Shown(), kFlatHandle);
}

enum class Act { Move, Press, Release };
enum class Where { Inner, Corner, Strip };

struct Step {
  Act act;
  TShiftState shift;
  Where where = Where::Inner;
  TMouseButton button = TMouseButton::mbLeft;
};

struct MouseCase {
  const char* what;
  std::vector<Step> steps;
  NativeCursor shown;  // after the steps
  // Then a left press and a move with this shift state: moves the window and the tip,
  // rebuilding the shape when the press was outside the inner area.
  bool rebuilds;
  TShiftState drag = ssLeft;
  bool moves = true;
};

TEST_F(MouseTest, CursorZonesHandsAndDrags) {
  const Step inner{Act::Move, {}, Where::Inner};
  const Step corner{Act::Move, {}, Where::Corner};
  const Step press{Act::Press, ssLeft};
  const Step release{Act::Release, {}};
  const NativeCursor none{};
  const MouseCase cases[] = {
      {"start-up", {}, none, true},
      {"to the inner area", {inner}, kFlatHandle, false},
      {"to a corner first", {corner}, none, true},
      {"inner, then a corner", {inner, corner}, kFlatHandle, true},
      {"inner, then a strip", {inner, {Act::Move, {}, Where::Strip}}, kFlatHandle, true},
      {"inner with Ctrl", {{Act::Move, ssCtrl}}, none, true},
      {"inner, then Ctrl", {inner, {Act::Move, ssCtrl}}, none, true},
      {"Ctrl, then inner", {{Act::Move, ssCtrl}, inner}, kFlatHandle, false},
      {"Shift over the inner area", {{Act::Move, ssShift}}, none, true},
      {"inner, then Shift", {inner, {Act::Move, ssShift}}, kFlatHandle, true},
      {"press", {press}, kGrabHandle, true},
      {"press with keys held", {{Act::Press, ssShift + ssCtrl}}, kGrabHandle, true},
      {"inner, press", {inner, press}, kGrabHandle, false},
      {"inner, press, release", {inner, press, release}, kFlatHandle, false},
      {"corner, press, release", {corner, press, release}, kGrabHandle, true},
      {"inner, press, right release",
       {inner, press, {Act::Release, {}, Where::Inner, TMouseButton::mbRight}},
       kFlatHandle,
       false},
      {"a drag to a corner keeps the zone",
       {inner, press, {Act::Move, ssLeft, Where::Corner}},
       kGrabHandle,
       false},
      {"Ctrl during the drag", {inner, press, {Act::Move, ssLeft + ssCtrl}}, none, true},
      {"right press",
       {inner, {Act::Press, ssRight, Where::Inner, TMouseButton::mbRight}},
       kFlatHandle,
       false},
      // Only the left button, with or without Shift, drags.
      {"drag with Shift", {inner}, kFlatHandle, false, ssLeft + ssShift},
      {"drag with Shift from a corner", {corner}, none, true, ssLeft + ssShift},
      {"drag with Ctrl", {inner}, kFlatHandle, false, ssLeft + ssCtrl, false},
      {"drag with Alt", {inner}, kFlatHandle, false, ssLeft + ssAlt, false},
      {"drag with the right button too", {inner}, kFlatHandle, false, ssLeft + ssRight, false},
      {"drag with the middle button too", {inner}, kFlatHandle, false, ssLeft + ssMiddle, false},
      {"drag with Shift and Alt",
       {inner},
       kFlatHandle,
       false,
       TShiftState(ssLeft) + ssShift + ssAlt,
       false},
      {"move", {inner}, kFlatHandle, false, {}, false},
      {"move with Shift", {inner}, kFlatHandle, false, ssShift, false},
      {"move with Ctrl", {inner}, kFlatHandle, false, ssCtrl, false},
      {"move with the right button", {inner}, kFlatHandle, false, ssRight, false},
      {"move with the middle button", {inner}, kFlatHandle, false, ssMiddle, false},
  };
  for (const MouseCase& c : cases) {
    SCOPED_TRACE(c.what);
    Restart();
    for (const Step& step : c.steps) {
      const TPoint at = step.where == Where::Inner    ? Inner()
                        : step.where == Where::Corner ? TPoint{0, 0}
                                                      : TPoint{Width() - 1, Inner().y};
      if (step.act == Act::Move) {
        Move(step.shift, at);
      } else if (step.act == Act::Press) {
        Press(step.button, step.shift);
      } else {
        ws.events->FormMainOnMouseUp(step.button, {}, 5, 5);
      }
    }
    EXPECT_EQ(Shown(), c.shown);

    const TRect before = ws.window.bounds;
    const TPoint tip = Tip();
    ws.cursorPos = {500, 400};
    Press(TMouseButton::mbLeft, ssLeft);
    ws.cursorPos = {530, 390};
    ws.ClearLog();
    ws.events->FormMainOnMouseMove(c.drag, Inner().x, Inner().y);
    const TPoint by = c.moves ? TPoint{30, -10} : TPoint{0, 0};
    const TRect after{before.left + by.x, before.top + by.y, before.right + by.x,
                      before.bottom + by.y};
    EXPECT_EQ(ws.window.bounds, after);
    // One move, one change of the window.
    EXPECT_EQ(ws.Calls("SetWindowBounds").size(), c.moves ? 1U : 0U);
    EXPECT_EQ(ws.Calls("SetWindowRegion").size(), c.moves && c.rebuilds ? 1U : 0U);
    EXPECT_EQ(Tip(), (TPoint{tip.x + by.x, tip.y + by.y}));
    const test::LoadedPointer saved = Saved();
    EXPECT_EQ((TPoint{saved.x, saved.y}), (TPoint{tip.x + by.x, tip.y + by.y}));
  }
}

TEST_F(MouseTest, DragPositionsComeFromTheAnchorsOfThePress) {
  Move({}, Inner());
  ws.cursorPos = {500, 400};
  Press(TMouseButton::mbLeft, ssLeft);
  const TRect start = ws.window.bounds;
  const TPoint tip = Tip();
  const auto offset = [&](TPoint by) {
    return TRect{start.left + by.x, start.top + by.y, start.right + by.x, start.bottom + by.y};
  };

  struct DragMove {
    TPoint cursor;
    bool afterHoldOff;  // false: arrives while the hold-off timer of the last move runs
    TShiftState shift;
    TPoint expectedOffset;  // of the window, from the press
  };
  const DragMove moves[] = {
      {{510, 403}, true, ssLeft, {10, 3}},
      {{530, 420}, true, ssLeft, {30, 20}},          // not 40, 23
      {{520, 410}, false, ssLeft, {30, 20}},         // dropped
      {{525, 415}, true, ssLeft, {25, 15}},          // nothing of the dropped move was lost
      {{525, 420}, true, ssLeft, {25, 20}},          // straight down
      {{700, 800}, true, ssLeft + ssAlt, {25, 20}},  // Alt stops the window following
      {{640, 200}, true, ssLeft, {140, -200}},       // and it jumps back under the cursor
      {{-900, -700}, true, ssLeft, {-1400, -1100}},  // off the screen: nothing clamps
  };
  for (const DragMove& m : moves) {
    SCOPED_TRACE(testing::Message() << m.cursor.x << "," << m.cursor.y);
    if (m.afterHoldOff) {
      ws.Tick(kTimerMouseMoveHoldOffId);
    }
    ws.cursorPos = m.cursor;
    ws.events->FormMainOnMouseMove(m.shift, Inner().x, Inner().y);
    EXPECT_EQ(ws.window.bounds, offset(m.expectedOffset));
  }

  // A new press takes new anchors.
  ws.Tick(kTimerMouseMoveHoldOffId);
  ws.cursorPos = {0, 0};
  Press(TMouseButton::mbLeft, ssLeft);
  ws.cursorPos = {1, 2};
  Move(ssLeft, Inner());
  EXPECT_EQ(ws.window.bounds, offset({-1399, -1098}));

  // A press handled late (the program busy in a fade, a loaded machine), the pointer gone on
  // meanwhile, anchors where the button went down: the grabbed point stays under the pointer.
  ws.Tick(kTimerMouseMoveHoldOffId);
  const TPoint pressedAt{ws.window.bounds.left + Inner().x, ws.window.bounds.top + Inner().y};
  ws.cursorPos = {pressedAt.x + 50, pressedAt.y + 20};
  ws.events->FormMainOnMouseDown(TMouseButton::mbLeft, ssLeft, Inner().x, Inner().y);
  Move(ssLeft, Inner());
  EXPECT_EQ(ws.window.bounds, offset({-1349, -1078}));
  const test::LoadedPointer saved = Saved();
  EXPECT_EQ((TPoint{saved.x, saved.y}), (TPoint{tip.x - 1349, tip.y - 1078}));
}

// A quick drag's last move may come during the hold-off: it is kept, and applied when the
// hold-off ends or at the release. The mouse taken mid-press ends the press where the
// arrow is: the hands back, and a still-held button no longer drags.
TEST_F(MouseTest, QuickDragsLandWhereTheButtonCameUpAndALostMouseEndsThePress) {
  enum class Then { Tick, Release, LoseMouse, NonDragMove, MoveAfter, PressAgain };
  struct Case {
    const char* what;
    std::vector<Then> steps;  // after a press, a handled move by (10, 3) and one held off
    TPoint offset;            // of the window and the saved tip, from the press
    NativeCursor shown;
  };
  const Case cases[] = {
      {"the hold-off ends", {Then::Tick}, {40, 20}, kGrabHandle},
      {"the button comes up", {Then::Release}, {40, 20}, kFlatHandle},
      {"released after the hold-off", {Then::Tick, Then::Release}, {40, 20}, kFlatHandle},
      {"a later move that does not drag", {Then::NonDragMove, Then::Tick}, {10, 3}, kGrabHandle},
      {"the mouse taken", {Then::LoseMouse, Then::Tick}, {10, 3}, kFlatHandle},
      {"the mouse taken, the button still held",
       {Then::LoseMouse, Then::Tick, Then::MoveAfter},
       {10, 3},
       kFlatHandle},
      {"a new press after the mouse was taken",
       {Then::LoseMouse, Then::Tick, Then::PressAgain, Then::MoveAfter},
       {70, 83},
       kGrabHandle},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Restart();
    Move({}, Inner());
    const TRect start = ws.window.bounds;
    const TPoint tip = Tip();
    ws.cursorPos = {500, 400};
    Press(TMouseButton::mbLeft, ssLeft);
    ws.cursorPos = {510, 403};
    ws.events->FormMainOnMouseMove(ssLeft, Inner().x, Inner().y);
    ws.cursorPos = {540, 420};
    ws.events->FormMainOnMouseMove(ssLeft, Inner().x, Inner().y);
    for (const Then step : c.steps) {
      switch (step) {
        case Then::Tick:
          ws.Tick(kTimerMouseMoveHoldOffId);
          break;
        case Then::Release:
          ws.events->FormMainOnMouseUp(TMouseButton::mbLeft, {}, 5, 5);
          break;
        case Then::LoseMouse:
          ws.events->OnCaptureLost();
          break;
        case Then::NonDragMove:
          ws.events->FormMainOnMouseMove(TShiftState(ssLeft) + ssCtrl, Inner().x, Inner().y);
          break;
        case Then::MoveAfter:
          ws.cursorPos = {600, 500};
          Move(ssLeft, Inner());
          break;
        case Then::PressAgain:
          ws.cursorPos = {540, 420};
          Press(TMouseButton::mbLeft, ssLeft);
          break;
      }
    }
    EXPECT_EQ(ws.window.bounds, (TRect{start.left + c.offset.x, start.top + c.offset.y,
                                       start.right + c.offset.x, start.bottom + c.offset.y}));
    EXPECT_EQ(Shown(), c.shown);
    const test::LoadedPointer saved = Saved();
    EXPECT_EQ((TPoint{saved.x, saved.y}), (TPoint{tip.x + c.offset.x, tip.y + c.offset.y}));
  }
}

TEST_F(MouseTest, BeforeAnyPressTheAnchorsAreZero) {
  Move({}, Inner());
  ws.cursorPos = {300, 200};
  Move(ssLeft, Inner());
  EXPECT_EQ(ws.window.bounds.left, 300);
  EXPECT_EQ(ws.window.bounds.top, 200);
  const test::LoadedPointer saved = Saved();
  EXPECT_EQ((TPoint{saved.x, saved.y}), (TPoint{300, 200}));
}

TEST_F(MouseTest, ReleasingShiftOrCtrlRecomputesTheZoneAtTheCursor) {
  struct Case {
    std::uint16_t key;
    TShiftState shift;  // still held
    TPoint at;          // the cursor from the window's top left corner
    bool flat;          // over the inner area: the flat hand
  };
  const int w = Width();
  const int h = Height();
  const TPoint inner = Inner();
  const Case cases[] = {
      {kKeyShift, {}, inner, true},
      {kKeyControl, {}, inner, true},
      {kKeyShift, ssCtrl, inner, false},
      {kKeyControl, ssShift, inner, false},
      {18, {}, inner, false},
      {65, {}, inner, false},
      {kKeyLeft, {}, inner, false},
      {160, {}, inner, false},
      {kKeyControl + 256, {}, inner, false},
      // Measured from the window's edges.
      {kKeyShift, {}, {9, 9}, true},
      {kKeyShift, {}, {8, 9}, false},
      {kKeyShift, {}, {w - 9, h - 9}, true},
      {kKeyShift, {}, {w - 8, h / 2}, false},
      {kKeyShift, {}, {w / 2, 8}, false},
      {kKeyShift, {}, {w / 2, h - 8}, false},
      {kKeyShift, {}, {-30, h / 2}, false},
      {kKeyShift, {}, {w / 2, h + 30}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.key << " at " << c.at.x << "," << c.at.y);
    Move(ssCtrl, Inner());  // no zone, no hand
    ws.cursorPos = {ws.window.bounds.left + c.at.x, ws.window.bounds.top + c.at.y};
    ws.events->FormMainOnKeyUp(c.key, c.shift);
    ws.Tick(kTimerMouseMoveHoldOffId);
    EXPECT_EQ(Shown(), c.flat ? kFlatHandle : NativeCursor{});
  }
}

TEST_F(MouseTest, KeyReleaseNeverDragsAndWaitsForTheHoldOff) {
  Move({}, Inner());
  ws.cursorPos = {500, 400};
  Press(TMouseButton::mbLeft, ssLeft);
  const TRect bounds = ws.window.bounds;
  ws.cursorPos = {bounds.left + Inner().x + 3, bounds.top + Inner().y};
  ws.events->FormMainOnKeyUp(kKeyShift, {});
  EXPECT_EQ(ws.window.bounds, bounds);
  // Within the hold-off period the release is dropped like a move.
  ws.events->FormMainOnKeyUp(kKeyShift, ssCtrl);
  EXPECT_EQ(Shown(), kGrabHandle);
  ws.Tick(kTimerMouseMoveHoldOffId);
  ws.events->FormMainOnKeyUp(kKeyShift, ssCtrl);
  EXPECT_EQ(Shown(), NativeCursor{});
}

TEST_F(MouseTest, MiddleButtonFadesInFromZeroAndOutOtherwise) {
  struct Case {
    const char* what;
    int index;  // the opacity to return to, from the settings file
    bool locked;
    bool fadedOut;  // by a middle press before
    TShiftState shift;
    std::uint8_t alpha;
    bool layered;
  };
  const Case cases[] = {
      {"out", 14, false, false, ssMiddle, 2, true},
      {"out while locked, with Shift", 14, true, false, ssMiddle + ssShift, 2, true},
      {"out from opaque", 22, false, false, ssMiddle, 2, true},
      {"in", 14, false, true, ssMiddle, 128, true},
      {"in while locked, with Ctrl", 14, true, true, ssMiddle + ssCtrl, 128, true},
      {"in to opaque", 22, false, true, ssMiddle, 255, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Restart("[Pointer]\nAlphaBlendIndex=" + std::to_string(c.index) +
            "\nSettingsLocked=" + (c.locked ? "1" : "0") + "\n");
    const bool opaque = !ws.window.layered;
    if (c.fadedOut) {
      Press(TMouseButton::mbMiddle, ssMiddle);
      ws.ClearLog();
    }
    Press(TMouseButton::mbMiddle, c.shift);
    EXPECT_EQ(ws.window.alpha, c.alpha);
    EXPECT_EQ(ws.window.layered, c.layered);
    if (opaque && !c.fadedOut) {
      // Translucency goes on before the first step of the fade.
      ASSERT_FALSE(ws.log.empty());
      EXPECT_EQ(ws.log.front(), "SetLayered on");
    }
    EXPECT_EQ(Saved().alpha, c.index);
  }
}

}  // namespace
}  // namespace qd
