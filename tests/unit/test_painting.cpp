#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "program_fixture.h"

namespace qd::test {
namespace {

constexpr unsigned kDrawBorderTimer = 1;

class Painting : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    Start();
  }
  std::size_t Paints() const { return ws.Calls("Polyline").size(); }
  bool RepeatPending() const { return ws.runningTimers.contains(kDrawBorderTimer); }
};

TEST_F(Painting, TheWindowsOwnRepaintDrawsFillAndRimWithoutTouchingTheTimer) {
  const auto canvas = ws.GetCanvas(form->Handle());
  ws.events->OnPaint(*canvas);
  EXPECT_EQ(ws.log, (std::vector<std::string>{
                        "FillRect 0 0 62 31 #0000FF",
                        "Polyline w3 #000000 (61,15) (31,0) (31,10) (0,10) (0,20) (31,20) "
                        "(31,30) (61,15)"}));
}

TEST_F(Painting, RepeatsEachPaintOnceUnderTheTimerFlipRules) {
  // 'P' is a paint from any caller, 'T' a tick of the repeat timer.
  struct Case {
    const char* name;
    std::string events;
    std::size_t paints;
    bool pendingAfter;
  };
  const std::vector<Case> cases = {
      {"single paint, then its repeat", "PT", 2, false},
      {"the tick that follows a repeat is gone", "PTT", 2, false},
      {"even run of paints: no repeat", "PPT", 2, false},
      {"odd run of paints: one repeat", "PPPT", 4, false},
      {"odd run before its tick", "PPP", 3, true},
      {"a paint before the tick drops the repeat", "PTPPT", 4, false},
  };
  for (const Case& c : cases) {
    form->TimerDrawBorder.SetEnabled(false);
    ws.ClearLog();
    for (const char event : c.events) {
      if (event == 'P') {
        form->PaintPointer();
      } else {
        ws.Tick(kDrawBorderTimer);
      }
    }
    EXPECT_EQ(Paints(), c.paints) << c.name;
    EXPECT_EQ(RepeatPending(), c.pendingAfter) << c.name;
  }
}

TEST_F(Painting, PenWidthFollowsTheSizeAndOutlineColourTheFill) {
  struct Case {
    int size;
    TColor color;
    std::string pen;
  };
  for (const Case& c : {Case{1, 0x0000FF, "w3 #000000"}, Case{4, 0x000000, "w3 #FFFFFF"},
                        Case{5, 0x000001, "w5 #000000"}, Case{24, 0xFFFFFF, "w5 #000000"},
                        Case{4, 0x010101, "w3 #000000"}}) {
    form->Settings.Size = c.size;
    form->SetColor(c.color);
    ws.ClearLog();
    form->PaintPointer();
    ASSERT_EQ(ws.Calls("Polyline").size(), 1U);
    EXPECT_TRUE(ws.Calls("Polyline")[0].starts_with("Polyline " + c.pen)) << c.size;
    EXPECT_EQ(ws.Calls("FillRect")[0], "FillRect 0 0 62 31 " + ColorText(c.color));
  }
}

TEST_F(Painting, ANewColourRepaintsTheSameColourDoesNothing) {
  ASSERT_EQ(form->Color(), 0x0000FFU);  // red from the defaults
  form->SetColor(0x0000FF);
  EXPECT_TRUE(ws.log.empty());
  form->SetColor(0x00FF00);
  EXPECT_EQ(ws.log, std::vector<std::string>{"Invalidate"});
}

TEST_F(Painting, ARefusedTimerShowsTheFrameworkErrorAndTheProgramGoesOn) {
  form->TimerDrawBorder.SetEnabled(false);
  ws.refuseTimers = true;
  ws.ClearLog();
  // A Ctrl wheel step repaints; its timer start fails.
  ws.events->OnMouseWheel(TShiftState(ssCtrl), 120, {0, 0});
  EXPECT_EQ(ws.messageBoxes,
            std::vector<std::string>{"Quiverdart|Nicht gen\xC3\xBCgend Timer verf\xC3\xBCgbar"});
  EXPECT_EQ(ws.Calls("Polyline").size(), 1U);
  EXPECT_EQ(ws.openCanvases, 0);
  EXPECT_FALSE(form->TimerDrawBorder.Enabled());
  ws.refuseTimers = false;
  form->PaintPointer();
  EXPECT_TRUE(RepeatPending());
}

TEST_F(Painting, ReleasesItsDrawingSurfaceEveryPaint) {
  for (int i = 0; i < 100; ++i) {
    form->PaintPointer();
    ws.Tick(kDrawBorderTimer);
  }
  EXPECT_EQ(ws.openCanvases, 0);
}

}  // namespace
}  // namespace qd::test
