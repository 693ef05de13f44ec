#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "program_fixture.h"

namespace qd::test {
namespace {

class Painting : public ProgramTest {
 protected:
  // A fresh program with these lines in its settings file's pointer section, its start's
  // repeat paint done.
  void RestartPainted(const std::string& pointerLines) {
    Restart("[Pointer]\n" + pointerLines);
    ws.Tick(kTimerDrawBorderId);
    ws.ClearLog();
  }
  // A Ctrl wheel step: one paint, in the next palette colour.
  void Paint() { ws.events->FormMainOnMouseWheel(TShiftState(ssCtrl), 120, {0, 0}); }
  std::size_t Paints() const { return ws.Calls("Polyline").size(); }
  bool RepeatPending() const { return ws.runningTimers.contains(kTimerDrawBorderId); }
};

TEST_F(Painting, TheWindowsOwnRepaintDrawsFillAndRimWithoutTouchingTheTimer) {
  RestartPainted("");
  const auto canvas = ws.GetCanvas(NativeWindow{0x100});
  ws.events->FormMainOnPaint(*canvas);
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
    RestartPainted("");
    for (const char event : c.events) {
      if (event == 'P') {
        Paint();
      } else {
        ws.Tick(kTimerDrawBorderId);
      }
    }
    EXPECT_EQ(Paints(), c.paints) << c.name;
    EXPECT_EQ(RepeatPending(), c.pendingAfter) << c.name;
    EXPECT_EQ(ws.openCanvases, 0) << c.name;
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
                        Case{4, 0x010101, "w3 #000000"}, Case{4, 0x010000, "w3 #000000"}}) {
    SCOPED_TRACE(c.size);
    Restart("[Pointer]\nSize=" + std::to_string(c.size) + "\nColor=" + std::to_string(c.color) +
            "\nColorIndex=-1\n");
    ws.Tick(kTimerDrawBorderId);  // the start's paint repeated
    ASSERT_EQ(ws.Calls("Polyline").size(), 1U);
    EXPECT_TRUE(ws.Calls("Polyline")[0].starts_with("Polyline " + c.pen));
    EXPECT_EQ(ws.window.fill, c.color);
  }
}

TEST_F(Painting, ARefusedTimerShowsTheFrameworkErrorAndTheProgramGoesOn) {
  RestartPainted("");
  ws.refuseTimers = true;
  // Under the error guard every event passes through.
  Guarded(*ws.events, [this] { Paint(); });
  EXPECT_EQ(ws.messageBoxes,
            std::vector<std::string>{"Quiverdart|Nicht gen\xC3\xBCgend Timer verf\xC3\xBCgbar"});
  EXPECT_EQ(Paints(), 1U);
  EXPECT_EQ(ws.openCanvases, 0);
  ws.refuseTimers = false;
  Paint();
  EXPECT_TRUE(RepeatPending()) << "the refused timer was left stopped";
}

}  // namespace
}  // namespace qd::test
