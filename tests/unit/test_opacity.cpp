#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "program_fixture.h"

namespace qd::test {
namespace {

TEST(DelayTest, WaitsOneMillisecondLessThanAskedInUnitsOf100ns) {
  struct Case {
    std::uint16_t ms;
    std::vector<std::string> calls;
    bool result;
  };
  const std::vector<Case> cases = {
      {0, {}, false},
      {1,
       {"CreateWaitableTimer", "SetWaitableTimer 5000", "WaitForTimer 65535", "CancelWaitableTimer",
        "CloseWaitableTimer"},
       true},
      {2,
       {"CreateWaitableTimer", "SetWaitableTimer 10000", "WaitForTimer 65535",
        "CancelWaitableTimer", "CloseWaitableTimer"},
       true},
      {60,
       {"CreateWaitableTimer", "SetWaitableTimer 590000", "WaitForTimer 65535",
        "CancelWaitableTimer", "CloseWaitableTimer"},
       true},
      {100,
       {"CreateWaitableTimer", "SetWaitableTimer 990000", "WaitForTimer 65535",
        "CancelWaitableTimer", "CloseWaitableTimer"},
       true},
      {65535,
       {"CreateWaitableTimer", "SetWaitableTimer 655340000", "WaitForTimer 65535",
        "CancelWaitableTimer", "CloseWaitableTimer"},
       true},
  };
  for (const Case& c : cases) {
    FakeWindowSystem ws;
    FakeSystemServices sys{ws.log};
    TApplication app(ws, sys);
    TFormMain form(app);
    EXPECT_EQ(form.Delay(c.ms), c.result) << c.ms;
    EXPECT_EQ(ws.log, c.calls) << c.ms;
  }
}

TEST(DelayTest, FailsWithoutWaitingAndReleasesTheTimer) {
  struct Case {
    const char* name;
    bool createFails, setFails, waitFails, cancelFails;
    std::vector<std::string> calls;
  };
  const std::vector<Case> cases = {
      {"no timer", true, false, false, false, {"CreateWaitableTimer"}},
      {"not armed",
       false,
       true,
       false,
       false,
       {"CreateWaitableTimer", "SetWaitableTimer 590000", "CloseWaitableTimer"}},
      {"wait failed",
       false,
       false,
       true,
       false,
       {"CreateWaitableTimer", "SetWaitableTimer 590000", "WaitForTimer 65535",
        "CloseWaitableTimer"}},
      {"cancel failed",
       false,
       false,
       false,
       true,
       {"CreateWaitableTimer", "SetWaitableTimer 590000", "WaitForTimer 65535",
        "CancelWaitableTimer", "CloseWaitableTimer"}},
  };
  for (const Case& c : cases) {
    FakeWindowSystem ws;
    FakeSystemServices sys{ws.log};
    sys.waitableCreateFails = c.createFails;
    sys.waitableSetFails = c.setFails;
    sys.waitableWaitFails = c.waitFails;
    sys.waitableCancelFails = c.cancelFails;
    TApplication app(ws, sys);
    TFormMain form(app);
    EXPECT_FALSE(form.Delay(60)) << c.name;
    EXPECT_EQ(ws.log, c.calls) << c.name;
  }
}

class Fading : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    Start();
  }
  // Brings the arrow to an opacity index as the Alt steps would.
  void SetIndex(int index) {
    form->CurrentAlphaIndex = index;
    form->Settings.AlphaBlendIndex = index;
    const std::uint8_t value = TFormMain::StepAlphaValue(index);
    form->SetAlphaBlendValue(value);
    form->SetAlphaBlend(value < 255);
    ws.ClearLog();
  }
  void MiddleClick() {
    ws.events->OnMouseDown(TMouseButton::mbMiddle, {}, 10, 10);
    ws.events->OnMouseUp(TMouseButton::mbMiddle, {}, 10, 10);
  }
  std::vector<std::string> Alphas() const { return ws.Calls("SetLayeredAlpha"); }
  std::size_t Paints() const { return ws.Calls("Polyline").size(); }
  std::size_t Pauses() const { return ws.Calls("SetWaitableTimer 590000").size(); }
};

TEST_F(Fading, OutFromOpaqueStepsThroughEveryIndexToOpacityTwo) {
  SetIndex(22);
  ASSERT_FALSE(form->AlphaBlend());
  MiddleClick();
  EXPECT_EQ(ws.Calls("SetLayered "), std::vector<std::string>{"SetLayered on"});
  const std::vector<std::string> expected = {
      "SetLayeredAlpha 255", "SetLayeredAlpha 240", "SetLayeredAlpha 224", "SetLayeredAlpha 208",
      "SetLayeredAlpha 192", "SetLayeredAlpha 176", "SetLayeredAlpha 160", "SetLayeredAlpha 144",
      "SetLayeredAlpha 128", "SetLayeredAlpha 112", "SetLayeredAlpha 96",  "SetLayeredAlpha 80",
      "SetLayeredAlpha 64",  "SetLayeredAlpha 48",  "SetLayeredAlpha 32",  "SetLayeredAlpha 24",
      "SetLayeredAlpha 16",  "SetLayeredAlpha 12",  "SetLayeredAlpha 8",   "SetLayeredAlpha 4",
      "SetLayeredAlpha 2"};
  EXPECT_EQ(Alphas(), expected);
  EXPECT_EQ(Paints(), 23U);
  EXPECT_EQ(Pauses(), 22U);
  EXPECT_TRUE(form->AlphaBlend());
  EXPECT_EQ(form->AlphaBlendValue(), 2);
  EXPECT_EQ(form->CurrentAlphaIndex, 0);
  EXPECT_EQ(form->Settings.AlphaBlendIndex, 22);
  EXPECT_TRUE(form->FadedOut);
}

TEST_F(Fading, InToOpaqueEndsWithTranslucencyOffAndTheRimPaintedAgain) {
  SetIndex(22);
  MiddleClick();
  ws.ClearLog();
  MiddleClick();
  EXPECT_EQ(Paints(), 24U);  // 23 steps and the closing paint
  EXPECT_EQ(Pauses(), 22U);
  EXPECT_EQ(Alphas().back(), "SetLayeredAlpha 255");
  EXPECT_EQ(ws.Calls("SetLayered "), std::vector<std::string>{"SetLayered off"});
  // The closing paint follows the message pump that served the repaint.
  const auto pump = std::find(ws.log.begin(), ws.log.end(), "ProcessMessages");
  ASSERT_NE(pump, ws.log.end());
  EXPECT_TRUE(std::any_of(pump, ws.log.end(),
                          [](const std::string& line) { return line.starts_with("Polyline"); }));
  EXPECT_FALSE(form->AlphaBlend());
  EXPECT_EQ(form->CurrentAlphaIndex, 22);
  EXPECT_FALSE(form->FadedOut);
}

TEST_F(Fading, InToATranslucentLevelStaysTranslucent) {
  SetIndex(5);
  MiddleClick();
  ws.ClearLog();
  MiddleClick();
  EXPECT_EQ(Paints(), 6U);
  EXPECT_EQ(Pauses(), 5U);
  EXPECT_EQ(form->AlphaBlendValue(), 12);
  EXPECT_TRUE(form->AlphaBlend());
  EXPECT_EQ(form->CurrentAlphaIndex, 5);
}

TEST_F(Fading, OverTheSingleIndexZeroPaintsOnceWithoutPause) {
  SetIndex(0);
  MiddleClick();
  EXPECT_EQ(Paints(), 1U);
  EXPECT_EQ(Pauses(), 0U);
  EXPECT_EQ(form->AlphaBlendValue(), 2);
  EXPECT_TRUE(form->AlphaBlend());
  EXPECT_FALSE(form->FadedOut);
}

TEST_F(Fading, AMiddleClickServedInsideAFadeInFadesOutThere) {
  SetIndex(10);
  MiddleClick();
  ws.onProcessMessages = [this] { MiddleClick(); };
  MiddleClick();
  // The nested fade-out ran to its end; the fade-in then finished its closing steps.
  EXPECT_EQ(form->CurrentAlphaIndex, 0);
  EXPECT_EQ(form->AlphaBlendValue(), 2);
  EXPECT_FALSE(form->FadedOut);
  EXPECT_EQ(form->Settings.AlphaBlendIndex, 10);
}

// Windows ends the session while the fade lets messages through: the window is gone when
// the fade paints its last step and flips the repeat paint's timer.
TEST_F(Fading, ASessionEndInsideAFadeLeavesNothingForAWindowThatIsGone) {
  SetIndex(22);
  MiddleClick();
  ws.onProcessMessages = [this] { ws.events->OnEndSession(); };
  ws.events->OnMouseDown(TMouseButton::mbMiddle, {}, 10, 10);  // no window for the release
  EXPECT_FALSE(form->HandleAllocated());
  EXPECT_EQ(ws.nullWindowCalls, 0);
  EXPECT_TRUE(ws.runningTimers.empty());
}

TEST_F(Fading, RestoreBringsAFaintArrowBackAndAlwaysRepaints) {
  struct Case {
    const char* name;
    int index;
    bool fadeOut;
    int currentAfter, storedAfter, valueAfter;
    bool blendAfter;
  };
  const std::vector<Case> cases = {
      {"faint arrow comes back at index 8", 3, false, 8, 8, 32, true},
      {"faded out arrow comes back at its own level", 15, true, 15, 15, 144, true},
      {"faded out faint arrow comes back at index 8", 2, true, 8, 8, 32, true},
      {"opaque arrow only repaints", 22, false, 22, 22, 255, false},
  };
  for (const Case& c : cases) {
    SetIndex(c.index);
    if (c.fadeOut) {
      MiddleClick();
    }
    ws.ClearLog();
    ws.events->OnRestore();
    EXPECT_EQ(form->CurrentAlphaIndex, c.currentAfter) << c.name;
    EXPECT_EQ(form->Settings.AlphaBlendIndex, c.storedAfter) << c.name;
    EXPECT_EQ(form->AlphaBlendValue(), c.valueAfter) << c.name;
    EXPECT_EQ(form->AlphaBlend(), c.blendAfter) << c.name;
    EXPECT_FALSE(form->FadedOut) << c.name;
    EXPECT_EQ(Paints(), 1U) << c.name;
  }
}

TEST_F(Fading, RestoreToTheTopIndexKeepsTranslucencyOnAtFullOpacity) {
  SetIndex(22);
  form->SetAlphaBlend(true);
  ws.events->OnRestore();
  EXPECT_TRUE(form->AlphaBlend());
  EXPECT_EQ(form->AlphaBlendValue(), 255);
}

TEST_F(Fading, WithoutLayeredAttributesTheSettingsAreOnlyRecorded) {
  ws.layeredAttributesAvailable = false;
  SetIndex(22);
  MiddleClick();
  EXPECT_TRUE(ws.Calls("SetLayered").empty());
  EXPECT_EQ(form->AlphaBlendValue(), 2);
  EXPECT_EQ(Paints(), 23U);
}

}  // namespace
}  // namespace qd::test
