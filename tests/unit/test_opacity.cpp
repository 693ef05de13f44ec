#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <string>
#include <vector>

#include "program_fixture.h"

namespace qd::test {
namespace {

// How opaque the arrow shows at each opacity index, faintest first.
constexpr std::array<int, 23> kOpacity = {2,  2,   2,   4,   8,   12,  16,  24,  32,  48,  64, 80,
                                          96, 112, 128, 144, 160, 176, 192, 208, 224, 240, 255};
// A fade's pause between steps: 60 ms, less the millisecond the step itself takes.
constexpr char kStepPause[] = "SetWaitableTimer 590000";

enum class TimerFault { None, Create, Set, Wait, Cancel };

class Opacity : public ProgramTest {
 protected:
  // A fresh program whose arrow shows the opacity index, reached as a user would: from the
  // settings file, below its floor of 8 by Alt wheel steps, then faded out if asked.
  void StartAt(int index, bool fadedOut) {
    TearDown();
    sys.files.clear();
    SetUp();
    ws.window = {};
    StartWith("[Pointer]\nAlphaBlendIndex=" + std::to_string(std::max(index, 8)) + "\n");
    for (int i = index; i < 8; ++i) {
      AltStep(-120);
    }
    if (fadedOut) {
      MiddleClick();
    }
    ws.ClearLog();
    before_ = ws.window;
  }
  void AltStep(int delta) { ws.events->FormMainOnMouseWheel(TShiftState(ssAlt), delta, {0, 0}); }
  void MiddleClick() {
    ws.events->FormMainOnMouseDown(TMouseButton::mbMiddle, {}, 10, 10);
    ws.events->FormMainOnMouseUp(TMouseButton::mbMiddle, {}, 10, 10);
  }
  // How opaque the window shows: its alpha while translucent, else fully.
  int Shown() const { return ws.window.layered ? ws.window.alpha : 255; }
  // How opaque it showed during each wait on the delay's timer since StartAt.
  std::vector<int> ShownAtWaits() const {
    bool layered = before_.layered;
    int alpha = before_.alpha;
    std::vector<int> shown;
    for (const std::string& line : ws.log) {
      if (line.starts_with("SetLayered ")) {
        layered = line == "SetLayered on";
      } else if (line.starts_with("SetLayeredAlpha ")) {
        alpha = std::stoi(line.substr(16));
      } else if (line.starts_with("WaitForTimer ")) {
        shown.push_back(layered ? alpha : 255);
      }
    }
    return shown;
  }
  std::size_t Paints() const { return ws.Calls("Polyline").size(); }

 private:
  FakeWindowSystem::Window before_;
};

TEST_F(Opacity, AMiddleClickFadesThroughEveryLevelWithAPauseBetweenSteps) {
  struct Case {
    const char* name;
    int index;      // the opacity index to return to
    bool fadedOut;  // so that the click fades in
    bool layeredAttributes;
    TimerFault fault;
    bool waits;  // each step but the last waits on the delay's timer
    bool translucentAfter;
    bool repaintAfterPump;  // the rim painted again after the messages the fade let through
    std::uint32_t showMs;   // how long each new opacity takes to show
    std::uint32_t fadeMs;   // how long the fade lasts on the clock
  };
  const std::vector<Case> cases = {
      {"out from opaque", 22, false, true, TimerFault::None, true, true, false, 0, 1298},
      {"in to opaque", 22, true, true, TimerFault::None, true, false, true, 0, 1298},
      {"in to a translucent level", 5, true, true, TimerFault::None, true, true, false, 0, 295},
      {"over the single index 0", 0, false, true, TimerFault::None, true, true, false, 0, 0},
      {"no translucency on the platform", 22, false, false, TimerFault::None, true, false, false, 0,
       1298},
      {"no timer", 10, false, true, TimerFault::Create, false, true, false, 0, 0},
      {"a timer not armed is not waited on", 10, false, true, TimerFault::Set, false, true, false,
       0, 0},
      {"a failed wait", 10, false, true, TimerFault::Wait, true, true, false, 0, 0},
      {"a failed cancel", 10, false, true, TimerFault::Cancel, true, true, false, 0, 590},
      // A slow screen shortens the pauses: the steps keep their time. Indices 0 to 2 show
      // the same opacity, so their steps show nothing new; the opaque arrow shows once more
      // as it turns translucent, before the first step.
      {"out, each new opacity slow to show", 22, false, true, TimerFault::None, true, true, false,
       50, 50 + 1298},
      // 3 steps of 59 ms, 8 of 80 ms with the shortest pause after all but the last.
      {"in, a new opacity slower to show than a step", 10, true, true, TimerFault::None, true, true,
       false, 80, 817},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ws.layeredAttributesAvailable = c.layeredAttributes;
    sys.waitableCreateFails = sys.waitableSetFails = sys.waitableWaitFails =
        sys.waitableCancelFails = false;
    ws.onLayeredAlpha = nullptr;
    StartAt(c.index, c.fadedOut);
    ws.onLayeredAlpha = [this, &c] { sys.tickCount += c.showMs; };
    const std::uint32_t clickedAt = sys.tickCount;
    sys.waitableCreateFails = c.fault == TimerFault::Create;
    sys.waitableSetFails = c.fault == TimerFault::Set;
    sys.waitableWaitFails = c.fault == TimerFault::Wait;
    sys.waitableCancelFails = c.fault == TimerFault::Cancel;
    MiddleClick();

    const int from = c.fadedOut ? 0 : c.index;
    const int to = c.fadedOut ? c.index : 0;
    const int step = from < to ? 1 : -1;
    std::vector<int> expected;
    for (int i = from; c.waits && i != to; i += step) {
      expected.push_back(c.layeredAttributes ? kOpacity[static_cast<std::size_t>(i)] : 255);
    }
    EXPECT_EQ(ShownAtWaits(), expected);
    EXPECT_EQ(sys.tickCount - clickedAt, c.fadeMs);
    EXPECT_EQ(Shown(), c.layeredAttributes ? kOpacity[static_cast<std::size_t>(to)] : 255);
    EXPECT_EQ(ws.window.layered, c.translucentAfter);
    EXPECT_LE(ws.Calls("SetLayered ").size(), 1U) << "translucency switched once at most";
    EXPECT_EQ(Paints(), static_cast<std::size_t>(std::abs(to - from) + 1 + c.repaintAfterPump));
    const auto pump = std::find(ws.log.rbegin(), ws.log.rend(), "ProcessMessages");
    EXPECT_EQ(pump != ws.log.rend() &&
                  std::any_of(ws.log.rbegin(), pump,
                              [](const std::string& line) { return line.starts_with("Polyline"); }),
              c.repaintAfterPump);

    // Every pause is as long as a step on a quick screen, bounded, and its timer released.
    for (const std::string& line : ws.Calls("SetWaitableTimer")) {
      EXPECT_TRUE(line == kStepPause || c.showMs > 0) << line;
    }
    for (const std::string& line : ws.Calls("WaitForTimer ")) {
      EXPECT_LT(std::stoul(line.substr(13)), 0xFFFFFFFFUL) << "an endless wait";
    }
    EXPECT_EQ(ws.Calls("CloseWaitableTimer").size(),
              c.fault == TimerFault::Create ? 0 : ws.Calls("CreateWaitableTimer").size());
    EXPECT_EQ(Saved().alpha, c.index) << "the level to return to";
  }
}

TEST_F(Opacity, AMiddleClickServedInsideAFadeInFadesOutThere) {
  StartAt(10, true);
  ws.onProcessMessages = [this] { MiddleClick(); };
  MiddleClick();
  // The nested fade-out ran to its end; the fade-in then finished its closing steps.
  EXPECT_EQ(Shown(), kOpacity[0]);
  MiddleClick();
  EXPECT_EQ(Shown(), kOpacity[10]);
  EXPECT_EQ(Saved().alpha, 10);
}

// Windows ends the session while the fade lets messages through: the window is gone when
// the fade paints its last step and flips the repeat paint's timer.
TEST_F(Opacity, ASessionEndInsideAFadeLeavesNothingForAWindowThatIsGone) {
  StartAt(22, true);
  ws.onProcessMessages = [this] { ws.events->OnEndSession(); };
  ws.events->FormMainOnMouseDown(TMouseButton::mbMiddle, {}, 10, 10);  // no window to release
  EXPECT_EQ(ws.Calls("DestroyAppWindow").size(), 1U);
  EXPECT_EQ(ws.nullWindowCalls, 0);
  EXPECT_TRUE(ws.runningTimers.empty());
}

TEST_F(Opacity, RestoreBringsAFaintArrowBackAndAlwaysRepaints) {
  struct Case {
    const char* name;
    int index;
    bool fadedOut;
    int indexAfter;
    bool translucentAfter;
  };
  const std::vector<Case> cases = {
      {"faint arrow comes back at index 8", 3, false, 8, true},
      {"faded out arrow comes back at its own level", 15, true, 15, true},
      {"faded out faint arrow comes back at index 8", 2, true, 8, true},
      {"faded out opaque arrow stays translucent at full opacity", 22, true, 22, true},
      {"opaque arrow only repaints", 22, false, 22, false},
  };
  for (const Case& c : cases) {
    // The level shown is the one kept, and no longer a faded-out one: an Alt step down
    // keeps the level below it.
    for (const bool thenStepDown : {false, true}) {
      SCOPED_TRACE(testing::Message() << c.name << (thenStepDown ? ", then a step down" : ""));
      StartAt(c.index, c.fadedOut);
      ws.events->ApplicationOnRestore();
      EXPECT_EQ(Shown(), kOpacity[static_cast<std::size_t>(c.indexAfter)]);
      EXPECT_EQ(ws.window.layered, c.translucentAfter);
      EXPECT_EQ(Paints(), 1U);
      if (thenStepDown) {
        AltStep(-120);
      }
      EXPECT_EQ(Saved().alpha, c.indexAfter - (thenStepDown ? 1 : 0));
    }
  }
}

}  // namespace
}  // namespace qd::test
