#!/usr/bin/env bash
# Fails unless the given exe imports only the system DLLs it is allowed to need, so that
# the program keeps running from a bare folder with no runtime DLL beside it, and none of
# their functions that Windows 7, the oldest Windows the program supports, lacks: the exe
# would not start there at all. Such a function is looked up at run time, with a fallback.
set -euo pipefail
if [ $# -ne 1 ] || [ ! -f "$1" ]; then
  echo "usage: $0 Quiverdart.exe" >&2
  exit 2
fi
# Each MinGW objdump reads only its own architecture; take the first that reads the file.
headers=""
for candidate in i686-w64-mingw32-objdump x86_64-w64-mingw32-objdump objdump; do
  command -v "$candidate" >/dev/null || continue
  if headers=$("$candidate" -p "$1" 2>/dev/null); then break; fi
  headers=""
done
[ -n "$headers" ] || { echo "$0: no objdump can read $1" >&2; exit 2; }

# DLLs loaded at run time come from the system folder by full path (LoadSystemLibrary): a
# bare name would load a DLL of that name lying beside the exe instead.
sources=$(cd "$(dirname "$0")/../src" && pwd)
bare=$(grep -rnE '\bLoadLibrary(Ex)?[AW]?\b' "$sources" | grep -v '/framework/win32/system_library\.cpp:' || true)
if [ -n "$bare" ]; then
  echo "REJECTED LoadLibrary outside LoadSystemLibrary:" >&2
  echo "$bare" >&2
  exit 1
fi

allowed="KERNEL32.dll USER32.dll GDI32.dll COMDLG32.dll ADVAPI32.dll msvcrt.dll"
dlls=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers")
[ -n "$dlls" ] || { echo "$0: no import table found in $1" >&2; exit 1; }
status=0
while read -r dll; do
  ok=0
  for a in $allowed; do
    [ "${dll,,}" = "${a,,}" ] && ok=1
  done
  if [ $ok -eq 1 ]; then
    echo "ok       $dll"
  else
    echo "REJECTED $dll" >&2
    status=1
  fi
done <<<"$dlls"

# Functions of those DLLs that came after Windows 7, with the Windows that brought them: the
# ones a MinGW runtime, the C++ library or this kind of program may pull in.
newer_than_windows_7="
GetSystemTimePreciseAsFileTime 8
CreateFile2 8
CopyFile2 8
GetCurrentThreadStackLimits 8
GetOverlappedResultEx 8
PrefetchVirtualMemory 8
WaitOnAddress 8
WakeByAddressSingle 8
WakeByAddressAll 8
SetDefaultDllDirectories 8
AddDllDirectory 8
GetPackageFamilyName 8
GetCurrentPackageId 8
SetThreadDescription 10
GetThreadDescription 10
GetDpiForWindow 10
GetDpiForSystem 10
GetSystemMetricsForDpi 10
AdjustWindowRectExForDpi 10
SetProcessDpiAwarenessContext 10
SetThreadDpiAwarenessContext 10
GetWindowDpiAwarenessContext 10
EnableNonClientDpiScaling 10
SystemParametersInfoForDpi 10
LogicalToPhysicalPointForPerMonitorDPI 8.1
PhysicalToLogicalPointForPerMonitorDPI 8.1
"
# Each imported name, one a line: the last field of the rows below each "DLL Name".
functions=$(awk '/DLL Name:/ { inside = 1; next } inside && NF == 0 { inside = 0 }
  inside && $1 ~ /^[0-9a-f]+$/ && NF >= 3 { print $NF }' <<<"$headers")
while read -r name since; do
  [ -n "$name" ] || continue
  if grep -qx "$name" <<<"$functions"; then
    echo "REJECTED $name: Windows $since and later only" >&2
    status=1
  fi
done <<<"$newer_than_windows_7"
[ $status -ne 0 ] || echo "ok       no function newer than Windows 7 ($(wc -l <<<"$functions") imported)"
exit $status
