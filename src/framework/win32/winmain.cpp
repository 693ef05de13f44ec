// Program entry: the Windows backend runs the portable program.
#include "app/program.h"
#include "framework/win32/win32_system_services.h"
#include "framework/win32/win32_window_system.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*commandLine*/,
                   int /*show*/) {
  qd::win32::Win32WindowSystem windowSystem(instance);
  qd::win32::Win32SystemServices services;
  return qd::RunProgram(windowSystem, services);
}
