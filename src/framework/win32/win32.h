// The one way the backend includes the Windows headers.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
// windows.h first: the other two build on its types.
// clang-format off
#include <windows.h>
#include <commdlg.h>
#include <windowsx.h>
// clang-format on

// These ANSI/wide selector macros would rename the window-system operations of the same
// names in every file that sees them; the backend calls the A or W functions by name.
#undef ChooseColor
#undef CreateWaitableTimer
#undef DeleteFile
#undef GetEnvironmentVariable
#undef ReplaceFile
#undef SetFileAttributes
