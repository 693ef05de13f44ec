#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "framework/components.h"
#include "framework/errors.h"
#include "framework/forms.h"
#include "framework/modifiers.h"
#include "framework/raise_limiter.h"
#include "program_fixture.h"

namespace qd::test {
namespace {

// A form whose handlers only note what reaches them.
class TestForm final : public TForm {
 public:
  using TForm::TForm;
  ~TestForm() override { Destroy(); }
  TestForm(const TestForm&) = delete;
  TestForm& operator=(const TestForm&) = delete;

  int destroyed = 0;
  std::vector<unsigned> ticks;
  void FormMainOnCreate() override {}
  void FormMainOnDestroy() override { ++destroyed; }
  void FormMainOnPaint(Canvas& /*canvas*/) override {}
  void FormMainOnMouseDown(TMouseButton /*b*/, TShiftState /*s*/, int /*x*/, int /*y*/) override {}
  void FormMainOnMouseUp(TMouseButton /*b*/, TShiftState /*s*/, int /*x*/, int /*y*/) override {}
  void FormMainOnMouseMove(TShiftState /*s*/, int /*x*/, int /*y*/) override {}
  void FormMainOnDblClick() override { throw EConvertError("'x' is not a valid integer value"); }
  std::vector<int> wheelSteps;
  void FormMainOnMouseWheel(TShiftState /*s*/, int delta, TPoint /*at*/) override {
    wheelSteps.push_back(delta);
  }
  void OnCaptureLost() override {}
  void FormMainOnKeyDown(std::uint16_t /*key*/, TShiftState /*s*/) override {}
  void FormMainOnKeyUp(std::uint16_t /*key*/, TShiftState /*s*/) override {}
  void FormMainOnKeyPress(char /*key*/) override {}
  void FormMainOnContextPopup(TPoint /*at*/) override {}
  void FormMainOnDisplayChange() override {}
  void OnDpiChanged() override {}
  void FormMainOnHotKey(int /*id*/) override {}
  void FormMainOnHandOver() override {}
  void ApplicationOnRestore() override {}
  void OnTimer(unsigned timerId) override { ticks.push_back(timerId); }
};

class Framework : public ::testing::Test {
 protected:
  Framework() {
    form.MinWidth = 8;
    form.MinHeight = 8;
    form.SetInitialBounds(10, 20, 100, 50);
    form.CreateWnd();
    app.SetMainForm(&form);
    ws.ClearLog();
  }
  FakeWindowSystem ws;
  FakeSystemServices sys{ws.log};
  TApplication app{ws, sys};
  TestForm form{app};
};

TEST_F(Framework, BoundsChangeTogetherNeverBelowTheMinimumAndOnlyWhenNew) {
  struct Step {
    TRect bounds;  // left, top, width, height as set
    std::vector<std::string> calls;
  };
  const std::vector<Step> steps = {
      {{11, -5, 100, 50}, {"SetWindowBounds 11 -5 100 50"}}, {{11, -5, 100, 50}, {}},
      {{11, -5, 3, 7}, {"SetWindowBounds 11 -5 8 8"}},       {{11, -5, 8, 2}, {}},
      {{12, -5, 8, 9}, {"SetWindowBounds 12 -5 8 9"}},
  };
  for (const Step& step : steps) {
    ws.ClearLog();
    form.SetBounds(step.bounds.left, step.bounds.top, step.bounds.right, step.bounds.bottom);
    EXPECT_EQ(ws.log, step.calls) << step.bounds.left << " " << step.bounds.right;
  }
}

TEST_F(Framework, TranslucencyUsesTheLayeredStyleAndSkipsUnchangedValues) {
  form.SetAlphaBlendValue(100);
  EXPECT_TRUE(ws.log.empty()) << "recorded only while translucency is off";
  form.SetAlphaBlend(true);
  form.SetAlphaBlend(true);
  form.SetAlphaBlendValue(100);
  form.SetAlphaBlendValue(50);
  form.SetAlphaBlend(false);
  EXPECT_EQ(ws.log, (std::vector<std::string>{"SetLayered on", "SetLayeredAlpha 100",
                                              "SetLayeredAlpha 50", "SetLayered off"}));
}

TEST_F(Framework, TranslucencyInImageModeScalesTheImageAndNeverUsesTheLayeredAlpha) {
  form.SetAlphaBlend(true);
  ws.ClearLog();
  form.UseImageMode();
  EXPECT_EQ(ws.log, (std::vector<std::string>{"SetLayered off"})) << "the constant alpha gone";
  ws.ClearLog();
  form.SetAlphaBlend(false);  // at 255 both show alike: nothing to show again
  form.SetAlphaBlendValue(100);
  form.SetAlphaBlend(true);
  form.SetAlphaBlend(true);
  form.SetAlphaBlendValue(100);
  form.SetAlphaBlendValue(50);
  form.SetAlphaBlend(false);
  EXPECT_EQ(ws.log, (std::vector<std::string>{"SetImageAlpha 100", "SetImageAlpha 50",
                                              "SetImageAlpha 255"}));
}

TEST_F(Framework, TheApplicationWideCursorOverridesTheWindowsOwn) {
  app.RegisterCursor(1, NativeCursor{0xA1});
  app.RegisterCursor(2, NativeCursor{0xA2});
  app.RegisterCursor(3, NativeCursor{});  // could not be loaded: the standard arrow shows
  form.SetCursor(1);
  app.SetCursor(2);
  EXPECT_EQ(ws.events->OnSetCursor(), NativeCursor{0xA2});
  form.SetCursor(3);
  EXPECT_EQ(ws.events->OnSetCursor(), NativeCursor{0xA2});
  app.SetCursor(crDefault);
  EXPECT_EQ(ws.events->OnSetCursor(), NativeCursor{});
  form.SetCursor(1);
  form.SetCursor(1);
  EXPECT_EQ(ws.Calls("ApplyCursor"),
            (std::vector<std::string>{"ApplyCursor 161", "ApplyCursor 162", "ApplyCursor 162",
                                      "ApplyCursor 0", "ApplyCursor 161"}));
}

// A handle of one kind never passes for another, nor for a bare number, and an owner is
// never copied, so that a handle is given back once.
static_assert(!std::is_convertible_v<NativeWindow, NativeRegion>);
static_assert(!std::is_convertible_v<NativeRegion, NativeWindow>);
static_assert(!std::is_convertible_v<NativeFile, NativeWaitableTimer>);
static_assert(!std::is_convertible_v<std::uintptr_t, NativeCursor>);
static_assert(!std::is_copy_constructible_v<OwnedRegion> && !std::is_copy_assignable_v<OwnedFile>);
static_assert(std::is_nothrow_move_constructible_v<OwnedWaitableTimer>);

TEST_F(Framework, ARegionIsDeletedOnlyWhenItNeverReachesAWindow) {
  const std::vector<TPoint> triangle = {{0, 0}, {9, 4}, {0, 9}};
  {
    OwnedRegion handed = ws.CreatePolygonRegion(triangle);  // 1
    ws.SetWindowRegion(form.Handle(), std::move(handed), true);
    OwnedRegion kept = ws.CreatePolygonRegion(triangle);      // 2
    OwnedRegion replaced = ws.CreatePolygonRegion(triangle);  // 3
    replaced = std::move(kept);
    OwnedRegion moved(std::move(replaced));
    EXPECT_EQ(ws.Calls("DeleteRegion"), std::vector<std::string>{"DeleteRegion 3"});
  }
  EXPECT_EQ(ws.Calls("DeleteRegion"),
            (std::vector<std::string>{"DeleteRegion 3", "DeleteRegion 2"}));
}

TEST_F(Framework, TimersStartFreshOnlyWhenStoppedAndReportARefusal) {
  TTimer timer(form, 7);
  timer.SetInterval(10);
  timer.SetEnabled(true);
  timer.SetEnabled(true);
  ws.Tick(7);
  timer.SetEnabled(false);
  ws.Tick(7);
  EXPECT_EQ(form.ticks, std::vector<unsigned>{7});
  EXPECT_EQ(ws.log, (std::vector<std::string>{"StartTimer 7 10", "StopTimer 7"}));
  ws.refuseTimers = true;
  EXPECT_THROW(timer.SetEnabled(true), EOutOfResources);
  EXPECT_FALSE(timer.Enabled());
}

TEST_F(Framework, HandlerFailuresShowTheErrorBoxAndTheProgramGoesOn) {
  app.SetTitle("Arrow");
  // As the window procedure delivers every event; the framework's texts are Windows-1252.
  Guarded(*ws.events, [&] { ws.events->FormMainOnDblClick(); });
  Guarded(*ws.events, [] { throw EOutOfResources("Nicht gen\xFCgend Timer verf\xFCgbar"); });
  EXPECT_EQ(ws.messageBoxes,
            (std::vector<std::string>{"Arrow|'x' is not a valid integer value",
                                      "Arrow|Nicht gen\xC3\xBCgend Timer verf\xC3\xBCgbar"}));
  EXPECT_EQ(ws.Calls("ErrorBox").size(), 2U);
}

TEST_F(Framework, CloseAndSessionEndEndTheProgramTheOrderlyWay) {
  ws.events->OnCloseRequest();
  EXPECT_EQ(ws.log, std::vector<std::string>{"PostQuit"});
  EXPECT_EQ(form.destroyed, 0) << "the message loop ends first";
  ws.ClearLog();
  FakeWindowSystem& fake = ws;
  fake.events->OnEndSession();
  EXPECT_EQ(form.destroyed, 1) << "settings are stored before Windows ends the process";
  app.Run();
  EXPECT_EQ(form.destroyed, 1);
}

TEST_F(Framework, WheelDeltasAddUpToOneStepPerNotch) {
  struct Message {
    int delta;
    std::uint32_t time;
    TShiftState shift;
  };
  struct Row {
    const char* what;
    std::vector<Message> messages;
    std::vector<int> steps;
  };
  const TShiftState none;
  const TShiftState ctrl(ssCtrl);
  const std::vector<Row> rows = {
      {"a touchpad's four quarters are one notch",
       {{30, 0, none}, {30, 10, none}, {30, 20, none}, {30, 30, none}},
       {120}},
      {"each notched message is one step", {{120, 0, none}, {-120, 10, none}}, {120, -120}},
      {"a message of two notches stays one step", {{240, 0, none}, {10, 10, none}}, {120}},
      {"what is left over counts on", {{90, 0, none}, {60, 10, none}, {90, 20, none}}, {120, 120}},
      {"the other way starts afresh", {{90, 0, none}, {-60, 10, none}, {-60, 20, none}}, {-120}},
      {"other keys start afresh", {{90, 0, none}, {60, 10, ctrl}, {30, 20, ctrl}}, {}},
      {"a pause starts afresh", {{90, 0, none}, {60, 301, none}, {30, 310, none}}, {}},
      {"the clock may wrap", {{90, 0xFFFFFFF0U, none}, {30, 0x10, none}}, {120}},
      {"nothing turns nothing", {{0, 0, none}, {0, 10, none}}, {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    TestForm fresh{app};
    fresh.CreateWnd();
    for (const Message& m : row.messages) {
      fresh.OnMouseWheelMessage(m.shift, m.delta, {5, 5}, m.time);
    }
    EXPECT_EQ(fresh.wheelSteps, row.steps);
  }
}

TEST(ShortCutText, NamesTheKeyWithItsModifiers) {
  struct Case {
    TShortCut shortcut;
    std::string text;
  };
  for (const Case& c :
       {Case{112, "F1"}, Case{114, "F3"}, Case{27, "Esc"},
        Case{static_cast<TShortCut>(scAlt | 115), "Alt+F4"},
        Case{static_cast<TShortCut>(scCtrl | scShift | 'A'), "Shift+Ctrl+A"}, Case{0, ""}}) {
    EXPECT_EQ(ShortCutToText(c.shortcut), c.text);
  }
}

// While the slides have the keyboard this thread's key state is stale: Alt comes from the
// keyboard as it is now; the message's own flags always win.
TEST(MessageShiftState, ModifiersFromTheMessageAndTheRightReading) {
  struct Case {
    const char* what;
    TShiftState carried;
    bool mouse;  // carries Shift and Ctrl
    bool threadHasKeyboard;
    ModifierReadings keys;
    TShiftState expected;
  };
  const TShiftState alt = ssAlt;
  const TShiftState shiftCtrl = ssShift + ssCtrl;
  const Case cases[] = {
      {"Alt+wheel over the arrow while the slides have the keyboard",
       {},
       true,
       false,
       {{}, alt},
       alt},
      {"an Alt left down by Alt+Tab to the slides", ssLeft, true, false, {alt, {}}, ssLeft},
      {"Alt+wheel with the keyboard", {}, true, true, {alt, alt}, alt},
      {"with the keyboard, the thread's reading is in step with the message",
       ssLeft,
       true,
       true,
       {{}, alt},
       ssLeft},
      {"Shift and Ctrl from the mouse message, not the readings",
       ssShift + ssLeft,
       true,
       false,
       {shiftCtrl, ssCtrl + ssAlt},
       TShiftState(ssShift) + ssLeft + ssAlt},
      {"a key message reads Shift and Ctrl too", {}, false, true, {shiftCtrl, {}}, shiftCtrl},
      {"a key message without the keyboard",
       {},
       false,
       false,
       {alt, TShiftState(ssShift) + ssAlt},
       TShiftState(ssShift) + ssAlt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(MessageShiftState(c.carried, c.mouse, c.threadHasKeyboard, c.keys), c.expected);
  }
}

// A fake clock: each step asks at its time whether a raise may be made now.
TEST(RaiseLimiter, FourARoundThenALookWhenItEndsAndLongerRoundsWhileFought) {
  struct Step {
    std::uint32_t at;
    bool allowed;
    std::uint32_t retryIn;  // after a refusal
  };
  constexpr std::uint32_t kStart = 0xFFFFF000U;  // the tick count wraps within the first round
  const Step steps[] = {
      {kStart, true, 0},
      {kStart + 100, true, 0},
      {kStart + 400, true, 0},
      {kStart + 2000, true, 0},
      {kStart + 2400, false, 7850},  // the fifth waits for the round's end
      {kStart + 9999, false, 251},
      {kStart + 10250, true, 0},  // the look: fought on, the round is 20 s now
      {kStart + 10300, true, 0},
      {kStart + 10350, true, 0},
      {kStart + 10400, true, 0},
      {kStart + 25000, false, 5500},
      {kStart + 30250, true, 0},  // fought on again: 40 s
      {kStart + 30260, true, 0},
      {kStart + 30270, true, 0},
      {kStart + 30280, true, 0},
      {kStart + 69000, false, 1500},
      // Calm for more than a first round after the 40 s one: 10 s rounds again.
      {kStart + 90000, true, 0},
      {kStart + 90001, true, 0},
      {kStart + 90002, true, 0},
      {kStart + 90003, true, 0},
      {kStart + 90004, false, 10246},
  };
  RaiseLimiter limiter;
  for (const Step& s : steps) {
    SCOPED_TRACE(testing::Message() << "at +" << (s.at - kStart));
    EXPECT_EQ(limiter.Allow(s.at), s.allowed);
    if (!s.allowed) {
      EXPECT_EQ(limiter.RetryInMs(s.at), s.retryIn);
    }
  }
  // However long the fight, a round is at most 80 s: at most four raises in that time.
  RaiseLimiter fought;
  std::uint32_t now = 0;
  int raises = 0;
  for (int look = 0; look < 200; ++look) {
    while (fought.Allow(now)) ++raises;
    now += fought.RetryInMs(now);
  }
  EXPECT_LE(raises, static_cast<int>(4 * (now / RaiseLimiter::kLongestRoundMs + 4)));
  EXPECT_GT(now, 200U * RaiseLimiter::kLongestRoundMs / 2);
}

}  // namespace
}  // namespace qd::test
