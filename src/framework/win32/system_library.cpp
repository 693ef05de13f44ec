#include "framework/win32/system_library.h"

namespace qd::win32 {

HMODULE LoadSystemLibrary(const wchar_t* fileName) {
  wchar_t path[MAX_PATH];
  const UINT length = ::GetSystemDirectoryW(path, MAX_PATH);
  const int nameLength = ::lstrlenW(fileName);
  // The folder, a backslash, the name and its terminator.
  if (length == 0 || length + 2 + static_cast<UINT>(nameLength) > MAX_PATH) return nullptr;
  path[length] = L'\\';
  ::lstrcpyW(path + length + 1, fileName);
  return ::LoadLibraryW(path);
}

}  // namespace qd::win32
