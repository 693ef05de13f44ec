// Program entry: the Windows backend runs the portable program.
#include <cstdlib>

#include "app/program.h"
#include "framework/win32/win32_system_services.h"
#include "framework/win32/win32_window_system.h"

#if defined(__GLIBCXX__)
// libstdc++'s default handler for an uncaught exception writes the exception's demangled
// type to stderr, which a windowed program does not have, and links in the demangler and
// printf for it: about a fifth of the exe. This one ends the program as that one does.
// NOLINTBEGIN(bugprone-reserved-identifier)
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx
// NOLINTEND(bugprone-reserved-identifier)
#endif

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*commandLine*/,
                   int /*show*/) {
  qd::win32::Win32WindowSystem windowSystem(instance);
  qd::win32::Win32SystemServices services;
  return qd::RunProgram(windowSystem, services);
}
