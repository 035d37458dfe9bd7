#!/usr/bin/env bash
# A romaji game in a real X server with no input method anywhere: training
# mode in tatak.ini, romaji typing switched on in typetoki.conf, a line with
# kanji read through MeCab's dictionary and a sign with no key (★, passed
# over), typed key by key to its end in
# spellings of the player's own and begun again; then "終了！", the result
# screen, the board, and the record in tkscore.ini as game mode 5, with the
# romaji keys in the history. tatak.ini keeps its bytes through it all.
# Usage: romaji_game.sh BIN_DIR [SHOT.png]: with SHOT, a picture of the
# screen with the line half typed (scripts/romaji_screenshot.sh). Exit 77
# (skipped) where Xvfb, xdotool or the dictionary is missing.
set -euo pipefail
# shellcheck source=tests/e2e/common.sh
source "$(dirname "$0")/common.sh"
bin=$1
shot=${2:-}
unset QT_QPA_PLATFORM QT_IM_MODULE GTK_IM_MODULE XMODIFIERS

need_tools Xvfb xdotool python3
need_dictionary
limit=30    # the keys take 8 seconds, and a busy machine may stretch that
launch_with_text romaji.txt '今日は日本語を打つ★練習をします。' 4 '[training]\nromaji=true\n'
press_start
# The line is kyouhanihongowoutsurenshuuwoshimasu. as the guide spells it;
# typed whole with ん as nn, つ as tu and し as si (35 keys), then begun
# again as the guide spells it (16 keys). A key every 0.15 s, so that each
# is judged in a pass of its own even on a busy machine.
wait_until_playing
xdotool windowfocus "$main"
xdotool type --delay 150 "kyouhanihonngowoutu"
if [ -n "$shot" ]; then
  sleep 0.3
  eval "$(xdotool getwindowgeometry --shell "$main")"
  import -window root -crop "${WIDTH}x${HEIGHT}+0+0" "$shot"
fi
xdotool type --delay 150 "renshuuwosimasu.kyouhanihongowou"
finish_game "$program" 30
quit_game
cmp -s "$folder/tatak.before" "$program/tatak.ini" || fail "tatak.ini changed"
check_logged_record "$program" 5 30 "$(single_passes 51 0)"
python3 - "$program/typetoki-history.sqlite" <<'PY' ||
import sqlite3, sys
db = sqlite3.connect(f"file:{sys.argv[1]}?mode=ro", uri=True)
games = db.execute("SELECT mode, time_limit, abandoned, judged, correct FROM game").fetchall()
assert games == [(5, 30, 0, "51", "51")], games
targets = dict(db.execute("SELECT ch, targeted FROM target").fetchall())
missed = dict(db.execute("SELECT ch, missed FROM target").fetchall())
assert all(len(ch) == 1 and ch.isascii() for ch in targets), targets
assert targets["n"] == 6 and sum(missed.values()) == 0, (targets, missed)
PY
  fail "the history does not hold the romaji game as played"
echo "PASSED: $(tr -d '\r' < "$program/tkscore.ini")"
