// The one way the backend includes the Windows headers.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <commdlg.h>
#include <windowsx.h>

// These ANSI/wide selector macros would rename the window-system operations of the same
// names in every file that sees them; the backend calls the A or W functions by name.
#undef ChooseColor
#undef CreateWaitableTimer
#undef DeleteFile
#undef GetEnvironmentVariable
#undef ReplaceFile
