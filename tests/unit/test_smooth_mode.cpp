#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "model/tables.h"
#include "program_fixture.h"

namespace qd::test {
namespace {

// The colour most pixels of the image have where it is opaque.
std::uint32_t FillOf(const PixelImage& image) {
  std::map<std::uint32_t, int> counts;
  for (const std::uint32_t pixel : image.pixels) {
    if ((pixel >> 24U) == 0xFFU) {
      ++counts[pixel];
    }
  }
  std::uint32_t fill = 0;
  int most = 0;
  for (const auto& [pixel, count] : counts) {
    if (count > most) {
      fill = pixel;
      most = count;
    }
  }
  return fill;
}

class SmoothMode : public ProgramTest {
 protected:
  void Mouse(TMouseButton button, TShiftState shift, bool down) {
    if (down) {
      ws.events->FormMainOnMouseDown(button, shift, 20, 10);
    } else {
      ws.events->FormMainOnMouseUp(button, shift, 20, 10);
    }
  }
};

TEST_F(SmoothMode, TheArrowIsAnImageDrawnAgainOnlyForANewOutlineOrColour) {
  StartWith("[Display]\nEdges=Smooth\n[Pointer]\nAlphaBlendIndex=10\n");
  const auto checkWindow = [this](const char* name) {
    const TRect& b = ws.window.bounds;
    EXPECT_EQ(ws.window.image.width, b.right - b.left) << name;
    EXPECT_EQ(ws.window.image.height, b.bottom - b.top) << name;
    EXPECT_TRUE(ws.window.region.empty()) << name;
    EXPECT_FALSE(ws.window.layered) << name << ": never a constant alpha of the window's own";
    EXPECT_FALSE(ws.runningTimers.contains(kTimerDrawBorderId)) << name << ": nothing to repeat";
  };
  checkWindow("start");
  EXPECT_EQ(ws.window.imageAlpha, AlphaTable[10]);

  struct Step {
    const char* name;
    std::function<void()> act;
    bool redrawn;
    std::uint8_t imageAlpha;
  };
  const std::vector<Step> steps = {
      {"a wheel step turns it",
       [&] {
         ws.events->FormMainOnMouseWheel({}, 120, {0, 0});
       },
       true, AlphaTable[10]},
      {"a drag moves it",
       [&] {
         ws.cursorPos = {500, 400};
         Mouse(TMouseButton::mbLeft, ssLeft, true);
         ws.Tick(kTimerMouseMoveHoldOffId);
         ws.cursorPos = {530, 420};
         ws.events->FormMainOnMouseMove(ssLeft, 20, 10);
         Mouse(TMouseButton::mbLeft, {}, false);
       },
       false, AlphaTable[10]},
      {"the system's own repaint",
       [&] {
         const auto canvas = ws.GetCanvas(NativeWindow{0x100});
         ws.events->FormMainOnPaint(*canvas);
       },
       false, AlphaTable[10]},
      {"a fade out",
       [&] {
         Mouse(TMouseButton::mbMiddle, {}, true);
         Mouse(TMouseButton::mbMiddle, {}, false);
       },
       false, TFormMain::StepAlphaValue(0)},
      {"the space bar recolours it", [&] { ws.events->FormMainOnKeyPress(' '); }, true,
       TFormMain::StepAlphaValue(0)},
      {"a Ctrl wheel step recolours it",
       [&] {
         ws.events->FormMainOnMouseWheel(TShiftState(ssCtrl), 120, {0, 0});
       },
       true, TFormMain::StepAlphaValue(0)},
  };
  for (const Step& step : steps) {
    const PixelImage before = ws.window.image;
    const TRect boundsBefore = ws.window.bounds;
    ws.ClearLog();
    step.act();
    checkWindow(step.name);
    EXPECT_EQ(ws.Calls("ShowWindowImage").size(), step.redrawn ? 1U : 0U) << step.name;
    // Place and picture in one step: a frame never shows the old image at the new place.
    if (step.redrawn) {
      EXPECT_TRUE(ws.Calls("SetWindowBounds").empty()) << step.name;
    }
    EXPECT_EQ(ws.Calls("FillRect").size() + ws.Calls("Polyline").size(), 0U) << step.name;
    EXPECT_EQ(ws.window.imageAlpha, step.imageAlpha) << step.name;
    if (step.redrawn && ws.window.bounds == boundsBefore) {
      EXPECT_NE(FillOf(ws.window.image), FillOf(before)) << step.name;
    }
  }
}

// Where no image of the arrow's size can be had or shown, or it would pass the budget, that
// size shows with sharp edges rather than nothing; a size that fits is smooth again.
TEST_F(SmoothMode, ASizeWithoutAnImageShowsSharpEdgesAndTheNextThatFitsIsSmooth) {
  struct Case {
    const char* what;
    std::function<void()> refuse;  // from the second size on
    std::string settings = "[Display]\nEdges=Smooth\n[Pointer]\nSize=8\nAlphaBlendIndex=10\n";
  };
  const std::vector<Case> cases = {
      {"no image of the larger size",
       [this] { ws.imagePixelLimit = ws.window.image.pixels.size(); }},
      {"its showing refused", [this] { ws.refuseImageShows = true; }},
      {"past the pixel budget on a monitor of twice the primary's scale", [] {},
       "[Display]\nEdges=Smooth\n[Pointer]\nSize=23\nTipPosX=5760\nTipPosY=1080\n"
       "AlphaBlendIndex=10\n"},
  };
  for (const Case& c : cases) {
    TearDown();
    SetUp();
    ws.imagePixelLimit.reset();
    ws.refuseImageShows = false;
    ws.workArea = {0, 0, 3840, 2160};
    ws.monitors = {{{0, 0, 3840, 2160}, {0, 0, 3840, 2160}, true, 96},
                   {{3840, 0, 7680, 2160}, {3840, 0, 7680, 2160}, false, 192}};
    StartWith(c.settings);
    const bool budget = ws.window.image.pixels.empty();
    if (!budget) {
      c.refuse();
      ws.events->FormMainOnMouseWheel(TShiftState(ssShift), 120, {0, 0});
    }
    EXPECT_FALSE(ws.window.region.empty()) << c.what << ": cut to the outline";
    EXPECT_TRUE(ws.window.image.pixels.empty()) << c.what;
    EXPECT_TRUE(ws.window.layered) << c.what;
    EXPECT_EQ(ws.window.alpha, AlphaTable[10]) << c.what << ": its opacity as a constant alpha";

    ws.imagePixelLimit.reset();
    ws.refuseImageShows = false;
    // Past the budget, down until a size fits.
    for (int step = 0; step < (budget ? 22 : 1) && (step == 0 || ws.window.image.pixels.empty());
         ++step) {
      ws.events->FormMainOnMouseWheel(TShiftState(ssShift), -120, {0, 0});
    }
    const TRect& b = ws.window.bounds;
    EXPECT_EQ(ws.window.image.width, b.right - b.left) << c.what << ": smooth again";
    EXPECT_TRUE(ws.window.region.empty()) << c.what;
    EXPECT_FALSE(ws.window.layered) << c.what << ": no constant alpha beside the image";
  }
}

// Under Wine each showing of the image at the largest size takes most of a fade's step.
TEST_F(SmoothMode, AFadeShowsTheImageOnlyForANewOpacity) {
  StartWith("[Display]\nEdges=Smooth\n[Pointer]\nAlphaBlendIndex=22\n");
  for (const char* fade : {"out", "in"}) {
    ws.ClearLog();
    Mouse(TMouseButton::mbMiddle, {}, true);
    Mouse(TMouseButton::mbMiddle, {}, false);
    // Indices 0 to 2 show alike.
    EXPECT_EQ(ws.Calls("SetImageAlpha").size(), 20U) << fade;
  }
  EXPECT_EQ(ws.window.imageAlpha, 255);
}

}  // namespace
}  // namespace qd::test
