#!/usr/bin/env bash
# Fails unless the given exe imports only the system DLLs it is allowed to need, so that
# the program keeps running from a bare folder with no runtime DLL beside it.
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
exit $status
