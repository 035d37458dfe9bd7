#!/usr/bin/env bash
# Fills a history of 300 realistic games over three months and takes the
# statistics window's pictures under a virtual X display:
#   scripts/history_screenshots.sh [build-dir] [out-dir]
# writes out-dir/history-progress.png, history-keys.png (a key's figures on
# hover), history-training.png, history-units.png and history-games.png;
# then the progress chart of a first game (history-progress-1.png), of three
# games of one evening (history-progress-3.png) and of 100,000 games over
# ten years (history-progress-100000.png, about half a minute to fill).
set -euo pipefail
build=${1:-build}
out=${2:-docs}
tool=$build/tests/typetoki_history_tool
[ -x "$tool" ] || { echo "no $tool: build with the tests first" >&2; exit 1; }

mkdir -p "$out"
work=$(mktemp -d)
xvfb=""
app=""
trap 'kill $app $xvfb 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$work"' EXIT

# Xvfb picks a free display itself and says which; without -noreset it
# would reset as the last window closes and refuse the next one meanwhile.
exec 3>"$work/display"
Xvfb -displayfd 3 -noreset -screen 0 1024x768x24 >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 50); do
  [ -s "$work/display" ] && break
  sleep 0.1
done
export DISPLAY=:$(head -n 1 "$work/display")
export XDG_RUNTIME_DIR=$work

"$tool" fill "$work" 300 91 17 >/dev/null

# Opens the window on a tab and group and sets win to its X window.
open_window() {
  "$tool" show "$work" "$@" >"$work/log" 2>&1 &
  app=$!
  win=""
  for _ in $(seq 50); do
    win=$(xdotool search --onlyvisible --pid "$app" 2>/dev/null | head -n 1) && [ -n "$win" ] && break
    sleep 0.2
  done
  [ -n "$win" ] || { echo "the statistics window did not appear:" >&2; cat "$work/log" >&2; exit 1; }
  sleep 0.8
}

close_window() {
  kill "$app" 2>/dev/null || true
  wait "$app" 2>/dev/null || true
  app=""
}

shot() {
  import -window "$win" "$out/$1.png"
  echo "$out/$1.png"
}

open_window 0 1 60; shot history-progress; close_window
open_window 2 3 60; shot history-units; close_window
open_window 3 1 60; shot history-games; close_window
open_window 1 4 60; shot history-training; close_window

# The keys of the hero chant, with the figures of Y shown on hover: the
# tooltip is a window of its own, so the picture is cut from the screen.
open_window 1 1 60
xdotool windowfocus --sync "$win"
eval "$(xdotool getwindowgeometry --shell "$win")"
# Y sits a little right of the middle of the second row of keys.
for dx in 0 4 8; do
  xdotool mousemove $((X + WIDTH / 2 - 20 + dx)) $((Y + 240)) sleep 0.2
done
sleep 1.5
import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$out/history-keys.png"
echo "$out/history-keys.png"
close_window

# The progress chart at its extremes, each on a history of its own.
base=$work
for games in 1 3; do
  work=$base/sitting-$games
  mkdir -p "$work"
  "$tool" sitting "$work" "$games"
  open_window 0 1 60; shot "history-progress-$games"; close_window
done
work=$base/years
mkdir -p "$work"
"$tool" fill "$work" 100000 3650 17 >/dev/null
open_window 0 1 60; shot history-progress-100000; close_window
work=$base
