#!/usr/bin/env bash
# Installs what building and testing need, only when something is missing (idempotent).
set -euo pipefail

packages=(cmake ninja-build g++ clang clang-format clang-tidy python3
  g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-win32 binutils-mingw-w64-i686
  wine wine32 wine64 xvfb xauth xdotool x11-utils imagemagick
  x11-xkb-utils xserver-xorg-core xserver-xorg-video-dummy libxrandr2:i386
  libx11-dev libxtst-dev libxfixes-dev libgtest-dev libgmock-dev libbenchmark-dev)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
