#!/usr/bin/env bash
# A whole game in a real X server, as a player plays it: a 10-second hero game
# set through tatak.ini, thirty keys typed into the real window, "終了！", the
# result screen, a name typed on the board, and the record in tkscore.ini.
# Usage: game_to_high_score.sh BIN_DIR [SHOT_DIR], or
# game_to_high_score.sh --installed BUILD_DIR: the same game from the Debian
# package unpacked with dpkg -x, played by an ordinary user (nobody, when the
# test runs as root) for whom the program folder is read-only, so the two
# files must be in that user's data folder. Exit 77 (skipped) where no X
# server can be started or the packaging tools are missing.
set -euo pipefail
# shellcheck source=tests/e2e/common.sh
source "$(dirname "$0")/common.sh"
installed=""
if [ "$1" = --installed ]; then
  installed=$2
  shots=""
  for tool in cpack dpkg-deb dpkg-shlibdeps; do
    command -v "$tool" >/dev/null || { echo "SKIPPED: $tool is not installed" >&2; exit 77; }
  done
  if [ "$(id -u)" -eq 0 ] && ! command -v setpriv >/dev/null; then
    echo "SKIPPED: setpriv is not installed" >&2
    exit 77
  fi
else
  bin=$1
  shots=${2:-}
fi
display=:${TYPETOKI_E2E_DISPLAY:-63}
# The game must show its windows on the X server started here.
unset QT_QPA_PLATFORM

if ! command -v Xvfb >/dev/null || ! command -v xdotool >/dev/null; then
  echo "SKIPPED: Xvfb or xdotool is not installed" >&2
  exit 77
fi
Xvfb "$display" -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
folder=$(mktemp -d)
game=""
# A read-only program folder is made writable again so that it can be removed.
trap 'kill $game $xvfb 2>/dev/null || true; chmod -R u+w "$folder"; rm -rf "$folder"' EXIT
export DISPLAY=$display
for _ in $(seq 100); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.05; done
if ! xdotool getmouselocation >/dev/null 2>&1; then
  echo "SKIPPED: no X server could be started on $display" >&2
  exit 77
fi

if [ -z "$installed" ]; then
  # A program folder of the test's own: the game keeps its files beside itself.
  program=$folder
  data=$folder
  cp "$bin/typetoki" "$bin"/*.wav "$bin/test.txt" "$folder/"
  start=("$folder/typetoki")
else
  cpack --config "$installed/CPackConfig.cmake" -G DEB -B "$folder/out" >"$folder/cpack.log" 2>&1 ||
    { cat "$folder/cpack.log" >&2; echo "FAILED: cpack" >&2; exit 1; }
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
fi
hero_game_settings "$program" > "$data/tatak.ini"
[ -z "$installed" ] || [ "$(id -u)" -ne 0 ] || chown nobody:nogroup "$data/tatak.ini"

shot() { [ -z "$shots" ] || import -window root "$shots/$1.png"; }

"${start[@]}" >/dev/null 2>&1 &
game=$!
pass_splash_and_start
sleep 3.6                                            # the countdown
xdotool windowfocus "$main"
xdotool type --delay 100 "eyaeyaeyaeyaeyaeyaeyaeyaeyaeya"

# "終了！" carries the application title too: it is the second such window.
box=""
for _ in $(seq 300); do
  box=$(xdotool search --onlyvisible --name '^タイプ闘記$' 2>/dev/null | grep -vx "$main" | head -n 1) && [ -n "$box" ] && break
  sleep 0.05
done
[ -n "$box" ] || fail "the game did not announce its end"
xdotool windowfocus "$box"; sleep 0.2; xdotool key Return

result=$(wait_window '結果発表')
sleep 0.5; shot result
xdotool windowfocus "$result"; sleep 0.2; xdotool key Return

board=$(wait_window 'ハイスコア')
sleep 0.5
xdotool windowfocus "$board"; sleep 0.2
xdotool type --delay 50 "e2e"
shot board
xdotool key Return
for _ in $(seq 100); do [ -s "$data/tkscore.ini" ] && break; sleep 0.05; done
[ -s "$data/tkscore.ini" ] || fail "no tkscore.ini was written in $data"
[ "$data" = "$program" ] || [ ! -e "$program/tkscore.ini" ] || fail "tkscore.ini was written in the program folder"

# What the screens showed: 30 hits in 30 keys, each hit worth 2.2 times the
# accuracy shown at that moment (the first hit: nothing yet shown).
points=$(awk 'BEGIN { s = 0; for (i = 1; i < 30; i++) s = s + 100 * 2.2 / 100;
                     printf "%.15g", int(s * 100) / 100 }')
IFS=, read -r serial name score correct speed accuracy date mode limit < <(tr -d '\r' < "$data/tkscore.ini")
expect() { [ "$2" = "$3" ] || fail "$1 is '$2', expected '$3'"; }
expect serial "$serial" 1
expect name "$name" e2e
expect points "$score" "$points"
expect "correct characters" "$correct" 30
expect speed "$speed" 3
expect accuracy "$accuracy" 100
expect mode "$mode" 1
expect "time limit" "$limit" 10
case "$date" in *"  "*) ;; *) fail "the date field '$date' lacks its two blanks";; esac
[ "$(wc -l < "$data/tkscore.ini")" -eq 1 ] || fail "more than one record"
echo "PASSED: $(tr -d '\r' < "$data/tkscore.ini")"
