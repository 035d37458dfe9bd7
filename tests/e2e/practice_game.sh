#!/usr/bin/env bash
# A practice made for the player and played for real under Xvfb: the player's
# own settings are a chant mode and a training text of their own, romaji
# typing and the keyboard strip are on in typetoki.conf. 苦手を練習 writes
# typetoki-practice.txt (100 lines of dictionary words, 20 to 40 characters
# each) and starts a romaji game on it at once; it ends on the board as
# game mode 5, the history keeps it as a game of that text, and afterwards
# tatak.ini holds the player's own mode and text, byte for byte.
# Usage: practice_game.sh BIN_DIR [SHOT.png]: with SHOT, a picture of the
# practice game with the next key lit on the strip. Exit 77 (skipped) where
# Xvfb, xdotool, the dictionary or its word lists are missing.
set -euo pipefail
# shellcheck source=tests/e2e/common.sh
source "$(dirname "$0")/common.sh"
bin=$1
shot=${2:-}
unset QT_QPA_PLATFORM QT_IM_MODULE GTK_IM_MODULE XMODIFIERS

need_tools Xvfb xdotool python3
need_dictionary
[ -f /usr/share/mecab/dic/ipadic/Noun.csv ] || skip "mecab-ipadic is not installed"
limit=10
launch_with_text own.txt 'じぶんのぶんしょう' 1 '[training]\nromaji=true\n\n[window]\nkeyboard=true\n'
xdotool windowfocus "$main"
playing_before=$(count_log 'typetoki.game: playing')
choose_from_menu o p
# The game starts its countdown the moment the text is written.
for _ in $(seq 200); do [ -s "$program/typetoki-practice.txt" ] && break; sleep 0.05; done
[ -s "$program/typetoki-practice.txt" ] || fail "no practice text was written"
wait_until_playing
if [ -n "$shot" ]; then
  eval "$(xdotool getwindowgeometry --shell "$main")"
  import -window root -crop "${WIDTH}x$((HEIGHT + 30))+0+0" "$shot"
fi
# No practice word has a sign in it: one miss, and the time runs out.
xdotool windowfocus "$main"
xdotool type "!"
finish_game "$program" 10
quit_game
cmp -s "$folder/tatak.before" "$program/tatak.ini" || fail "tatak.ini does not hold the player's own settings"
check_logged_record "$program" 5 10 "$(single_passes 0 1)"
python3 - "$program" <<'PY' ||
import sqlite3, sys
folder = sys.argv[1]
raw = open(f"{folder}/typetoki-practice.txt", "rb").read()
text = raw[3:].decode("utf-8") if raw.startswith(b"\xef\xbb\xbf") else raw.decode("cp932")
lines = text.split("\r\n")[:-1]
assert len(lines) == 100 and all(20 <= len(l) <= 40 for l in lines), lines
db = sqlite3.connect(f"file:{folder}/typetoki-history.sqlite?mode=ro", uri=True)
games = db.execute("SELECT g.mode, t.path FROM game g JOIN training_text t ON t.id = g.text_id").fetchall()
assert games == [(5, f"{folder}/typetoki-practice.txt")], games
PY
  fail "the practice text or the history is not as played"
echo "PASSED: $(tr -d '\r' < "$program/tkscore.ini")"
