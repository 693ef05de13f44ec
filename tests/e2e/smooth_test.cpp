// Smooth edges on the screen: the arrow with alpha per pixel, as Wine shows it on a bare X
// server (partly covered pixels as their colour darkened toward black, uncovered ones cut
// out of the window) and, under a compositing manager, blended over what lies beneath.
// GoogleTest before Xlib, whose macros (None, Bool) break its templates.
#include <gtest/gtest.h>
// clang-format off
#include <X11/Xutil.h>
// clang-format on

#include <filesystem>
#include <string>
#include <vector>

#include "arrow_run.h"

namespace qd::e2e {
namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
// Red, turned one step off the upright, opaque.
constexpr const char* kTurnedRed =
    "[Pointer]\r\nSize=12\r\nOrientation=1\r\nAlphaBlendIndex=22\r\n";
constexpr const char* kSmooth = "[Display]\r\nEdges=Smooth\r\n";

std::uint8_t Channel(unsigned long pixel, unsigned long mask) {
  int shift = 0;
  while (mask != 0 && (mask & 1) == 0) {
    mask >>= 1;
    ++shift;
  }
  return static_cast<std::uint8_t>((pixel >> shift) & 0xFF);
}

// The screen's pixels in the rectangle, row by row.
std::vector<Rgb> Grab(XScreen& x, const Rect& r) {
  ::Display* d = x.Connection();
  XImage* image = XGetImage(d, DefaultRootWindow(d), r.x, r.y, static_cast<unsigned>(r.width),
                            static_cast<unsigned>(r.height), AllPlanes, ZPixmap);
  std::vector<Rgb> pixels;
  if (image == nullptr) return pixels;
  for (int y = 0; y < r.height; ++y) {
    for (int px = 0; px < r.width; ++px) {
      const unsigned long p = XGetPixel(image, px, y);
      pixels.push_back({Channel(p, image->red_mask), Channel(p, image->green_mask),
                        Channel(p, image->blue_mask)});
    }
  }
  XDestroyImage(image);
  return pixels;
}

// Pixels of a red between the black rim and the red fill.
int BetweenRimAndFill(const std::vector<Rgb>& pixels) {
  int count = 0;
  for (const Rgb& p : pixels) {
    count += static_cast<int>(p.g == 0 && p.b == 0 && p.r > 0 && p.r < 255);
  }
  return count;
}

int Count(const std::vector<Rgb>& pixels, const Rgb& colour) {
  int count = 0;
  for (const Rgb& p : pixels) count += static_cast<int>(p == colour);
  return count;
}

// Fill pixels of a red at least half way up: a constant alpha darkens the picture on a
// bare server, down to near black when faded out.
int BrightFill(const std::vector<Rgb>& pixels) {
  int count = 0;
  for (const Rgb& p : pixels) {
    count += static_cast<int>(p.r >= 128 && p.g == 0 && p.b == 0);
  }
  return count;
}

struct EdgeCase {
  const char* name;
  std::string settings;
  bool smooth;
};
void PrintTo(const EdgeCase& c, std::ostream* out) { *out << c.name; }

class EdgesOnScreen : public testing::TestWithParam<EdgeCase> {};

TEST_P(EdgesOnScreen, SlantedEdgesShowIntermediateColoursOnlyWhenSmooth) {
  const EdgeCase& c = GetParam();
  ArrowRun run(kWidth, kHeight, c.settings);
  ASSERT_NE(run.Arrow(), 0u) << "no window mapped";
  std::vector<Rgb> pixels;
  // Drawn once fill and rim both show; the fringe is part of the same picture.
  ASSERT_TRUE(
      WaitUntil(10s,
                [&] {
                  pixels = Grab(run.X(), run.Now());
                  return Count(pixels, {255, 0, 0}) > 1000 && Count(pixels, {0, 0, 0}) > 100;
                }))
      << "no red arrow with a black rim at " << run.Now() << ": " << Count(pixels, {255, 0, 0})
      << " red, " << Count(pixels, {0, 0, 0}) << " black";
  const int between = BetweenRimAndFill(pixels);
  if (c.smooth) {
    EXPECT_GE(between, 100) << "no anti-aliased pixels between rim and fill";
  } else {
    EXPECT_EQ(between, 0);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Settings, EdgesOnScreen,
    testing::Values(EdgeCase{"Sharp", kTurnedRed, false},
                    EdgeCase{"SharpWhenUnreadable",
                             std::string("[Display]\r\nEdges=Soft\r\n") + kTurnedRed, false},
                    EdgeCase{"Smooth", std::string(kSmooth) + kTurnedRed, true}),
    [](const auto& info) { return std::string(info.param.name); });

// A click beside the arrow but inside its window's rectangle reaches the window beneath;
// one on the arrow stays with the arrow.
TEST(SmoothEdges, AClickBesideTheArrowReachesTheWindowBeneath) {
  ArrowRun run(kWidth, kHeight, std::string(kSmooth) + kTurnedRed);
  ASSERT_NE(run.Arrow(), 0u) << "no window mapped";
  const Rect arrow = run.Now();
  ::Display* d = run.X().Connection();
  const unsigned long green = 0x00FF00;
  const Window beneath = XCreateSimpleWindow(d, DefaultRootWindow(d), arrow.x, arrow.y,
                                             static_cast<unsigned>(arrow.width),
                                             static_cast<unsigned>(arrow.height), 0, 0, green);
  XSelectInput(d, beneath, ButtonPressMask | StructureNotifyMask);
  XMapWindow(d, beneath);
  XLowerWindow(d, beneath);
  XSync(d, False);
  // A corner of the rectangle that shows the window beneath, and a pixel of the fill.
  std::vector<Rgb> pixels;
  ASSERT_TRUE(
      WaitUntil(10s,
                [&] {
                  pixels = Grab(run.X(), arrow);
                  return Count(pixels, {0, 255, 0}) > 100 && Count(pixels, {255, 0, 0}) > 1000;
                }))
      << "the window beneath does not show around the arrow: " << Count(pixels, {0, 255, 0})
      << " green, " << Count(pixels, {255, 0, 0}) << " red";
  const auto at = [&](int px, int py) {
    return pixels[static_cast<std::size_t>(py * arrow.width + px)];
  };
  int fillX = -1;
  int fillY = -1;
  for (int py = 0; py < arrow.height && fillX < 0; ++py) {
    for (int px = 0; px < arrow.width; ++px) {
      if (at(px, py) == Rgb{255, 0, 0}) {
        fillX = px;
        fillY = py;
        break;
      }
    }
  }
  ASSERT_EQ(at(2, 2), (Rgb{0, 255, 0})) << "the corner is not beside the arrow";

  run.Input().MoveTo(arrow.x + 2, arrow.y + 2);
  EXPECT_EQ(run.X().UnderPointer(), beneath);
  run.Input().Click(1);
  XEvent event;
  EXPECT_TRUE(WaitUntil(5s, [&] {
    return XCheckTypedWindowEvent(d, beneath, ButtonPress, &event) == True;
  })) << "the click beside the arrow did not reach the window beneath";

  run.Input().MoveTo(arrow.x + fillX, arrow.y + fillY);
  EXPECT_NE(run.X().UnderPointer(), beneath) << "the arrow lets the mouse through its fill";
}

// A restore from the task bar brings a faded-out arrow back, drawn at its level and in its
// place, and counts as shown: the next middle click fades it out again.
TEST(SmoothEdges, ARestoreFromTheTaskBarBringsAFadedOutArrowBack) {
  ArrowRun run(kWidth, kHeight, std::string(kSmooth) + "[Pointer]\r\nSize=12\r\n");
  ASSERT_NE(run.Arrow(), 0u) << "no window mapped";
  std::vector<Rgb> pixels;
  const auto shows = [&](bool bright) {
    return WaitUntil(10s, [&] {
      pixels = Grab(run.X(), run.Now());
      return (BrightFill(pixels) > 1000) == bright;
    });
  };
  ASSERT_TRUE(shows(true)) << "no red fill at the start: " << BrightFill(pixels);
  const Rect& r = run.Shown();
  run.Input().MoveTo(r.x + r.width / 4, r.y + r.height / 2);
  run.Input().Click(2);
  ASSERT_TRUE(shows(false)) << "no fade-out: " << BrightFill(pixels);

  const auto application = run.ProbeApplication();
  ASSERT_TRUE(application) << "no task-bar window";
  ASSERT_TRUE(run.S().WinProbe().PostMinimize(application->hwnd));
  ASSERT_TRUE(WaitUntil(10s, [&] {
    const auto now = run.ProbeApplication();
    return now && now->minimized;
  })) << "not minimised";
  ASSERT_TRUE(run.S().WinProbe().PostRestore(application->hwnd));
  EXPECT_TRUE(shows(true)) << "came back faded out: " << BrightFill(pixels);
  EXPECT_EQ(run.Now(), r) << "came back elsewhere";
  run.Input().Click(2);
  EXPECT_TRUE(shows(false)) << "no fade-out after the restore: " << BrightFill(pixels);
}

// Under a compositing manager the pixels along the outer edge are the black rim blended
// over what lies beneath: that colour darkened, not black (as on a bare server) and not
// the colour itself.
TEST(SmoothEdges, UnderACompositorOuterEdgesBlendWithWhatIsBeneath) {
  const char* const compositor = "/usr/bin/xcompmgr";
  if (!std::filesystem::exists(compositor)) {
    GTEST_SKIP() << compositor << " is not installed (scripts/deps.sh installs it)";
  }
  ArrowRun run(kWidth, kHeight, std::string(kSmooth) + kTurnedRed);
  ASSERT_NE(run.Arrow(), 0u) << "no window mapped";
  ProcessOptions options;
  options.argv = {compositor};
  options.setEnv = {{"DISPLAY", run.S().Screen().Display()}};
  Process xcompmgr(options);
  const Rect arrow = run.Now();
  Rgb beneath{};
  std::vector<Rgb> pixels;
  int blended = 0;
  // The compositor paints the screen beneath (its own grey, or the root's picture) and
  // the arrow over it.
  const bool shown = WaitUntil(10s, [&] {
    beneath = run.X().Pixel(2, 2);
    if (beneath == XScreen::Background() || beneath == Rgb{0, 0, 0}) return false;
    pixels = Grab(run.X(), arrow);
    blended = 0;
    for (const Rgb& p : pixels) {
      if (p == beneath || p == Rgb{0, 0, 0}) continue;
      // beneath x (1 - alpha), the same share in every channel
      const double share =
          static_cast<double>(p.r + p.g + p.b) / (beneath.r + beneath.g + beneath.b);
      const auto near = [&](int got, int base) { return std::abs(got - base * share) <= 2.0; };
      blended += static_cast<int>(share > 0.05 && share < 0.95 && near(p.r, beneath.r) &&
                                  near(p.g, beneath.g) && near(p.b, beneath.b));
    }
    return blended >= 50 && Count(pixels, {255, 0, 0}) > 1000;
  });
  EXPECT_TRUE(shown) << "over " << static_cast<int>(beneath.r) << "," << static_cast<int>(beneath.g)
                     << "," << static_cast<int>(beneath.b) << ": " << blended
                     << " edge pixels blended, " << Count(pixels, {255, 0, 0}) << " red";
  xcompmgr.Kill();
}

}  // namespace
}  // namespace qd::e2e
