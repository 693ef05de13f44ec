#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "framework/errors.h"
#include "model/tables.h"
#include "program_fixture.h"
#include "settings/hotkey.h"

namespace qd::test {
namespace {

constexpr MonitorInfo kPrimary{{0, 0, 1920, 1080}, {0, 0, 1920, 1040}, true};
constexpr MonitorInfo kLeftOfPrimary{{-1280, 0, 0, 1200}, {-1280, 0, 0, 1200}, false};
// A laptop at 150 % with a projector at 100 % to its right, and the scales the other way.
constexpr MonitorInfo kLaptop{{0, 0, 1920, 1080}, {0, 0, 1920, 1040}, true, 144};
constexpr MonitorInfo kProjector{{1920, 0, 3200, 720}, {1920, 0, 3200, 720}, false, 96};
constexpr MonitorInfo kLaptopAt100{{0, 0, 1920, 1080}, {0, 0, 1920, 1040}, true, 96};
constexpr MonitorInfo kProjectorAt150{{1920, 0, 3200, 720}, {1920, 0, 3200, 720}, false, 144};

class Screens : public ProgramTest {
 protected:
  void StartAt(TPoint tip, const std::string& more = "") {
    StartWith("[Pointer]\r\nTipPosX=" + std::to_string(tip.x) +
              "\r\nTipPosY=" + std::to_string(tip.y) + "\r\n" + more);
  }
};

// Brought back, it is drawn at the scale of the monitor it lands on, though the system
// reports no change of the window's own DPI.
TEST_F(Screens, DisplayChangeBringsBackOnlyAnArrowOnNoMonitor) {
  struct Case {
    const char* what;
    TPoint tip;
    std::vector<MonitorInfo> monitorsAfter;
    TPoint expected;
    TRect workAreaAfter = kPrimary.workArea;
    bool listsNoMonitor = false;
    std::vector<MonitorInfo> monitorsBefore = {kPrimary, kLeftOfPrimary};
    int widths[2] = {};  // before and after, where the monitors have scales of their own
  };
  const std::vector<Case> cases = {
      {"its monitor stays", {-600, 700}, {kPrimary, kLeftOfPrimary}, {-600, 700}},
      {"its monitor is gone", {-600, 700}, {kPrimary}, {32, 700}},
      {"gone, beyond the primary's height", {-600, 1100}, {kPrimary}, {32, 1008}},
      {"on the primary whose work area shrank", {960, 1030}, {kPrimary}, {960, 1030}},
      {"no monitor listed mid-change", {-600, 700}, {}, {-600, 700}, kPrimary.workArea, true},
      {"gone, but the work area reads 0 x 0", {-600, 700}, {kPrimary}, {-600, 700}, {}},
      // Where the clamp to an empty work area would land on a monitor left of or above it.
      {"gone, the work area 0 wide, a narrower monitor left",
       {-600, 700},
       {kPrimary, {{-100, 0, 0, 1200}, {-100, 0, 0, 1200}, false}},
       {-600, 700},
       {0, 0, 0, 1040}},
      {"gone, the work area 0 high, a monitor above",
       {-600, 700},
       {kPrimary, {{0, -1024, 1280, 0}, {0, -1024, 1280, 0}, false}},
       {-600, 700},
       {0, 0, 1920, 0}},
      {"a 100 % projector unplugged beside a 150 % laptop",
       {2500, 360},
       {kLaptop},
       {1888, 360},
       kLaptop.workArea,
       false,
       {kLaptop, kProjector},
       {115, 172}},
      {"a 150 % projector unplugged beside a 100 % laptop",
       {2500, 360},
       {kLaptopAt100},
       {1888, 360},
       kLaptop.workArea,
       false,
       {kLaptopAt100, kProjectorAt150},
       {258, 172}},
  };
  for (const Case& c : cases) {
    TearDown();
    SetUp();
    ws.workArea = kPrimary.bounds;
    ws.monitors = c.monitorsBefore;
    ws.listsNoMonitor = false;
    StartAt(c.tip, "Size=10\r\n");
    ASSERT_EQ(TipOnScreen(), c.tip) << c.what;
    const int size = ws.window.bounds.right - ws.window.bounds.left;
    if (c.widths[0] != 0) {
      ASSERT_EQ(size, c.widths[0]) << c.what;
    }
    ws.monitors = c.monitorsAfter;
    ws.workArea = c.workAreaAfter;
    ws.listsNoMonitor = c.listsNoMonitor;
    ws.events->FormMainOnDisplayChange();
    EXPECT_EQ(TipOnScreen(), c.expected) << c.what;
    EXPECT_EQ(ws.window.bounds.right - ws.window.bounds.left, c.widths[1] != 0 ? c.widths[1] : size)
        << c.what;
    if (c.expected == c.tip) {
      EXPECT_TRUE(ws.log.empty()) << c.what;
    } else {
      EXPECT_FALSE(ws.Calls("SetWindowRegion").empty()) << c.what;
      EXPECT_FALSE(ws.Calls("FillRect").empty()) << c.what;
    }
  }
}

TEST_F(Screens, BoundsMovedByTheSystemAreWhereTheNextChangeStarts) {
  Start();
  const int width = form->Width();
  const int height = form->Height();
  ws.events->OnBoundsChanged(-900, 300, width, height, MovedBy::System);
  EXPECT_EQ(ws.log, std::vector<std::string>{"StartTimer 3 2000"})
      << "taken as they are, not applied back; saved a moment later";
  // A drag by one pixel from the inner area starts from there.
  ws.events->FormMainOnMouseMove({}, 30, 15);
  ws.Tick(kTimerMouseMoveHoldOffId);
  ws.cursorPos = {-900 + 30, 300 + 15};
  ws.events->FormMainOnMouseDown(TMouseButton::mbLeft, TShiftState(ssLeft), 30, 15);
  ws.cursorPos.x += 1;
  ws.events->FormMainOnMouseMove(TShiftState(ssLeft), 31, 15);
  EXPECT_EQ(ws.Calls("SetWindowBounds"),
            std::vector<std::string>{"SetWindowBounds -899 300 " + std::to_string(width) + " " +
                                     std::to_string(height)});
}

// Windows put the window back elsewhere (a projector reconnected, Win+Shift+arrow): the
// arrow is rebuilt and saved where it now is.
TEST_F(Screens, AMoveByTheSystemTakesTheTipAlong) {
  Start();
  const std::string moved = "SetWindowBounds " + std::to_string(form->Left() + 200) + " " +
                            std::to_string(form->Top() + 100) + " " +
                            std::to_string(form->Width()) + " " + std::to_string(form->Height());
  ws.events->OnBoundsChanged(form->Left() + 200, form->Top() + 100, form->Width(), form->Height(),
                             MovedBy::System);
  ws.events->FormMainOnMouseWheel(ssShift, 120, {0, 0});
  ws.events->FormMainOnMouseWheel(ssShift, -120, {0, 0});
  EXPECT_EQ(ws.Calls("SetWindowBounds").back(), moved);
  const LoadedPointer saved = Saved();
  EXPECT_EQ(saved.x, 1160);
  EXPECT_EQ(saved.y, 640);
}

// On a monitor whose scale differs from the primary's the system may report the program's
// own moves a pixel off: turning the arrow round and back, and the hotkey, leave the tip
// where they put it.
TEST_F(Screens, OwnMovesReportedAPixelOffLeaveTheTipWhereItWas) {
  ws.ownMoveReportedOff = {1, -1};
  Start();
  form->Show();
  for (const int delta : {120, 120, 120, -120, -120, -120}) {
    ws.events->FormMainOnMouseWheel(ssShift, delta, {0, 0});
  }
  ws.cursorPos = {700, 300};
  ws.events->FormMainOnHotKey(1);
  ws.events->FormMainOnMouseWheel(ssShift, 120, {0, 0});
  const LoadedPointer saved = Saved();
  EXPECT_EQ(saved.x, 700);
  EXPECT_EQ(saved.y, 300);
}

TEST(ParseHotKey, TextToCombination) {
  struct Case {
    const char* text;
    std::optional<HotKey> expected;
  };
  const std::vector<Case> cases = {
      {"Ctrl+Alt+F8", kDefaultArrowToPointer},
      {" control + ALT + f8 ", kDefaultArrowToPointer},
      {"Win+Shift+P", HotKey{kHotKeyWin | kHotKeyShift, 'P'}},
      {"Alt+0", HotKey{kHotKeyAlt, '0'}},
      {"Ctrl+F24", HotKey{kHotKeyCtrl, 0x87}},
      {"Ctrl+Alt+PageDown", HotKey{kHotKeyCtrl | kHotKeyAlt, 0x22}},
      {"Ctrl+Pause", HotKey{kHotKeyCtrl, 0x13}},
      {"Off", HotKey{}},
      {"off", HotKey{}},
      {"", HotKey{}},
      {"F8", std::nullopt},
      {"Shift+F8", std::nullopt},
      {"Ctrl+Alt", std::nullopt},
      {"Ctrl+Alt+F25", std::nullopt},
      {"Ctrl+Alt+F0", std::nullopt},
      {"Ctrl+Alt+F08", std::nullopt},
      {"Ctrl+Ctrl+F8", std::nullopt},
      {"Ctrl++F8", std::nullopt},
      {"Ctrl+Alt+F8+", std::nullopt},
      {"Ctrl+AB", std::nullopt},
      {"Ctrl+\xC4", std::nullopt},
      {"Strg+Alt+F8", std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParseHotKey(c.text), c.expected) << c.text;
  }
}

TEST_F(Screens, HotKeySettingAtStart) {
  struct Case {
    const char* what;
    std::string file;
    bool taken;
    std::vector<std::string> registered;
    std::vector<std::string> boxes;
    TUiLanguage language = TUiLanguage::English;
  };
  const std::string box =
      "Quiverdart|The setting \"[Hotkey] ArrowToPointer=Ctrl+Alt+Q8\" is not a valid key "
      "combination. Ctrl+Alt+F8 is used instead.";
  const std::vector<Case> cases = {
      {"no key: the default", "", false, {"RegisterHotKey 1 3 119"}, {}},
      {"the user's own",
       "[Hotkey]\r\nArrowToPointer=Win+P\r\n",
       false,
       {"RegisterHotKey 1 8 80"},
       {}},
      {"switched off", "[hotkey]\r\narrowtopointer=Off\r\n", false, {}, {}},
      {"malformed: one box, then the default",
       "[Hotkey]\r\nArrowToPointer=Ctrl+Alt+Q8\r\n",
       false,
       {"RegisterHotKey 1 3 119"},
       {box}},
      {"held by another program: no box", "", true, {"RegisterHotKey 1 3 119"}, {}},
      // The very text the loader's look-up gives for a missing key.
      {"0: one box, then the default",
       "[Hotkey]\r\nArrowToPointer=0\r\n",
       false,
       {"RegisterHotKey 1 3 119"},
       {"Quiverdart|The setting \"[Hotkey] ArrowToPointer=0\" is not a valid key combination. "
        "Ctrl+Alt+F8 is used instead."}},
      // The file's Windows-1252 value in the German text, letter for letter.
      {"malformed, in German",
       "[Hotkey]\r\nArrowToPointer=Strg+\xC4\r\n",
       false,
       {"RegisterHotKey 1 3 119"},
       {"Quiverdart|Die Einstellung \"[Hotkey] ArrowToPointer=Strg+\xC3\x84\" ist keine "
        "g\xC3\xBCltige Tastenkombination. Ctrl+Alt+F8 wird verwendet."},
       TUiLanguage::German},
  };
  for (const Case& c : cases) {
    TearDown();
    SetUp();
    sys.directories.insert("C:\\Tools");
    sys.files[kSettingsPath] = c.file;
    ws.messageBoxes.clear();
    ws.hotKeyTaken = c.taken;
    form = std::make_unique<TFormMain>(*app, c.language);
    app->SetMainForm(form.get());
    form->CreateWnd();
    EXPECT_EQ(ws.Calls("RegisterHotKey"), c.registered) << c.what;
    EXPECT_EQ(ws.messageBoxes, c.boxes) << c.what;
    ws.ClearLog();
    form->Destroy();
    EXPECT_EQ(ws.Calls("UnregisterHotKey").size(), c.registered.size() - c.taken) << c.what;
  }
}

// The hotkey, and a second start of the program, which hands over to this one.
TEST_F(Screens, HotKeyBringsAFadedOutLockedArrowToThePointerVisible) {
  for (const bool handOver : {true, false}) {
    TearDown();
    SetUp();
    ws.monitors = {kPrimary, kLeftOfPrimary};
    StartWith("[Pointer]\r\nSettingsLocked=1\r\nAlphaBlendIndex=12\r\n");
    ws.events->FormMainOnMouseDown(TMouseButton::mbMiddle, {}, 5, 5);  // fades out
    ASSERT_EQ(ws.window.alpha, 2);
    ws.cursorPos = {-1270, 5};  // at the far corner of the monitor to the left: not clamped
    ws.ClearLog();
    if (handOver) {
      ws.events->FormMainOnHandOver();
    } else {
      ws.events->FormMainOnHotKey(1);
    }
    EXPECT_EQ(TipOnScreen(), (TPoint{-1270, 5})) << handOver;
    EXPECT_EQ(ws.window.alpha, AlphaTable[12]) << "visible again at its own opacity";
    EXPECT_EQ(ws.log.back(), "RaiseWithoutActivation");
  }
  ws.ClearLog();
  ws.events->FormMainOnHotKey(2);
  EXPECT_TRUE(ws.log.empty()) << "not ours";
  const LoadedPointer saved = Saved();
  EXPECT_TRUE(saved.locked);
  EXPECT_EQ(saved.alpha, 12);
}

// A second start is answered from what the arrow does: handed over where the arrow comes
// (or what is open comes to the front: below); "ending" once the program is on its way out,
// the exit's box included, so that the start waits and becomes the arrow.
TEST_F(Screens, SecondStartIsAnsweredFromWhatTheArrowDoes) {
  struct Case {
    const char* what;
    // Opens what the case needs, runs `ask` within it, and closes it.
    std::function<void(const std::function<void()>&)> within;
    HandOverAnswer answer;
    bool comes;  // the arrow's tip to the pointer
  };
  const std::vector<Case> cases = {
      {"shown", [](const std::function<void()>& ask) { ask(); }, HandOverAnswer::HandedOver, true},
      {"after Esc",
       [this](const std::function<void()>& ask) {
         ws.events->FormMainOnKeyPress('\x1b');
         ASSERT_TRUE(app->Terminated());
         ask();
       },
       HandOverAnswer::Ending, false},
      {"the exit's box up",
       [this](const std::function<void()>& ask) {
         sys.failFileStepAt["create"] = 1;
         ws.onMessageBox = [ask](const std::string&) { ask(); };
         app->Terminate();
         form->Destroy();
       },
       HandOverAnswer::Ending, false},
  };
  for (const Case& c : cases) {
    TearDown();
    SetUp();
    StartAt({700, 500}, "EscTerminates=1\r\n");
    ws.cursorPos = {100, 900};
    std::optional<HandOverAnswer> answer;
    c.within([&] {
      answer = ws.events->OnHandOverAsked();
      if (answer == HandOverAnswer::HandedOver) ws.events->FormMainOnHandOver();
    });
    EXPECT_EQ(answer, c.answer) << c.what;
    const TPoint tip = c.comes ? TPoint{100, 900} : TPoint{700, 500};
    EXPECT_EQ(TipOnScreen(), tip) << c.what;
  }
}

// Over what is open the arrow stays put; a second start brings what is open to the front.
TEST_F(Screens, HotKeyAndSecondStartLeaveTheArrowWhileAMenuBoxOrPickIsOpen) {
  struct Case {
    const char* what;
    std::function<void(const std::function<void()>&)> open;
  };
  const std::vector<Case> cases = {
      {"context menu",
       [this](const std::function<void()>& press) {
         ws.onMenu = press;
         ws.events->FormMainOnContextPopup({0, 0});
       }},
      {"help from the menu",
       [this](const std::function<void()>& press) {
         ws.menuChoices = {1};
         ws.onMessageBox = [press](const std::string&) { press(); };
         ws.events->FormMainOnContextPopup({0, 0});
       }},
      {"help from F1",
       [this](const std::function<void()>& press) {
         ws.onMessageBox = [press](const std::string&) { press(); };
         ws.events->FormMainOnKeyDown(kKeyF1, {});
       }},
      {"colour dialog from F2",
       [this](const std::function<void()>& press) {
         ws.chooseColor = [press](TColor&, std::array<TColor, 16>&) {
           press();
           return false;
         };
         ws.events->FormMainOnKeyDown(kKeyF2, {});
       }},
      {"double-click pick",
       [this](const std::function<void()>& press) {
         ws.onProcessMessages = press;
         ws.events->FormMainOnDblClick();
       }},
      {"error box of a failed handler",
       [this](const std::function<void()>& press) {
         ws.onMessageBox = [press](const std::string&) { press(); };
         Guarded(*ws.events, [] { throw EConvertError("'x' is not a valid integer value"); });
       }},
  };
  for (const Case& c : cases) {
    TearDown();
    SetUp();
    StartAt({300, 200});
    ws.cursorPos = {900, 700};
    std::optional<HandOverAnswer> answer;
    c.open([&] {
      ws.events->FormMainOnHotKey(1);
      answer = ws.events->OnHandOverAsked();
      ws.events->FormMainOnHandOver();
    });
    EXPECT_EQ(TipOnScreen(), (TPoint{300, 200})) << c.what;
    EXPECT_TRUE(ws.Calls("RaiseWithoutActivation").empty()) << c.what;
    EXPECT_EQ(answer, HandOverAnswer::HandedOver) << c.what;
    EXPECT_FALSE(ws.Calls("BringOpenBoxToFront").empty()) << c.what;
    ws.events->FormMainOnHotKey(1);
    EXPECT_EQ(TipOnScreen(), (TPoint{900, 700})) << c.what << ": and after it closed";
  }
}

TEST_F(Screens, HotKeyRestoresAMinimisedArrowThroughTheRestoreEvent) {
  StartWith("[Pointer]\r\nAlphaBlendIndex=8\r\n");
  ws.events->FormMainOnMouseWheel(TShiftState(ssAlt), -120, {});  // down to index 7
  ws.minimised = true;
  ws.cursorPos = {400, 300};
  ws.events->FormMainOnHotKey(1);
  EXPECT_EQ(ws.Calls("RestoreApplication").size(), 1U);
  EXPECT_EQ(ws.window.alpha, AlphaTable[8]) << "the restore's floor";
  EXPECT_EQ(TipOnScreen(), (TPoint{400, 300}));
}

}  // namespace
}  // namespace qd::test
