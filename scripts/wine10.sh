#!/usr/bin/env bash
# The second Wine under test: Wine 10 from Debian 13, in a root of its own made with
# debootstrap, beside the host's Wine 8. It runs the 32-bit exe the way 64-bit Windows does,
# through WoW64: Wine's 64-bit loader, a 64-bit prefix, and the 32-bit Windows DLLs of
# Debian's libwine:i386 beside the 64-bit ones; no 32-bit Unix program runs, so any x86-64
# kernel will do.
#
#   bash scripts/wine10.sh                 make or mend the root, print its Wine's version
#   bash scripts/wine10.sh COMMAND ARGS... run COMMAND inside it, in the current folder
#
# The root is a cache outside the clone (QD_WINE10_ROOT, /var/cache/quiverdart/debian13-wine10
# unless set): made once (about 3 minutes), checked at every call (quietly, offline) and
# mended where a package or the 32-bit DLLs are missing, made anew when its recipe changes.
# A command runs in mount and PID namespaces of its own, with /proc, /dev, /sys, a fresh
# /tmp and this clone (at its own path, so that the paths built into the end-to-end binaries
# hold) mounted for it alone: the kernel removes them, and ends every process left inside
# (wineserver, X servers), as soon as the command ends, however it ends. Two commands never
# share a mount, and a command holds the root against being remade under it. QD_WINE_ARCH
# is wow64 there unless set (scripts/wine-arch.sh). Needs root or sudo.
set -euo pipefail
cwd=$PWD
cd "$(dirname "$0")/.."
clone=$PWD

root=${QD_WINE10_ROOT:-/var/cache/quiverdart/debian13-wine10}
suite=trixie
mirror=http://deb.debian.org/debian

# Wine, the X servers and the compositor the end-to-end rig starts, CMake for ctest, and the
# shared libraries of the end-to-end binaries, built on the host against its older C library.
packages=(wine wine64 xvfb xauth x11-xkb-utils xserver-xorg-core xserver-xorg-video-dummy
  openbox xcompmgr cmake libx11-6 libxext6 libxtst6 libxfixes3 libxrandr2 libstdc++6)
# Where the 64-bit Wine looks for 32-bit Windows DLLs; libwine:amd64 leaves it all but empty.
wow64_dlls=usr/lib/x86_64-linux-gnu/wine/i386-windows
# Which libwine:i386 the DLLs there came from (its version must be libwine's own).
wow64_mark=$wow64_dlls/.quiverdart-libwine-i386
recipe="$suite $mirror minbase ${packages[*]} wow64:libwine:i386"

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
[ -n "${QD_WINE_ARCH:-}" ] || environment+=(QD_WINE_ARCH=wow64)
# --kill-child: whatever ends the holder of the namespaces ends everything inside them too.
namespaces=(unshare --mount --pid --fork --kill-child --propagation private
  env --default-signal=INT,TERM,HUP -i "${environment[@]}" bash -c "$inside" inside)
in_namespaces() { $sudo "${namespaces[@]}" "$@"; } # root clone cwd command...

# Each package counted once: dpkg-query lists a multi-arch library once per architecture.
installed_all() { # root
  local status
  status=$($sudo chroot "$1" dpkg-query -W -f='${db:Status-Abbrev} ${Package}\n' "${packages[@]}" \
    2>/dev/null) || return 1
  [ "$(awk '$1 == "ii" { print $2 }' <<<"$status" | sort -u | wc -l)" -eq ${#packages[@]} ]
}

install_packages() { # root
  in_namespaces "$1" "" / apt-get update -q
  in_namespaces "$1" "" / env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -q --no-install-recommends "${packages[@]}"
  in_namespaces "$1" "" / apt-get clean
}

libwine_version() { $sudo chroot "$1" dpkg-query -W -f='${Version}' libwine 2>/dev/null; } # root

wow64_ready() { # root
  local version
  version=$(libwine_version "$1") || return 1
  [ -n "$version" ] && [ "$(cat "$1/$wow64_mark" 2>/dev/null)" = "$version" ] &&
    [ -f "$1/$wow64_dlls/kernel32.dll" ]
}

# The 32-bit DLLs of libwine:i386, of libwine's own version, unpacked from the package:
# installing it would run i386 programs from its dependencies' maintainer scripts, which a
# kernel without 32-bit support refuses. Only its Windows DLLs are taken; nothing i386 is
# installed, so dpkg needs the architecture for apt's lists alone.
install_wow64_dlls() { # root
  local version
  version=$(libwine_version "$1")
  in_namespaces "$1" "" / dpkg --add-architecture i386
  in_namespaces "$1" "" / apt-get update -q
  # shellcheck disable=SC2016
  in_namespaces "$1" "" / sh -ec '
    cd /tmp
    apt-get download -q "libwine:i386=$1"
    mkdir unpacked
    dpkg-deb --fsys-tarfile libwine_*_i386.deb |
      tar -x -C unpacked ./usr/lib/i386-linux-gnu/wine/i386-windows
    cp -a unpacked/usr/lib/i386-linux-gnu/wine/i386-windows/. "/$2/"
    echo "$1" >"/$3"' wow64 "$version" "$wow64_dlls" "$wow64_mark"
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
  install_wow64_dlls "$new"
  echo "$recipe" | $sudo tee "$new/.quiverdart-recipe" >/dev/null
  $sudo rm -rf "$root"
  $sudo mv "$new" "$root"
}

ready() {
  [ "$(cat "$root/.quiverdart-recipe" 2>/dev/null)" = "$recipe" ] && installed_all "$root" &&
    wow64_ready "$root"
}

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
  else
    if ! installed_all "$root"; then
      echo "Mending the Debian 13 root $root: a package is missing"
      install_packages "$root"
    fi
    if ! wow64_ready "$root"; then
      echo "Mending the Debian 13 root $root: the 32-bit Windows DLLs are missing or stale"
      install_wow64_dlls "$root"
    fi
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
