#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>

#include "model/shape.h"
#include "model/tables.h"
#include "program_fixture.h"
#include "shape_examples.h"

namespace qd::test {
namespace {

class ShapeGeometry : public ::testing::TestWithParam<ShapeCase> {};

TEST_P(ShapeGeometry, TurnsScalesRoundsAndPlacesTheTipOnTheTipPosition) {
  const ShapeCase& c = GetParam();
  const PointerGeometry g = ComputedShape(c);
  EXPECT_EQ(g.PointerPolygon, c.polygon);
  EXPECT_EQ(g.WindowWidth, c.width);
  EXPECT_EQ(g.WindowHeight, c.height);
  EXPECT_EQ(g.WindowLeft, c.left);
  EXPECT_EQ(g.WindowTop, c.top);
  EXPECT_EQ(g.WindowLeft + g.PointerPolygon[0].x, c.tip.x);
  EXPECT_EQ(g.WindowTop + g.PointerPolygon[0].y, c.tip.y);
}

INSTANTIATE_TEST_SUITE_P(WorkedExamples, ShapeGeometry, ::testing::ValuesIn(kWorkedExamples),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ShapeRounding, HalvesGoToTheEvenNeighbour) {
  const std::array<std::pair<double, int>, 8> cases = {
      {{2.5, 2}, {3.5, 4}, {-3.5, -4}, {-2.5, -2}, {0.5, 0}, {1.4999999, 1}, {-0.6, -1}, {7.0, 7}}};
  for (const auto& [value, expected] : cases) {
    EXPECT_EQ(RoundHalfEven(value), expected) << value;
  }
}

TEST(ScaleTable, HoldsTheRepeatedProductsBitForBit) {
  EXPECT_EQ(ScaleRatio, std::sqrt(std::sqrt(2.0))) << "the constant is the fourth root of 2";
  for (int k = 1; k <= kMaxSize; ++k) {
    EXPECT_EQ(ScaleTable[static_cast<std::size_t>(k)], kScaleTable[static_cast<std::size_t>(k)])
        << "entry " << k;
  }
}

TEST(BaseUnit, FollowsTheLargerSideOfTheWorkArea) {
  struct Case {
    int width, height, baseUnit;
  };
  for (const Case& c : {Case{1920, 1040, 3}, Case{1280, 984, 2}, Case{3840, 2080, 7},
                        Case{500, 400, 1}, Case{1023, 700, 1}, Case{1023, 1023, 1},
                        Case{1024, 1024, 2}, Case{1, 1, 1}, Case{700, 1365, 2}}) {
    EXPECT_EQ(BaseUnitFor(c.width, c.height), c.baseUnit) << c.width << "x" << c.height;
  }
}

TEST(PaletteIndexOf, ComparesTheWhole32BitValue) {
  struct Case {
    TColor color;
    std::int32_t index;
  };
  for (const Case& c :
       {Case{0x000000FF, 0}, Case{0x008000FF, 11}, Case{0x00FF0000, 8}, Case{0x00000000, -1},
        Case{0x00FFFFFF, -1}, Case{0x010000FF, -1}, Case{0x000000FE, -1}}) {
    EXPECT_EQ(PaletteIndexOf(c.color), c.index) << std::hex << c.color;
  }
}

// --- the build applied to the window ---

class BuildShape : public ProgramTest {
 protected:
  // What the last step did to the window, in order: translucency off and on, cut, move.
  std::string WindowChanges() const {
    std::string changes;
    for (const std::string& line : ws.log) {
      if (line.starts_with("SetWindowBounds")) {
        changes += " move";
      } else if (line.starts_with("SetWindowRegion")) {
        changes += line.ends_with(" redraw") ? " cut" : " cut-without-redraw";
      } else if (line.starts_with("SetLayered ")) {
        changes += " " + line.substr(11);
      }
    }
    return changes;
  }
};

TEST_F(BuildShape, CutsAShrinkingArrowBeforeTheMoveAndAnyOtherAfterIt) {
  struct Case {
    const char* name;
    std::string ini;
    bool refuseRegions;
    std::string steps;  // Shift wheel '+' bigger, '-' smaller; 't' a turn
    int size, orientation;
    const char* changes;
  };
  const std::vector<Case> cases = {
      {"growing", "", false, "+", 5, 0, " off move cut on"},
      {"shrinking", "", false, "+-", 4, 0, " off cut move on"},
      {"turning", "", false, "t", 4, 1, " off move cut on"},
      {"opaque: translucency stays off", "AlphaBlendIndex=22\n", false, "t", 4, 1, " move cut"},
      {"no region: the rectangle shows", "", true, "t", 4, 1, " off move cut on"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    sys.files.clear();
    SetUp();
    ws.window = {};
    ws.refuseRegions = c.refuseRegions;
    StartWith("[Pointer]\n" + c.ini);
    for (const char step : c.steps) {
      ws.ClearLog();
      ws.events->FormMainOnMouseWheel(step == 't' ? TShiftState{} : TShiftState(ssShift),
                                      step == '-' ? -120 : 120, {0, 0});
    }
    EXPECT_EQ(WindowChanges(), c.changes);
    // The outline and bounds for the default tip on the fixture's work area.
    const PointerGeometry g = ComputePointerGeometry(
        BaseUnitFor(1920, 1080),
        {.TipPosX = 960, .TipPosY = 540, .Size = c.size, .Orientation = c.orientation});
    EXPECT_EQ(ws.window.bounds, (TRect{g.WindowLeft, g.WindowTop, g.WindowLeft + g.WindowWidth,
                                       g.WindowTop + g.WindowHeight}));
    EXPECT_EQ(ws.window.region,
              c.refuseRegions
                  ? std::vector<TPoint>{}
                  : std::vector<TPoint>(g.PointerPolygon.begin(), g.PointerPolygon.begin() + 7));
    // The new shape takes the mouse: the hand over its inner area.
    ws.events->FormMainOnMouseMove({}, g.WindowWidth / 2, g.WindowHeight / 2);
    EXPECT_EQ(ws.window.cursor, NativeCursor{0xF1});
    ws.refuseRegions = false;
  }
}

TEST_F(BuildShape, KeepsTheEightPixelMinimumButPaintsTheComputedSize) {
  ws.workArea = {0, 0, 1000, 800};  // one pixel an arrow unit
  StartWith("[Pointer]\nSize=1\nTipPosX=500\nTipPosY=400\n");
  EXPECT_EQ(ws.window.bounds, (TRect{488, 397, 501, 405}));
  ws.Tick(kTimerDrawBorderId);  // the repeat paint of the start
  EXPECT_EQ(ws.Calls("FillRect"), std::vector<std::string>{"FillRect 0 0 13 7 #0000FF"});
}

}  // namespace
}  // namespace qd::test
