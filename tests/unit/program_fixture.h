// A started program on the recording fake: the application, and the pointer window created
// with its creation handler run, fresh for each test.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "fake_system_services.h"
#include "fake_window_system.h"
#include "framework/application.h"
#include "window/UnitMain.h"

namespace qd::test {

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override { app = std::make_unique<TApplication>(ws, sys); }

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

  FakeWindowSystem ws;
  FakeSystemServices sys{ws.log};  // one log, in the order of the calls
  std::unique_ptr<TApplication> app;
  std::unique_ptr<TFormMain> form;
};

}  // namespace qd::test
