// Program entry above the backend.
#pragma once

#include "framework/system_services.h"
#include "framework/window_system.h"

namespace qd {

// The main sequence: fixes the interface language, initialises the application,
// creates the pointer window, runs the message loop and ends the program.
// Returns the process exit code.
int RunProgram(WindowSystem& windowSystem, SystemServices& services);

}  // namespace qd
