#!/usr/bin/env bash
# The soak: a presenter's day at random from a seed (tests/e2e/soak.cpp) with checks all
# along, the 32-bit exe, the one that ships, under Wine 10 in WoW64 mode (the Debian 13
# root of scripts/wine10.sh) on a two-monitor X server; with --wine8 the 64-bit exe under
# the host's Wine 8. Then each fuzz target for a while, the corpus it grows kept in
# build/fuzz/work/<target> for the next run.
#
#   bash scripts/soak.sh [--minutes N] [--seed S] [--wine8] [--fuzz-minutes M]
#
#   --minutes N       how long the day lasts (default 30)
#   --seed S          the day's seed (default: a new one); a failure prints it for a replay
#   --wine8           the 64-bit exe under the host's Wine 8 instead
#   --fuzz-minutes M  how long each fuzz target runs afterwards (default 10; 0: none)
set -euo pipefail
cd "$(dirname "$0")/.."

minutes=30
seed=""
wine8=false
fuzz_minutes=10
usage="usage: bash scripts/soak.sh [--minutes N] [--seed S] [--wine8] [--fuzz-minutes M]"
while [ $# -gt 0 ]; do
  case $1 in
    --minutes) minutes=${2:?$usage} && shift 2 ;;
    --seed) seed=${2:?$usage} && shift 2 ;;
    --wine8) wine8=true && shift ;;
    --fuzz-minutes) fuzz_minutes=${2:?$usage} && shift 2 ;;
    *) echo "$usage" >&2 && exit 2 ;;
  esac
done
[ -n "$seed" ] || seed=$(od -An -N4 -tu4 /dev/urandom | tr -d ' ')

# Each run below names its exe; a QD_WINE_ARCH of the caller's chooses nothing here.
export QD_WINE_ARCH=x64
bash scripts/deps.sh
jobs=$(nproc)

echo "== the exe, its helpers and the soak's driver"
if $wine8; then exe_preset=win64; else exe_preset=win32; fi
cmake --preset "$exe_preset" >/dev/null
cmake --build --preset "$exe_preset" -j "$jobs"
cmake --preset e2e >/dev/null
cmake --build --preset e2e -j "$jobs" --target e2e_soak
soak=(build/e2e/tests/e2e/e2e_soak --minutes "$minutes" --seed "$seed")

if $wine8; then
  echo "== the soak: build/win64/Quiverdart.exe under the host's $(/usr/lib/wine/wine64 --version)"
  QD_WINE_ARCH=x64 "${soak[@]}"
else
  echo "== the soak: build/win32/Quiverdart.exe under $(bash scripts/wine10.sh) in WoW64 mode"
  QD_WINE_ARCH=wow64 bash scripts/wine10.sh "${soak[@]}"
fi

if [ "$fuzz_minutes" -gt 0 ]; then
  echo "== fuzz runs of $fuzz_minutes minutes each, their corpora kept"
  bash scripts/fuzz.sh $((fuzz_minutes * 60))
fi
echo "The soak passed: seed $seed, $minutes minutes"
