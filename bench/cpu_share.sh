#!/usr/bin/env bash
# cpu_share with its cues heard: a PulseAudio server of the benchmark's own
# with a null sink (the same set-up as the real-sound tests), so the sound
# thread's work is counted as a player's machine would count it.
# Usage: bench/cpu_share.sh [BUILD_DIR [GAME_MODE]]   (build/ and 1 when left
# out). About 40 seconds.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=tests/e2e/common.sh
source "$root/tests/e2e/common.sh"
build=$(cd "${1:-$root/build}" && pwd)
mode=${2:-1}

need_tools pulseaudio pactl
[ -x "$build/bench/cpu_share" ] || fail "no cpu_share in $build/bench: build it first"
make_folder
start_sound_server
"$build/bench/cpu_share" "$mode"
