#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "app/program.h"
#include "program_fixture.h"
#include "settings/settings.h"

namespace qd::test {
namespace {

std::size_t IndexOf(const std::vector<std::string>& log, const std::string& prefix) {
  const auto it = std::find_if(log.begin(), log.end(),
                               [&](const std::string& line) { return line.starts_with(prefix); });
  return static_cast<std::size_t>(it - log.begin());
}

TEST(MainSequence, ShapesThePointerBeforeShowingItAndSavesAtTheEnd) {
  FakeWindowSystem ws;
  FakeSystemServices sys{ws.log};
  sys.directories.insert("C:\\Tools");
  EXPECT_EQ(RunProgram(ws, sys), 0);
  const std::vector<std::string>& log = ws.log;
  EXPECT_EQ(log.front(), "SetApplicationTitle Quiverdart");
  EXPECT_LT(IndexOf(log, "CreateAppWindow 692 732 1196 961 topmost layered"),
            IndexOf(log, "SetWindowBounds"));
  EXPECT_LT(IndexOf(log, "SetWindowRegion"), IndexOf(log, "RunMessageLoop"));
  EXPECT_EQ(IndexOf(log, "ShowAppWindow"), log.size()) << "only the message loop shows it";
  EXPECT_LT(IndexOf(log, "RunMessageLoop"), IndexOf(log, "CreateFileForWrite"));
  EXPECT_LT(IndexOf(log, "ReplaceFile"), IndexOf(log, "DestroyAppWindow"));
  // The bounds the arrow has when it is first shown.
  const auto bounds = ws.Calls("SetWindowBounds");
  ASSERT_FALSE(bounds.empty());
  EXPECT_EQ(bounds.back(), "SetWindowBounds 899 525 62 31");
  EXPECT_TRUE(sys.files.contains(kSettingsPath));
}

// One arrow per settings file: a second start brings the running one (FormMainOnHandOver)
// and ends without a window of its own or a word written; the help it was asked for first.
// A running one that ends while the start waits for its answer leaves the start the arrow.
TEST(MainSequence, ASecondStartHandsOverAndLeavesTheFileAlone) {
  struct Row {
    bool running;
    bool help;
    bool answers;        // the running program's window answers the hand-over
    bool endsMeanwhile;  // the running program ends, its claim freed, while the start waits
  };
  for (const Row row : {Row{true, false, true, false}, Row{true, true, true, false},
                        Row{false, false, true, false}, Row{true, true, false, false},
                        Row{true, false, false, true}, Row{true, true, false, true}}) {
    SCOPED_TRACE(std::to_string(row.running) + " " + std::to_string(row.help) + " " +
                 std::to_string(row.answers) + " " + std::to_string(row.endsMeanwhile));
    FakeWindowSystem ws;
    FakeSystemServices sys{ws.log};
    sys.directories.insert("C:\\Tools");
    sys.files[kSettingsPath] = "[Pointer]\r\nSize=9\r\n";
    if (row.running) {
      sys.claimedNames.insert(kSettingsPath);
    }
    if (row.help) {
      sys.commandLine = {"/?"};
    }
    ws.handOverAnswered = row.answers;
    if (row.endsMeanwhile) {
      ws.whileHandingOver = [&] { sys.claimedNames.erase(kSettingsPath); };
    }
    EXPECT_EQ(RunProgram(ws, sys), 0);
    const std::vector<std::string>& log = ws.log;
    const bool isTheArrow = !row.running || row.endsMeanwhile;
    const std::string handOver = std::string("HandOver ") + kSettingsPath;
    EXPECT_EQ(ws.Calls("HandOver"),
              row.running ? std::vector<std::string>{handOver} : std::vector<std::string>{});
    EXPECT_EQ(ws.Calls("RunMessageLoop").empty(), !isTheArrow);
    EXPECT_EQ(ws.Calls("RegisterHotKey").empty(), !isTheArrow);
    EXPECT_EQ(ws.Calls("AnswerHandOvers").empty(), !isTheArrow);
    EXPECT_EQ(ws.Calls("CreateFileForWrite").empty(), !isTheArrow);
    EXPECT_EQ(ws.Calls("MessageBox").size(), row.help ? 1U : 0U);
    EXPECT_LT(IndexOf(log, "MessageBox"),
              row.help && row.running ? IndexOf(log, "HandOver") : log.size() + 1);
    if (!isTheArrow) {
      EXPECT_EQ(sys.files[kSettingsPath], "[Pointer]\r\nSize=9\r\n");
    }
  }
}

// Without its window the program has nothing to show and no task-bar entry to be ended by.
TEST(MainSequence, AWindowThatCannotBeMadeIsOneErrorAndAnExitCodeOtherThanZero) {
  FakeWindowSystem ws;
  FakeSystemServices sys{ws.log};
  ws.refuseWindow = true;
  EXPECT_NE(RunProgram(ws, sys), 0);
  EXPECT_EQ(ws.messageBoxes, std::vector<std::string>{"Quiverdart|Cannot create the window."});
  EXPECT_EQ(ws.Calls("ErrorBox").size(), 1U);
  EXPECT_TRUE(ws.Calls("RunMessageLoop").empty());
  EXPECT_TRUE(ws.Calls("ReadWholeFile").empty()) << "the start-up handler ran";
  EXPECT_EQ(ws.nullWindowCalls, 0);
}

class StartUp : public ProgramTest {};

std::string BoundsText(const TRect& r) {
  return std::to_string(r.left) + " " + std::to_string(r.top) + " " +
         std::to_string(r.right - r.left) + " " + std::to_string(r.bottom - r.top);
}

TEST_F(StartUp, PlacesTheDefaultArrowAtTheCentreOfAnyWorkArea) {
  struct Case {
    TRect workArea;
    int tipX, tipY;
    std::string bounds;
  };
  const std::vector<Case> cases = {
      {{0, 0, 1920, 1080}, 960, 540, "899 525 62 31"},
      {{0, 0, 1920, 1040}, 960, 520, "899 505 62 31"},
      {{0, 0, 1365, 768}, 682, 384, "642 374 41 21"},
      {{0, 0, 500, 400}, 250, 200, "230 195 21 11"},
      {{0, 40, 3840, 2120}, 1920, 1040, "1779 1005 142 71"},
      // A task bar docked on the left: the default tip comes from the width, not the edges.
      {{100, 0, 1920, 1080}, 910, 540, "849 525 62 31"},
      // Below 64 pixels the upper bound of the tip range wins over the lower one.
      {{0, 0, 1, 1}, -31, -31, "-51 -36 21 11"},
  };
  for (const Case& c : cases) {
    TearDown();
    SetUp();
    ws.workArea = c.workArea;
    Start();
    EXPECT_EQ(BoundsText(ws.window.bounds), c.bounds);
    EXPECT_FALSE(ws.window.region.empty());
    const LoadedPointer saved = Saved();
    EXPECT_EQ(saved.x, c.tipX);
    EXPECT_EQ(saved.y, c.tipY);
  }
}

TEST_F(StartUp, TakesTheTitleFromTheProgramFile) {
  sys.moduleFileName = "D:\\Talks\\Arrow.exe";
  sys.directories.insert("D:\\Talks");
  Start();
  EXPECT_EQ(app->Title(), "Arrow");
  form.reset();
  EXPECT_TRUE(sys.files.contains("D:\\Talks\\Arrow.ini"));
}

TEST_F(StartUp, AppliesTheStoredOpacityAndPaletteIndex) {
  struct Case {
    std::string file;
    bool blend;
    int value;
    TColor color;
    int stepUp;  // the opacity after one Alt+wheel step up: the index shown is the stored one
  };
  const std::vector<Case> cases = {
      {"", true, 192, 0x0000FF, 208},
      {"[Pointer]\r\nAlphaBlendIndex=22\r\n", false, 255, 0x0000FF, 255},
      {"[Pointer]\r\nAlphaBlendIndex=8\r\nColorIndex=5\r\nColor=123\r\n", true, 32, 0x0080FF00, 48},
      {"[Pointer]\r\nColorIndex=-1\r\nColor=123\r\n", true, 192, 123, 208},
      {"[Pointer]\r\nColorIndex=3\r\nColor=0\r\n", true, 192, 0x0000FF80, 208},
  };
  for (const Case& c : cases) {
    TearDown();
    SetUp();
    if (!c.file.empty()) {
      sys.files[kSettingsPath] = c.file;
    }
    Start();
    EXPECT_EQ(form->AlphaBlend(), c.blend) << c.file;
    EXPECT_EQ(form->AlphaBlendValue(), c.value) << c.file;
    EXPECT_EQ(ws.window.fill, c.color) << c.file;
    ws.events->FormMainOnMouseWheel(TShiftState(ssAlt), 120, {});
    EXPECT_EQ(ws.window.layered ? ws.window.alpha : 255, c.stepUp) << c.file;
  }
}

TEST_F(StartUp, RegistersTheHandCursorsAndFallsBackToTheArrowForMissingOnes) {
  Start();
  EXPECT_EQ(app->CursorHandle(HandFlat), NativeCursor{0xF1});
  EXPECT_EQ(app->CursorHandle(HandGrab), NativeCursor{0xF2});
  EXPECT_EQ(app->CursorHandle(7), NativeCursor{});
  EXPECT_EQ(app->CursorHandle(crDefault), NativeCursor{});
}

TEST_F(StartUp, AnUnreadableSettingsFileIsReportedOnceAndNeverOverwritten) {
  sys.directories.insert("C:\\Tools");
  sys.files[kSettingsPath] = "[Pointer]\r\nSize=9\r\n";
  sys.unreadableFiles.insert(kSettingsPath);
  Start();
  ASSERT_EQ(ws.messageBoxes.size(), 1U);
  EXPECT_TRUE(
      ws.messageBoxes[0].starts_with("Quiverdart|Cannot open file \"C:\\Tools\\Quiverdart.ini\""));
  EXPECT_EQ(BoundsText(ws.window.bounds), "899 525 62 31") << "the default arrow";
  form.reset();
  EXPECT_EQ(ws.messageBoxes.size(), 1U) << "another box by the end";
  EXPECT_EQ(sys.files[kSettingsPath], "[Pointer]\r\nSize=9\r\n");
  EXPECT_TRUE(ws.Calls("CreateFileForWrite").empty());
}

// Whichever step of the save fails, one box names the file and the old file stays.
class StartUpSaveFailure : public ProgramTest, public testing::WithParamInterface<const char*> {};

TEST_P(StartUpSaveFailure, IsReportedOnceNamingTheFile) {
  sys.directories.insert("C:\\Tools");
  sys.files[kSettingsPath] = "[Pointer]\r\nSize=9\r\n";
  sys.failFileStepAt[GetParam()] = 1;
  Start();
  form.reset();
  ASSERT_EQ(ws.messageBoxes.size(), 1U);
  EXPECT_EQ(ws.messageBoxes[0],
            std::string("Quiverdart|Cannot write file \"C:\\Tools\\Quiverdart.ini\". "
                        "Injected failure at ") +
                GetParam());
  EXPECT_EQ(sys.files[kSettingsPath], "[Pointer]\r\nSize=9\r\n");
}

// While the arrow is shown a box would stand in front of the audience: the end tries again
// and tells; at a session end nothing may wait for the user at all.
TEST_P(StartUpSaveFailure, WhilePresentingAndAtSessionEndOpensNoBox) {
  for (const bool sessionEnd : {false, true}) {
    TearDown();
    SetUp();
    ws.messageBoxes.clear();
    sys.files[kSettingsPath] = "[Pointer]\r\nSize=9\r\n";
    sys.failFileStepAt[GetParam()] = 1;
    Start();
    ws.events->FormMainOnMouseWheel({}, 120, {0, 0});
    ws.Tick(kTimerSaveSettingsId);
    EXPECT_TRUE(ws.messageBoxes.empty()) << GetParam();
    ASSERT_FALSE(ws.Calls("CreateFileForWrite").empty()) << "the save was tried";
    if (sessionEnd) {
      ws.events->OnEndSession();
    }
    form.reset();
    EXPECT_EQ(ws.messageBoxes.size(), sessionEnd ? 0U : 1U) << GetParam();
    EXPECT_EQ(sys.files[kSettingsPath], "[Pointer]\r\nSize=9\r\n");
  }
}

// A scanner or a sync tool holding the file a moment: the change is tried again, each time
// after twice as long up to a minute, without a box, until it is saved; a new change meanwhile
// does not put the try off.
TEST_P(StartUpSaveFailure, WhilePresentingIsTriedAgainUntilSaved) {
  sys.files[kSettingsPath] = "[Pointer]\r\nOrientation=0\r\n";
  sys.failFileStepAt[GetParam()] = 1;
  Start();
  ws.events->FormMainOnMouseWheel({}, 120, {0, 0});
  for (int tick = 0; tick < 7; ++tick) {
    ws.Tick(kTimerSaveSettingsId);
    if (tick == 3) {
      ws.events->FormMainOnMouseWheel({}, 120, {0, 0});
    }
  }
  EXPECT_EQ(
      ws.Calls("StartTimer 3"),
      (std::vector<std::string>{"StartTimer 3 2000", "StartTimer 3 4000", "StartTimer 3 8000",
                                "StartTimer 3 16000", "StartTimer 3 32000", "StartTimer 3 60000",
                                "StartTimer 3 60000", "StartTimer 3 60000"}))
      << GetParam();
  sys.failFileStepAt.erase(GetParam());
  ws.Tick(kTimerSaveSettingsId);
  EXPECT_TRUE(ws.messageBoxes.empty()) << GetParam();
  TMemIniFile ini;
  EXPECT_EQ(ReadIniFile(sys, kSettingsPath, ini), std::nullopt);
  EXPECT_EQ(ini.ReadInteger("Pointer", "Orientation", -1), 2) << GetParam();
  EXPECT_FALSE(ws.runningTimers.contains(3)) << GetParam() << ": saved, no timer left";
  ws.events->FormMainOnMouseWheel({}, 120, {0, 0});
  EXPECT_EQ(ws.Calls("StartTimer 3").back(), "StartTimer 3 2000") << "the next change as ever";
}

INSTANTIATE_TEST_SUITE_P(Steps, StartUpSaveFailure, testing::Values("create", "write", "replace"));

// A crash, a kill or a dead battery loses only what changed in the last few seconds.
TEST_F(StartUp, ChangesAreSavedOnceLeftAloneAndBeforeASuspend) {
  const auto orientation = [&] {
    TMemIniFile ini;
    EXPECT_EQ(ReadIniFile(sys, kSettingsPath, ini), std::nullopt);
    return ini.ReadInteger("Pointer", "Orientation", -1);
  };
  sys.files[kSettingsPath] = "[Pointer]\r\nOrientation=0\r\n";
  Start();
  ws.events->FormMainOnMouseUp(TMouseButton::mbLeft, {}, 5, 5);
  EXPECT_FALSE(ws.runningTimers.contains(3)) << "no timer while nothing changes";
  ws.events->FormMainOnMouseWheel({}, 120, {0, 0});
  EXPECT_EQ(ws.Calls("StartTimer 3"), std::vector<std::string>{"StartTimer 3 2000"});
  ws.events->FormMainOnMouseWheel({}, 120, {0, 0});
  ws.Tick(kTimerSaveSettingsId);
  EXPECT_EQ(orientation(), 0) << "still changing: not yet";
  ws.Tick(kTimerSaveSettingsId);
  EXPECT_EQ(orientation(), 2);
  EXPECT_FALSE(ws.runningTimers.contains(3));
  ws.events->FormMainOnMouseWheel({}, -120, {0, 0});
  ws.events->OnSuspend();
  EXPECT_EQ(orientation(), 1) << "saved before the system sleeps";
  EXPECT_FALSE(ws.runningTimers.contains(3));
  ws.events->OnSuspend();
  EXPECT_EQ(ws.Calls("ReplaceFile").size(), 2U) << "nothing new, nothing written";
}

TEST_F(StartUp, ShutdownStoresThePaletteIndexOfTheColourShown) {
  struct Case {
    TColor color;
    std::string line;
  };
  for (const Case& c : {Case{0x00FFFF00, "ColorIndex=6"}, Case{0x00123456, "ColorIndex=-1"},
                        Case{0x0000FF, "ColorIndex=0"}}) {
    TearDown();
    SetUp();
    sys.directories.insert("C:\\Tools");
    Start();
    ws.chooseColor = [&](TColor& color, std::array<TColor, 16>&) {
      color = c.color;
      return true;
    };
    ws.events->FormMainOnKeyDown(kKeyF2, {});
    form.reset();
    EXPECT_NE(sys.files[kSettingsPath].find(c.line + "\r\n"), std::string::npos) << c.line;
  }
}

}  // namespace
}  // namespace qd::test
