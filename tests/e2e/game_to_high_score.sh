#!/usr/bin/env bash
# A whole game in a real X server, as a player plays it: a 10-second hero game
# set through tatak.ini, thirty keys typed into the real window, "終了！", the
# result screen, a name typed on the board, and the record in tkscore.ini.
# Usage: game_to_high_score.sh BIN_DIR [SHOT_DIR], or
# game_to_high_score.sh --installed BUILD_DIR: the same game from the Debian
# package unpacked with dpkg -x, played by an ordinary user (nobody, when the
# test runs as root) for whom the program folder is read-only, so the two
# files must be in that user's data folder. The game is ended from its menu
# and must exit cleanly. Exit 77 (skipped) where Xvfb, xdotool or the
# packaging tools are missing.
set -euo pipefail
# shellcheck source=tests/e2e/common.sh
source "$(dirname "$0")/common.sh"
installed=""
if [ "$1" = --installed ]; then
  installed=$2
  shots=""
  need_tools cpack dpkg-deb dpkg-shlibdeps
  [ "$(id -u)" -ne 0 ] || need_tools setpriv
else
  bin=$1
  shots=${2:-}
fi
# The game must show its windows on the X server started here.
unset QT_QPA_PLATFORM

need_tools Xvfb xdotool python3
make_folder
start_x_server

if [ -z "$installed" ]; then
  program=$folder
  data=$folder
  make_program_folder "$program"
  start=("$folder/typetoki")
else
  cpack --config "$installed/CPackConfig.cmake" -G DEB -B "$folder/out" >"$folder/cpack.log" 2>&1 ||
    fail cpack
  dpkg -x "$folder"/out/typetoki_*.deb "$folder/root"
  program=$folder/root/usr/lib/typetoki
  home=$folder/home
  data=$home/.local/share/typetoki
  # The player's data folder as the game would make it, holding the settings
  # that ask for a 10-second hero game.
  mkdir -p "$data"
  chmod 755 "$folder"
  player=(env -u XDG_DATA_HOME -u XDG_CONFIG_HOME HOME="$home")
  if [ "$(id -u)" -eq 0 ]; then
    chown -R nobody:nogroup "$home"
    player=(setpriv --reuid=nobody --regid=nogroup --clear-groups "${player[@]}")
  else
    chmod a-w "$program"
  fi
  start=("${player[@]}" "$folder/root/usr/bin/typetoki")
  "${player[@]}" test -x "$folder/root/usr/bin/typetoki" ||
    fail "the player cannot reach $folder: a folder above it is closed to others"
fi
hero_game_settings "$program" > "$data/tatak.ini"
[ -z "$installed" ] || [ "$(id -u)" -ne 0 ] || chown nobody:nogroup "$data/tatak.ini"

launch "${start[@]}" >"$folder/game.log" 2>&1
game=$launched
pass_splash_and_start
play_to_high_score "eyaeyaeyaeyaeyaeyaeyaeyaeyaeya" "$data"
quit_game
[ "$data" = "$program" ] || [ ! -e "$program/tkscore.ini" ] || fail "tkscore.ini was written in the program folder"
check_record "$data" 1 10 "$(single_passes 30 0)"
echo "PASSED: $(tr -d '\r' < "$data/tkscore.ini")"
