#!/usr/bin/env bash
# Builds the benchmarks (optimised, with debug info) and runs every one,
# printing the figures: scripts/bench.sh [build-dir]   (build/ when left out)
#
# About three minutes, most of it the two real-time CPU share games and the
# key-to-sound latency game.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}

# A Debug build would time the compiler's unoptimised code, not the game's.
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTYPETOKI_BENCH=ON
else
  type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build/CMakeCache.txt")
  case "$type" in
    ""|Release|RelWithDebInfo|MinSizeRel) cmake -S . -B "$build" -DTYPETOKI_BENCH=ON >/dev/null ;;
    *) cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTYPETOKI_BENCH=ON >/dev/null ;;
  esac
fi
# Only the benchmarks, what they link and the game: a test being written
# elsewhere in the tree must not stop them.
if grep -q '^CMAKE_GENERATOR:INTERNAL=Ninja$' "$build/CMakeCache.txt"; then
  cmake --build "$build" --target bench/all typetoki
else
  cmake --build "$build"
fi

# The window benchmarks need no display.
export QT_QPA_PLATFORM=offscreen

for bench in "$build"/bench/bench_*; do
  [[ -f $bench && -x $bench ]] || continue
  echo
  echo "== $(basename "$bench")"
  "$bench" --benchmark_counters_tabular=true
done

for mode in 1 2; do
  echo
  echo "== cpu_share, game mode $mode"
  # Without PulseAudio the cues only try to connect, and cost next to nothing.
  bench/cpu_share.sh "$build" "$mode" || { [ $? -eq 77 ] && "$build/bench/cpu_share" "$mode"; }
done

echo
echo "== sound_latency, keys to cues heard"
bench/sound_latency.sh "$build" || [ $? -eq 77 ]
