#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "model/shape.h"
#include "model/tables.h"
#include "program_fixture.h"

namespace qd::test {
namespace {

using Polygon = std::array<TPoint, 8>;

struct ShapeCase {
  int baseUnit, size, orientation;
  TPoint tip;
  Polygon polygon;
  int width, height, left, top;
};

class ShapeGeometry : public ::testing::TestWithParam<ShapeCase> {};

TEST_P(ShapeGeometry, TurnsScalesRoundsAndPlacesTheTipOnTheTipPosition) {
  const ShapeCase& c = GetParam();
  PointerSettings s;
  s.Size = c.size;
  s.Orientation = c.orientation;
  s.TipPosX = c.tip.x;
  s.TipPosY = c.tip.y;
  const PointerGeometry g = ComputePointerGeometry(c.baseUnit, s);
  EXPECT_EQ(g.PointerPolygon, c.polygon);
  EXPECT_EQ(g.WindowWidth, c.width);
  EXPECT_EQ(g.WindowHeight, c.height);
  EXPECT_EQ(g.WindowLeft, c.left);
  EXPECT_EQ(g.WindowTop, c.top);
  EXPECT_EQ(g.WindowLeft + g.PointerPolygon[0].x, c.tip.x);
  EXPECT_EQ(g.WindowTop + g.PointerPolygon[0].y, c.tip.y);
}

INSTANTIATE_TEST_SUITE_P(
    WorkedExamples, ShapeGeometry,
    ::testing::Values(
        ShapeCase{1, 1, 0, {500, 400},
                  {{{12, 3}, {6, 0}, {6, 2}, {0, 2}, {0, 4}, {6, 4}, {6, 6}, {12, 3}}},
                  13, 7, 488, 397},
        ShapeCase{1, 1, 6, {500, 400},
                  {{{3, 0}, {0, 6}, {2, 6}, {2, 12}, {4, 12}, {4, 6}, {6, 6}, {3, 0}}},
                  7, 13, 497, 400},
        ShapeCase{1, 1, 3, {500, 400},
                  {{{9, 0}, {3, 2}, {4, 4}, {0, 8}, {1, 9}, {5, 5}, {7, 6}, {9, 0}}},
                  10, 10, 491, 400},
        ShapeCase{3, 4, 0, {960, 520},
                  {{{61, 15}, {31, 0}, {31, 10}, {0, 10}, {0, 20}, {31, 20}, {31, 30}, {61, 15}}},
                  62, 31, 899, 505},
        ShapeCase{3, 4, 2, {960, 520},
                  {{{55, 0}, {21, 2}, {26, 11}, {0, 26}, {5, 35}, {31, 20}, {36, 28}, {55, 0}}},
                  56, 36, 905, 520},
        ShapeCase{3, 4, 12, {960, 520},
                  {{{0, 15}, {30, 30}, {30, 20}, {61, 20}, {61, 10}, {30, 10}, {30, 0}, {0, 15}}},
                  62, 31, 960, 505},
        ShapeCase{3, 4, 18, {960, 520},
                  {{{15, 61}, {30, 31}, {20, 31}, {20, 0}, {10, 0}, {10, 31}, {0, 31}, {15, 61}}},
                  31, 62, 945, 459}));

TEST(ShapeRounding, HalvesGoToTheEvenNeighbour) {
  const std::array<std::pair<double, int>, 8> cases = {
      {{2.5, 2}, {3.5, 4}, {-3.5, -4}, {-2.5, -2}, {0.5, 0}, {1.4999999, 1}, {-0.6, -1}, {7.0, 7}}};
  for (const auto& [value, expected] : cases) {
    EXPECT_EQ(RoundHalfEven(value), expected) << value;
  }
}

TEST(ScaleTable, HoldsTheRepeatedProductsBitForBit) {
  const std::array<double, 25> expected = {
      0.0,                1.0,                1.189207115002721,  1.414213562373095,
      1.6817928305074288, 1.9999999999999996, 2.3784142300054416, 2.8284271247461894,
      3.363585661014857,  3.9999999999999987, 4.756828460010882,  5.656854249492378,
      6.727171322029713,  7.9999999999999964, 9.513656920021765,  11.313708498984756,
      13.454342644059427, 15.999999999999993, 19.02731384004353,  22.62741699796951,
      26.908685288118853, 31.999999999999986, 38.05462768008706,  45.25483399593902,
      53.81737057623771};
  EXPECT_EQ(ScaleRatio, 1.189207115002721);
  EXPECT_EQ(ScaleRatio, std::sqrt(std::sqrt(2.0))) << "the constant is the fourth root of 2";
  for (int k = 1; k <= kMaxSize; ++k) {
    EXPECT_EQ(ScaleTable[static_cast<std::size_t>(k)], expected[static_cast<std::size_t>(k)])
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
