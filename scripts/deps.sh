#!/usr/bin/env bash
# Installs what building and testing need, only when something is missing (idempotent).
# wine32 (and the i386 architecture it comes from) only with QD_WINE_ARCH=x86, the one
# choice that runs the 32-bit exe under the host's 32-bit loader.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/wine-arch.sh

packages=(cmake ninja-build g++ clang clang-format clang-tidy python3 zip
  python3-yaml python3-jsonschema python3-rfc3987
  g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-win32 binutils-mingw-w64-i686
  wine wine64 xvfb xauth xdotool x11-utils imagemagick
  x11-xkb-utils xserver-xorg-core xserver-xorg-video-dummy openbox xcompmgr
  libx11-dev libxtst-dev libxfixes-dev libgtest-dev libgmock-dev libbenchmark-dev)
# 32-bit Wine, and the 32-bit XRandR it needs to list several monitors.
packages32=()
if [ "$QD_WINE_ARCH" = x86 ]; then packages32=(wine32 libxrandr2:i386); fi

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
missing=()
for p in "${packages[@]}"; do installed "$p" || missing+=("$p"); done
missing32=()
for p in "${packages32[@]}"; do installed "$p" || missing32+=("$p"); done
[ ${#missing[@]} -eq 0 ] && [ ${#missing32[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]} ${missing32[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
if [ ${#missing32[@]} -gt 0 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
# A mirror in the middle of a sync fails some lists for a minute or so: try again, then go
# on with the lists there are, since the packages wanted may well be in them.
for attempt in 1 2 3; do
  $sudo apt-get update -q && break
  echo "apt-get update failed (attempt $attempt of 3)" >&2
  [ "$attempt" -lt 3 ] && sleep 20
done
apt_install() { DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "$@"; }
[ ${#missing[@]} -eq 0 ] || apt_install "${missing[@]}"
if [ ${#missing32[@]} -gt 0 ] && ! apt_install "${missing32[@]}"; then
  echo "QD_WINE_ARCH=x86 needs ${missing32[*]}, which could not be installed; QD_WINE_ARCH=x64" \
    "takes the 64-bit exe" >&2
  exit 1
fi
