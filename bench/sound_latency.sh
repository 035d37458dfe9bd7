#!/usr/bin/env bash
# Key-to-sound latency of the real game: a hero game in an X server and a
# PulseAudio server of the benchmark's own (the same set-up as the real-sound
# tests), keys sent through XTest, the sink's monitor recorded, and each
# cue's onset in the recording set against the moment its key was sent
# (bench/sound_latency.py tells how the two time lines are tied).
# Usage: bench/sound_latency.sh [BUILD_DIR [KEYS]]   (build/ and 60 keys when
# left out). About 30 seconds.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=tests/e2e/common.sh
source "$root/tests/e2e/common.sh"
bin=$(cd "${1:-$root/build}" && pwd)/bin
keys=${2:-60}
unset QT_QPA_PLATFORM

need_tools pulseaudio pactl parec pacat Xvfb xdotool
find_python
[ -x "$bin/typetoki" ] || fail "no game in $bin: build it first"
make_folder
program=$folder/game
make_program_folder "$program"
# Long enough for the keys and the clicks around them, about 0.35 s each.
game_settings 1 $((keys * 35 / 100 + 10)) "$program" >"$program/tatak.ini"

start_sound_server
start_x_server
start_recording "$folder/rec.raw"
launch "$program/typetoki" >"$folder/game.log" 2>&1
pass_splash_and_start
sleep 3.6                                            # the countdown
xdotool windowfocus "$main"
sleep 0.3
"$python" "$root/bench/sound_latency.py" play "$keys" "$folder/times.json"
stop_process "$rec"
"$python" "$root/bench/sound_latency.py" report "$folder/rec.raw" "$folder/times.json" "$bin"
# What the sound server granted the game's stream, as the game read it back.
grep -h '^sound:' "$folder/game.log" || echo "sound: the game wrote no line about its stream"
