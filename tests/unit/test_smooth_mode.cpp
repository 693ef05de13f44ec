#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "model/tables.h"
#include "program_fixture.h"

namespace qd::test {
namespace {

constexpr unsigned kDrawBorderTimer = 1;
constexpr unsigned kHoldOffTimer = 2;

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
    EXPECT_FALSE(ws.runningTimers.contains(kDrawBorderTimer)) << name << ": nothing to repeat";
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
         ws.Tick(kHoldOffTimer);
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
    EXPECT_EQ(ws.Calls("FillRect").size() + ws.Calls("Polyline").size(), 0U) << step.name;
    EXPECT_EQ(ws.window.imageAlpha, step.imageAlpha) << step.name;
    if (step.redrawn && ws.window.bounds == boundsBefore) {
      EXPECT_NE(FillOf(ws.window.image), FillOf(before)) << step.name;
    }
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
