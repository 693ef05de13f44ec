// The arrow at other scales than 100 %: the whole screen at 150 % (LogPixels 144, on both
// Wines), and, under Wine 10, a 150 % primary beside a 100 % projector.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "arrow_run.h"
#include "arrow_shape.h"

namespace qd::e2e {
namespace {

const Rect kPrimary{0, 0, 1920, 1080};
const Rect kProjector{1920, 0, 1280, 720};

std::string Settings(int size, int orientation, int tipX, int tipY, bool smooth = false) {
  return "[Pointer]\r\nSize=" + std::to_string(size) +
         "\r\nOrientation=" + std::to_string(orientation) + "\r\nTipPosX=" + std::to_string(tipX) +
         "\r\nTipPosY=" + std::to_string(tipY) + "\r\n" +
         (smooth ? "[Display]\r\nEdges=Smooth\r\n" : "");
}

// LogPixels for the whole session; the probe's DPIs afterwards.
std::optional<Probe::Dpis> AtLogPixels(Session& s, int dpi) {
  if (!SetSessionDpi(s, dpi, false)) {
    ADD_FAILURE() << "reg.exe could not set LogPixels";
    return std::nullopt;
  }
  return s.WinProbe().MonitorDpis();
}

bool EndedWithTipAt(ArrowRun& run, int tipX, int tipY) {
  if (!run.Close()) {
    ADD_FAILURE() << "the program did not end the orderly way";
    return false;
  }
  const std::string saved = ReadText(run.SettingsFile());
  EXPECT_EQ(IniInteger(saved, "Pointer", "TipPosX"), tipX) << saved;
  EXPECT_EQ(IniInteger(saved, "Pointer", "TipPosY"), tipY) << saved;
  return true;
}

// At 150 % on one monitor the arrow has exactly the pixels it has at 100 %: its size comes
// from the work area, and it is drawn natively, its X shape cut from the same outline.
TEST(DpiLogPixels, At150PercentTheArrowHasThePixelsItHasAt100Percent) {
  const ArrowPose pose{3, 7, 2, 900, 500};
  const std::string settings = Settings(pose.size, pose.orientation, pose.tipX, pose.tipY);
  std::vector<Rect> shape96;
  {
    ArrowRun run({kPrimary}, settings, [](Session& s) {
      const auto dpis = AtLogPixels(s, 96);
      ASSERT_TRUE(dpis && dpis->system == 96) << "LogPixels 96 not taken";
    });
    ASSERT_NE(run.Arrow(), 0u) << "no window mapped";
    ASSERT_TRUE(WaitUntil(10s, [&] { return run.Now() == ExpectedBounds(pose); })) << run.Now();
    shape96 = run.X().ShapeRectangles(run.Arrow());
    ASSERT_FALSE(shape96.empty());
  }
  ArrowRun run({kPrimary}, settings, [](Session& s) {
    const auto dpis = AtLogPixels(s, 144);
    ASSERT_TRUE(dpis && dpis->system == 144) << "LogPixels 144 not taken";
  });
  ASSERT_NE(run.Arrow(), 0u) << "no window mapped";
  EXPECT_TRUE(WaitUntil(10s, [&] { return run.Now() == ExpectedBounds(pose); })) << run.Now();
  EXPECT_EQ(run.X().ShapeRectangles(run.Arrow()), shape96);
  EndedWithTipAt(run, pose.tipX, pose.tipY);
}

// LogPixels 144 for the session, kept, and the projector at 96. Returns the DPIs a
// per-monitor aware program then sees.
std::optional<Probe::Dpis> LaptopBesideProjector(Session& s) {
  if (!SetSessionDpi(s, 144, true)) return std::nullopt;
  if (!SetMonitorDpi(s, 1, 96)) {
    ADD_FAILURE() << "no monitor key to set";
    return std::nullopt;
  }
  return s.WinProbe().MonitorDpis();
}

bool TwoDpis(const std::optional<Probe::Dpis>& dpis) {
  return dpis && dpis->monitors.size() == 2 && dpis->monitors.at({0, 0}) == 144 &&
         dpis->monitors.at({1920, 0}) == 96;
}

// A saved tip on the projector: the arrow starts there at two thirds of its size on the
// laptop, drawn for the projector, and the tip is saved where it was.
TEST(DpiTwoMonitors, OnTheProjectorTheArrowIsTwoThirdsAndKeepsItsTip) {
  if (WineMajorVersion() < 10) GTEST_SKIP() << "Wine 8 gives every monitor one DPI";
  std::optional<Probe::Dpis> dpis;
  const ArrowPose pose{3, 7, 0, 2500, 360, 96.0 / 144};
  ArrowRun run({kPrimary, kProjector}, Settings(pose.size, pose.orientation, pose.tipX, pose.tipY),
               [&](Session& s) { dpis = LaptopBesideProjector(s); });
  ASSERT_TRUE(TwoDpis(dpis)) << "the monitors are not at 144 and 96 DPI";
  ASSERT_NE(run.Arrow(), 0u) << "no window mapped";
  EXPECT_TRUE(WaitUntil(10s, [&] { return run.Now() == ExpectedBounds(pose); })) << run.Now();
  EndedWithTipAt(run, pose.tipX, pose.tipY);
}

// Dragged from the laptop onto the projector it shrinks as the pointer crosses, keeping
// the grabbed point under the pointer, where X too finds the arrow (its shape drawn for the
// projector); dragged back it is as it was. Sharp and smooth edges, the pointer in small
// steps and in steps that take the arrow from one monitor to the other at once.
struct DragCase {
  const char* name;
  bool smooth;
  int step;
};

class DpiDrag : public ::testing::TestWithParam<DragCase> {};

TEST_P(DpiDrag, OntoTheProjectorAndBackItChangesSizeAndEndsAsItStarted) {
  if (WineMajorVersion() < 10) GTEST_SKIP() << "Wine 8 gives every monitor one DPI";
  std::optional<Probe::Dpis> dpis;
  ArrowPose pose{3, 7, 0, 1700, 360};
  ArrowRun run({kPrimary, kProjector},
               Settings(pose.size, pose.orientation, pose.tipX, pose.tipY, GetParam().smooth),
               [&](Session& s) { dpis = LaptopBesideProjector(s); });
  ASSERT_TRUE(TwoDpis(dpis)) << "the monitors are not at 144 and 96 DPI";
  ASSERT_NE(run.Arrow(), 0u) << "no window mapped";
  const Rect start = ExpectedBounds(pose);
  ASSERT_TRUE(WaitUntil(10s, [&] { return run.Now() == start; })) << run.Now();
  // The shaft's middle, 9 units behind the tip.
  const auto [gripX, gripY] = OnScreen(pose, -9, 0);
  run.Input().MoveTo(gripX, gripY);
  PauseFor(300ms);
  run.Input().Press(1);
  PauseFor(300ms);
  const int across = 400;  // the pointer ends on the projector
  for (int dx = GetParam().step; dx <= across; dx += GetParam().step) {
    run.Input().MoveTo(gripX + dx, gripY);
    PauseFor(30ms);
  }
  ArrowPose there = pose;
  there.monitorScale = 96.0 / 144;
  // The grabbed point stays under the pointer: its distance to the tip two thirds as long.
  there.tipX = gripX + across + RoundHalfEven((pose.tipX - gripX) * there.monitorScale);
  EXPECT_TRUE(WaitUntil(10s,
                        [&] {
                          run.Input().MoveTo(gripX + across, gripY);
                          return run.Now() == ExpectedBounds(there);
                        }))
      << run.Now() << " not " << ExpectedBounds(there);
  EXPECT_TRUE(WaitUntil(10s, [&] { return run.X().UnderPointer() == run.Arrow(); }))
      << "X finds no arrow under the pointer; the window " << run.Now()
      << ", its shape: " << ::testing::PrintToString(run.X().ShapeRectangles(run.Arrow()));
  for (int dx = across - GetParam().step; dx >= 0; dx -= GetParam().step) {
    run.Input().MoveTo(gripX + dx, gripY);
    PauseFor(30ms);
  }
  EXPECT_TRUE(WaitUntil(10s, [&] {
    run.Input().MoveTo(gripX, gripY);
    return run.Now() == start;
  })) << run.Now();
  run.Input().Release(1);
  EndedWithTipAt(run, pose.tipX, pose.tipY);
}

INSTANTIATE_TEST_SUITE_P(DpiTwoMonitors, DpiDrag,
                         ::testing::Values(DragCase{"Sharp", false, 20},
                                           DragCase{"Smooth", true, 20},
                                           DragCase{"SharpQuickly", false, 100},
                                           DragCase{"SmoothQuickly", true, 100}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qd::e2e
