// Smooth edges on the screen: the arrow with alpha per pixel, as Wine shows it on a bare X
// server (partly covered pixels as their colour darkened toward black, uncovered ones cut
// out of the window) and, under a compositing manager, blended over what lies beneath.
// GoogleTest before Xlib, whose macros (None, Bool) break its templates.
#include <gtest/gtest.h>
// clang-format off
#include <X11/Xutil.h>
// clang-format on

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "arrow_run.h"
#include "arrow_shape.h"

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

// The pixel's centre against the outline: its distance from the nearest edge, negative
// outside.
double DepthInOutline(const std::vector<std::pair<int, int>>& outline, double x, double y) {
  bool inside = false;
  double nearest = 1e9;
  for (std::size_t i = 0, j = outline.size() - 1; i < outline.size(); j = i++) {
    const double ax = outline[j].first;
    const double ay = outline[j].second;
    const double bx = outline[i].first;
    const double by = outline[i].second;
    if ((ay > y) != (by > y) && x < ax + (y - ay) * (bx - ax) / (by - ay)) inside = !inside;
    const double t = std::clamp(((x - ax) * (bx - ax) + (y - ay) * (by - ay)) /
                                    ((bx - ax) * (bx - ax) + (by - ay) * (by - ay)),
                                0.0, 1.0);
    nearest = std::min(nearest, std::hypot(x - ax - t * (bx - ax), y - ay - t * (by - ay)));
  }
  return inside ? nearest : -nearest;
}

// Where the screen in the window's rectangle disagrees with the sharp outline of the pose:
// pixels more than a pixel and a half inside it that do not show the arrow, and as far
// outside it that do; and whether the tip's own end (within 8 pixels of the tip) shows.
struct OutlineMatch {
  int missing = 0;
  int beyond = 0;
  int tipPixels = 0;
  int tipShown = 0;
  std::string first;
  bool Matches() const {
    return missing == 0 && beyond == 0 && tipPixels > 0 && tipShown == tipPixels;
  }
};
OutlineMatch MatchOutline(const std::vector<Rgb>& pixels, const Rect& r, const ArrowPose& pose) {
  const std::vector<std::pair<int, int>> outline = ExpectedOutline(pose);
  OutlineMatch m;
  for (int y = 0; y < r.height; ++y) {
    for (int x = 0; x < r.width; ++x) {
      const double cx = r.x + x + 0.5;
      const double cy = r.y + y + 0.5;
      const double depth = DepthInOutline(outline, cx, cy);
      if (std::abs(depth) < 1.5) continue;
      const bool shown = pixels[static_cast<std::size_t>(y * r.width + x)] != XScreen::Background();
      const bool nearTip = depth > 0 && std::hypot(cx - pose.tipX, cy - pose.tipY) <= 8.0;
      m.tipPixels += static_cast<int>(nearTip);
      m.tipShown += static_cast<int>(nearTip && shown);
      if (shown != (depth > 0)) {
        ++(depth > 0 ? m.missing : m.beyond);
        if (m.first.empty()) {
          std::ostringstream at;
          at << (depth > 0 ? "nothing at " : "the arrow at ") << r.x + x << "," << r.y + y;
          m.first = at.str();
        }
      }
    }
  }
  return m;
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

struct PoseCase {
  const char* name;
  ArrowPose pose;
};
void PrintTo(const PoseCase& c, std::ostream* out) { *out << c.name; }

class SmoothOutline : public testing::TestWithParam<PoseCase> {};

// Smooth edges draw the arrow where the sharp one would be cut, its tip included: the
// image's rows the right way up, a slanted arrow pointing where it was turned. The outline
// is worked out, not read off a sharp arrow: Wine 10 cuts a polygon region up to 3 pixels
// off the outline at the barbs' acute corners.
TEST_P(SmoothOutline, TheArrowLiesOnTheSharpOutlineTipIncluded) {
  const ArrowPose& pose = GetParam().pose;
  ArrowRun run(kWidth, kHeight,
               std::string(kSmooth) +
                   "[Pointer]\r\nAlphaBlendIndex=22\r\nSize=" + std::to_string(pose.size) +
                   "\r\nOrientation=" + std::to_string(pose.orientation) + "\r\nTipPosX=" +
                   std::to_string(pose.tipX) + "\r\nTipPosY=" + std::to_string(pose.tipY) + "\r\n");
  ASSERT_NE(run.Arrow(), 0u) << "no window mapped";
  const Rect expected = ExpectedBounds(pose);
  ASSERT_TRUE(WaitUntil(10s, [&] { return run.Now() == expected; }))
      << run.Now() << ", not " << expected;
  OutlineMatch match;
  EXPECT_TRUE(WaitUntil(10s,
                        [&] {
                          match = MatchOutline(Grab(run.X(), expected), expected, pose);
                          return match.Matches();
                        }))
      << match.missing << " pixels inside the outline without the arrow, " << match.beyond
      << " outside it with the arrow (first: " << match.first << "); " << match.tipShown << " of "
      << match.tipPixels << " at the tip shown";
}

// Size 12 on a 1920 x 1080 work area, turned one step off the upright, and upright.
INSTANTIATE_TEST_SUITE_P(Poses, SmoothOutline,
                         testing::Values(PoseCase{"Turned", ArrowPose{3, 12, 1, 960, 540}},
                                         PoseCase{"Upright", ArrowPose{3, 12, 6, 960, 540}}),
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
