// A started program on the recording fake: the application, the pointer window created
// with its creation handler run, and the pointer state fresh for each test.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "fake_system_services.h"
#include "fake_window_system.h"
#include "framework/application.h"
#include "model/pointer_state.h"
#include "window/UnitMain.h"

namespace qd::test {

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Pointer = PointerState{};
    app = std::make_unique<TApplication>(ws, sys);
    Application = app.get();
  }

  void TearDown() override {
    form.reset();
    FormMain = nullptr;
    Application = nullptr;
    app.reset();
  }

  // Creates the window as the main sequence does; the log starts empty afterwards.
  void Start() {
    form = std::make_unique<TFormMain>(*app);
    FormMain = form.get();
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
