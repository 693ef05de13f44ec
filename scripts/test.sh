#!/usr/bin/env bash
# Runs every test: the layer check of src/'s includes; the clang-format and clang-tidy
# checks of src/; native unit tests (ASan + UBSan); the 32- and 64-bit exe builds, the
# release built from clean and a second clean build that must give the same exe; the
# Windows backend tests and the end-to-end tests of the real exe on two Wines, each on a
# private Xvfb display; a two-minute soak of the shipped exe (scripts/soak.sh); and a short
# smoke run of each fuzz target. The native benchmarks are built (not run), so that the
# README's bench command keeps building.
# Two Wines, each with the whole backend and end-to-end suites, on every machine: Wine 10,
# in a Debian 13 root (scripts/wine10.sh), runs the 32-bit exe, the one that ships, in WoW64
# mode (Wine's 64-bit loader, a 64-bit prefix, no 32-bit Unix code), as 64-bit Windows runs
# it; the host's Wine 8 runs the 64-bit exe under its 64-bit loader.
set -euo pipefail
cd "$(dirname "$0")/.."
# Each run below names its exe; a QD_WINE_ARCH of the caller's chooses nothing here.
export QD_WINE_ARCH=x64
host_wine=$(/usr/lib/wine/wine64 --version 2>/dev/null || echo Wine)
echo "Under test: the 32-bit build/win32/Quiverdart.exe under Wine 10 in WoW64 mode (Debian 13" \
  "root); the 64-bit build/win64/Quiverdart.exe under the host's $host_wine"
bash scripts/deps.sh
source scripts/wine-arch.sh
host_wine=$("${qd_wine64[@]}" --version)
jobs=$(nproc)

echo "== layers (no include runs upward)"
bash scripts/check-layers.sh

echo "== clang-format (check only)"
find src \( -name '*.cpp' -o -name '*.h' \) -print0 | xargs -0 clang-format --dry-run --Werror

# clang-tidy reads the compile commands of the native build.
echo "== clang-tidy (portable sources)"
cmake --preset native >/dev/null
find src -name '*.cpp' -not -path 'src/framework/win32/*' -print0 |
  xargs -0 -n 1 -P "$jobs" clang-tidy -p build/native --quiet --warnings-as-errors='*'

# The Windows backend as the 32-bit exe compiles it, parsed by clang for the MinGW target
# against the MinGW-w64 headers and GCC's libstdc++ (clang does not find the latter by
# itself: its folder is named 12-win32, not by a plain version).
echo "== clang-tidy (Windows backend, i686-w64-mingw32)"
cmake --preset win32 >/dev/null
# The compile commands without GCC's own code-generation flags, which clang refuses.
mkdir -p build/tidy-win32
sed 's/ -fno-ipa-sra//g' build/win32/compile_commands.json >build/tidy-win32/compile_commands.json
mingw_target=i686-w64-mingw32
mingw_cxx=$(dirname "$("$mingw_target-g++-win32" -print-libgcc-file-name)")/include/c++
find src/framework/win32 -name '*.cpp' -print0 |
  xargs -0 -n 1 -P "$jobs" clang-tidy -p build/tidy-win32 --quiet --warnings-as-errors='*' \
    --extra-arg=--target=$mingw_target --extra-arg=--sysroot=/usr/$mingw_target \
    --extra-arg=-nostdinc++ --extra-arg=-isystem"$mingw_cxx" \
    --extra-arg=-isystem"$mingw_cxx/$mingw_target" --extra-arg=-isystem"$mingw_cxx/backward"

echo "== unit tests (native, sanitizers)"
cmake --build --preset native -j "$jobs"
ctest --preset native -j "$jobs"

echo "== native benchmarks (built only; scripts/bench.sh runs them)"
cmake --preset bench >/dev/null
cmake --build --preset bench -j "$jobs"

echo "== Quiverdart.exe (32-bit and 64-bit)"
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j "$jobs"
cmake --preset win64 >/dev/null
cmake --build --preset win64 -j "$jobs"
bash scripts/check-imports.sh build/win32/Quiverdart.exe
bash scripts/check-imports.sh build/win64/Quiverdart.exe

echo "== the release, and a second clean build that gives the same exe"
bash scripts/release.sh
# Another folder name, of another length, so that a build path in the exe would show.
rm -rf build/reproducible
cmake --preset win32 -B build/reproducible/second-clean-build >/dev/null
cmake --build build/reproducible/second-clean-build -j "$jobs" --target Quiverdart
if ! cmp build/release-builds/win32/Quiverdart.exe build/reproducible/second-clean-build/Quiverdart.exe; then
  echo "Two clean builds of the 32-bit exe differ: a time stamp or a build path got in" >&2
  exit 1
fi
echo "Two clean builds give the same 32-bit exe"
# The download stays small: a library piece linked by accident shows here first.
exe_bytes=$(stat -c %s build/release-builds/win32/Quiverdart.exe)
if [ "$exe_bytes" -gt $((256 * 1024)) ]; then
  echo "The 32-bit exe is $exe_bytes bytes, over 256 KiB: build with -Wl,-Map to see what grew" >&2
  exit 1
fi
echo "The 32-bit exe is $exe_bytes bytes, within 256 KiB"

# Debian's python3 by path, since that is the one python3-jsonschema goes into; the schemas
# are the copies in tests/packaging/schemas.
echo "== the release's winget and scoop manifests, checked offline"
/usr/bin/python3 tests/packaging/validate_manifests.py build/release
/usr/bin/python3 -m unittest discover -s tests/packaging -p 'test_*.py'

# The backend tests and the shape arithmetic, in a Wine prefix of each Wine's and exe's own,
# kept between runs, with a scratch folder made anew each time; "$@" runs Wine (and its own
# wineserver), on the host or inside the root.
backend_tests() { # wine build prefix-name wine-command...
  local wine=$1 build=$2 prefix="$PWD/build/wineprefix-backend-$3"
  shift 3
  echo "== Windows backend tests under $wine: build/$build/quiverdart_backend_tests.exe"
  mkdir -p "$prefix"
  rm -rf "$prefix/drive_c/qd-backend-test"
  env WINEDEBUG=-all WINEPREFIX="$prefix" xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" \
    "$@" "build/$build/quiverdart_backend_tests.exe" 'C:\qd-backend-test'
  WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
}
cmake --preset e2e >/dev/null
cmake --build --preset e2e -j "$jobs"

# The assertions a Wine cannot show, each left out there with its reason in the test's output.
not_shown() {
  local lines
  lines=$(grep -h '^Not shown under' build/e2e/Testing/Temporary/LastTest.log | sort | uniq -c || true)
  echo "Assertions left out under $1 (times: reason): ${lines:-none}"
}

backend_tests "the host's $host_wine" win64 x64 "${qd_wine64[@]}"
echo "== end-to-end tests under the host's $host_wine: build/win64/Quiverdart.exe"
QD_WINE_ARCH=x64 ctest --preset e2e
not_shown "Wine 8"

echo "== the Debian 13 root of Wine 10 (made once, then checked)"
wine10=$(bash scripts/wine10.sh)
echo "Wine in the root: $wine10"
# set -e there too: a failure of the tests must fail this command.
bash scripts/wine10.sh bash -c "set -e; $(declare -f backend_tests)
  backend_tests '$wine10 in WoW64 mode' win32 wow64-wine10 $(printf '%q ' "${qd_wine64[@]}")"
echo "== end-to-end tests under $wine10 in WoW64 mode: build/win32/Quiverdart.exe"
# The import check runs no Wine, and the MinGW tools it needs are the host's (it ran above).
QD_WINE_ARCH=wow64 bash scripts/wine10.sh ctest --preset e2e -E '^e2e\.exe_imports'
not_shown "Wine 10"

# One day, the same each run, so that a failure here is the change's (its seed brings shows,
# the hotkey, second starts, kills and menus into two minutes); the long soak, with a new
# seed each time and long runs of the fuzz targets, is the README's.
echo "== a two-minute soak of build/win32/Quiverdart.exe under $wine10 in WoW64 mode"
bash scripts/soak.sh --minutes 2 --seed 202 --fuzz-minutes 0

echo "== fuzz smoke runs"
bash scripts/fuzz.sh 15

echo "All tests passed: the 32-bit build/win32/Quiverdart.exe under $wine10 in WoW64 mode" \
  "(Debian 13 root); the 64-bit build/win64/Quiverdart.exe under the host's $host_wine"
