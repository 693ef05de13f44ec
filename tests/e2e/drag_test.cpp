// Dragging the arrow with the left button, its hand cursors, the middle-button fades, and
// input that a drag must survive: the real exe under Wine, driven through XTest.
// GoogleTest before Xlib, whose macros (None, Bool) break its templates.
#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <sstream>
#include <string>

#include "arrow_run.h"
#include "default_arrow.h"
#include "menu_steps.h"
#include "wine_prefix.h"

namespace qd::e2e {
namespace {

// The default arrow on 1920 x 1080 (kDefaultBounds) has its tip at (960, 540).
constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr int kTipX = 960;
constexpr int kTipY = 540;

struct Point {
  int x = 0;
  int y = 0;
};

// A point of the shaft well inside the arrow: the inner zone, more than 8 pixels from
// every side of the window.
Point Grip(const Rect& r) { return {r.x + r.width / 4, r.y + r.height / 2}; }

Rect Moved(const Rect& r, int dx, int dy) { return {r.x + dx, r.y + dy, r.width, r.height}; }

// Columns and rows that a cursor image's non-transparent pixels span, inclusive.
struct Extent {
  int left = 0;
  int top = 0;
  int right = -1;
  int bottom = -1;
  bool operator==(const Extent&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Extent& e) {
  return out << "columns " << e.left << "-" << e.right << ", rows " << e.top << "-" << e.bottom;
}

Extent Drawn(const CursorImage& image) {
  Extent e{image.width, image.height, -1, -1};
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      if ((image.argb[static_cast<std::size_t>(y * image.width + x)] >> 24) == 0) continue;
      e.left = std::min(e.left, x);
      e.right = std::max(e.right, x);
      e.top = std::min(e.top, y);
      e.bottom = std::max(e.bottom, y);
    }
  }
  return e;
}

// The two hands as drawn: 32 x 32, hot spot (15, 16), told apart by the area they cover.
constexpr Extent kHandFlat{6, 3, 24, 28};
constexpr Extent kHandGrab{7, 6, 23, 25};

bool IsHand(const CursorImage& image, const Extent& hand) {
  return image.width == 32 && image.height == 32 && image.xHot == 15 && image.yHot == 16 &&
         Drawn(image) == hand;
}

std::string Describe(const std::optional<CursorImage>& image) {
  if (!image) return "no cursor image";
  std::ostringstream out;
  out << image->width << "x" << image->height << " hot spot (" << image->xHot << "," << image->yHot
      << "), drawn over " << Drawn(*image);
  return out.str();
}

bool CursorIs(ArrowRun& run, const Extent& hand) {
  const auto cursor = run.X().Cursor();
  return cursor && IsHand(*cursor, hand);
}

bool CursorIsNoHand(ArrowRun& run) {
  const auto cursor = run.X().Cursor();
  return cursor && !IsHand(*cursor, kHandFlat) && !IsHand(*cursor, kHandGrab);
}

// Waits for the cursor on the screen to be the given hand.
testing::AssertionResult WaitForHand(ArrowRun& run, const Extent& hand) {
  if (WaitUntil(10s, [&] { return CursorIs(run, hand); })) return testing::AssertionSuccess();
  return testing::AssertionFailure()
         << "cursor " << Describe(run.X().Cursor()) << ", not the hand over " << hand;
}

// Waits for a cursor that is neither hand: the standard arrow over the window, or the
// root's cursor.
testing::AssertionResult WaitForNoHand(ArrowRun& run) {
  if (WaitUntil(10s, [&] { return CursorIsNoHand(run); })) return testing::AssertionSuccess();
  return testing::AssertionFailure() << "still a hand: " << Describe(run.X().Cursor());
}

// A move (or a Shift or Ctrl release) that comes within the hold-off after a handled move
// is dropped for good. Retries the input until the condition holds, leaving more time
// before it at each try so that the hold-off has passed; `again` undoes the last try where
// repeating the input alone would not be seen (the same pointer position twice is no move).
template <class Input, class Again, class Condition>
bool RetryUntil(Input input, Again again, Condition holds) {
  Clock::duration gap = 0ms;
  return WaitUntil(
      20s,
      [&] {
        if (gap > 0ms) {
          again();
          PauseFor(gap);
        }
        input();
        gap = gap == 0ms ? 10ms : std::min<Clock::duration>(gap * 2, 320ms);
        return WaitUntil(300ms, holds, 5ms);
      },
      0ms);
}

// Moves the pointer to p until the condition holds; a retry comes from a pixel beside p.
template <class Condition>
bool MoveUntil(ArrowRun& run, Point p, Condition holds) {
  const int nudge = p.x > 0 ? -1 : 1;
  return RetryUntil([&] { run.Input().MoveTo(p.x, p.y); },
                    [&] { run.Input().MoveTo(p.x + nudge, p.y); }, holds);
}

// Moves the pointer to the target until the window stands where a drag puts it.
bool SettleAt(ArrowRun& run, Point target, const Rect& expected) {
  return MoveUntil(run, target, [&] { return run.Now() == expected; });
}

// Moves the pointer in n equal steps from one point to another without waiting.
void Burst(ArrowRun& run, Point from, Point to, int n) {
  for (int i = 1; i <= n; ++i) {
    run.Input().MoveTo(from.x + (to.x - from.x) * i / n, from.y + (to.y - from.y) * i / n);
  }
}

bool EndedWithTipAt(ArrowRun& run, int tipX, int tipY) {
  if (!run.Close()) {
    ADD_FAILURE() << "the program did not end the orderly way";
    return false;
  }
  const std::string settings = ReadText(run.SettingsFile());
  EXPECT_EQ(IniInteger(settings, "Pointer", "TipPosX"), tipX) << settings;
  EXPECT_EQ(IniInteger(settings, "Pointer", "TipPosY"), tipY) << settings;
  return true;
}

struct DragCase {
  const char* name;
  Point to;       // where the pointer ends, screen coordinates
  bool waitEach;  // wait for the window at every step, or send all moves at once
  int steps;
};
void PrintTo(const DragCase& c, std::ostream* out) { *out << c.name; }

class Drag : public testing::TestWithParam<DragCase> {};

// The window and the tip follow the pointer by exactly its displacement from the press,
// however many moves the hold-off drops, and the settings file keeps where the tip went,
// also off the screen: only the next start limits it.
TEST_P(Drag, MovesWindowAndTipByThePointersDisplacement) {
  const DragCase& c = GetParam();
  ArrowRun run(kWidth, kHeight);
  ASSERT_NE(run.Arrow(), 0u) << "no window mapped";
  ASSERT_EQ(run.Shown(), kDefaultBounds);
  const Point from = Grip(kDefaultBounds);
  run.Input().MoveTo(from.x, from.y);
  ASSERT_TRUE(WaitForHand(run, kHandFlat)) << "the arrow never took the pointer";
  run.Input().Press(1);
  ASSERT_TRUE(WaitForHand(run, kHandGrab));

  const int dx = c.to.x - from.x;
  const int dy = c.to.y - from.y;
  if (c.waitEach) {
    for (int i = 1; i <= c.steps; ++i) {
      const Point p{from.x + dx * i / c.steps, from.y + dy * i / c.steps};
      PauseFor(30ms);  // a slow hand: each move comes after the hold-off
      ASSERT_TRUE(SettleAt(run, p, Moved(kDefaultBounds, p.x - from.x, p.y - from.y)))
          << "step " << i << ": window at " << run.Now();
    }
  } else {
    Burst(run, from, c.to, c.steps);
    ASSERT_TRUE(SettleAt(run, c.to, Moved(kDefaultBounds, dx, dy))) << "window at " << run.Now();
  }
  run.Input().Release(1);
  EXPECT_EQ(run.Now(), Moved(kDefaultBounds, dx, dy));
  if (c.to.x < kWidth && c.to.y < kHeight) {
    EXPECT_TRUE(WaitUntil(5s, [&] { return run.X().Pixel(c.to.x, c.to.y) == kRed; }))
        << "the arrow is not painted under the pointer";
  }
  EndedWithTipAt(run, kTipX + dx, kTipY + dy);
}

INSTANTIATE_TEST_SUITE_P(
    Ways, Drag,
    testing::Values(DragCase{"StepByStep", {914 + 160, 540 + 96}, true, 8},
                    // Far more moves than the hold-off lets through.
                    DragCase{"FastBurst", {914 - 400, 540 + 250}, false, 250},
                    // The window ends 1904..1965 x -10..20: mostly off the right and top
                    // edges, the tip at (1965, 5) outside the work area.
                    DragCase{"PartlyOffTheScreen", {1919, 5}, false, 120}),
    [](const auto& info) { return std::string(info.param.name); });

// While Ctrl is down the window stays where it is and the standard cursor shows; after
// Ctrl is released the next move puts the window under the cursor again, measured from the
// press.
TEST(DragCtrl, StopsFollowingAndResumesFromThePress) {
  ArrowRun run(kWidth, kHeight);
  ASSERT_NE(run.Arrow(), 0u) << "no window mapped";
  const Point from = Grip(kDefaultBounds);
  run.Input().MoveTo(from.x, from.y);
  ASSERT_TRUE(WaitForHand(run, kHandFlat));
  run.Input().Press(1);
  ASSERT_TRUE(WaitForHand(run, kHandGrab));
  ASSERT_TRUE(SettleAt(run, {from.x + 40, from.y + 20}, Moved(kDefaultBounds, 40, 20)));

  run.Input().KeyDown(XK_Control_L);
  // 20 pixels on, into the head: still over the arrow, which keeps the keyboard with the
  // pointer.
  ASSERT_TRUE(MoveUntil(run, {from.x + 60, from.y + 20}, [&] { return CursorIsNoHand(run); }))
      << "no move with Ctrl held was handled: " << Describe(run.X().Cursor());
  EXPECT_EQ(run.Now(), Moved(kDefaultBounds, 40, 20)) << "the window followed with Ctrl held";

  // The release works the zone out again from where the pointer is: the inner area.
  ASSERT_TRUE(RetryUntil([&] { run.Input().KeyUp(XK_Control_L); },
                         [&] { run.Input().KeyDown(XK_Control_L); },
                         [&] { return CursorIs(run, kHandFlat); }))
      << "Ctrl's release was not handled: " << Describe(run.X().Cursor());
  EXPECT_EQ(run.Now(), Moved(kDefaultBounds, 40, 20));
  ASSERT_TRUE(SettleAt(run, {from.x + 61, from.y + 20}, Moved(kDefaultBounds, 61, 20)))
      << "window at " << run.Now();
  run.Input().Release(1);
  EXPECT_TRUE(WaitForHand(run, kHandFlat));
  EndedWithTipAt(run, kTipX + 61, kTipY + 20);
}

// The inner area shows the open hand, a press the grabbing hand and the release the open
// one again; off the arrow neither shows.
TEST(DragCursor, OpenHandOverTheArrowAndGrabbingHandWhilePressed) {
  ArrowRun run(kWidth, kHeight);
  ASSERT_NE(run.Arrow(), 0u) << "no window mapped";
  run.Input().MoveTo(100, 100);
  ASSERT_TRUE(WaitForNoHand(run));
  const Point grip = Grip(kDefaultBounds);
  run.Input().MoveTo(grip.x, grip.y);
  EXPECT_TRUE(WaitForHand(run, kHandFlat)) << "no open hand over the arrow";
  run.Input().Press(1);
  EXPECT_TRUE(WaitForHand(run, kHandGrab)) << "no grabbing hand while pressed";
  run.Input().Release(1);
  EXPECT_TRUE(WaitForHand(run, kHandFlat)) << "no open hand after the release";
  run.Input().MoveTo(100, 100);
  EXPECT_TRUE(WaitForNoHand(run)) << "a hand off the arrow";
  EXPECT_EQ(run.Now(), kDefaultBounds) << "a click without a move moved the arrow";
}

struct FadeCase {
  const char* name;
  const char* settings;
  std::optional<std::uint32_t> level;  // alpha X reports at the level; none: opaque
};
void PrintTo(const FadeCase& c, std::ostream* out) { *out << c.name; }

class DragMiddleClick : public testing::TestWithParam<FadeCase> {};

// A middle click fades the arrow out to the faintest step, which still takes the mouse,
// and a second one fades it back to its level.
TEST_P(DragMiddleClick, FadesOutToTwoAndBackToItsLevel) {
  ArrowRun run(kWidth, kHeight, GetParam().settings);
  ASSERT_NE(run.Arrow(), 0u) << "no window mapped";
  ASSERT_TRUE(run.WaitForAlpha(GetParam().level)) << "starts at " << run.Alpha().value_or(255);
  const Point grip = Grip(kDefaultBounds);
  run.Input().MoveTo(grip.x, grip.y);
  run.Input().Click(2);
  ASSERT_TRUE(run.WaitForAlpha(2u)) << "faded to " << run.Alpha().value_or(255);
  const auto faded = run.ProbeArrow();
  ASSERT_TRUE(faded);
  EXPECT_TRUE(faded->layered);
  EXPECT_EQ(faded->alpha, 2u);
  run.Input().Click(2);
  EXPECT_TRUE(run.WaitForAlpha(GetParam().level)) << "back at " << run.Alpha().value_or(255);
  const auto back = run.ProbeArrow();
  ASSERT_TRUE(back);
  EXPECT_EQ(back->layered, GetParam().level.has_value());
  if (GetParam().level) {
    EXPECT_EQ(back->alpha, GetParam().level);
  }
}

INSTANTIATE_TEST_SUITE_P(Levels, DragMiddleClick,
                         testing::Values(FadeCase{"Default", "", 192u},
                                         FadeCase{"Opaque", "[Pointer]\r\nAlphaBlendIndex=22\r\n",
                                                  std::nullopt}),
                         [](const auto& info) { return std::string(info.param.name); });

// Clicks beside the arrow, two buttons at once, a release away from the arrow and moves
// made while a fade holds the program: it keeps running, and the next handled move of a
// drag puts the window exactly under the cursor again.
TEST(DragStrayInput, NextHandledMovePutsTheWindowUnderTheCursor) {
  ArrowRun run(kWidth, kHeight);
  ASSERT_NE(run.Arrow(), 0u) << "no window mapped";
  const Point grip = Grip(kDefaultBounds);

  // Beside the arrow: the program never sees these.
  run.Input().MoveTo(300, 300);
  run.Input().Click(1);
  run.Input().Press(1);
  Burst(run, {300, 300}, {400, 200}, 20);
  run.Input().Release(1);
  run.Input().Click(3);
  run.Input().MoveTo(grip.x, grip.y);
  ASSERT_TRUE(WaitForHand(run, kHandFlat));
  EXPECT_EQ(run.Now(), kDefaultBounds);

  // Left held, then the middle button too: a fade-out starts, and the moves made while it
  // runs wait for it; with two buttons down they do not drag, with the left alone they do.
  run.Input().Press(1);
  ASSERT_TRUE(WaitForHand(run, kHandGrab));
  run.Input().Press(2);
  Burst(run, grip, {grip.x + 60, grip.y + 30}, 30);
  run.Input().Release(2);
  Burst(run, {grip.x + 60, grip.y + 30}, {grip.x + 100, grip.y - 50}, 30);
  ASSERT_TRUE(run.WaitForAlpha(2u)) << "no fade-out";
  ASSERT_TRUE(SettleAt(run, {grip.x + 100, grip.y - 50}, Moved(kDefaultBounds, 100, -50)))
      << "window at " << run.Now();

  // Ctrl holds the window while the pointer leaves it; the button is released off the
  // arrow, Ctrl back over it (Wine hears keys only where the pointer is).
  run.Input().KeyDown(XK_Control_L);
  ASSERT_TRUE(MoveUntil(run, {grip.x + 110, grip.y - 45}, [&] { return CursorIsNoHand(run); }))
      << Describe(run.X().Cursor());
  Burst(run, {grip.x + 110, grip.y - 45}, {grip.x + 400, grip.y + 300}, 20);
  run.Input().Release(1);
  const Point again = Grip(Moved(kDefaultBounds, 100, -50));
  Burst(run, {grip.x + 400, grip.y + 300}, again, 20);
  ASSERT_TRUE(RetryUntil([&] { run.Input().KeyUp(XK_Control_L); },
                         [&] { run.Input().KeyDown(XK_Control_L); },
                         [&] { return CursorIs(run, kHandFlat); }))
      << Describe(run.X().Cursor());
  EXPECT_EQ(run.Now(), Moved(kDefaultBounds, 100, -50));

  // A fresh drag from the arrow's new place.
  run.Input().Press(1);
  ASSERT_TRUE(WaitForHand(run, kHandGrab));
  Burst(run, again, {again.x - 30, again.y + 70}, 40);
  ASSERT_TRUE(SettleAt(run, {again.x - 30, again.y + 70}, Moved(kDefaultBounds, 70, 20)))
      << "window at " << run.Now();
  run.Input().Release(1);
  ASSERT_TRUE(run.Program().Running());
  EndedWithTipAt(run, kTipX + 70, kTipY + 20);
}

}  // namespace
}  // namespace qd::e2e

namespace qd::e2e {
namespace {

// A presenter's projector beside the laptop's primary monitor (Windows coordinates; left of
// the primary is negative).
constexpr Rect kPrimaryMonitor{0, 0, kWidth, kHeight};
constexpr Rect kRightMonitor{1920, 0, 1280, 720};
constexpr Rect kLeftMonitor{-1280, 0, 1280, 720};
const std::string kSecondDevice = "\\\\.\\DISPLAY2";

// The default arrow's window with its tip at a point, Windows coordinates.
WinRect WindowForTip(Point tip) {
  const int left = tip.x - (kTipX - kDefaultBounds.x);
  const int top = tip.y - (kTipY - kDefaultBounds.y);
  return {left, top, left + kDefaultBounds.width, top + kDefaultBounds.height};
}

bool ArrowAt(ArrowRun& run, Point tip) {
  return WaitUntil(10s, [&] {
    const auto arrow = run.ProbeArrow();
    return arrow && arrow->rect == WindowForTip(tip);
  });
}

std::string ArrowRect(ArrowRun& run) {
  const auto arrow = run.ProbeArrow();
  if (!arrow) return "no arrow";
  std::ostringstream out;
  out << arrow->rect.left << "," << arrow->rect.top << "-" << arrow->rect.right << ","
      << arrow->rect.bottom;
  return out.str();
}

struct MonitorDragCase {
  const char* name;
  Rect second;
  Point tip;             // where the drag takes the tip, Windows coordinates
  bool secondAtRestart;  // the second monitor is still there at the next start
  Point restartTip;      // where the next start puts the tip
};
void PrintTo(const MonitorDragCase& c, std::ostream* out) { *out << c.name; }

class DragOntoMonitor : public testing::TestWithParam<MonitorDragCase> {};

TEST_P(DragOntoMonitor, TheNextStartKeepsTheArrowThereWhileTheMonitorIs) {
  const MonitorDragCase& c = GetParam();
  std::string saved;
  {
    ArrowRun run({kPrimaryMonitor, c.second});
    ASSERT_NE(run.Arrow(), 0u) << "no window mapped";
    const VirtualScreen& screen = run.S().Screen();
    const auto onX = [&](Point p) {
      return Point{screen.XFromWindowsX(p.x), screen.YFromWindowsY(p.y)};
    };
    const Point grip = Grip(kDefaultBounds);
    const Point from = onX(grip);
    const Point to = onX({grip.x + c.tip.x - kTipX, grip.y + c.tip.y - kTipY});
    run.Input().MoveTo(from.x, from.y);
    ASSERT_TRUE(WaitForHand(run, kHandFlat)) << "the arrow never took the pointer";
    run.Input().Press(1);
    ASSERT_TRUE(WaitForHand(run, kHandGrab));
    Burst(run, from, to, 60);
    ASSERT_TRUE(SettleAt(run, to, Moved(run.Shown(), to.x - from.x, to.y - from.y)))
        << "window at " << run.Now();
    run.Input().Release(1);
    ASSERT_TRUE(EndedWithTipAt(run, c.tip.x, c.tip.y));
    saved = ReadText(run.SettingsFile());
  }
  std::vector<Rect> monitors{kPrimaryMonitor};
  if (c.secondAtRestart) monitors.push_back(c.second);
  ArrowRun again(monitors, saved);
  ASSERT_NE(again.Arrow(), 0u) << "no window mapped at the restart";
  EXPECT_TRUE(ArrowAt(again, c.restartTip)) << ArrowRect(again);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, DragOntoMonitor,
    testing::Values(MonitorDragCase{"Right", kRightMonitor, {2500, 300}, true, {2500, 300}},
                    MonitorDragCase{"Left", kLeftMonitor, {-640, 300}, true, {-640, 300}},
                    // Gone at the next start: the primary's clamp, as on one monitor.
                    MonitorDragCase{"LeftGone", kLeftMonitor, {-640, 300}, false, {32, 300}}),
    [](const auto& info) { return std::string(info.param.name); });

// The projector switched off while the arrow is on it: the arrow comes back onto the
// primary at once, and that is where the next start finds it.
TEST(MonitorSwitchedOff, BringsTheArrowBackOntoThePrimary) {
  ArrowRun run({kPrimaryMonitor, kLeftMonitor}, "[Pointer]\r\nTipPosX=-640\r\nTipPosY=700\r\n");
  ASSERT_NE(run.Arrow(), 0u) << "no window mapped";
  ASSERT_TRUE(ArrowAt(run, {-640, 688})) << ArrowRect(run);
  const std::optional<bool> off = run.S().WinProbe().SwitchMonitorOff(kSecondDevice);
  if (!off) GTEST_SKIP() << "this Wine cannot switch the monitor off";
  ASSERT_TRUE(*off)
      << "ChangeDisplaySettingsEx failed; a 32-bit Wine needs libxrandr2:i386 for it";
  EXPECT_TRUE(ArrowAt(run, {32, 688})) << ArrowRect(run);
  EndedWithTipAt(run, 32, 688);
}

// Ctrl+Alt+F8 with the pointer on the projector brings a faded-out arrow there, visible
// again, also while the settings are locked.
TEST(ArrowHotKey, BringsAFadedOutArrowToThePointerOnTheSecondMonitor) {
  ArrowRun run({kPrimaryMonitor, kRightMonitor}, "[Pointer]\r\nSettingsLocked=1\r\n");
  ASSERT_NE(run.Arrow(), 0u) << "no window mapped";
  ASSERT_TRUE(run.WaitForAlpha(192u));
  const Point grip = Grip(kDefaultBounds);  // the primary's corner is X's 0,0 here
  run.Input().MoveTo(grip.x, grip.y);
  run.Input().Click(2);
  ASSERT_TRUE(run.WaitForAlpha(2u)) << "faded to " << run.Alpha().value_or(255);
  // Wine passes a hotkey on only while one of its windows has the X keyboard focus.
  run.Input().Focus(run.Arrow());
  run.Input().MoveTo(2500, 300);
  run.Input().Key(XK_F8, kCtrl | kAlt);
  EXPECT_TRUE(ArrowAt(run, {2500, 300})) << ArrowRect(run);
  EXPECT_TRUE(run.WaitForAlpha(192u)) << "alpha " << run.Alpha().value_or(255);
  const auto arrow = run.ProbeArrow();
  ASSERT_TRUE(arrow);
  EXPECT_TRUE(arrow->visible);
  EXPECT_EQ(arrow->exStyle & kWsExTopmost, kWsExTopmost);
}

// A presenter's remote is a keyboard: whatever moves the arrow leaves the keys with the
// slide show (a window of another program, chosen with a click) under a click-to-focus
// window manager, Esc included, which would otherwise end the arrow.
struct SlidesCase {
  const char* name;
  // Moves the arrow; true once the program shows the change.
  std::function<bool(ArrowRun&)> moveArrow;
};

class SlideShowKeepsTheKeyboard : public testing::TestWithParam<SlidesCase> {};

constexpr unsigned kVkEscape = 0x1B;
constexpr unsigned kVkPrior = 0x21;
constexpr unsigned kVkNext = 0x22;
constexpr unsigned kVkB = 0x42;
// The slide show's window, Windows coordinates; the default arrow lies outside it.
constexpr WinRect kSlides{40, 40, 640, 480};
constexpr Point kOnSlides{500, 400};

// The keys the slide show received, the modifiers of the hotkey left out.
std::vector<unsigned> SlideKeys(const SlideShow& slides) {
  std::vector<unsigned> keys = slides.Keys();
  std::erase_if(keys, [](unsigned key) { return key >= 0x10 && key <= 0x12; });
  return keys;
}

// A click into the slide show; true once the window manager has given it the keyboard.
bool ClickIntoSlides(ArrowRun& run) {
  // The show's X window may be mapped a moment after the probe reports it, and a click
  // before that reaches no window: clicked again until the show has the keyboard.
  for (int click = 0; click < 5; ++click) {
    run.Input().MoveTo(kOnSlides.x, kOnSlides.y);
    run.Input().Click(1);
    if (WaitUntil(4s, [&] { return run.X().FocusOwner() == "probe.exe"; })) return true;
  }
  return false;
}

// The stand-in slide show beside the arrow, clicked into and seen to get a PageDown;
// nothing, with the failure recorded, if the rig could not get there.
std::optional<SlideShow> SlidesWithTheKeyboard(ArrowRun& run) {
  if (run.Arrow() == 0u) {
    ADD_FAILURE() << "no window mapped";
    return std::nullopt;
  }
  auto slides = run.S().WinProbe().OpenSlideShow(kSlides);
  if (!slides) {
    ADD_FAILURE() << "no slide show";
    return std::nullopt;
  }
  if (!ClickIntoSlides(run)) {
    ADD_FAILURE() << "the keyboard is with " << run.X().FocusOwner();
    return std::nullopt;
  }
  run.Input().Key(XK_Next);
  if (!WaitUntil(10s, [&] { return slides->Keys() == std::vector<unsigned>{kVkNext}; })) {
    ADD_FAILURE() << "the slide show never had the keyboard";
    return std::nullopt;
  }
  return slides;
}

// Windows' own foreground window is of this class, as a helper in the prefix reads it.
bool ForegroundIs(ArrowRun& run, const std::string& className) {
  return WaitUntil(10s, [&] {
    const auto foreground = run.S().WinProbe().Foreground();
    return foreground && foreground->className == className;
  });
}

std::string ForegroundClass(ArrowRun& run) {
  const auto foreground = run.S().WinProbe().Foreground();
  return foreground ? foreground->className : "no answer from the probe";
}

// Drags the arrow, found at `at`, by (dx, dy); true once it shows there.
bool DragArrow(ArrowRun& run, const Rect& at, int dx, int dy) {
  const Point grip = Grip(at);
  run.Input().MoveTo(grip.x, grip.y);
  run.Input().Press(1);
  if (!WaitForHand(run, kHandGrab)) return false;
  Burst(run, grip, {grip.x + dx, grip.y + dy}, 20);
  const bool moved = SettleAt(run, {grip.x + dx, grip.y + dy}, Moved(at, dx, dy));
  run.Input().Release(1);
  return moved;
}

// The context menu opened on the arrow and `choose` done in it; true once it is closed.
bool WithTheMenu(ArrowRun& run, const std::function<bool(const ProbeMenu&)>& choose) {
  const Point grip = Grip(kDefaultBounds);
  const auto menu = OpenMenu(run, grip.x, grip.y);
  return menu && choose(*menu);
}

// The box or dialog that an item of the menu opens, closed with a click on its button of
// that id, as a presenter would; true once it is gone.
bool CloseWhatTheMenuOpened(ArrowRun& run, std::size_t item, long buttonId) {
  return WithTheMenu(run, [&](const ProbeMenu& menu) {
    std::optional<ProbeWindow> dialog;
    if (!Choose(run, menu, item) ||
        !WaitUntil(10s, [&] { return (dialog = run.ProbeClass("#32770")).has_value(); })) {
      return false;
    }
    for (const ProbeChild& child : dialog->children) {
      if (child.id == buttonId && child.visible) {
        run.Input().MoveTo(static_cast<int>((child.rect.left + child.rect.right) / 2),
                           static_cast<int>((child.rect.top + child.rect.bottom) / 2));
        run.Input().Click(1);
        break;
      }
    }
    return WaitUntil(10s, [&] { return !run.ProbeClass("#32770"); });
  });
}

bool ProbedArrow(ArrowRun& run, const std::function<bool(const ProbeWindow&)>& holds) {
  return WaitUntil(10s, [&] {
    const auto arrow = run.ProbeArrow();
    return arrow && holds(*arrow);
  });
}

TEST_P(SlideShowKeepsTheKeyboard, AfterTheArrowMoved) {
  ArrowRun run({kPrimaryMonitor}, {}, {}, Focus::ClickToFocus);
  auto slides = SlidesWithTheKeyboard(run);
  ASSERT_TRUE(slides);

  ASSERT_TRUE(GetParam().moveArrow(run)) << ArrowRect(run);
  // Judged by Windows as well as by X: under Wine the two can differ.
  EXPECT_TRUE(ForegroundIs(run, "ProbeSlides")) << "the foreground is " << ForegroundClass(run);

  for (const KeySym key : {XK_Next, XK_Prior, XK_b, XK_Escape}) run.Input().Key(key);
  const std::vector<unsigned> expected = {kVkNext, kVkNext, kVkPrior, kVkB, kVkEscape};
  EXPECT_TRUE(WaitUntil(10s, [&] { return SlideKeys(*slides) == expected; }))
      << SlideKeys(*slides).size() << " keys reached the slide show";
  EXPECT_TRUE(run.Program().Running()) << "Esc reached the arrow";
}

INSTANTIATE_TEST_SUITE_P(
    Moves, SlideShowKeepsTheKeyboard,
    testing::Values(SlidesCase{"Drag",
                               [](ArrowRun& run) {
                                 return DragArrow(run, kDefaultBounds, 200, 100) &&
                                        ArrowAt(run, {kTipX + 200, kTipY + 100});
                               }},
                    SlidesCase{"MiddleFade",
                               [](ArrowRun& run) {
                                 const Point grip = Grip(kDefaultBounds);
                                 run.Input().MoveTo(grip.x, grip.y);
                                 run.Input().Click(2);
                                 return ProbedArrow(
                                     run, [](const ProbeWindow& w) { return w.alpha == 2u; });
                               }},
                    SlidesCase{"Wheel",
                               [](ArrowRun& run) {
                                 const Point grip = Grip(kDefaultBounds);
                                 run.Input().MoveTo(grip.x, grip.y);
                                 run.Input().Wheel(1);
                                 return ProbedArrow(run, [](const ProbeWindow& w) {
                                   return w.rect.Width() != kDefaultBounds.width;
                                 });
                               }},
                    // Pressed with the pointer on the slide, as a presenter would.
                    SlidesCase{"HotKey",
                               [](ArrowRun& run) {
                                 run.Input().Key(XK_F8, kCtrl | kAlt);
                                 return ArrowAt(run, kOnSlides);
                               }},
                    // The menu takes the keyboard for as long as it is open, no longer.
                    SlidesCase{"MenuCancelled",
                               [](ArrowRun& run) {
                                 return WithTheMenu(
                                     run, [&](const ProbeMenu&) { return bool(Dismiss(run)); });
                               }},
                    SlidesCase{"LockChosen",
                               [](ArrowRun& run) {
                                 return WithTheMenu(run, [&](const ProbeMenu& menu) {
                                   return bool(Choose(run, menu, 2));
                                 });
                               }},
                    // Help and the colour dialog, closed with OK and Cancel.
                    SlidesCase{"HelpClosed",
                               [](ArrowRun& run) { return CloseWhatTheMenuOpened(run, 0, 1); }},
                    SlidesCase{"ColourDialogCancelled",
                               [](ArrowRun& run) { return CloseWhatTheMenuOpened(run, 1, 2); }},
                    // Given the keyboard, minimised from the task bar, left for the slides
                    // and brought back by the hotkey: a drag then leaves the keyboard alone.
                    SlidesCase{"MinimisedAndBack",
                               [](ArrowRun& run) {
                                 const Point grip = Grip(kDefaultBounds);
                                 run.Input().MoveTo(grip.x, grip.y);
                                 run.Input().Click(1);
                                 const auto arrow = run.ProbeArrow();
                                 if (!ForegroundIs(run, "TFormMain") || !arrow ||
                                     !run.S().WinProbe().PostMinimize(arrow->owner) ||
                                     !WaitUntil(10s, [&] {
                                       const auto a = run.ProbeArrow();
                                       return a && !a->visible;
                                     }) ||
                                     !ClickIntoSlides(run)) {
                                   return false;
                                 }
                                 run.Input().Key(XK_F8, kCtrl | kAlt);
                                 const Rect back = Moved(kDefaultBounds, kOnSlides.x - kTipX,
                                                         kOnSlides.y - kTipY);
                                 if (!ArrowAt(run, kOnSlides)) return false;
                                 // Managed by the window manager since the restore, its X
                                 // window reports where its frame is: judged by the probe.
                                 DragArrow(run, back, -100, 50);
                                 return ArrowAt(run, {kOnSlides.x - 100, kOnSlides.y + 50});
                               }}),
    [](const auto& info) { return std::string(info.param.name); });

// A plain click hands the arrow the keyboard, also a tap that moves the pointer a pixel: its
// keys work and none reach the slide show.
// Then the help box: a hotkey pressed while it is open does nothing, one after it moves
// the arrow to the pointer.
TEST(SlideShowAndArrow, APlainClickGivesTheArrowItsKeys) {
  ArrowRun run({kPrimaryMonitor}, {}, {}, Focus::ClickToFocus);
  auto slides = SlidesWithTheKeyboard(run);
  ASSERT_TRUE(slides);

  const Point grip = Grip(kDefaultBounds);
  run.Input().MoveTo(grip.x, grip.y);
  run.Input().Press(1);
  ASSERT_TRUE(WaitForHand(run, kHandGrab));
  run.Input().MoveTo(grip.x + 1, grip.y);
  run.Input().Release(1);
  ASSERT_TRUE(WaitUntil(10s, [&] { return run.X().FocusOwner() == "quiverdart.exe"; }))
      << "the keyboard is with " << run.X().FocusOwner();
  EXPECT_TRUE(ForegroundIs(run, "TFormMain")) << "the foreground is " << ForegroundClass(run);
  // A pixel further, or not: the one move may fall in the drag's hold-off.
  const auto tapped = run.ProbeArrow();
  ASSERT_TRUE(tapped);
  const auto unmoved = [&] {
    return ProbedArrow(run, [&](const ProbeWindow& w) { return w.rect == tapped->rect; });
  };
  run.Input().Key(XK_Left);
  EXPECT_TRUE(
      ProbedArrow(run, [](const ProbeWindow& w) { return w.rect.Width() != kDefaultBounds.width; }))
      << "the cursor key did not turn the arrow: " << ArrowRect(run);
  run.Input().Key(XK_Right);
  ASSERT_TRUE(unmoved()) << ArrowRect(run);
  run.Input().Key(XK_F3);

  run.Input().Key(XK_F1);
  std::optional<ProbeWindow> help;
  ASSERT_TRUE(WaitUntil(10s, [&] { return (help = run.ProbeClass("#32770")).has_value(); }))
      << "F1 showed no help";
  // On the box's caption, away from the arrow.
  const Point onBox{static_cast<int>(help->rect.left) + 20, static_cast<int>(help->rect.top) + 10};
  run.Input().MoveTo(onBox.x, onBox.y);
  run.Input().Key(XK_F8, kCtrl | kAlt);
  run.Input().Key(XK_Return);
  ASSERT_TRUE(WaitUntil(10s, [&] { return !run.ProbeClass("#32770"); })) << "the help stayed";
  EXPECT_TRUE(unmoved()) << "moved while the help was open: " << ArrowRect(run);
  // Back on the slides, the hotkey works again.
  ASSERT_TRUE(ClickIntoSlides(run)) << "the keyboard is with " << run.X().FocusOwner();
  run.Input().Key(XK_F8, kCtrl | kAlt);
  EXPECT_TRUE(ArrowAt(run, kOnSlides)) << ArrowRect(run);

  EXPECT_EQ(SlideKeys(*slides), std::vector<unsigned>{kVkNext});
  ASSERT_TRUE(run.Close());
  EXPECT_EQ(IniInteger(ReadText(run.SettingsFile()), "Pointer", "SettingsLocked"), 1)
      << "F3 did not lock";
}

// Whether the arrow is above the stand-in slide show's windows in Windows' z-order, within
// `timeout`.
bool ArrowAboveTheShow(ArrowRun& run, Clock::duration timeout) {
  return WaitUntil(timeout, [&] {
    const auto arrow = run.ProbeArrow();
    const auto shows = run.S().WinProbe().Windows("probe.exe");
    const auto isShow = [](const ProbeWindow& w) { return w.className == "ProbeSlides"; };
    return arrow && std::any_of(shows.begin(), shows.end(), isShow) &&
           std::all_of(shows.begin(), shows.end(), [&](const ProbeWindow& w) {
             return !isShow(w) || arrow->z < w.z;
           });
  });
}

constexpr char kNoForegroundEvents[] =
    "Wine 8 sends no foreground events (EVENT_SYSTEM_FOREGROUND), by which the arrow learns "
    "that a show has gone above it";

// A full-screen show started after the arrow makes itself top-most, and among top-most
// windows the one activated last is on top: the arrow comes back above it, and the show
// keeps the keyboard.
TEST(SlideShowAndArrow, TheArrowComesBackAboveAShowStartedAfterIt) {
  if (WineMajorVersion() < 10) GTEST_SKIP() << kNoForegroundEvents;
  ArrowRun run({kPrimaryMonitor}, {}, {}, Focus::ClickToFocus);
  ASSERT_NE(run.Arrow(), 0u) << "no window mapped";
  auto show = run.S().WinProbe().OpenSlideShow({0, 0, kWidth, kHeight}, Probe::ShowKind::TopMost);
  ASSERT_TRUE(show) << "no slide show";
  EXPECT_TRUE(ArrowAboveTheShow(run, 2s)) << "the show still covers the arrow";
  EXPECT_TRUE(ForegroundIs(run, "ProbeSlides")) << "the foreground is " << ForegroundClass(run);
  run.Input().MoveTo(kOnSlides.x, kOnSlides.y);
  for (const KeySym key : {XK_Next, XK_Prior}) run.Input().Key(key);
  EXPECT_TRUE(WaitUntil(10s,
                        [&] {
                          return SlideKeys(*show) == std::vector<unsigned>{kVkNext, kVkPrior};
                        }))
      << SlideKeys(*show).size() << " keys reached the slide show";
}

// A show that puts itself on top again whenever it loses the keyboard: a plain click gives
// the arrow the keyboard, and the arrow is still above the show after it.
TEST(SlideShowAndArrow, TheArrowStaysAboveAShowThatPutsItselfOnTopAgain) {
  if (WineMajorVersion() < 10) GTEST_SKIP() << kNoForegroundEvents;
  ArrowRun run({kPrimaryMonitor}, {}, {}, Focus::ClickToFocus);
  ASSERT_NE(run.Arrow(), 0u) << "no window mapped";
  auto show =
      run.S().WinProbe().OpenSlideShow({0, 0, kWidth, kHeight}, Probe::ShowKind::TopMostAgain);
  ASSERT_TRUE(show) << "no slide show";
  ASSERT_TRUE(ArrowAboveTheShow(run, 2s)) << "the show still covers the arrow";
  const Point grip = Grip(kDefaultBounds);
  run.Input().MoveTo(grip.x, grip.y);
  run.Input().Click(1);
  ASSERT_TRUE(ForegroundIs(run, "TFormMain")) << "the foreground is " << ForegroundClass(run);
  EXPECT_TRUE(ArrowAboveTheShow(run, 2s)) << "the show went back above the arrow";
  run.Input().Key(XK_Left);
  EXPECT_TRUE(
      ProbedArrow(run, [](const ProbeWindow& w) { return w.rect.Width() != kDefaultBounds.width; }))
      << "the cursor key did not turn the arrow: " << ArrowRect(run);
  EXPECT_TRUE(SlideKeys(*show).empty()) << SlideKeys(*show).size() << " keys reached the show";
}

// A show that takes the keyboard and the top six times in 2.4 s uses up the arrow's raises,
// then stays: the arrow comes back above it when the round ends, and then nothing ticks.
// The show takes the keyboard back from a small window of its own, by hiding and showing
// itself again, or in turn with a second full-screen window.
class FoughtAndStayed : public ::testing::TestWithParam<Probe::ShowKind> {};

TEST_P(FoughtAndStayed, TheArrowComesBackAboveTheShow) {
  if (WineMajorVersion() < 10) GTEST_SKIP() << kNoForegroundEvents;
  ArrowRun run({kPrimaryMonitor}, {}, {}, Focus::ClickToFocus);
  ASSERT_NE(run.Arrow(), 0u) << "no window mapped";
  auto show = run.S().WinProbe().OpenSlideShow({0, 0, kWidth, kHeight}, GetParam());
  ASSERT_TRUE(show) << "no slide show";
  std::this_thread::sleep_for(3s);  // the fight is over
  ASSERT_FALSE(ArrowAboveTheShow(run, 0s)) << "the fight did not use up the raises";
  // Windows' z-order: the program's own decision, whatever the window manager makes of it.
  EXPECT_TRUE(ArrowAboveTheShow(run, 12s)) << "the show still covers the arrow";
  const Point grip = Grip(kDefaultBounds);
  if (WineShows(WineLimit::kAboveFullScreenUnderOpenbox)) {
    EXPECT_TRUE(WaitUntil(2s, [&] { return run.X().Pixel(grip.x, grip.y) == kRed; }))
        << "the show still hides the arrow on the screen";
  }
  const auto ticks = [&] {
    const auto counts = run.S().WinProbe().Counts("Quiverdart.exe");
    return counts ? counts->timerTicks : 0UL;
  };
  const unsigned long before = ticks();
  std::this_thread::sleep_for(2s);
  EXPECT_EQ(ticks(), before) << "the arrow, above everything, keeps waking up";
}

INSTANTIATE_TEST_SUITE_P(SlideShowAndArrow, FoughtAndStayed,
                         ::testing::Values(Probe::ShowKind::TopMostFights,
                                           Probe::ShowKind::TopMostFightsAlone,
                                           Probe::ShowKind::TopMostFightsInTurn));

}  // namespace
}  // namespace qd::e2e
