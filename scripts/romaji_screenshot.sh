#!/usr/bin/env bash
# Plays a training line as romaji under a virtual X display, with no input
# method anywhere, and saves a picture of it half typed:
#   scripts/romaji_screenshot.sh [build-dir] [out.png]
# The game runs from a program folder of its own, whose tatak.ini selects
# training mode and whose typetoki.conf switches romaji typing on.
set -euo pipefail
# shellcheck source=tests/e2e/common.sh
source "$(dirname "$0")/../tests/e2e/common.sh"
build=${1:-build}
out=${2:-docs/romaji.png}
bin=$build/bin
unset QT_QPA_PLATFORM GTK_IM_MODULE QT_IM_MODULE XMODIFIERS

mkdir -p "$(dirname "$out")"
make_folder
start_x_server
program=$folder/game
make_program_folder "$program"
printf '今日は日本語を打つ練習をします。\r\n' >"$program/romaji.txt"
training=$program/romaji.txt game_settings 4 60 "$program" >"$program/tatak.ini"
printf '[training]\nromaji=true\n' >"$program/typetoki.conf"

launch "$program/typetoki" >"$folder/game.log" 2>&1
game=$launched
pass_splash_and_start
sleep 3.6
xdotool windowfocus "$main"
# Mixed spellings: "nn" for ん, "tsu" for つ; the guide follows each choice.
xdotool type --delay 120 "kyouhanihonngowoutsu"
sleep 0.6
import -window root -crop "${WIDTH}x${HEIGHT}+0+0" "$out"
echo "$out"
