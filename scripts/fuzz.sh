#!/usr/bin/env bash
# Builds the fuzz targets and runs each for SECONDS on its seed corpus and the corpus it
# grows, kept in build/fuzz/work/<target> for the next run: its output goes to
# build/fuzz/work/<target>.log and an input that fails to build/fuzz/work/<target>-found.
#
#   bash scripts/fuzz.sh SECONDS
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:?usage: bash scripts/fuzz.sh SECONDS}

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)"
targets=(build/fuzz/fuzz_*)
[ -x "${targets[0]}" ] || { echo "No fuzz targets were built" >&2; exit 1; }
for target in "${targets[@]}"; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  seeds="tests/fuzz/corpus/$name"
  mkdir -p "build/fuzz/work/$name" "build/fuzz/work/$name-found"
  log="build/fuzz/work/$name.log"
  echo "-- $name for $seconds s, corpus build/fuzz/work/$name, output $log"
  corpora=("build/fuzz/work/$name")
  [ -d "$seeds" ] && corpora+=("$seeds")
  if ! "$target" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="build/fuzz/work/$name-found/" "${corpora[@]}" >"$log" 2>&1; then
    tail -n 40 "$log" >&2
    echo "$name found a failure (above; its input is in build/fuzz/work/$name-found)" >&2
    exit 1
  fi
  grep -E "^stat::(number_of_executed_units|new_units_added|peak_rss_mb)" "$log"
done
