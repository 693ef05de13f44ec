// A started program on the recording fake: the application, and the pointer window created
// with its creation handler run, fresh for each test. Tests see what a user would: the
// window on the fake screen, the log of what the program asked of the system, the file it
// saved.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "fake_system_services.h"
#include "fake_window_system.h"
#include "framework/application.h"
#include "framework/ini_file.h"
#include "loaded_settings.h"
#include "settings/settings.h"
#include "window/UnitMain.h"

namespace qd::test {

// Beside the program, where the fixture's program keeps its settings.
inline constexpr char kSettingsPath[] = "C:\\Tools\\Quiverdart.ini";

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sys.directories.insert("C:\\Tools");
    // A test that starts again in a loop starts without what the last start saved.
    sys.files.erase(kSettingsPath);
    // ... and as the only program of its settings file: the last start has ended.
    sys.claimedNames.clear();
    app = std::make_unique<TApplication>(ws, sys);
  }

  void TearDown() override {
    form.reset();
    app.reset();
  }

  // Creates the window as the main sequence does, in the interface language given; the log
  // starts empty afterwards.
  void Start(TUiLanguage language = TUiLanguage::English) {
    form = std::make_unique<TFormMain>(*app, language);
    app->SetMainForm(form.get());
    form->CreateWnd();
    ws.ClearLog();
  }
  // The same with a settings file of this content.
  void StartWith(const std::string& ini, TUiLanguage language = TUiLanguage::English) {
    sys.files[kSettingsPath] = ini;
    Start(language);
  }

  // The last program ended and a new one started on a new window, with a settings file of
  // this content, and no file, box or window left from before.
  void Restart(const std::string& ini = "", TUiLanguage language = TUiLanguage::English) {
    TearDown();
    sys.files.clear();
    ws.messageBoxes.clear();
    ws.window = {};
    ProgramTest::SetUp();
    StartWith(ini, language);
  }

  // Where the arrow's tip is on the screen: the first point of the outline the window is
  // cut to.
  TPoint TipOnScreen() const {
    const TRect& b = ws.window.bounds;
    return ws.window.region.empty()
               ? TPoint{b.left, b.top}
               : TPoint{b.left + ws.window.region[0].x, b.top + ws.window.region[0].y};
  }

  // Ends the program as the user would, and reads what it saved, as the file has it.
  LoadedPointer Saved() {
    form.reset();
    TMemIniFile ini;
    EXPECT_EQ(ReadIniFile(sys, kSettingsPath, ini), std::nullopt);
    return LoadedPointerState(ReadSettingsKeys(ini, ws.workArea.right - ws.workArea.left,
                                               ws.workArea.bottom - ws.workArea.top)
                                  .settings);
  }

  FakeWindowSystem ws;
  FakeSystemServices sys{ws.log};  // one log, in the order of the calls
  std::unique_ptr<TApplication> app;
  std::unique_ptr<TFormMain> form;
};

}  // namespace qd::test
