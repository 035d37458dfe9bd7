#!/usr/bin/env bash
# Measures, under a virtual X display, the time from launching the game to
# its splash being on screen (several runs, median), and the peak memory of
# the game while a game is played: scripts/startup.sh [build-dir] [runs]
set -euo pipefail
# shellcheck source=tests/e2e/common.sh
source "$(dirname "$0")/../tests/e2e/common.sh"
build=${1:-build}
runs=${2:-7}
unset QT_QPA_PLATFORM

make_folder
start_x_server

times=()
for _ in $(seq "$runs"); do
  start=$(date +%s%N)
  launch "$build/bin/typetoki" >/dev/null 2>&1
  game=$launched
  # xdotool's own --sync looks only every half second: poll closer.
  until xdotool search --onlyvisible --class typetoki >/dev/null 2>&1; do sleep 0.005; done
  end=$(date +%s%N)
  times+=($(( (end - start) / 1000000 )))
  stop_process "$game"
done
sorted=$(printf '%s\n' "${times[@]}" | sort -n | tr '\n' ' ')
median=$(printf '%s\n' "${times[@]}" | sort -n | sed -n "$(( (runs + 1) / 2 ))p")
echo "launch to splash on screen (ms): $sorted"
echo "median: $median ms"

# Peak memory: through the splash into a game, typing for a few seconds.
launch "$build/bin/typetoki" >/dev/null 2>&1
game=$launched
splash=$(xdotool search --sync --onlyvisible --class typetoki | head -n 1)
eval "$(xdotool getwindowgeometry --shell "$splash")"
xdotool mousemove $((X + WIDTH - 14)) $((Y + HEIGHT / 2)) click 1
win=$(xdotool search --sync --onlyvisible --name 'タイプ闘記' | head -n 1)
eval "$(xdotool getwindowgeometry --shell "$win")"
xdotool mousemove $((X + 260)) $((Y + 282)) click 1
sleep 3.5
xdotool type --delay 100 "eyaeyaeyaeyaeyaeyaeyaeyaeyaeyaeyaeyaeyaeya"
echo "peak memory: $(awk '/VmHWM/ {printf "%.1f MB", $2 / 1024}' "/proc/$game/status")"
