#!/usr/bin/env bash
# The second Wine under test: Wine 10 from Debian 13, in a root of its own made with
# debootstrap, beside the host's Wine 8.
#
#   bash scripts/wine10.sh                 make or mend the root, print its Wine's version
#   bash scripts/wine10.sh COMMAND ARGS... run COMMAND inside it, in the current folder
#
# The root is a cache outside the clone (QD_WINE10_ROOT, /var/cache/quiverdart/debian13-wine10
# unless set): made once (about 3 minutes), checked at every call and mended where a package
# is missing, made anew when its package list changes. A command runs in mount and PID
# namespaces of its own, with /proc, /dev, /sys, a fresh /tmp and this clone (at its own
# path, so that the paths built into the end-to-end binaries hold) mounted for it alone: the
# kernel removes them, and ends every process left inside (wineserver, X servers), as soon as
# the command ends, however it ends. Two commands never share a mount, and a command holds
# the root against being remade under it. Needs root or sudo.
set -euo pipefail
cwd=$PWD
cd "$(dirname "$0")/.."
clone=$PWD

root=${QD_WINE10_ROOT:-/var/cache/quiverdart/debian13-wine10}
suite=trixie
mirror=http://deb.debian.org/debian
source scripts/wine-arch.sh

# Wine and the X servers the end-to-end rig starts, CMake for ctest, and the shared libraries
# of the end-to-end binaries, which are built on the host against its older C library.
packages=(wine wine64 xvfb xauth x11-xkb-utils xserver-xorg-core xserver-xorg-video-dummy
  openbox cmake libx11-6 libxext6 libxtst6 libxfixes3 libstdc++6)
# 32-bit Wine only where 32-bit programs run; elsewhere its loader would only fail.
if [ "$qd_runs_32bit" = yes ]; then packages+=(wine32:i386 libxrandr2:i386); fi
recipe="$suite $mirror minbase ${packages[*]}"

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

# Inside fresh namespaces: mount what a run needs, then run "$@" in the root, as the PID
# namespace's first process: when it ends, so does everything in the namespaces. (Under a
# shell as that first process instead, Wine 10's reg.exe lost values outside ASCII.)
# shellcheck disable=SC2016
inside='set -e
root=$1 clone=$2 cwd=$3; shift 3
mount -t proc proc "$root/proc"
mount --rbind /dev "$root/dev"
mount -t sysfs -o ro sysfs "$root/sys"
mount -t tmpfs -o mode=1777 tmpfs "$root/tmp"
if [ -n "$clone" ]; then mkdir -p "$root$clone" && mount --bind "$clone" "$root$clone"; fi
exec chroot "$root" /bin/sh -c '\''cd "$0" 2>/dev/null || cd /; exec "$@"'\'' "$cwd" "$@"'
# The root's own PATH and HOME; of the caller's environment only what steers the tests.
environment=(PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin HOME=/root
  TERM="${TERM:-dumb}" LANG=C.UTF-8)
while IFS= read -r -d '' variable; do
  case $variable in QD_*=* | CI=* | WINEDEBUG=*) environment+=("$variable") ;; esac
done < <(env -0)
# --kill-child: whatever ends the holder of the namespaces ends everything inside them too.
namespaces=(unshare --mount --pid --fork --kill-child --propagation private
  env --default-signal=INT,TERM,HUP -i "${environment[@]}" bash -c "$inside" inside)
in_namespaces() { $sudo "${namespaces[@]}" "$@"; } # root clone cwd command...

installed_all() { # root
  local status
  status=$($sudo chroot "$1" dpkg-query -W -f='${db:Status-Abbrev}\n' "${packages[@]}" 2>/dev/null) ||
    return 1
  [ "$(grep -c '^ii' <<<"$status")" -eq ${#packages[@]} ]
}

install_packages() { # root
  local i386=no p
  for p in "${packages[@]}"; do [[ $p == *:i386 ]] && i386=yes; done
  [ "$i386" = no ] || in_namespaces "$1" "" / dpkg --add-architecture i386
  in_namespaces "$1" "" / apt-get update -q
  in_namespaces "$1" "" / env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -q --no-install-recommends "${packages[@]}"
  in_namespaces "$1" "" / apt-get clean
}

make_root() {
  local new="$root.new"
  echo "Making the Debian 13 root for Wine 10 in $root (about 3 minutes, once)"
  $sudo rm -rf "$new"
  if ! command -v debootstrap >/dev/null; then
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends debootstrap
  fi
  $sudo debootstrap --variant=minbase "$suite" "$new" "$mirror" >"$root.debootstrap.log" 2>&1 || {
    tail -n 20 "$root.debootstrap.log" >&2
    echo "debootstrap of Debian 13 failed (its log: $root.debootstrap.log)" >&2
    return 1
  }
  install_packages "$new"
  echo "$recipe" | $sudo tee "$new/.quiverdart-recipe" >/dev/null
  $sudo rm -rf "$root"
  $sudo mv "$new" "$root"
}

ready() { [ "$(cat "$root/.quiverdart-recipe" 2>/dev/null)" = "$recipe" ] && installed_all "$root"; }

# Every run holds the lock shared until it ends; remaking or mending takes it alone (given up
# first, since two holders turning a shared lock into a sole one would wait on each other).
# What making or mending prints goes to stderr: stdout is the command's alone.
exec 3>&1 1>&2
$sudo mkdir -p "$(dirname "$root")"
exec 9>"$root.lock"
flock -s 9
if ! ready; then
  flock -u 9
  flock -x 9
  if [ "$(cat "$root/.quiverdart-recipe" 2>/dev/null)" != "$recipe" ]; then
    make_root
  elif ! installed_all "$root"; then
    echo "Mending the Debian 13 root $root: a package is missing"
    install_packages "$root"
  fi
  flock -s 9
fi

exec 1>&3 3>&-
if [ $# -eq 0 ]; then set -- /usr/lib/wine/wine64 --version; fi
# A namespace's first process ignores Ctrl+C, and unshare passes none on: an interruption
# ends the holder of the namespaces, and with it (--kill-child) everything inside.
$sudo "${namespaces[@]}" "$root" "$clone" "$cwd" "$@" <&0 &
holder=$!
trap 'kill -KILL "$holder" 2>/dev/null' INT TERM HUP
status=0
wait "$holder" || status=$?
# Interrupted, the first wait returns at once; the holder is gone only after this one.
wait "$holder" 2>/dev/null || true
exit "$status"
