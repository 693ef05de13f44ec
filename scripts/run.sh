#!/usr/bin/env bash
# Builds Quiverdart.exe and starts the arrow under the host's Wine: on the current display,
# or, with no display, on a virtual Xvfb display, where it saves a screenshot and prints its
# path. The 64-bit exe under Wine's 64-bit loader, which runs on every kernel; with
# QD_WINE_ARCH=x86 the 32-bit exe under wine32 (scripts/wine-arch.sh).
set -Eeuo pipefail
cd "$(dirname "$0")/.."

# Every step names itself and what to try, so that no failure ends the run unexplained.
step="choosing the exe (QD_WINE_ARCH)"
hint="unset QD_WINE_ARCH for the 64-bit exe"
fail() {
  echo "run.sh: failed while $step${1:+: $1}" >&2
  echo "run.sh: try: $hint" >&2
  exit 1
}
trap 'status=$?; trap - ERR; fail "a command ended with status $status"' ERR

xvfb=""
cleanup() {
  if [ -n "${WINEPREFIX:-}" ] && [ -n "$xvfb" ]; then wineserver -k 2>/dev/null || true; fi
  if [ -n "$xvfb" ]; then kill "$xvfb" 2>/dev/null || true; fi
}
trap cleanup EXIT

source scripts/wine-arch.sh
# The host's Wine 8 has no WoW64: its 64-bit loader cannot run the 32-bit exe.
[ "$QD_WINE_ARCH" != wow64 ] || fail "QD_WINE_ARCH=wow64 needs Wine 10 (scripts/wine10.sh)"

step="installing the compilers, Wine and the X tools (scripts/deps.sh)"
hint="run 'bash scripts/deps.sh' to see apt-get's message; it needs the network and root or sudo"
bash scripts/deps.sh

step="building Quiverdart.exe (cmake preset $qd_exe_preset)"
hint="read the compiler's message above; 'rm -rf build/$qd_exe_preset' starts the build afresh"
cmake --preset "$qd_exe_preset" >/dev/null
cmake --build --preset "$qd_exe_preset" -j "$(nproc)"
exe="$PWD/build/$qd_exe_preset/Quiverdart.exe"
echo "Running build/$qd_exe_preset/Quiverdart.exe under the host's Wine, $qd_wine_loader" \
  "(QD_WINE_ARCH=$QD_WINE_ARCH)"

export WINEDEBUG="${WINEDEBUG:--all}"
export WINEPREFIX="${WINEPREFIX:-$PWD/build/wineprefix-run-$QD_WINE_ARCH}"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  step="making the Wine prefix $WINEPREFIX (${qd_wine[*]} wineboot -i)"
  hint="read Wine's output above; 'rm -rf $WINEPREFIX' and run again"
  if [ "$QD_WINE_ARCH" = x86 ]; then
    hint+=", or unset QD_WINE_ARCH for the 64-bit exe"
  fi
  echo "Making the Wine prefix $WINEPREFIX (about 15 s)"
  mkdir -p build
  log="build/wineboot-run-$QD_WINE_ARCH.log"
  # The registry reaches the disk when the prefix's server ends; wait for that.
  if ! WINEDEBUG=fixme-all "${qd_wine[@]}" wineboot -i >"$log" 2>&1 || ! wineserver -w ||
    [ ! -f "$WINEPREFIX/system.reg" ]; then
    cat "$log" >&2
    fail "wineboot did not make the prefix (its output is above and in $log)"
  fi
fi

if [ -n "${DISPLAY:-}" ]; then
  step="opening the display $DISPLAY"
  hint="check that the X server of $DISPLAY runs and lets you in, or unset DISPLAY for a virtual one"
  xdpyinfo >/dev/null 2>&1 || fail "xdpyinfo cannot open it"
  step="running Quiverdart.exe on $DISPLAY"
  hint="Wine's messages above say why; WINEDEBUG=fixme-all bash scripts/run.sh shows more"
  "${qd_wine[@]}" "$exe" "$@"
  exit 0
fi

step="starting a virtual display (Xvfb)"
hint="check that Xvfb runs: Xvfb :99 -screen 0 1920x1080x24"
# Xvfb picks a free display and writes its number once it accepts clients.
rm -f build/xvfb-display
Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 3>build/xvfb-display >build/xvfb-run.log 2>&1 &
xvfb=$!
for _ in $(seq 300); do
  [ -s build/xvfb-display ] && break
  kill -0 "$xvfb" 2>/dev/null || { cat build/xvfb-run.log >&2; fail "Xvfb ended"; }
  sleep 0.1
done
[ -s build/xvfb-display ] || fail "Xvfb gave no display within 30 s"
display=":$(tr -d '[:space:]' <build/xvfb-display)"
export DISPLAY="$display"

step="starting Quiverdart.exe on the virtual display $display"
hint="WINEDEBUG=fixme-all bash scripts/run.sh shows Wine's errors"
"${qd_wine[@]}" "$exe" "$@" &
program=$!
# The arrow's window carries the program's class; wait until it is mapped, then painted.
arrow=""
for _ in $(seq 600); do
  arrow=$(xwininfo -root -children 2>/dev/null | grep '"FormMain": ("quiverdart.exe"' || true)
  [ -n "$arrow" ] && break
  kill -0 "$program" 2>/dev/null || { wait "$program" && status=0 || status=$?; fail "it ended with status $status before its window appeared"; }
  sleep 0.1
done
[ -n "$arrow" ] || fail "its window did not appear within 60 s"
sleep 1
step="saving a screenshot of the virtual display"
hint="check that ImageMagick's import is installed"
shot="$PWD/build/quiverdart-screenshot.png"
import -window root "$shot"
geometry=$(awk '{ print $(NF - 1) }' <<<"$arrow")
echo "No display: the arrow ran on virtual display $display at $geometry; screenshot saved to $shot"
