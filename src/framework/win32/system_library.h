// The system DLLs the program loads at run time, each from the system folder by its full
// path: a bare name searches the program's own folder first, and a DLL of that name lying
// beside the program (in Downloads, say) would be loaded in its place.
#pragma once

#include "framework/win32/win32.h"

namespace qd::win32 {

// The DLL of this file name (L"uxtheme.dll") from the system folder; null when absent.
HMODULE LoadSystemLibrary(const wchar_t* fileName);

}  // namespace qd::win32
