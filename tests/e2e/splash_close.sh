#!/usr/bin/env bash
# The splash closed by the window manager ends the program, as a key press
# does. Alt+F4 under GNOME or KDE and wmctrl -c all come to the program as
# the one message sent here: WM_PROTOCOLS / WM_DELETE_WINDOW to its window.
# The program must be gone within a few seconds, exit 0, and never have
# read or written its settings (no main window was made).
#
# Usage: splash_close.sh BIN_DIR. Needs Xvfb, xdotool and python3 (exit 77,
# skipped, when one is missing). The X server picks a free display itself.
set -euo pipefail

bin=$1
for tool in Xvfb xdotool python3; do
  command -v "$tool" >/dev/null || { echo "SKIPPED: $tool is not installed" >&2; exit 77; }
done

folder=$(mktemp -d)
pids=()
finish() {
  local status=$? pid
  for pid in "${pids[@]}"; do
    [ -n "$pid" ] || continue
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  if [ "$status" -ne 0 ]; then
    for log in "$folder"/*.log; do [ -s "$log" ] && { echo "== $log"; tail -n 20 "$log"; } >&2; done
  fi
  rm -rf "$folder"
}
trap finish EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }

Xvfb -displayfd 3 -noreset -screen 0 1024x768x24 -nolisten tcp 3>"$folder/display" 2>"$folder/xvfb.log" &
pids+=($!)
for _ in $(seq 100); do [ -s "$folder/display" ] && break; sleep 0.1; done
[ -s "$folder/display" ] || fail "Xvfb did not start"
export DISPLAY=":$(tr -dc 0-9 <"$folder/display")"

# A program folder of the test's own, so that a settings file written there
# could only come from this run.
mkdir "$folder/program"
cp "$bin"/typetoki "$bin"/*.wav "$bin"/test.txt "$folder/program/"
HOME=$folder XDG_RUNTIME_DIR=$folder QT_QPA_PLATFORM=xcb \
  "$folder/program/typetoki" >"$folder/game.log" 2>&1 &
game=$!
pids+=("$game")

window=$(timeout 20 xdotool search --sync --onlyvisible --pid "$game" | head -n 1) \
  || fail "the splash did not appear"

python3 - "$window" <<'EOF'
import ctypes, sys

x11 = ctypes.cdll.LoadLibrary("libX11.so.6")
x11.XOpenDisplay.restype = ctypes.c_void_p
x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
x11.XInternAtom.restype = ctypes.c_ulong
x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                           ctypes.c_void_p]
x11.XFlush.argtypes = [ctypes.c_void_p]


class ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong),
                ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
                ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]


class Event(ctypes.Union):
    _fields_ = [("xclient", ClientMessage), ("pad", ctypes.c_long * 24)]


display = x11.XOpenDisplay(None)
window = int(sys.argv[1])
event = Event()
event.xclient.type = 33  # ClientMessage
event.xclient.window = window
event.xclient.message_type = x11.XInternAtom(display, b"WM_PROTOCOLS", 0)
event.xclient.format = 32
event.xclient.data[0] = x11.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
event.xclient.data[1] = 0  # CurrentTime
x11.XSendEvent(display, window, 0, 0, ctypes.byref(event))
x11.XFlush(display)
EOF

for _ in $(seq 50); do kill -0 "$game" 2>/dev/null || break; sleep 0.1; done
kill -0 "$game" 2>/dev/null && fail "the program still runs 5 s after its splash was closed"
status=0
wait "$game" || status=$?
pids=("${pids[@]/$game}")
[ "$status" -eq 0 ] || fail "the program exited with status $status"
[ ! -e "$folder/program/tatak.ini" ] || fail "the settings were written although no game window was made"
echo "the splash closed by the window manager ended the program (exit 0)"
