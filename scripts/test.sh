#!/usr/bin/env bash
# Runs every test: the layer check of src/'s includes; the clang-format and clang-tidy
# checks of src/; native unit tests (ASan + UBSan); the 32- and 64-bit exe builds, the
# release built from clean and a second clean build that must give the same exe; the
# Windows backend tests and the end-to-end tests of the real exe under Wine on a private
# Xvfb display; and a short smoke run of each fuzz target. The native benchmarks are built
# (not run), so that the README's bench command keeps building.
# The exe under test is the 32-bit one where this machine runs 32-bit programs, and the
# 64-bit one gets a short end-to-end smoke run beside it; elsewhere, or with
# QD_WINE_ARCH=x64, the 64-bit exe takes its place in every Wine run (scripts/wine-arch.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
source scripts/wine-arch.sh
jobs=$(nproc)

not_run=""
if [ "$QD_WINE_ARCH" = x86 ]; then
  echo "Under test: build/win32/Quiverdart.exe under $qd_wine_loader, because $qd_wine_reason;" \
    "build/win64/Quiverdart.exe gets an end-to-end smoke run"
else
  echo "Under test: build/win64/Quiverdart.exe under $qd_wine_loader, because $qd_wine_reason"
  not_run="the 32-bit exe's backend and end-to-end tests (built, not run: $qd_wine_reason)"
fi

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

# The backend tests and the shape arithmetic in a Wine prefix of each path's own.
backend_tests() {
  local arch=$1 build=$2
  local -n command="qd_wine_$arch"
  local prefix="$PWD/build/wineprefix-backend-$arch"
  echo "== Windows backend tests under Wine: build/$build/quiverdart_backend_tests.exe"
  mkdir -p "$prefix"
  WINEDEBUG=-all WINEPREFIX="$prefix" xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" \
    "${command[@]}" "build/$build/quiverdart_backend_tests.exe" 'C:\qd-backend-test'
  WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
}
if [ "$QD_WINE_ARCH" = x86 ]; then
  backend_tests x86 win32
fi
backend_tests x64 win64

echo "== end-to-end tests under Wine: build/$qd_exe_preset/Quiverdart.exe"
cmake --preset e2e >/dev/null
cmake --build --preset e2e -j "$jobs"
ctest --preset e2e
if [ "$QD_WINE_ARCH" = x86 ]; then
  # Start-up geometry and region; a session that drags, turns with the wheel, ends and
  # starts again with the settings it wrote.
  echo "== end-to-end smoke run under Wine: build/win64/Quiverdart.exe"
  QD_WINE_ARCH=x64 ctest --preset e2e -R '^e2e\.(PresenterSession|Defaults/ProgramStart)\.'
fi

echo "== fuzz smoke runs"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$jobs"
targets=(build/fuzz/fuzz_*)
[ -x "${targets[0]}" ] || { echo "No fuzz targets were built" >&2; exit 1; }
for target in "${targets[@]}"; do
  [ -x "$target" ] || continue
  corpus="tests/fuzz/corpus/$(basename "$target")"
  mkdir -p "build/fuzz/work/$(basename "$target")"
  "$target" -max_total_time=15 -print_final_stats=1 "build/fuzz/work/$(basename "$target")" \
    $( [ -d "$corpus" ] && echo "$corpus" ) 2>&1 | tail -n 3
done

if [ -n "$not_run" ]; then
  echo "Not run: $not_run"
fi
echo "All tests passed."
