// The wheel and the keys under Wine: turning, size, palette colour, opacity, the lock, the
// double-click colour pick and Esc, each seen from outside: X geometry and pixels, the
// region and alpha through the probe, and the settings file after the end. Expected bounds
// come from arrow_shape.h, worked out from the shape rules, not from the program.
// GoogleTest before Xlib, whose macros (None, Bool) break its templates.
#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <algorithm>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "arrow_run.h"
#include "arrow_shape.h"
#include "default_arrow.h"

namespace qd::e2e {
namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

const Rgb kOrange = Rgb::FromColorRef(0x0080FF);
const Rgb kRose = Rgb::FromColorRef(0x8000FF);
const Rgb kBlack = Rgb::FromColorRef(0x000000);
const Rgb kWhite = Rgb::FromColorRef(0xFFFFFF);

// The arrow of one running program as the test has driven it so far.
class KeysRun {
 public:
  KeysRun() : run_(kWidth, kHeight) {}
  // A screen of another size and a settings file; `pose` is the arrow they give.
  KeysRun(int width, int height, const std::string& settings, const ArrowPose& pose)
      : run_(width, height, settings), pose_(pose) {}
  ArrowRun& Run() { return run_; }
  ArrowPose& Pose() { return pose_; }
  XInput& Input() { return run_.Input(); }

  // Focus follows the pointer, and the wheel goes to the window under it: the middle of the
  // head is inside the arrow whatever its size and orientation.
  // Over the head, or the shaft where X has no arrow under the head: Wine 10 cuts the X
  // shape of a window that reaches far past the screen's left edge short of its right part.
  void PointAtArrow() {
    for (const auto& [along, across] : InsidePoints()) {
      const auto [x, y] = OnScreen(pose_, along, across);
      Input().MoveTo(x, y);
      if (run_.X().UnderPointer() == run_.Arrow()) return;
    }
  }
  void Wheel(int steps, unsigned modifiers = kNoModifier) {
    PointAtArrow();
    Input().Wheel(steps, modifiers);
  }
  void Key(KeySym key, unsigned modifiers = kNoModifier) {
    PointAtArrow();
    Input().Key(key, modifiers);
  }

  // Waits until the window stands where the pose puts it, and checks the region there.
  testing::AssertionResult Shows(const ArrowPose& pose) {
    pose_ = pose;
    const Rect expected = ExpectedBounds(pose);
    if (!WaitUntil(10s, [&] { return run_.Now() == expected; }, 5ms)) {
      return testing::AssertionFailure()
             << "window at " << run_.Now() << ", expected " << expected << " for size "
             << pose.size << ", orientation " << pose.orientation;
    }
    const auto inside = WindowPoints(pose, InsidePoints());
    const auto outside = WindowPoints(pose, OutsidePoints());
    std::vector<std::pair<int, int>> points = inside;
    points.insert(points.end(), outside.begin(), outside.end());
    const auto arrow = run_.ProbeClass("TFormMain", points);
    if (!arrow) return testing::AssertionFailure() << "the probe found no arrow";
    for (const auto& p : inside) {
      if (!arrow->inRegion.contains(p) || !arrow->inRegion.at(p)) {
        return testing::AssertionFailure() << "outside the region at " << p.first << ","
                                           << p.second << " for orientation "
                                           << pose.orientation << ", size " << pose.size;
      }
    }
    for (const auto& p : outside) {
      if (arrow->inRegion.contains(p) && arrow->inRegion.at(p)) {
        return testing::AssertionFailure() << "inside the region at " << p.first << ","
                                           << p.second << " for orientation "
                                           << pose.orientation << ", size " << pose.size;
      }
    }
    return testing::AssertionSuccess();
  }
  testing::AssertionResult ShowsTurned(int orientation) {
    ArrowPose pose = pose_;
    pose.orientation = orientation;
    return Shows(pose);
  }
  testing::AssertionResult ShowsSize(int size) {
    ArrowPose pose = pose_;
    pose.size = size;
    return Shows(pose);
  }

  // Waits until the screen shows the pose's arrow in `fill`: that colour at the points well
  // inside the outline and the root beside it, wherever such a point is on the screen.
  testing::AssertionResult ShowsOnScreen(Rgb fill) {
    const int width = run_.S().Screen().Width();
    const int height = run_.S().Screen().Height();
    std::string wrong;
    const auto check = [&](const std::vector<std::pair<double, double>>& points, Rgb expected) {
      for (const auto& [along, across] : points) {
        const auto [x, y] = OnScreen(pose_, along, across);
        if (x < 0 || y < 0 || x >= width || y >= height) continue;
        const Rgb seen = run_.X().Pixel(x, y);
        if (seen != expected) {
          std::ostringstream what;
          what << seen << " at " << x << "," << y << " where " << expected << " belongs";
          wrong = what.str();
          return false;
        }
      }
      return true;
    };
    if (WaitUntil(10s, [&] {
          return check(InsidePoints(), fill) && check(OutsidePoints(), XScreen::Background());
        })) {
      return testing::AssertionSuccess();
    }
    return testing::AssertionFailure() << wrong << ", orientation " << pose_.orientation;
  }

  Rgb Fill() {
    const auto [x, y] = OnScreen(pose_, -3.5, 0);
    return run_.X().Pixel(x, y);
  }
  testing::AssertionResult Filled(Rgb colour) {
    if (WaitUntil(10s, [&] { return Fill() == colour; }, 5ms)) {
      return testing::AssertionSuccess();
    }
    return testing::AssertionFailure() << "the arrow is " << Fill() << ", expected " << colour;
  }

  // Ends the program with Esc; the settings file's text, empty if it did not end well.
  std::string EndWithEsc() {
    Key(XK_Escape);
    const auto status = run_.Program().WaitFor(kExitTimeout);
    if (!status || !status->exited || status->code != 0) return {};
    return ReadText(run_.SettingsFile());
  }

 private:
  ArrowRun run_;
  ArrowPose pose_;
};

// One kind of geometry step, given `times` times; each step is waited for, and the pointer
// put back over the arrow before the next, since Wine sends wheel turns to the window under
// the pointer when it handles them, and the arrow turns and shrinks away from under it.
struct GeometryStep {
  const char* input;
  std::function<void(KeysRun&)> give;
  int delta;  // per step: orientation steps (wrapping) or size steps (stopping at 1 and 24)
  int times;
};

void Play(KeysRun& k, const GeometryStep& step, bool turning) {
  for (int i = 0; i < step.times; ++i) {
    step.give(k);
    ArrowPose next = k.Pose();
    if (turning) {
      next.orientation = (next.orientation + step.delta + 24) % 24;
    } else {
      next.size = std::clamp(next.size + step.delta, 1, 24);
    }
    const Rect expected = ExpectedBounds(next);
    ASSERT_TRUE(WaitUntil(10s, [&] { return k.Run().Now() == expected; }, 5ms))
        << "after " << step.input << " (" << i + 1 << " of " << step.times << "): window at "
        << k.Run().Now() << ", expected " << expected;
    k.Pose() = next;
  }
  // The region once per row: the probe is slow.
  EXPECT_TRUE(k.Shows(k.Pose())) << "after " << step.input;
}

// The wheel forward and Left and Down turn counter-clockwise, the wheel backward and Up and
// Right clockwise, wrapping between 23 and 0; the window and its region follow each turn.
TEST(KeysTurn, WheelAndCursorKeysTurnTheArrowAndItsRegion) {
  KeysRun k;
  ASSERT_NE(k.Run().Arrow(), 0u) << "no window mapped";
  ASSERT_TRUE(k.Shows(ArrowPose{}));
  const GeometryStep steps[] = {
      {"wheel forward", [](KeysRun& r) { r.Wheel(1); }, 1, 3},
      {"wheel backward", [](KeysRun& r) { r.Wheel(-1); }, -1, 4},
      {"Left", [](KeysRun& r) { r.Key(XK_Left); }, 1, 1},
      {"Down", [](KeysRun& r) { r.Key(XK_Down); }, 1, 1},
      {"Up", [](KeysRun& r) { r.Key(XK_Up); }, -1, 1},
      {"Right", [](KeysRun& r) { r.Key(XK_Right); }, -1, 2},
      // A lone Alt must not leave the window in menu mode, swallowing the next key.
      {"Alt alone, then Left",
       [](KeysRun& r) {
         r.Key(XK_Alt_L);
         r.Key(XK_Left);
       },
       1, 1},
  };
  for (const GeometryStep& step : steps) {
    ASSERT_NO_FATAL_FAILURE(Play(k, step, true));
  }
}

struct LargestCase {
  const char* name;
  bool smooth;
};
void PrintTo(const LargestCase& c, std::ostream* out) { *out << c.name; }

class KeysTurnLargest : public testing::TestWithParam<LargestCase> {};

// On a 3840 x 2160 screen the largest arrow, a window larger than the screen, turns once
// round at the wheel, with either edges, and each turn shows on the screen: the window
// where the turn puts it, the fill well inside the outline and the screen beside it.
TEST_P(KeysTurnLargest, EveryWheelTurnShowsOnA4kScreen) {
  // Where the Wine cuts short the shape of a window larger than the screen, nothing of the
  // arrow shows past the screen's left or top edge and no wheel reaches it there: only the
  // turns from 5 to 11, whose windows reach past the right or bottom edge alone, are seen.
  const bool everyTurn = WineShows(WineLimit::kLargerThanScreen);
  ArrowPose pose;
  pose.baseUnit = 7;
  pose.size = 24;
  pose.orientation = everyTurn ? 0 : 5;
  pose.tipX = 1920;
  pose.tipY = 1080;
  const int turns = everyTurn ? 24 : 6;
  std::string settings = "[Pointer]\r\nSize=24\r\nOrientation=" + std::to_string(pose.orientation) +
                         "\r\nAlphaBlendIndex=22\r\n";
  if (GetParam().smooth) settings += "[Display]\r\nEdges=Smooth\r\n";
  KeysRun k(3840, 2160, settings, pose);
  ASSERT_NE(k.Run().Arrow(), 0u) << "no window mapped";
  EXPECT_EQ(k.Run().Shown(), ExpectedBounds(pose));
  ASSERT_TRUE(k.ShowsOnScreen(kRed));
  for (int turn = 1; turn <= turns; ++turn) {
    k.Wheel(1);
    ArrowPose next = k.Pose();
    next.orientation = (next.orientation + 1) % 24;
    const Rect expected = ExpectedBounds(next);
    ASSERT_TRUE(WaitUntil(
        20s, [&] { return k.Run().Now() == expected; }, 5ms))
        << "after turn " << turn << ": window at " << k.Run().Now() << ", expected " << expected;
    k.Pose() = next;
    ASSERT_TRUE(k.ShowsOnScreen(kRed)) << "after turn " << turn;
  }
}

INSTANTIATE_TEST_SUITE_P(Edges, KeysTurnLargest,
                         testing::Values(LargestCase{"Sharp", false}, LargestCase{"Smooth", true}),
                         [](const auto& info) { return std::string(info.param.name); });

// Shift with the wheel or the cursor keys grows and shrinks the arrow around its tip, and
// stops at 24 and 1; a held key repeats.
TEST(KeysSize, ShiftGrowsAndShrinksUpToTheLimits) {
  KeysRun k;
  ASSERT_NE(k.Run().Arrow(), 0u) << "no window mapped";
  const GeometryStep steps[] = {
      {"Shift+wheel forward", [](KeysRun& r) { r.Wheel(1, kShift); }, 1, 21},
      {"Shift+wheel forward at the top", [](KeysRun& r) { r.Wheel(1, kShift); }, 1, 1},
      {"Shift+wheel backward", [](KeysRun& r) { r.Wheel(-1, kShift); }, -1, 24},
      {"Shift+Up", [](KeysRun& r) { r.Key(XK_Up, kShift); }, 1, 2},
      {"Shift+Right", [](KeysRun& r) { r.Key(XK_Right, kShift); }, 1, 1},
      {"Shift+Left", [](KeysRun& r) { r.Key(XK_Left, kShift); }, -1, 1},
      {"Shift+Down", [](KeysRun& r) { r.Key(XK_Down, kShift); }, -1, 2},
  };
  for (const GeometryStep& step : steps) {
    ASSERT_NO_FATAL_FAILURE(Play(k, step, false));
  }
  ASSERT_EQ(k.Pose().size, 1);

  // Held down, Shift+Up repeats at the keyboard's rate; a point inside the head stays
  // inside while the arrow grows.
  k.PointAtArrow();
  k.Input().KeyDown(XK_Shift_L);
  k.Input().KeyDown(XK_Up);
  ArrowPose grown = k.Pose();
  grown.size = 4;
  const bool repeated =
      WaitUntil(10s, [&] { return k.Run().Now() == ExpectedBounds(grown); }, 2ms);
  k.Input().KeyUp(XK_Up);
  k.Input().KeyUp(XK_Shift_L);
  EXPECT_TRUE(repeated) << "a held Shift+Up did not grow the arrow three steps; at "
                        << k.Run().Now();
}

// Ctrl steps through the palette with wrap-around; the space bar makes the arrow black, then
// white, and the next Ctrl step brings back the palette colour last used before moving on.
TEST(KeysColour, CtrlStepsThePaletteAndSpaceTogglesBlackAndWhite) {
  KeysRun k;
  ASSERT_NE(k.Run().Arrow(), 0u) << "no window mapped";
  ASSERT_TRUE(k.Filled(kRed));
  struct ColourStep {
    const char* input;
    std::function<void(KeysRun&)> give;
    Rgb colour;
  };
  const ColourStep steps[] = {
      {"Ctrl+wheel forward", [](KeysRun& r) { r.Wheel(1, kCtrl); }, kOrange},
      {"Ctrl+wheel backward twice", [](KeysRun& r) { r.Wheel(-2, kCtrl); }, kRose},
      {"Ctrl+Up", [](KeysRun& r) { r.Key(XK_Up, kCtrl); }, kRed},
      {"Ctrl+Right", [](KeysRun& r) { r.Key(XK_Right, kCtrl); }, kOrange},
      {"Ctrl+Left", [](KeysRun& r) { r.Key(XK_Left, kCtrl); }, kRed},
      {"Ctrl+Down", [](KeysRun& r) { r.Key(XK_Down, kCtrl); }, kRose},
      {"space", [](KeysRun& r) { r.Key(XK_space); }, kBlack},
      {"space again", [](KeysRun& r) { r.Key(XK_space); }, kWhite},
      {"space a third time", [](KeysRun& r) { r.Key(XK_space); }, kBlack},
      {"Ctrl+wheel forward after black", [](KeysRun& r) { r.Wheel(1, kCtrl); }, kRose},
      {"Ctrl+wheel forward once more", [](KeysRun& r) { r.Wheel(1, kCtrl); }, kRed},
  };
  for (const ColourStep& step : steps) {
    step.give(k);
    EXPECT_TRUE(k.Filled(step.colour)) << "after " << step.input;
  }
  const std::string settings = k.EndWithEsc();
  ASSERT_FALSE(settings.empty()) << "Esc did not end the program the orderly way";
  EXPECT_EQ(IniInteger(settings, "Pointer", "Color"), 0x0000FF) << settings;
  EXPECT_EQ(IniInteger(settings, "Pointer", "ColorIndex"), 0) << settings;
}

// Alt steps the opacity through the table; at its top (255) the window is no longer
// layered, and at the bottom it keeps an alpha of 2, never 0.
TEST(KeysOpacity, AltStepsTheOpacityAndOpaqueEndsTheLayering) {
  KeysRun k;
  ASSERT_NE(k.Run().Arrow(), 0u) << "no window mapped";
  ASSERT_TRUE(k.Run().WaitForAlpha(192u)) << "start alpha " << k.Run().Alpha().value_or(0);
  struct AlphaStep {
    const char* input;
    std::function<void(KeysRun&)> give;
    unsigned alpha;  // 255: not layered
  };
  const AlphaStep steps[] = {
      {"Alt+wheel forward", [](KeysRun& r) { r.Wheel(1, kAlt); }, 208},
      {"Alt+Up", [](KeysRun& r) { r.Key(XK_Up, kAlt); }, 224},
      {"Alt+Right", [](KeysRun& r) { r.Key(XK_Right, kAlt); }, 240},
      {"Alt+wheel forward to the top", [](KeysRun& r) { r.Wheel(1, kAlt); }, 255},
      {"Alt+wheel forward past the top", [](KeysRun& r) { r.Wheel(1, kAlt); }, 255},
      {"Alt+Down", [](KeysRun& r) { r.Key(XK_Down, kAlt); }, 240},
      {"Alt+Left", [](KeysRun& r) { r.Key(XK_Left, kAlt); }, 224},
      {"Alt+wheel backward to the bottom", [](KeysRun& r) { r.Wheel(-25, kAlt); }, 2},
      {"Alt+wheel forward from the bottom", [](KeysRun& r) { r.Wheel(3, kAlt); }, 4},
  };
  for (const AlphaStep& step : steps) {
    step.give(k);
    if (step.alpha == 255) {
      EXPECT_TRUE(WaitUntil(10s, [&] {
        const auto arrow = k.Run().ProbeArrow();
        return arrow && !arrow->layered;
      })) << "still layered after "
          << step.input;
    } else {
      EXPECT_TRUE(k.Run().WaitForAlpha(step.alpha))
          << "after " << step.input << ": alpha " << k.Run().Alpha().value_or(0);
      const auto arrow = k.Run().ProbeArrow();
      ASSERT_TRUE(arrow);
      EXPECT_TRUE(arrow->layered);
      EXPECT_EQ(arrow->alpha, step.alpha) << "after " << step.input;
    }
  }
  const std::string settings = k.EndWithEsc();
  ASSERT_FALSE(settings.empty()) << "Esc did not end the program the orderly way";
  EXPECT_EQ(IniInteger(settings, "Pointer", "AlphaBlendIndex"), 3) << settings;
}

// F3 locks size, colour, opacity, the space bar and the double-click pick while turning
// still works; unlocked, a double-click takes the colour of what lies under the arrow (here
// the root window's background), and Esc ends the program and writes the settings.
TEST(KeysLock, LockBlocksAdjustmentsButNotTurningAndDoubleClickPicksTheBackground) {
  KeysRun k;
  ASSERT_NE(k.Run().Arrow(), 0u) << "no window mapped";
  ASSERT_TRUE(k.Filled(kRed));
  ASSERT_TRUE(k.Run().WaitForAlpha(192u));

  k.Key(XK_F3);
  k.Wheel(2, kShift);
  k.Key(XK_Up, kShift);
  k.Wheel(1, kCtrl);
  k.Key(XK_Right, kCtrl);
  k.Wheel(1, kAlt);
  k.Key(XK_Up, kAlt);
  k.Key(XK_space);
  k.PointAtArrow();
  k.Input().DoubleClick(1);
  // Input is handled in order: once this turn shows, everything before it was handled.
  k.Wheel(1);
  EXPECT_TRUE(k.ShowsTurned(1)) << "the size changed, or turning is locked too";
  EXPECT_EQ(k.Fill(), kRed) << "colour changed while locked";
  EXPECT_EQ(k.Run().Alpha(), 192u) << "opacity changed while locked";

  k.Key(XK_F3);
  // The pick shows only where the arrow, hidden for it, leaves the screen.
  const bool picks = WineShows(WineLimit::kHideOnBareX);
  if (picks) {
    const auto arrowWindow = k.Run().Arrow();
    auto maps = [&] {
      int n = 0;
      for (const Shown& s : k.Run().X().History()) n += s.window == arrowWindow && s.mapEvent;
      return n;
    };
    const int mapsBefore = maps();
    k.PointAtArrow();
    k.Input().DoubleClick(1);
    EXPECT_TRUE(WaitUntil(10s, [&] { return maps() > mapsBefore; }))
        << "the arrow was not hidden and shown again for the pick";
    EXPECT_TRUE(k.Filled(XScreen::Background()));
    EXPECT_TRUE(k.Run().X().WaitForMap(arrowWindow, 10s));
  }

  k.Key(XK_F3);
  const std::string settings = k.EndWithEsc();
  ASSERT_FALSE(settings.empty()) << "Esc did not end the program the orderly way";
  if (picks) {
    EXPECT_EQ(IniInteger(settings, "Pointer", "Color"), 0x563412) << settings;
    EXPECT_EQ(IniInteger(settings, "Pointer", "ColorIndex"), -1) << settings;
  }
  EXPECT_EQ(IniInteger(settings, "Pointer", "Orientation"), 1) << settings;
  EXPECT_EQ(IniInteger(settings, "Pointer", "Size"), 4) << settings;
  EXPECT_EQ(IniInteger(settings, "Pointer", "AlphaBlendIndex"), 18) << settings;
  EXPECT_EQ(IniInteger(settings, "Pointer", "SettingsLocked"), 1) << settings;
}

}  // namespace
}  // namespace qd::e2e
