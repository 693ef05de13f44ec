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
  for (const Case& c : {Case{0x000000FF, 0}, Case{0x008000FF, 11}, Case{0x00FF0000, 8},
                        Case{0x00000000, -1}, Case{0x00FFFFFF, -1}, Case{0x010000FF, -1},
                        Case{0x000000FE, -1}}) {
    EXPECT_EQ(PaletteIndexOf(c.color), c.index) << std::hex << c.color;
  }
}

// --- the build applied to the window ---

class BuildShape : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    Start();
  }
  // The window changes of one build, without the paint.
  std::vector<std::string> WindowChanges() {
    std::vector<std::string> changes;
    for (const std::string& line : ws.log) {
      if (line.starts_with("SetWindowBounds") || line.starts_with("SetWindowRegion") ||
          line.starts_with("SetLayered ")) {
        changes.push_back(line);
      }
    }
    return changes;
  }
};

TEST_F(BuildShape, SetsRegionFirstWhenShrinkingAndLastOtherwise) {
  // Start-up left a 62 x 31 arrow at (899, 525) on the 1920 x 1080 work area, opacity 192.
  struct Step {
    int size, orientation;
    std::vector<std::string> changes;
  };
  const std::vector<Step> steps = {
      {5, 0,
       // Scale 6: a 73 x 37 window, tip 72 pixels right of its left edge.
       {"SetLayered off", "SetWindowBounds 899 525 73 31", "SetWindowBounds 899 525 73 37",
        "SetWindowBounds 888 525 73 37", "SetWindowBounds 888 522 73 37", "SetWindowRegion 2 redraw",
        "SetLayered on"}},
      {4, 0,
       {"SetLayered off", "SetWindowRegion 3 redraw", "SetWindowBounds 899 522 73 37",
        "SetWindowBounds 899 525 73 37", "SetWindowBounds 899 525 62 37",
        "SetWindowBounds 899 525 62 31", "SetLayered on"}},
      {4, 12,
       {"SetLayered off", "SetWindowBounds 960 525 62 31", "SetWindowRegion 4 redraw",
        "SetLayered on"}},
  };
  for (const Step& step : steps) {
    ws.ClearLog();
    form->Settings.Size = step.size;
    form->Settings.Orientation = step.orientation;
    form->BuildPointerShape();
    EXPECT_EQ(WindowChanges(), step.changes) << "size " << step.size;
    EXPECT_EQ(form->PreviousSize, step.size);
    EXPECT_TRUE(form->ShapeReady);
  }
}

TEST_F(BuildShape, KeepsTheEightPixelMinimumButTheComputedSize) {
  form->BaseUnit = 1;
  form->Settings.Size = 1;
  form->PreviousSize = 1;
  form->Settings.TipPosX = 500;
  form->Settings.TipPosY = 400;
  form->BuildPointerShape();
  EXPECT_EQ(form->Width(), 13);
  EXPECT_EQ(form->Height(), 8);
  EXPECT_EQ(form->Geometry.WindowWidth, 13);
  EXPECT_EQ(form->Geometry.WindowHeight, 7);
  EXPECT_EQ(ws.Calls("FillRect"), std::vector<std::string>{"FillRect 0 0 13 7 #0000FF"});
}

TEST_F(BuildShape, LeavesTranslucencyOffWhenItWasOff) {
  form->SetAlphaBlend(false);
  ws.ClearLog();
  form->Settings.Orientation = 1;
  form->BuildPointerShape();
  EXPECT_TRUE(ws.Calls("SetLayered").empty());
  EXPECT_FALSE(form->AlphaBlend());
}

TEST_F(BuildShape, HandsEachBuildANewRegionAndShowsTheRectangleWhenNoneCanBeMade) {
  const int before = ws.regionsCreated;
  form->BuildPointerShape();
  form->BuildPointerShape();
  EXPECT_EQ(ws.regionsCreated, before + 2);
  ws.refuseRegions = true;
  ws.ClearLog();
  form->BuildPointerShape();
  EXPECT_EQ(ws.Calls("SetWindowRegion"), std::vector<std::string>{"SetWindowRegion 0 redraw"});
  EXPECT_TRUE(form->ShapeReady);
}

}  // namespace
}  // namespace qd::test
