// The program among the others on a desktop: a touchpad's wheel, a second start, a kill
// a little after a change, and what its manifest asks of Windows.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "arrow_run.h"
#include "default_arrow.h"

namespace qd::e2e {
namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
// The default arrow's tip; its window is kDefaultBounds.
constexpr int kTipX = 960;
constexpr int kTipY = 540;
constexpr char kExePath[] = "C:\\Programs\\Quiverdart.exe";

std::optional<long> SavedOrientation(const ArrowRun& run) {
  return IniInteger(ReadText(run.SettingsFile()), "Pointer", "Orientation");
}

// A precision touchpad sends a notch as several small deltas: four quarters are one step.
// A notched wheel's messages stay a step each.
TEST(WheelMessages, QuartersOfANotchAddUpAndNotchesAreAStepEach) {
  ArrowRun run(kWidth, kHeight, "[Pointer]\r\nOrientation=0\r\n");
  ASSERT_NE(run.Arrow(), 0u) << "no window mapped";
  const auto arrow = run.ProbeArrow();
  ASSERT_TRUE(arrow);
  ASSERT_TRUE(run.S().WinProbe().PostWheel(arrow->hwnd, 30, 4));
  ASSERT_TRUE(run.S().WinProbe().PostWheel(arrow->hwnd, 120, 2));
  ASSERT_TRUE(run.Close());
  EXPECT_EQ(SavedOrientation(run), 3) << "one step for the quarters, two for the notches";
}

// A presenter who lost the arrow starts the program again: that start ends, and the running
// arrow comes to the pointer; there is still one arrow.
TEST(SecondStart, EndsAndBringsTheRunningArrowToThePointer) {
  ArrowRun run(kWidth, kHeight);
  ASSERT_NE(run.Arrow(), 0u) << "no window mapped";
  run.Input().MoveTo(300, 200);
  Process second = run.S().Launch(kExePath);
  const auto status = second.WaitFor(kExitTimeout);
  ASSERT_TRUE(status && status->exited && status->code == 0) << "the second start still runs";
  const WinRect wanted{300 - (kTipX - kDefaultBounds.x), 200 - (kTipY - kDefaultBounds.y),
                       300 - (kTipX - kDefaultBounds.x) + kDefaultBounds.width,
                       200 - (kTipY - kDefaultBounds.y) + kDefaultBounds.height};
  EXPECT_TRUE(WaitUntil(10s, [&] {
    const auto arrow = run.ProbeArrow();
    return arrow && arrow->visible && arrow->rect == wanted;
  })) << "the running arrow's tip is not at the pointer";
  int arrows = 0;
  for (const auto& w : run.S().WinProbe().Windows("Quiverdart.exe")) {
    arrows += w.className == "TFormMain" ? 1 : 0;
  }
  EXPECT_EQ(arrows, 1);
  EXPECT_TRUE(run.Close());
}

// Killed (End task, a crash) a few seconds after a change, the program leaves it saved.
TEST(KilledAfterAChange, LeavesTheChangeSaved) {
  ArrowRun run(kWidth, kHeight, "[Pointer]\r\nOrientation=0\r\n");
  ASSERT_NE(run.Arrow(), 0u) << "no window mapped";
  const auto arrow = run.ProbeArrow();
  ASSERT_TRUE(arrow);
  ASSERT_TRUE(run.S().WinProbe().PostWheel(arrow->hwnd, 120, 1));
  EXPECT_TRUE(WaitUntil(20s, [&] { return SavedOrientation(run) == 1; }, 100ms))
      << "not saved while the program runs";
  run.Program().Kill();
  EXPECT_EQ(SavedOrientation(run), 1);
}

// Declared, Windows neither virtualises the program's files and registry nor asks for
// elevation because of its name.
TEST(Manifest, AsksForTheRightsOfWhoeverStartsIt) {
  const std::string exe = ReadText(ProgramPath());
  ASSERT_FALSE(exe.empty());
  EXPECT_NE(exe.find("<requestedExecutionLevel level=\"asInvoker\""), std::string::npos);
}

}  // namespace
}  // namespace qd::e2e
