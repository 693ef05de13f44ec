#!/usr/bin/env bash
# Fails, naming file and line, on an include in src/ that runs upward through the layers
# app -> window -> settings -> model -> framework: a layer may include itself and the
# layers beneath it. The Windows backend (src/framework/win32) sits in the framework; its
# WinMain shim starts the program, so it alone may include the app.
set -euo pipefail
cd "$(dirname "$0")/.."

if ! find src \( -name '*.cpp' -o -name '*.h' \) -print0 | sort -z | xargs -0 awk '
  BEGIN {
    layers = "framework model settings window app"
    n = split(layers, order, " ")
    for (i in order) rank[order[i]] = i + 0
    bad = 0
  }
  /^[ \t]*#[ \t]*include[ \t]*"[^"\/]+\// {
    split(FILENAME, part, "/")
    own = part[2]
    mine = (FILENAME == "src/framework/win32/winmain.cpp") ? n + 1 : rank[own]
    target = $0
    sub(/^[^"]*"/, "", target)
    sub(/\/.*/, "", target)
    text = $0
    sub(/^[ \t]*/, "", text)
    if (!(own in rank) || !(target in rank)) {
      printf "%s:%d: %s: outside the layers (%s)\n", FILENAME, FNR, text, layers > "/dev/stderr"
      bad = 1
    } else if (rank[target] > mine) {
      printf "%s:%d: %s: runs upward, from %s to %s\n", FILENAME, FNR, text, own, target > "/dev/stderr"
      bad = 1
    }
  }
  END { exit bad }'; then
  exit 1
fi
echo "Layers: no include runs upward"
