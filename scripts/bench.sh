#!/usr/bin/env bash
# Measures the program: native micro-benchmarks of the hot paths, then the Release exe under
# Wine on private Xvfb displays against baseline.exe (a bare top-most shaped window) in the
# same run: start-up, idle CPU and timer ticks, peak memory, exe size and imports, drag-follow
# delay, wheel-turn delay and fade duration; then the full-length endurance run and the
# kill-during-save loop.
# Prints figures and ratios; judges nothing. Takes over an hour on two cores (the endurance
# run is 25 minutes, drag_bench's turn table at every size on two screens 30).
# The host's Wine runs the 64-bit exe under its 64-bit loader, on every kernel; with
# QD_WINE_ARCH=x86, the 32-bit exe under wine32 (scripts/wine-arch.sh).
#
#   scripts/bench.sh [--quick]    --quick: fewer starts, inputs and sizes, for a look in minutes
#   scripts/bench.sh --turns      only the turn table, under the host's Wine (64-bit exe) and
#                                 under Wine 10 in WoW64 mode (the 32-bit exe; scripts/wine10.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
source scripts/wine-arch.sh
if [ "$QD_WINE_ARCH" = wow64 ]; then
  echo "QD_WINE_ARCH=wow64 needs Wine 10 (scripts/wine10.sh); the host's Wine 8 has no WoW64" >&2
  exit 1
fi
jobs=$(nproc)

# drag_bench's turn rows as one Markdown table: a wheel step's lag (p50, p95) beside
# baseline.exe's turn of the same window in the same run, its turn under the arrow's two
# rules ("rules") and one 60 Hz frame, and the peak resident size of each; with smooth
# edges, what one image of the window shown by baseline.exe costs beyond its plain window.
# Reads "label<TAB>line" rows.
turn_table() {
  awk -F '\t' '
    BEGIN {
      print "| Wine, exe | screen | size | edges | window | turns | step p50 ms | p95 ms |" \
        " floor p50 ms | floor p95 ms | p95 / floor p95 | p95 / 16.7 ms | rules p50 ms |" \
        " rules p95 ms | p95 / rules p95 | peak MiB | floor peak MiB | rules peak MiB |" \
        " one image shown, floor MiB |"
      print "|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|"
    }
    $2 ~ /^wheel_turn_ms screen=/ {
      delete f
      n = split($2, words, " ")
      for (i = 2; i <= n; i++) {
        if (split(words[i], kv, "=") == 2) f[kv[1]] = kv[2]
      }
      if ($2 ~ /not measured/) {
        why = $2
        sub(/.*not measured: /, "", why)
        printf "| %s | %s | %s | %s | | | not measured: %s | | | | | | | | | | | | |\n",
          $1, f["screen"], f["size"], f["edges"], why
        next
      }
      image = ("image_floor_kib" in f) ? sprintf("%.0f", f["image_floor_kib"] / 1024) : ""
      printf "| %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s |" \
        " %.0f | %.0f | %.0f | %s |\n",
        $1, f["screen"], f["size"], f["edges"], f["window"], f["turns"], f["p50"], f["p95"],
        f["floor_p50"], f["floor_p95"], f["p95/floor_p95"], f["p95/frame"], f["rules_p50"],
        f["rules_p95"], f["p95/rules_p95"], f["peak_kib"] / 1024, f["floor_peak_kib"] / 1024,
        f["rules_peak_kib"] / 1024, image
    }'
}
labelled() { sed "s/^/$1\t/"; } # label

if [ "${1:-}" = "--turns" ]; then
  echo "== build: both exes and helpers, the end-to-end harness and its benches"
  for preset in win32 win64 e2e; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$jobs"
  done
  mkdir -p build/bench-turns
  host_wine=$("${qd_wine64[@]}" --version)
  echo "== drag_bench --turns under the host's $host_wine: build/win64/Quiverdart.exe"
  QD_WINE_ARCH=x64 build/e2e/bench/drag_bench --turns |
    tee build/bench-turns/wine-host.txt
  wine10=$(bash scripts/wine10.sh)
  echo "== drag_bench --turns under $wine10 in WoW64 mode: build/win32/Quiverdart.exe"
  QD_WINE_ARCH=wow64 bash scripts/wine10.sh build/e2e/bench/drag_bench --turns |
    tee build/bench-turns/wine10.txt
  echo
  echo "== turn table: $(nproc) cores, $(uname -m), $(date -u +%Y-%m-%d)"
  {
    labelled "$host_wine, 64-bit" <build/bench-turns/wine-host.txt
    labelled "$wine10 WoW64, 32-bit" <build/bench-turns/wine10.txt
  } | turn_table
  exit 0
fi
echo "Measured: build/$qd_exe_preset/Quiverdart.exe under the host's Wine, $qd_wine_loader" \
  "(QD_WINE_ARCH=$QD_WINE_ARCH)"

# Start-up rounds: 15 varied from 1.13 to 1.30 between runs. Forty alternating ones gave 95 %
# intervals 9 to 20 % wide on a two-core machine busy with other work; the bench says whether
# a run tells 5 % apart, and a quiet machine or more rounds narrow it.
starts=40
inputs=10000
kills=40
drag_args=()
if [ "${1:-}" = "--quick" ]; then
  starts=10
  inputs=300
  kills=5
  drag_args=(--turn-steps 12 --sizes 4,24)
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
  if [ "$(basename "$bench")" = drag_bench ]; then
    "$bench" "${drag_args[@]}" | tee build/e2e/bench/drag_bench.txt
    echo
    labelled "$("${qd_wine64[@]}" --version), $QD_WINE_ARCH" <build/e2e/bench/drag_bench.txt |
      turn_table
  else
    "$bench"
  fi
done

echo
echo "== endurance: $inputs random inputs"
QD_ENDURANCE_INPUTS="$inputs" build/e2e/tests/e2e/e2e_endurance --gtest_brief=1

echo
echo "== killed during save: $kills rounds"
QD_SAVE_KILL_ROUNDS="$kills" build/e2e/tests/e2e/e2e_save_kill --gtest_brief=1
