// A presenter's whole session under Wine, and the next start: everything the presenter set
// must come back exactly as it was left.
// GoogleTest before Xlib, whose macros (None, Bool) break its templates.
#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <algorithm>
#include <string>

#include "arrow_run.h"
#include "arrow_shape.h"
#include "default_arrow.h"

namespace qd::e2e {
namespace {

const Rgb kYellowGreen = Rgb::FromColorRef(0x00FF80);  // palette colour 3

// The middle of the arrow's head, inside it whatever its pose.
std::pair<int, int> Grip(const ArrowPose& pose) { return OnScreen(pose, -3.5, 0); }

// Moves the pointer to `to` until the window stands at `expected`. A move that comes within
// the drag's hold-off after a handled one is dropped, so each retry comes from a pixel
// beside the target, a little later than the one before.
bool SettleAt(ArrowRun& run, std::pair<int, int> to, const Rect& expected) {
  Clock::duration gap = 0ms;
  return WaitUntil(
      20s,
      [&] {
        if (gap > 0ms) {
          run.Input().MoveTo(to.first - 1, to.second);
          PauseFor(gap);
        }
        run.Input().MoveTo(to.first, to.second);
        gap = gap == 0ms ? 10ms : std::min<Clock::duration>(gap * 2, 320ms);
        return WaitUntil(300ms, [&] { return run.Now() == expected; }, 5ms);
      },
      0ms);
}

TEST(PresenterSession, DragTurnGrowRecolourFadeLockExitAndTheSameArrowAgain) {
  ArrowRun run(1920, 1080);
  ASSERT_NE(run.Arrow(), 0u) << "no window mapped";
  ArrowPose pose;
  ASSERT_EQ(run.Shown(), ExpectedBounds(pose));

  // Drag the arrow by its head to the lower right.
  // Press only once the arrow has handled the pointer's arrival: it shows a hand, the
  // program's own 32 x 32 cursors with their hot spot at (15, 16), open and then grabbing.
  auto hand = [&] {
    return WaitUntil(10s, [&] {
      const auto cursor = run.X().Cursor();
      return cursor && cursor->width == 32 && cursor->xHot == 15 && cursor->yHot == 16;
    });
  };
  auto grip = Grip(pose);
  run.Input().MoveTo(grip.first, grip.second);
  ASSERT_TRUE(hand()) << "the arrow never took the pointer";
  const auto open = run.X().Cursor();
  run.Input().Press(1);
  ASSERT_TRUE(WaitUntil(10s, [&] {
    const auto cursor = run.X().Cursor();
    return cursor && cursor->argb != open->argb;
  })) << "the arrow never grabbed";
  const int dx = 300;
  const int dy = 150;
  for (int i = 1; i < 6; ++i) {
    run.Input().MoveTo(grip.first + dx * i / 6, grip.second + dy * i / 6);
  }
  pose.tipX += dx;
  pose.tipY += dy;
  const bool dragged =
      SettleAt(run, {grip.first + dx, grip.second + dy}, ExpectedBounds(pose));
  run.Input().Release(1);
  ASSERT_TRUE(dragged) << "window at " << run.Now() << ", expected " << ExpectedBounds(pose);

  // Turn it twice, grow it twice, one step at a time with the pointer on the arrow.
  auto step = [&](int steps, unsigned modifiers, ArrowPose next) {
    grip = Grip(pose);
    run.Input().MoveTo(grip.first, grip.second);
    run.Input().Wheel(steps, modifiers);
    pose = next;
    return WaitUntil(10s, [&] { return run.Now() == ExpectedBounds(pose); }, 5ms);
  };
  for (int i = 0; i < 2; ++i) {
    ArrowPose next = pose;
    ++next.orientation;
    ASSERT_TRUE(step(1, kNoModifier, next)) << "turn " << i << ": window at " << run.Now();
  }
  for (int i = 0; i < 2; ++i) {
    ArrowPose next = pose;
    ++next.size;
    ASSERT_TRUE(step(1, kShift, next)) << "growth " << i << ": window at " << run.Now();
  }

  // Three palette steps from red to yellow-green.
  grip = Grip(pose);
  auto fill = [&] { return run.X().Pixel(grip.first, grip.second); };
  ASSERT_TRUE(WaitUntil(10s, [&] { return fill() == kRed; }, 5ms)) << "the arrow is " << fill();
  run.Input().MoveTo(grip.first, grip.second);
  run.Input().Wheel(3, kCtrl);
  ASSERT_TRUE(WaitUntil(10s, [&] { return fill() == kYellowGreen; }, 5ms))
      << "the arrow is " << fill();

  // Fade out and back in with the middle button.
  ASSERT_TRUE(run.WaitForAlpha(192u));
  run.Input().Click(2);
  ASSERT_TRUE(run.WaitForAlpha(2u)) << "alpha " << run.Alpha().value_or(0);
  run.Input().Click(2);
  ASSERT_TRUE(run.WaitForAlpha(192u)) << "alpha " << run.Alpha().value_or(0);

  // Lock, and end with Esc.
  run.Input().Key(XK_F3);
  run.Input().Key(XK_Escape);
  const auto status = run.Program().WaitFor(kExitTimeout);
  ASSERT_TRUE(status) << "Esc did not end the program";
  ASSERT_TRUE(status->exited && status->code == 0);
  const std::string settings = ReadText(run.SettingsFile());
  EXPECT_EQ(IniInteger(settings, "Pointer", "SettingsLocked"), 1) << settings;

  // The next start shows the same arrow in the same place, colour and opacity.
  const std::size_t seen = run.X().History().size();
  Process again = run.S().Launch(run.S().Install(ProgramPath(), "Quiverdart.exe"));
  std::optional<Shown> shown;
  ASSERT_TRUE(WaitUntil(kStartTimeout, [&] {
    const auto& history = run.X().History();
    for (std::size_t i = seen; i < history.size(); ++i) {
      if (history[i].mapEvent && history[i].geometry.width > 1) {
        shown = history[i];
        return true;
      }
    }
    return false;
  })) << "the program did not start again";
  EXPECT_EQ(shown->geometry, ExpectedBounds(pose));
  EXPECT_TRUE(WaitUntil(10s, [&] { return fill() == kYellowGreen; }, 5ms))
      << "the arrow is " << fill();
  EXPECT_TRUE(WaitUntil(10s, [&] {
    return run.X().Opacity(shown->window) == std::optional<std::uint32_t>(192 * kOpacityUnit);
  })) << "opacity " << run.X().Opacity(shown->window).value_or(0);
  const auto arrow = run.ProbeArrow();
  ASSERT_TRUE(arrow);
  EXPECT_EQ(arrow->alpha, 192u);
}

}  // namespace
}  // namespace qd::e2e
