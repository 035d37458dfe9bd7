#!/usr/bin/env bash
# Opens the splash, how-to-play, staff and About windows one at a time under
# a virtual X display and saves a picture of each:
#   scripts/screenshots.sh [build-dir] [out-dir]
# writes out-dir/splash.png, howto.png, staff.png and about.png. On the way
# it checks that the splash takes the keyboard and the mouse by itself: a key
# ends it, a click on its frame goes on.
set -euo pipefail
# shellcheck source=tests/e2e/common.sh
source "$(dirname "$0")/../tests/e2e/common.sh"
build=${1:-build}
out=${2:-docs}
preview=$build/tests/typetoki_windows_preview
[ -x "$preview" ] || { echo "no $preview: build with the tests first" >&2; exit 1; }
unset QT_QPA_PLATFORM

mkdir -p "$out"
make_folder
start_x_server
log=$folder/preview.log

# Starts the preview of one window and sets win to its X window.
open_window() {
  launch "$preview" "$1" >"$log" 2>/dev/null
  app=$launched
  win=""
  for _ in $(seq 50); do
    win=$(xdotool search --onlyvisible --pid "$app" 2>/dev/null | head -n 1) && [ -n "$win" ] && break
    sleep 0.2
  done
  [ -n "$win" ] || { echo "the $1 window did not appear" >&2; exit 1; }
  sleep 0.7
}

close_preview() {
  stop_process "$app"
}

# Waits for the preview to end by itself and checks what it said.
expect_end() {
  for _ in $(seq 25); do
    running "$app" || break
    sleep 0.2
  done
  if running "$app"; then
    echo "the splash stayed open after: $1" >&2
    exit 1
  fi
  stop_process "$app"
  grep -qx "$1" "$log" || { echo "the splash did not report: $1" >&2; exit 1; }
}

for name in splash howto staff about; do
  open_window "$name"
  import -window "$win" "$out/$name.png"
  echo "$out/$name.png"
  close_preview
done

open_window splash
xdotool key a
expect_end "key pressed"

open_window splash
eval "$(xdotool getwindowgeometry --shell "$win")"
# The frame's free area right of the version line.
xdotool mousemove $((X + WIDTH - 14)) $((Y + HEIGHT / 2)) click 1
expect_end "frame clicked"
echo "splash: a key ends it, a click on its frame goes on"
