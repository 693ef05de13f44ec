#!/usr/bin/env bash
# Makes the downloadable release from clean builds of the checked-out commit, in build/release:
#   Quiverdart-<version>-win32.zip and -win64.zip, each a folder holding Quiverdart.exe,
#   README.txt (for Windows users) and LICENSE.txt, and Quiverdart-<version>-SHA256SUMS.txt;
#   the winget and scoop manifests of those zips (scripts/manifests.sh: QD_DOWNLOAD_URL sets
#   where the zips are published) in winget/ and scoop/.
# The version is project(VERSION) in CMakeLists.txt. The same commit gives the same bytes:
# the exes carry no time stamp or build path, and the zips hold their entries in a fixed
# order with the commit's time (SOURCE_DATE_EPOCH, when set, overrides it).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh

version=$(sed -n 's/^project(Quiverdart VERSION \([0-9][0-9.]*\).*/\1/p' CMakeLists.txt)
if [ -z "$version" ]; then
  echo "release.sh: no version found in project() of CMakeLists.txt" >&2
  exit 1
fi
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  if ! SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null); then
    echo "release.sh: not a git checkout: set SOURCE_DATE_EPOCH to the sources' time" >&2
    exit 1
  fi
fi
export SOURCE_DATE_EPOCH TZ=UTC LC_ALL=C
if [ -n "$(git status --porcelain --untracked-files=no 2>/dev/null)" ]; then
  echo "release.sh: note: uncommitted changes are built in; this is not the commit's release"
fi

out=build/release
builds=build/release-builds
rm -rf "$out" "$builds"
mkdir -p "$out/stage"
zips=()
for arch in win32 win64; do
  echo "== $arch: clean build"
  cmake --preset "$arch" -B "$builds/$arch" >/dev/null
  cmake --build "$builds/$arch" -j "$(nproc)" --target Quiverdart
  bash scripts/check-imports.sh "$builds/$arch/Quiverdart.exe" >/dev/null

  name="Quiverdart-$version-$arch"
  bits=$([ "$arch" = win32 ] && echo 32-bit || echo 64-bit)
  folder="$out/stage/$name"
  mkdir "$folder"
  cp "$builds/$arch/Quiverdart.exe" "$folder/"
  # Notepad on older Windows shows a file without CR as one line.
  sed -e "s/@VERSION@/$version/g" -e "s/@BITS@/$bits/g" -e "s/@ARCH@/$arch/g" -e 's/$/\r/' \
    packaging/README-Windows.txt >"$folder/README.txt"
  sed -e 's/$/\r/' LICENSE >"$folder/LICENSE.txt"
  chmod 755 "$folder"
  chmod 644 "$folder"/*
  touch -d "@$SOURCE_DATE_EPOCH" "$folder"/* "$folder"
  # -X: no owner ids or extra time fields; the entries are named one by one, in this order.
  (cd "$out/stage" && zip -X -q "../$name.zip" "$name/" "$name/Quiverdart.exe" "$name/README.txt" \
    "$name/LICENSE.txt")
  zips+=("$name.zip")
done
(cd "$out" && sha256sum "${zips[@]}" >"Quiverdart-$version-SHA256SUMS.txt")
rm -rf "$out/stage"
bash scripts/manifests.sh "$out" "$version"
echo "Release $version in $out:"
(cd "$out" && cat "Quiverdart-$version-SHA256SUMS.txt")
