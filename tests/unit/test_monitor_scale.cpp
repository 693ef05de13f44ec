// The arrow at the scale of the monitor it is on: a laptop at 150 % as the primary monitor
// beside a projector at 100 %.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "model/placement.h"
#include "model/shape.h"
#include "program_fixture.h"

namespace qd::test {
namespace {

constexpr MonitorInfo kLaptop{{0, 0, 1920, 1080}, {0, 0, 1920, 1080}, true, 144};
constexpr MonitorInfo kProjector{{1920, 0, 3200, 720}, {1920, 0, 3200, 720}, false, 96};
// Size 10 pointing right on a 1920 x 1080 work area: 172 pixels long at the primary's scale.
constexpr int kPrimaryLength = 172;

MonitorInfo WithDpi(MonitorInfo monitor, std::uint32_t dpi) {
  monitor.dpi = dpi;
  return monitor;
}

// Which monitor's DPI the arrow is drawn at, and the primary's it is measured against.
TEST(ArrowDpisFor, TheTipsMonitorOrTheDragsPointersOverThePrimarys) {
  struct Case {
    const char* what;
    std::vector<MonitorInfo> monitors;
    TPoint tip;
    std::optional<TPoint> dragPointer;
    ArrowDpis current;
    ArrowDpis expected;
  };
  const std::vector<Case> cases = {
      {"at start on the primary", {kLaptop, kProjector}, {960, 540}, {}, {}, {144, 144}},
      {"at start on the projector", {kLaptop, kProjector}, {2500, 360}, {}, {}, {96, 144}},
      {"the projector's first column", {kLaptop, kProjector}, {1920, 0}, {}, {}, {96, 144}},
      {"a drag step: the pointer's monitor, not the tip's",
       {kLaptop, kProjector},
       {1900, 360},
       TPoint{1930, 360},
       {144, 144},
       {96, 144}},
      {"a tip on no monitor keeps the arrow's, the primary's is read anew",
       {WithDpi(kLaptop, 120), kProjector},
       {5000, 360},
       {},
       {96, 144},
       {96, 120}},
      {"on no monitor at start: the primary's", {kLaptop}, {-50, 0}, {}, {}, {144, 144}},
      {"a monitor of unknown DPI keeps the arrow's",
       {kLaptop, WithDpi(kProjector, 0)},
       {2500, 360},
       {},
       {120, 144},
       {120, 144}},
      {"none listed as primary keeps the primary's",
       {WithDpi(kProjector, 120)},
       {2500, 360},
       {},
       {96, 96},
       {120, 96}},
      {"a primary of unknown DPI keeps the primary's",
       {WithDpi(kLaptop, 0), kProjector},
       {2500, 360},
       {},
       {144, 144},
       {96, 144}},
  };
  for (const Case& c : cases) {
    const ArrowDpis dpis = ArrowDpisFor(c.monitors, c.tip, c.dragPointer, c.current);
    EXPECT_EQ(dpis.arrow, c.expected.arrow) << c.what;
    EXPECT_EQ(dpis.primary, c.expected.primary) << c.what;
  }
}

class MonitorScale : public ProgramTest {
 protected:
  void StartOn(std::vector<MonitorInfo> monitors, TPoint tip, int orientation = 0) {
    ws.monitors = std::move(monitors);
    StartWith("[Pointer]\r\nTipPosX=" + std::to_string(tip.x) +
              "\r\nTipPosY=" + std::to_string(tip.y) +
              "\r\nSize=10\r\nOrientation=" + std::to_string(orientation) + "\r\n");
    form->Show();
    ws.ClearLog();
  }
  int Width() const { return ws.window.bounds.right - ws.window.bounds.left; }
  int Height() const { return ws.window.bounds.bottom - ws.window.bounds.top; }
  // The rim's width as a paint draws it.
  int Pen() {
    ws.events->FormMainOnPaint(*ws.GetCanvas(form->Handle()));
    return std::stoi(ws.Calls("Polyline w").back().substr(10));
  }
  // The pointer moved to a screen position, as the window system delivers it, and the
  // hold-off's tick.
  void Move(TShiftState shift, TPoint at) {
    ws.cursorPos = at;
    ws.events->FormMainOnMouseMove(shift, at.x - ws.window.bounds.left,
                                   at.y - ws.window.bounds.top);
    ws.Tick(kTimerMouseMoveHoldOffId);
  }
  void Press(TPoint at) {
    Move({}, at);
    ws.events->FormMainOnMouseDown(TMouseButton::mbLeft, ssLeft, at.x - ws.window.bounds.left,
                                   at.y - ws.window.bounds.top);
  }
  // Every point of the outline lies in the window: the cut fits the bounds.
  bool OutlineFits() const {
    return std::all_of(ws.window.region.begin(), ws.window.region.end(),
                       [&](const TPoint& p) {
                         return p.x >= 0 && p.y >= 0 && p.x < Width() && p.y < Height();
                       }) &&
           std::any_of(ws.window.region.begin(), ws.window.region.end(),
                       [&](const TPoint& p) { return p.x == Width() - 1; });
  }
};

TEST_F(MonitorScale, TheArrowIsDrawnAtTheScaleOfTheMonitorUnderItsTip) {
  struct Case {
    const char* what;
    std::vector<MonitorInfo> monitors;
    TPoint tip;
    int length;
    int pen;
    bool stripAt7;  // 7 pixels in from the left edge: an edge strip, or inside
  };
  const std::vector<Case> cases = {
      {"one monitor at 100 %", {WithDpi(kLaptop, 96)}, {960, 540}, kPrimaryLength, 5, true},
      {"one monitor at 150 %", {kLaptop}, {960, 540}, kPrimaryLength, 5, true},
      {"the 150 % primary beside a 100 % projector",
       {kLaptop, kProjector},
       {960, 540},
       kPrimaryLength,
       5,
       true},
      {"a 100 % projector beside a 150 % primary",
       {kLaptop, kProjector},
       {2500, 360},
       115,
       3,
       false},
      {"a 150 % monitor beside a 100 % primary",
       {WithDpi(kLaptop, 96), WithDpi(kProjector, 144)},
       {2500, 360},
       258,
       8,
       true},
  };
  for (const Case& c : cases) {
    TearDown();
    SetUp();
    StartOn(c.monitors, c.tip);
    EXPECT_EQ(TipOnScreen(), c.tip) << c.what;
    EXPECT_EQ(Width(), c.length) << c.what;
    EXPECT_TRUE(OutlineFits()) << c.what;
    EXPECT_EQ(Pen(), c.pen) << c.what;
    // A drag from an edge strip reshapes at every step; one from inside only moves.
    Press({ws.window.bounds.left + 7, ws.window.bounds.top + Height() / 2});
    ws.ClearLog();
    Move(ssLeft, {ws.cursorPos.x, ws.cursorPos.y + 1});
    EXPECT_EQ(ws.Calls("CreatePolygonRegion").empty(), !c.stripAt7) << c.what;
    ws.events->FormMainOnMouseUp(TMouseButton::mbLeft, {}, 0, 0);
    // The file keeps screen pixels.
    const LoadedPointer saved = Saved();
    EXPECT_EQ(TPoint(saved.x, saved.y), TPoint(c.tip.x, c.tip.y + 1)) << c.what;
  }
}

// The pointer holds the grabbed point across the boundary, the arrow changes size as the
// pointer crosses it, and back on the laptop it is as it was, with the drag ending where
// it started. Under Windows the window's own DPI is reported from inside the moves too.
TEST_F(MonitorScale, DraggedAcrossAndBackItChangesSizeOnTheWayAndEndsAsItStarted) {
  for (const bool reported : {false, true}) {
    TearDown();
    SetUp();
    ws.reportsWindowDpi = reported;
    StartOn({kLaptop, kProjector}, {1700, 360});
    const FakeWindowSystem::Window start = ws.window;
    const TPoint grab{1614, 360};  // 86 pixels behind the tip
    Press(grab);
    struct Step {
      TPoint cursor;
      TPoint tip;
      int length;
    };
    const Step steps[] = {
        {{1914, 360}, {2000, 360}, kPrimaryLength},  // the tip across, the pointer not
        {{2014, 360}, {2071, 360}, 115},             // the pointer across: 57 behind the tip
        {{2014, 360}, {2071, 360}, 115},             // still: nothing more
        {{2114, 380}, {2171, 380}, 115},
        {{1914, 360}, {2000, 360}, kPrimaryLength},  // back
        {{1614, 360}, {1700, 360}, kPrimaryLength},
    };
    for (const Step& s : steps) {
      ws.ClearLog();
      Move(ssLeft, s.cursor);
      EXPECT_EQ(TipOnScreen(), s.tip) << reported << " " << s.cursor.x;
      EXPECT_EQ(Width(), s.length) << reported << " " << s.cursor.x;
      EXPECT_TRUE(OutlineFits()) << reported << " " << s.cursor.x;
      EXPECT_LE(ws.Calls("CreatePolygonRegion").size(), 1U) << reported << " " << s.cursor.x;
    }
    ws.events->FormMainOnMouseUp(TMouseButton::mbLeft, {}, 0, 0);
    EXPECT_EQ(ws.window.bounds, start.bounds) << reported;
    EXPECT_EQ(ws.window.region, start.region) << reported;
    const LoadedPointer saved = Saved();
    EXPECT_EQ(TPoint(saved.x, saved.y), TPoint(1700, 360)) << reported;
  }
}

// Dropped with the pointer on the projector but the tip on the laptop: drawn for the
// laptop, the tip where it was dropped.
TEST_F(MonitorScale, DroppedWithTheTipOnTheOtherMonitorTakesTheTipsScale) {
  StartOn({kLaptop, kProjector}, {2100, 360}, 12);  // pointing left, at the laptop
  Press({2150, 360});
  Move(ssLeft, {1980, 360});  // tip at 1930: still on the projector
  Move(ssLeft, {1940, 360});  // tip at 1890: on the laptop
  ASSERT_EQ(Width(), 115);
  ws.events->FormMainOnMouseUp(TMouseButton::mbLeft, {}, 0, 0);
  EXPECT_EQ(TipOnScreen(), TPoint(1890, 360));
  EXPECT_EQ(Width(), kPrimaryLength);
}

// An arrow whose tip is on the laptop with most of it on the projector: the system takes
// the window for the projector's, the arrow stays drawn for the laptop's, and nothing
// flips back and forth however often the system says so.
TEST_F(MonitorScale, NoFlippingBetweenScalesAtTheBoundary) {
  ws.reportsWindowDpi = true;
  StartOn({kLaptop, kProjector}, {1850, 360}, 12);  // 70 pixels on the laptop, 102 beyond
  ASSERT_EQ(Width(), kPrimaryLength);
  ws.ClearLog();
  ws.events->OnDpiChanged();
  ws.events->FormMainOnMouseWheel({}, 120, {0, 0});
  ws.events->FormMainOnMouseWheel({}, -120, {0, 0});
  EXPECT_EQ(Width(), kPrimaryLength);
  EXPECT_EQ(TipOnScreen(), TPoint(1850, 360));
  EXPECT_LE(ws.dpiReports, 2);

  // Grabbed ahead of its middle, dragged across and held still: one change, then none.
  TearDown();
  SetUp();
  ws.reportsWindowDpi = true;
  StartOn({kLaptop, kProjector}, {1800, 360});
  Press({1780, 360});
  ws.ClearLog();
  Move(ssLeft, {1925, 360});
  EXPECT_EQ(Width(), 115);
  EXPECT_EQ(ws.Calls("SetWindowRegion").size(), 1U);
  ws.ClearLog();
  for (int i = 0; i < 5; ++i) {
    Move(ssLeft, {1925, 360});
  }
  EXPECT_TRUE(ws.Calls("SetWindowRegion").empty());
  EXPECT_LE(ws.dpiReports, 2);
}

// A monitor's scale set anew while the arrow runs: reported between two events, or from
// inside a drag step's own move (the cut and the window then agree, the grabbed point stays
// under the pointer). The system reports a change of the window's own DPI only; the
// primary's scale set anew under an arrow on another monitor comes as a display change.
TEST_F(MonitorScale, AScaleSetAnewIsFollowed) {
  struct Case {
    const char* what;
    TPoint tip;
    std::size_t changed;  // which monitor
    std::uint32_t dpi;
    int length;
    bool displayChangeOnly = false;
  };
  const std::vector<Case> cases = {
      {"the projector at 125 %", {2500, 360}, 1, 120, 144},
      {"the laptop at 100 %, the arrow on it", {960, 360}, 0, 96, kPrimaryLength},
      {"the laptop at 100 %, the arrow on the projector", {2500, 360}, 0, 96, kPrimaryLength},
      {"the laptop at 100 %, the arrow on the projector, told by a display change",
       {2500, 360},
       0,
       96,
       kPrimaryLength,
       true},
  };
  for (const Case& c : cases) {
    TearDown();
    SetUp();
    ws.reportsWindowDpi = c.displayChangeOnly;
    StartOn({kLaptop, kProjector}, c.tip);
    ws.monitors[c.changed].dpi = c.dpi;
    if (c.displayChangeOnly) {
      ws.events->FormMainOnDisplayChange();
    } else {
      ws.events->OnDpiChanged();
    }
    EXPECT_EQ(TipOnScreen(), c.tip) << c.what;
    EXPECT_EQ(Width(), c.length) << c.what;
    EXPECT_TRUE(OutlineFits()) << c.what;
    EXPECT_EQ(ws.dpiReports, 0) << c.what;
  }

  // 3 pixels in from the edge: a strip, whose drag reshapes at each step; 30: inside.
  for (const int fromEdge : {3, 30, 0}) {
    TearDown();
    SetUp();
    StartOn({kLaptop, kProjector}, {2500, 360});
    const TPoint grab{2500 - 114 + fromEdge, 360};
    if (fromEdge != 0) {
      Press(grab);
    }
    bool fired = false;
    ws.onSetBounds = [&] {
      if (!std::exchange(fired, true)) {
        ws.monitors[1].dpi = 120;
        ws.events->OnDpiChanged();
      }
    };
    if (fromEdge == 0) {                                      // inside a wheel step's move instead
      ws.events->FormMainOnMouseWheel(ssShift, 120, {0, 0});  // size 11
      EXPECT_TRUE(fired);
      EXPECT_EQ(Width(), 171);
      EXPECT_TRUE(OutlineFits());
      EXPECT_EQ(TipOnScreen(), TPoint(2500, 360));
      continue;
    }
    Move(ssLeft, {grab.x + 10, grab.y});
    ASSERT_TRUE(fired) << fromEdge;
    EXPECT_EQ(Width(), 144) << fromEdge;
    EXPECT_TRUE(OutlineFits()) << fromEdge;
    // 114 - fromEdge behind the tip at 100 %, a quarter more at 125 %.
    const int behind = RoundHalfEven((114 - fromEdge) * 1.25);
    EXPECT_EQ(TipOnScreen(), TPoint(grab.x + 10 + behind, 360)) << fromEdge;
    ws.onSetBounds = nullptr;
    Move(ssLeft, {grab.x + 20, grab.y});
    EXPECT_EQ(TipOnScreen(), TPoint(grab.x + 20 + behind, 360)) << fromEdge;
    EXPECT_EQ(Width(), 144) << fromEdge;
  }
}

}  // namespace
}  // namespace qd::test
