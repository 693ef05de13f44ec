#!/usr/bin/env bash
# Installs what building and testing need, only when something is missing (idempotent).
# wine32 (and the i386 architecture it comes from) only where the 32-bit exe will run:
# elsewhere it cannot start, and its installation only costs time and prints errors.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/wine-arch.sh

packages=(cmake ninja-build g++ clang clang-format clang-tidy python3 zip
  g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-win32 binutils-mingw-w64-i686
  wine wine64 xvfb xauth xdotool x11-utils imagemagick
  x11-xkb-utils xserver-xorg-core xserver-xorg-video-dummy
  libx11-dev libxtst-dev libxfixes-dev libgtest-dev libgmock-dev libbenchmark-dev)
# 32-bit Wine, and the 32-bit XRandR it needs to list several monitors.
if [ "$QD_WINE_ARCH" = x86 ]; then packages+=(wine32 libxrandr2:i386); fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
if [[ " ${missing[*]} " == *" wine32 "* || " ${missing[*]} " == *":i386 "* ]] &&
  ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
