// The arrow window as the settings file asks for it: fill, contrasting rim, opacity, and
// how it comes back from the task bar. The real exe under Wine, watched through X11 and
// the probe.
// GoogleTest before Xlib, whose macros (None, Bool) break its templates.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "arrow_run.h"
#include "default_arrow.h"

namespace qd::e2e {
namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
const Rgb kBlack{0, 0, 0};
const Rgb kWhite{255, 255, 255};

// A column of the screen across the arrow's shaft, from a pixel above the window to one
// below it, as runs such as "background 10, rim 2, fill 7, rim 1, background 11". The pen
// is centred on the outline and the region cuts off its outer half, so the two rims of the
// shaft add up to the pen's width.
struct ShaftColumn {
  std::string runs;
  int rim = -1;  // both rims together; -1 unless the column reads background, rim, fill,
                 // rim, background
};

ShaftColumn ReadShaft(XScreen& x, const Rect& window, const Rgb& fill, const Rgb& rim) {
  const int column = window.x + window.width / 4;
  std::vector<std::pair<std::string, int>> runs;
  for (int y = window.y - 1; y <= window.y + window.height; ++y) {
    const Rgb pixel = x.Pixel(column, y);
    std::ostringstream kind;
    if (pixel == XScreen::Background()) {
      kind << "background";
    } else if (pixel == rim) {
      kind << "rim";
    } else if (pixel == fill) {
      kind << "fill";
    } else {
      kind << pixel;
    }
    if (runs.empty() || runs.back().first != kind.str()) {
      runs.emplace_back(kind.str(), 0);
    }
    ++runs.back().second;
  }
  ShaftColumn result;
  for (const auto& [kind, count] : runs) {
    result.runs += (result.runs.empty() ? "" : ", ") + kind + " " + std::to_string(count);
  }
  const std::vector<std::string> expected = {"background", "rim", "fill", "rim", "background"};
  bool shaped = runs.size() == expected.size();
  for (std::size_t i = 0; shaped && i < runs.size(); ++i) shaped = runs[i].first == expected[i];
  if (shaped) result.rim = runs[1].second + runs[3].second;
  return result;
}

// Waits until the shaft shows fill inside a rim of the given colour and depth.
testing::AssertionResult WaitForRim(ArrowRun& run, const Rgb& fill, const Rgb& rim, int depth) {
  ShaftColumn seen;
  if (WaitUntil(10s, [&] {
        seen = ReadShaft(run.X(), run.Now(), fill, rim);
        return seen.rim == depth;
      })) {
    return testing::AssertionSuccess();
  }
  return testing::AssertionFailure() << "across the shaft at " << run.Now() << ": " << seen.runs;
}

// What the probe and X report of the arrow's opacity agree with the level: layered with
// that alpha, or, for none, not layered at all.
void ExpectOpacity(ArrowRun& run, std::optional<std::uint32_t> alpha) {
  EXPECT_TRUE(run.WaitForAlpha(alpha)) << "X reports " << run.Alpha().value_or(255);
  const auto arrow = run.ProbeArrow();
  ASSERT_TRUE(arrow) << "the probe did not find the arrow";
  EXPECT_EQ(arrow->layered, alpha.has_value());
  if (alpha) {
    EXPECT_EQ(arrow->alpha, alpha);
    EXPECT_EQ(arrow->lwaFlags, 2u);  // LWA_ALPHA
  }
}

struct AppearanceCase {
  const char* name;
  const char* settings;
  std::uint32_t color;  // the fill, 0x00BBGGRR
  Rgb rim;
  int depth;                           // the pen's width: 3 up to Size 4, 5 from Size 5
  std::optional<std::uint32_t> alpha;  // none: opaque, not layered
};
void PrintTo(const AppearanceCase& c, std::ostream* out) { *out << c.name; }

class WindowAppearance : public testing::TestWithParam<AppearanceCase> {};

// White is the rim of a pure black arrow only; every other colour gets a black one.
TEST_P(WindowAppearance, FillRimAndOpacityFollowTheSettings) {
  const AppearanceCase& c = GetParam();
  ArrowRun run(kWidth, kHeight, c.settings);
  ASSERT_NE(run.Arrow(), 0u) << "no window mapped";
  EXPECT_TRUE(WaitForRim(run, Rgb::FromColorRef(c.color), c.rim, c.depth));
  ExpectOpacity(run, c.alpha);
}

INSTANTIATE_TEST_SUITE_P(
    Settings, WindowAppearance,
    testing::Values(
        AppearanceCase{"Defaults", "", 0x0000FF, kBlack, 3, 192u},
        AppearanceCase{"Black", "[Pointer]\r\nColor=0\r\nColorIndex=-1\r\n", 0x000000, kWhite, 3,
                       192u},
        AppearanceCase{"AlmostBlack", "[Pointer]\r\nColor=1\r\nColorIndex=-1\r\n", 0x000001, kBlack,
                       3, 192u},
        AppearanceCase{"RedSize5", "[Pointer]\r\nSize=5\r\n", 0x0000FF, kBlack, 5, 192u},
        AppearanceCase{"BlackSize5Faint",
                       "[Pointer]\r\nColor=0\r\nColorIndex=-1\r\nSize=5\r\nAlphaBlendIndex=8\r\n",
                       0x000000, kWhite, 5, 32u},
        AppearanceCase{"WhiteOpaque",
                       "[Pointer]\r\nColor=16777215\r\nColorIndex=-1\r\nAlphaBlendIndex=22\r\n",
                       0xFFFFFF, kBlack, 3, std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

// Minimises through the task-bar window and restores; the arrow goes with the first and
// comes back, shown again, with the second.
void MinimiseAndRestore(ArrowRun& run) {
  const auto application = run.ProbeApplication();
  ASSERT_TRUE(application) << "no task-bar window";
  ASSERT_TRUE(run.S().WinProbe().PostMinimize(application->hwnd));
  if (WineShows(WineLimit::kHideOnBareX)) {
    EXPECT_TRUE(run.X().WaitForUnmap(run.Arrow(), 10s)) << "the arrow stayed on the screen";
  } else {
    EXPECT_TRUE(WaitUntil(10s, [&] {
      const auto arrow = run.ProbeArrow();
      return arrow && !arrow->visible;
    })) << "the arrow was not hidden";
  }
  EXPECT_TRUE(WaitUntil(10s, [&] {
    const auto now = run.ProbeApplication();
    return now && now->minimized;
  })) << "not minimised";
  ASSERT_TRUE(run.S().WinProbe().PostRestore(application->hwnd));
  ASSERT_TRUE(run.X().WaitForMap(run.Arrow(), 10s)) << "the arrow did not come back";
}

struct RestoreCase {
  const char* name;
  const char* settings;
  std::optional<std::uint32_t> level;  // at start
  std::function<void(ArrowRun&)> before;
  std::optional<std::uint32_t> restored;
};
void PrintTo(const RestoreCase& c, std::ostream* out) { *out << c.name; }

class WindowRestore : public testing::TestWithParam<RestoreCase> {};

// A restore brings a translucent arrow back at its level, but at least at index 8
// (alpha 32), also from a fade-out; an opaque arrow stays opaque. Fill and rim show again.
TEST_P(WindowRestore, BringsTheArrowBackWithItsRim) {
  const RestoreCase& c = GetParam();
  ArrowRun run(kWidth, kHeight, c.settings);
  ASSERT_NE(run.Arrow(), 0u) << "no window mapped";
  ASSERT_TRUE(WaitForRim(run, kRed, kBlack, 3));
  ASSERT_TRUE(run.WaitForAlpha(c.level)) << "starts at " << run.Alpha().value_or(255);
  // The middle of the shaft, where the keyboard and mouse reach the arrow.
  const Rect& r = run.Shown();
  run.Input().MoveTo(r.x + r.width / 4, r.y + r.height / 2);
  c.before(run);
  MinimiseAndRestore(run);
  EXPECT_EQ(run.Now(), run.Shown()) << "came back elsewhere";
  EXPECT_TRUE(WaitForRim(run, kRed, kBlack, 3));
  ExpectOpacity(run, c.restored);
  // The arrow counts as shown at that level, not faded out: the next click fades it out.
  run.Input().Click(2);
  EXPECT_TRUE(run.WaitForAlpha(2u))
      << "no fade-out after the restore: " << run.Alpha().value_or(255);
}

void FadeOut(ArrowRun& run) {
  run.Input().Click(2);
  ASSERT_TRUE(run.WaitForAlpha(2u)) << "no fade-out: " << run.Alpha().value_or(255);
}

// Alt and the wheel turned towards the user: three opacity steps down, to index 5.
void ThreeStepsFainter(ArrowRun& run) {
  run.Input().Wheel(-3, kAlt);
  ASSERT_TRUE(run.WaitForAlpha(12u)) << "no opacity steps: " << run.Alpha().value_or(255);
}

INSTANTIATE_TEST_SUITE_P(
    From, WindowRestore,
    testing::Values(RestoreCase{"Translucent", "", 192u, [](ArrowRun&) {}, 192u},
                    RestoreCase{"FadedOut", "", 192u, FadeOut, 192u},
                    RestoreCase{"FadedOutAtTheFloor", "[Pointer]\r\nAlphaBlendIndex=8\r\n", 32u,
                                FadeOut, 32u},
                    RestoreCase{"BelowTheFloor", "[Pointer]\r\nAlphaBlendIndex=8\r\n", 32u,
                                ThreeStepsFainter, 32u},
                    RestoreCase{"Opaque", "[Pointer]\r\nAlphaBlendIndex=22\r\n", std::nullopt,
                                [](ArrowRun&) {}, std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

// A minimise and a restore that arrive while a fade-out holds the program are served after
// it: the arrow ends shown, at its level, with its rim.
TEST(WindowRestoreDuringFade, IsServedAfterTheFade) {
  ArrowRun run(kWidth, kHeight);
  ASSERT_NE(run.Arrow(), 0u) << "no window mapped";
  const auto application = run.ProbeApplication();
  ASSERT_TRUE(application) << "no task-bar window";
  const Rect& r = run.Shown();
  run.Input().MoveTo(r.x + r.width / 4, r.y + r.height / 2);
  run.Input().Click(2);
  ASSERT_TRUE(WaitUntil(10s, [&] { return run.Alpha().value_or(255) < 192; })) << "no fade started";
  ASSERT_TRUE(run.S().WinProbe().PostMinimize(application->hwnd));
  ASSERT_TRUE(run.S().WinProbe().PostRestore(application->hwnd));
  EXPECT_TRUE(WaitUntil(10s,
                        [&] {
                          const auto now = run.ProbeApplication();
                          return now && !now->minimized && run.Alpha() == 192u;
                        }))
      << "alpha " << run.Alpha().value_or(255);
  EXPECT_TRUE(run.X().WaitForMap(run.Arrow(), 10s));
  EXPECT_TRUE(WaitForRim(run, kRed, kBlack, 3));
  ExpectOpacity(run, 192u);
  EXPECT_TRUE(run.Program().Running());
}

}  // namespace
}  // namespace qd::e2e
