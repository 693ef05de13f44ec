#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_window_system.h"
#include "program_fixture.h"
#include "window/UnitMain.h"

namespace qd {
namespace {

constexpr unsigned kHoldOffTimer = 2;  // TimerMouseMoveHoldOff's id
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
    SCOPED_TRACE(testing::Message() << "shift " << c.shift << " at " << c.x << "," << c.y
                                    << " in " << c.width << "x" << c.height);
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
    ASSERT_GT(form->Width(), 16);
    ASSERT_GT(form->Height(), 16);
  }

  TPoint Inner() const { return {form->Width() / 2, form->Height() / 2}; }

  // A mouse move as the window system delivers it, then the hold-off tick, so that the
  // next move is handled too.
  void Move(TShiftState shift, TPoint at) {
    ws.events->OnMouseMove(shift, at.x, at.y);
    ws.Tick(kHoldOffTimer);
  }
  void Press(TMouseButton button, TShiftState shift = {}) {
    ws.events->OnMouseDown(button, shift, 5, 5);
  }
  void Release(TMouseButton button) { ws.events->OnMouseUp(button, {}, 5, 5); }
  void KeyUp(std::uint16_t key, TShiftState shift = {}) { ws.events->OnKeyUp(key, shift); }

  int Count(const std::string& prefix) const { return static_cast<int>(ws.Calls(prefix).size()); }
  std::string LastApplied() const {
    const auto applied = ws.Calls("ApplyCursor ");
    return applied.empty() ? std::string("none") : applied.back();
  }
};

TEST_F(MouseTest, MovesBeforeTheShapeIsReadyAreIgnored) {
  form->ShapeReady = false;
  ws.cursorPos = {900, 700};
  for (const TShiftState shift : {TShiftState(), TShiftState(ssCtrl), TShiftState(ssLeft)}) {
    ws.events->OnMouseMove(shift, Inner().x, Inner().y);
  }
  EXPECT_EQ(ws.log, std::vector<std::string>{});
  EXPECT_EQ(form->CursorZone, 0);
  EXPECT_EQ(form->Cursor(), crDefault);
}

TEST_F(MouseTest, HoldOffDropsMovesUntilItsTick) {
  ws.events->OnMouseMove({}, Inner().x, Inner().y);
  EXPECT_EQ(ws.Calls("StartTimer"), std::vector<std::string>{"StartTimer 2 10"});
  EXPECT_EQ(form->CursorZone, 13);

  // Dropped, not queued: the zone stays where the handled move left it.
  ws.events->OnMouseMove({}, 0, 0);
  ws.events->OnMouseMove(ssCtrl, 0, 0);
  EXPECT_EQ(form->CursorZone, 13);
  EXPECT_EQ(ws.Calls("StartTimer").size(), 1U);

  ws.Tick(kHoldOffTimer);
  EXPECT_EQ(ws.Calls("StopTimer"), std::vector<std::string>{"StopTimer 2"});
  EXPECT_FALSE(ws.runningTimers.contains(kHoldOffTimer));
  ws.events->OnMouseMove({}, 0, 0);
  EXPECT_EQ(form->CursorZone, 5);
  EXPECT_EQ(ws.Calls("StartTimer").size(), 2U);
}

enum class Act { Move, Press, Release };
enum class Where { Inner, Corner, Strip };

struct Step {
  Act act;
  TShiftState shift;
  Where where = Where::Inner;
  TMouseButton button = TMouseButton::mbLeft;
};

struct CursorCase {
  const char* what;
  std::vector<Step> steps;
  std::uint8_t zone;
  TCursor window;
  TCursor application;
};

TEST_F(MouseTest, CursorFollowsTheZoneAndTheButton) {
  const Step inner{Act::Move, {}, Where::Inner};
  const Step corner{Act::Move, {}, Where::Corner};
  const Step strip{Act::Move, {}, Where::Strip};
  const Step press{Act::Press, ssLeft};
  const Step release{Act::Release, {}};
  const CursorCase cases[] = {
      {"start-up", {}, 0, crDefault, crDefault},
      {"to the inner area", {inner}, 13, HandFlat, HandFlat},
      {"to a corner first", {corner}, 5, crDefault, crDefault},
      {"inner, then a corner", {inner, corner}, 5, HandFlat, HandFlat},
      {"inner, then a strip", {inner, strip}, 2, HandFlat, HandFlat},
      {"inner with Ctrl", {{Act::Move, ssCtrl}}, 0, crDefault, crDefault},
      {"inner, then Ctrl", {inner, {Act::Move, ssCtrl}}, 0, crDefault, crDefault},
      {"Ctrl, then inner", {{Act::Move, ssCtrl}, inner}, 13, HandFlat, HandFlat},
      {"Shift over the inner area", {{Act::Move, ssShift}}, 1, crDefault, crDefault},
      {"inner, then Shift", {inner, {Act::Move, ssShift}}, 1, HandFlat, HandFlat},
      {"press", {press}, 0, HandGrab, HandGrab},
      {"press with keys held", {{Act::Press, ssShift + ssCtrl}}, 0, HandGrab, HandGrab},
      {"inner, press", {inner, press}, 13, HandGrab, HandGrab},
      {"inner, press, release", {inner, press, release}, 13, HandFlat, HandFlat},
      {"corner, press, release", {corner, press, release}, 5, HandGrab, HandGrab},
      {"inner, press, right release",
       {inner, press, {Act::Release, {}, Where::Inner, TMouseButton::mbRight}},
       13, HandFlat, HandFlat},
      {"inner, press, drag to a corner keeps the zone",
       {inner, press, {Act::Move, ssLeft, Where::Corner}}, 13, HandGrab, HandGrab},
      {"inner, press, Ctrl during the drag",
       {inner, press, {Act::Move, ssLeft + ssCtrl}}, 0, crDefault, crDefault},
      {"right press changes nothing",
       {inner, {Act::Press, ssRight, Where::Inner, TMouseButton::mbRight}}, 13, HandFlat,
       HandFlat},
  };
  for (const CursorCase& c : cases) {
    SCOPED_TRACE(c.what);
    TearDown();
    SetUp();
    for (const Step& step : c.steps) {
      const TPoint at = step.where == Where::Inner    ? Inner()
                        : step.where == Where::Corner ? TPoint{0, 0}
                                                      : TPoint{form->Width() - 1, Inner().y};
      switch (step.act) {
        case Act::Move:
          Move(step.shift, at);
          break;
        case Act::Press:
          Press(step.button, step.shift);
          break;
        case Act::Release:
          Release(step.button);
          break;
      }
    }
    EXPECT_EQ(form->CursorZone, c.zone);
    EXPECT_EQ(form->Cursor(), c.window);
    EXPECT_EQ(app->Cursor(), c.application);
    // What shows is the application-wide cursor where set, else the window's own.
    const TCursor shown = c.application != crDefault ? c.application : c.window;
    const NativeCursor handle = shown == HandFlat   ? kFlatHandle
                                : shown == HandGrab ? kGrabHandle
                                                    : NativeCursor{};
    if (!c.steps.empty() && shown != crDefault) {
      EXPECT_EQ(LastApplied(), "ApplyCursor " + std::to_string(handle.Value()));
    }
  }
}

struct DragShiftCase {
  TShiftState shift;
  bool drags;
};

TEST_F(MouseTest, OnlyTheLeftButtonWithOrWithoutShiftDrags) {
  const DragShiftCase cases[] = {
      {ssLeft, true},
      {ssLeft + ssShift, true},
      {ssLeft + ssCtrl, false},
      {ssLeft + ssAlt, false},
      {ssLeft + ssRight, false},
      {ssLeft + ssMiddle, false},
      {TShiftState(ssLeft) + ssShift + ssAlt, false},
      {{}, false},
      {ssShift, false},
      {ssRight, false},
      {ssMiddle, false},
      {ssCtrl, false},
  };
  for (const DragShiftCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "shift bits " << int{c.shift.Bits()});
    TearDown();
    SetUp();
    Move({}, Inner());
    ws.cursorPos = {500, 400};
    Press(TMouseButton::mbLeft, ssLeft);
    const int left = form->Left();
    const int top = form->Top();
    const TPoint tip{form->Settings.TipPosX, form->Settings.TipPosY};
    ws.cursorPos = {530, 390};
    Move(c.shift, Inner());
    if (c.drags) {
      EXPECT_EQ(form->Left(), left + 30);
      EXPECT_EQ(form->Top(), top - 10);
      EXPECT_EQ(form->Settings.TipPosX, tip.x + 30);
      EXPECT_EQ(form->Settings.TipPosY, tip.y - 10);
    } else {
      EXPECT_EQ(form->Left(), left);
      EXPECT_EQ(form->Top(), top);
      EXPECT_EQ(form->Settings.TipPosX, tip.x);
      EXPECT_EQ(form->Settings.TipPosY, tip.y);
    }
  }
}

TEST_F(MouseTest, DragPositionsComeFromTheAnchorsOfThePress) {
  Move({}, Inner());
  ws.cursorPos = {500, 400};
  Press(TMouseButton::mbLeft, ssLeft);
  const int left = form->Left();
  const int top = form->Top();
  const TPoint tip{form->Settings.TipPosX, form->Settings.TipPosY};

  struct DragMove {
    TPoint cursor;
    bool afterHoldOff;  // false: arrives while the hold-off timer of the last move runs
    TShiftState shift;
    TPoint expectedOffset;  // from the press, of both the window and the tip
  };
  const DragMove moves[] = {
      {{510, 403}, true, ssLeft, {10, 3}},
      {{530, 420}, true, ssLeft, {30, 20}},  // not 40, 23
      {{520, 410}, false, ssLeft, {30, 20}},  // dropped
      {{525, 415}, true, ssLeft, {25, 15}},  // nothing of the dropped move was lost
      {{700, 800}, true, ssLeft + ssAlt, {25, 15}},  // Alt stops the window following
      {{640, 200}, true, ssLeft, {140, -200}},  // and it jumps back under the cursor
      {{-900, -700}, true, ssLeft, {-1400, -1100}},  // off the screen: nothing clamps
  };
  for (const DragMove& m : moves) {
    SCOPED_TRACE(testing::Message() << m.cursor.x << "," << m.cursor.y);
    if (m.afterHoldOff) {
      ws.Tick(kHoldOffTimer);
    }
    ws.cursorPos = m.cursor;
    ws.events->OnMouseMove(m.shift, Inner().x, Inner().y);
    EXPECT_EQ(form->Left(), left + m.expectedOffset.x);
    EXPECT_EQ(form->Top(), top + m.expectedOffset.y);
    EXPECT_EQ(form->Settings.TipPosX, tip.x + m.expectedOffset.x);
    EXPECT_EQ(form->Settings.TipPosY, tip.y + m.expectedOffset.y);
  }

  // A new press takes new anchors.
  ws.Tick(kHoldOffTimer);
  ws.cursorPos = {0, 0};
  Press(TMouseButton::mbLeft, ssLeft);
  ws.cursorPos = {1, 2};
  Move(ssLeft, Inner());
  EXPECT_EQ(form->Left(), left - 1400 + 1);
  EXPECT_EQ(form->Settings.TipPosY, tip.y - 1100 + 2);
}

TEST_F(MouseTest, BeforeAnyPressTheAnchorsAreZero) {
  Move({}, Inner());
  ws.cursorPos = {300, 200};
  Move(ssLeft, Inner());
  EXPECT_EQ(form->Left(), 300);
  EXPECT_EQ(form->Top(), 200);
  EXPECT_EQ(form->Settings.TipPosX, 300);
  EXPECT_EQ(form->Settings.TipPosY, 200);
}

TEST_F(MouseTest, DragStepInTheInnerAreaOnlyMovesTheWindow) {
  Move({}, Inner());
  ws.cursorPos = {500, 400};
  Press(TMouseButton::mbLeft, ssLeft);
  const int left = form->Left();
  const int top = form->Top();
  const int width = form->Width();
  const int height = form->Height();
  ws.ClearLog();
  ws.cursorPos = {512, 407};
  ws.events->OnMouseMove(ssLeft, Inner().x, Inner().y);
  const std::vector<std::string> expected = {
      "SetWindowBounds " + std::to_string(left + 12) + " " + std::to_string(top) + " " +
          std::to_string(width) + " " + std::to_string(height),
      "SetWindowBounds " + std::to_string(left + 12) + " " + std::to_string(top + 7) + " " +
          std::to_string(width) + " " + std::to_string(height),
  };
  EXPECT_EQ(ws.Calls("SetWindowBounds"), expected);
  for (const char* absent : {"CreatePolygonRegion", "SetWindowRegion", "FillRect", "Polyline",
                             "Invalidate", "SetLayered"}) {
    EXPECT_EQ(Count(absent), 0) << absent;
  }
}

TEST_F(MouseTest, DragStepOutsideTheInnerAreaRebuildsTheShape) {
  struct Case {
    const char* what;
    TShiftState before;  // the move before the press
    bool inCorner;       // else over the inner area
    TShiftState drag;
  };
  const Case cases[] = {
      {"press in a corner", {}, true, ssLeft},
      {"press with Shift over the inner area", ssShift, false, ssLeft},
      {"Shift held during the drag from a corner", {}, true, ssLeft + ssShift},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TearDown();
    SetUp();
    Move(c.before, c.inCorner ? TPoint{0, 0} : Inner());
    ASSERT_NE(form->CursorZone, 13);
    ws.cursorPos = {500, 400};
    Press(TMouseButton::mbLeft, ssLeft);
    const TPoint tip{form->Settings.TipPosX, form->Settings.TipPosY};
    ws.ClearLog();
    ws.cursorPos = {460, 425};
    ws.events->OnMouseMove(c.drag, 3, 3);
    EXPECT_EQ(Count("CreatePolygonRegion"), 1);
    EXPECT_EQ(Count("SetWindowRegion"), 1);
    EXPECT_EQ(Count("FillRect"), 1);
    EXPECT_EQ(Count("Polyline"), 1);
    EXPECT_EQ(form->Settings.TipPosX, tip.x - 40);
    EXPECT_EQ(form->Settings.TipPosY, tip.y + 25);
    // The rebuilt window still has the tip on the dragged tip position.
    EXPECT_EQ(form->Left() + form->Geometry.PointerPolygon[0].x, form->Settings.TipPosX);
    EXPECT_EQ(form->Top() + form->Geometry.PointerPolygon[0].y, form->Settings.TipPosY);
    EXPECT_TRUE(form->ShapeReady);
  }
}

struct KeyUpCase {
  std::uint16_t key;
  TShiftState shift;
  bool reruns;
};

TEST_F(MouseTest, ReleasingShiftOrCtrlRecomputesTheZoneAtTheCursor) {
  const KeyUpCase cases[] = {
      {16, {}, true},       {17, {}, true},      {16, ssCtrl, true},  {17, ssShift, true},
      {18, {}, false},      {65, {}, false},     {37, {}, false},     {160, {}, false},
      {17 + 256, {}, false},
  };
  for (const KeyUpCase& c : cases) {
    SCOPED_TRACE(c.key);
    TearDown();
    SetUp();
    Move(ssCtrl, Inner());
    ASSERT_EQ(form->CursorZone, 0);
    // The cursor over the inner area, in screen coordinates.
    ws.cursorPos = {form->Left() + Inner().x, form->Top() + Inner().y};
    ws.ClearLog();
    KeyUp(c.key, c.shift);
    const std::uint8_t expected = !c.reruns                  ? 0
                                  : c.shift.Contains(ssCtrl) ? 0
                                  : c.shift.Contains(ssShift) ? 1
                                                              : 13;
    EXPECT_EQ(form->CursorZone, expected);
    EXPECT_EQ(form->Cursor(), expected == 13 ? HandFlat : crDefault);
    EXPECT_EQ(ws.Calls("StartTimer").size(), c.reruns ? 1U : 0U);
  }
}

TEST_F(MouseTest, KeyReleaseMeasuresTheCursorFromTheWindowsEdges) {
  struct Case {
    int dx;  // cursor minus the window's left edge
    int dy;
    std::uint8_t zone;
  };
  const int w = form->Width();
  const int h = form->Height();
  const Case cases[] = {
      {w / 2, h / 2, 13}, {-30, h / 2, 1},   {w + 30, h / 2, 2}, {w / 2, -30, 3},
      {w / 2, h + 30, 4}, {-30, -30, 5},     {w + 1, -1, 6},     {-1, h, 7},
      {w, h, 8},          {9, 9, 13},        {8, 9, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.dx << "," << c.dy);
    ws.cursorPos = {form->Left() + c.dx, form->Top() + c.dy};
    KeyUp(kKeyShift);
    ws.Tick(kHoldOffTimer);
    EXPECT_EQ(form->CursorZone, c.zone);
  }
}

TEST_F(MouseTest, KeyReleaseNeverDragsAndObeysTheGates) {
  Move({}, Inner());
  ws.cursorPos = {500, 400};
  Press(TMouseButton::mbLeft, ssLeft);
  ws.cursorPos = {form->Left() + Inner().x, form->Top() + Inner().y};
  ws.ClearLog();
  KeyUp(kKeyShift);
  EXPECT_EQ(ws.Calls("StartTimer").size(), 1U);
  EXPECT_EQ(ws.Calls("SetWindowBounds").size(), 0U);

  // Within the hold-off period the re-run is dropped like a move.
  ws.cursorPos = {form->Left() - 50, form->Top() - 50};
  KeyUp(kKeyControl);
  EXPECT_EQ(form->CursorZone, 13);
  ws.Tick(kHoldOffTimer);
  form->ShapeReady = false;
  KeyUp(kKeyControl);
  EXPECT_EQ(form->CursorZone, 13);
  form->ShapeReady = true;
  KeyUp(kKeyControl);
  EXPECT_EQ(form->CursorZone, 5);
}

TEST_F(MouseTest, TheLeftButtonCapturesTheMouseUntilItsRelease) {
  struct Case {
    TMouseButton button;
    bool captures;
  };
  const Case cases[] = {{TMouseButton::mbLeft, true},
                        {TMouseButton::mbRight, false},
                        {TMouseButton::mbMiddle, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.button));
    ws.ClearLog();
    Press(c.button);
    EXPECT_EQ(ws.Calls("SetCapture").size(), c.captures ? 1U : 0U);
    EXPECT_EQ(ws.Calls("ReleaseCapture").size(), 0U);
    Release(c.button);
    EXPECT_EQ(ws.Calls("ReleaseCapture").size(), c.captures ? 1U : 0U);
  }
}

TEST_F(MouseTest, MiddleButtonFadesInFromZeroAndOutOtherwise) {
  struct Case {
    int current;
    int blendIndex;
    bool fadedOut;
    bool locked;
    TShiftState shift;
    int endCurrent;
    bool endFadedOut;
  };
  const Case cases[] = {
      {0, 14, true, false, ssMiddle, 14, false},
      {0, 14, true, true, ssMiddle, 14, false},
      {0, 14, true, false, ssMiddle + ssCtrl, 14, false},
      {14, 14, false, false, ssMiddle, 0, true},
      {14, 14, false, true, ssMiddle, 0, true},
      {22, 22, false, true, ssMiddle + ssShift, 0, true},
      {0, 0, false, false, ssMiddle, 0, false},  // stepped down to 0: fades in to 0
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.current << " locked " << c.locked);
    TearDown();
    SetUp();
    form->CurrentAlphaIndex = c.current;
    form->Settings.AlphaBlendIndex = c.blendIndex;
    form->FadedOut = c.fadedOut;
    form->Settings.SettingsLocked = c.locked;
    form->SetAlphaBlend(c.current != 22);
    ws.ClearLog();
    Press(TMouseButton::mbMiddle, c.shift);
    EXPECT_EQ(form->CurrentAlphaIndex, c.endCurrent);
    EXPECT_EQ(form->FadedOut, c.endFadedOut);
    EXPECT_EQ(form->Settings.AlphaBlendIndex, c.blendIndex);
    EXPECT_GT(ws.Calls("FillRect").size(), 0U);
    if (c.current == 22) {
      // Translucency goes on before the first step of the fade.
      ASSERT_FALSE(ws.log.empty());
      EXPECT_EQ(ws.log.front(), "SetLayered on");
    }
  }
}

}  // namespace
}  // namespace qd
