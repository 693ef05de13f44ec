#!/usr/bin/env bash
# Builds Quiverdart.exe and starts the arrow under the host's Wine: on the current display,
# or, with no display, on a virtual Xvfb display, where it saves a screenshot and prints its
# path. The 64-bit exe under Wine's 64-bit loader, which runs on every kernel; with
# QD_WINE_ARCH=x86 the 32-bit exe under wine32 (scripts/wine-arch.sh).
#
#   bash scripts/run.sh --picture docs/arrow.png
# makes the README's picture anew, the same way each time: the arrow at size 12 pointing at
# a slide that ImageMagick draws on the root of a virtual 1920x1080 display (whatever
# DISPLAY says), in a Wine prefix of its own, the screenshot scaled to 960 pixels wide.
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

picture=""
if [ "${1:-}" = --picture ]; then
  step="reading --picture"
  hint="bash scripts/run.sh --picture docs/arrow.png"
  [ $# -ge 2 ] || fail "it needs the PNG file to write"
  picture=$(realpath -m "$2")
  shift 2
fi

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
# The picture's settings never mix with those of the arrow run by hand.
[ -z "$picture" ] || WINEPREFIX="$PWD/build/wineprefix-picture-$QD_WINE_ARCH"
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

if [ -n "$picture" ]; then
  step="writing the picture's settings into $WINEPREFIX"
  hint="'rm -rf $WINEPREFIX' and run again"
  # The per-user settings file, C:\users\<user>\AppData\Roaming\Brennavo\Quiverdart\Quiverdart.ini:
  # size 12, turned to point up and left (9 steps of 15 degrees), the tip above the slide's
  # tallest bar.
  roaming=$(find "$WINEPREFIX/drive_c/users" -mindepth 3 -maxdepth 3 -path '*/AppData/Roaming' \
    -not -path '*/Public/*' | head -n 1)
  [ -n "$roaming" ] || fail "the prefix has no user's AppData\\Roaming folder"
  mkdir -p "$roaming/Brennavo/Quiverdart"
  printf '[Pointer]\r\nSize=12\r\nOrientation=9\r\nTipPosX=1150\r\nTipPosY=440\r\n' \
    >"$roaming/Brennavo/Quiverdart/Quiverdart.ini"
elif [ -n "${DISPLAY:-}" ]; then
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
if [ -n "$picture" ]; then
  step="drawing a slide on the virtual display's root (ImageMagick)"
  hint="check that ImageMagick's convert and display are installed (scripts/deps.sh)"
  convert -size 1920x1080 gradient:'#2a3d52'-'#0e1620' \
    -fill '#f4f1ea' -draw 'roundrectangle 240,130 1680,950 18,18' \
    -fill '#3b4a5c' -draw 'rectangle 330,220 1150,285' \
    -fill '#aab4bf' -draw 'rectangle 330,315 880,340' \
    -fill '#9fb3c8' -draw 'rectangle 430,690 590,858' -draw 'rectangle 700,600 860,858' \
    -draw 'rectangle 1240,560 1400,858' \
    -fill '#e0a030' -draw 'rectangle 970,420 1130,858' \
    -fill '#8a96a3' -draw 'rectangle 400,858 1520,862' build/picture-slide.png
  # Once Wine runs: the root turns black as Wine starts. ImageMagick 6's
  # display ends with status 1 also where it has set the root's picture.
  display -window root build/picture-slide.png || true
fi
sleep 1
step="saving a screenshot of the virtual display"
hint="check that ImageMagick's import is installed"
shot="$PWD/build/quiverdart-screenshot.png"
import -window root "$shot"
geometry=$(awk '{ print $(NF - 1) }' <<<"$arrow")
if [ -n "$picture" ]; then
  step="scaling the screenshot down into $picture"
  mkdir -p "$(dirname "$picture")"
  # No time stamps in the file: the same picture gives the same bytes.
  convert "$shot" -resize 960x -strip -define png:exclude-chunks=date,time "$picture"
  echo "The arrow at $geometry on a 1920x1080 virtual display: picture saved to $picture"
  exit 0
fi
echo "No display: the arrow ran on virtual display $display at $geometry; screenshot saved to $shot"
