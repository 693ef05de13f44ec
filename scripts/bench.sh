#!/usr/bin/env bash
# Measures the program: native micro-benchmarks of the hot paths, then the Release exe under
# Wine on private Xvfb displays against baseline.exe (a bare top-most shaped window) in the
# same run: start-up, idle CPU and timer ticks, peak memory, exe size and imports, drag-follow
# delay, wheel-turn delay and fade duration; then the full-length endurance run and the
# kill-during-save loop.
# Prints figures and ratios; judges nothing. Takes about 40 minutes on two cores (the endurance run is 25).
# The host's Wine runs the 64-bit exe under its 64-bit loader, on every kernel; with
# QD_WINE_ARCH=x86, the 32-bit exe under wine32 (scripts/wine-arch.sh).
#
#   scripts/bench.sh [--quick]    --quick: fewer starts and inputs, for a look in a minute or two
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
source scripts/wine-arch.sh
if [ "$QD_WINE_ARCH" = wow64 ]; then
  echo "QD_WINE_ARCH=wow64 needs Wine 10 (scripts/wine10.sh); the host's Wine 8 has no WoW64" >&2
  exit 1
fi
jobs=$(nproc)
echo "Measured: build/$qd_exe_preset/Quiverdart.exe under the host's Wine, $qd_wine_loader" \
  "(QD_WINE_ARCH=$QD_WINE_ARCH)"

# Start-up rounds: 15 varied from 1.13 to 1.30 between runs. Forty alternating ones gave 95 %
# intervals 9 to 20 % wide on a two-core machine busy with other work; the bench says whether
# a run tells 5 % apart, and a quiet machine or more rounds narrow it.
starts=40
inputs=10000
kills=40
if [ "${1:-}" = "--quick" ]; then
  starts=10
  inputs=300
  kills=5
fi

echo "== build: Release exe and helpers, end-to-end harness and benches, native benches"
cmake --preset "$qd_exe_preset" >/dev/null
cmake --build --preset "$qd_exe_preset" -j "$jobs"
cmake --preset e2e >/dev/null
cmake --build --preset e2e -j "$jobs"
cmake --preset bench >/dev/null
cmake --build --preset bench -j "$jobs"

echo
echo "== native hot paths (Google Benchmark)"
build/bench/bench/quiverdart_bench --benchmark_min_time=0.2

echo
echo "== start-up, idle cost, memory, size and imports under Wine"
build/e2e/bench/startup_bench --starts "$starts" --idle-seconds 10

for bench in build/e2e/bench/*_bench; do
  [ -x "$bench" ] || continue
  [ "$(basename "$bench")" = startup_bench ] && continue
  echo
  echo "== $(basename "$bench")"
  "$bench"
done

echo
echo "== endurance: $inputs random inputs"
QD_ENDURANCE_INPUTS="$inputs" build/e2e/tests/e2e/e2e_endurance --gtest_brief=1

echo
echo "== killed during save: $kills rounds"
QD_SAVE_KILL_ROUNDS="$kills" build/e2e/tests/e2e/e2e_save_kill --gtest_brief=1
