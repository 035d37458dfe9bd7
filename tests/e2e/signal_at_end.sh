#!/usr/bin/env bash
# A logout while 「終了！」 is shown: a 10-second hero game played for real
# under Xvfb, ten keys typed, and SIGTERM sent while the end is announced.
# The game must end by itself within two seconds, with status 0, and its
# history must hold the game as finished with every key typed.
# Usage: signal_at_end.sh BIN_DIR. Exit 77 (skipped) where Xvfb, xdotool or
# python3 is missing.
set -euo pipefail
# shellcheck source=tests/e2e/common.sh
source "$(dirname "$0")/common.sh"
bin=$1
unset QT_QPA_PLATFORM

need_tools Xvfb xdotool python3
make_folder
start_x_server
make_program_folder "$folder"
hero_game_settings "$folder" > "$folder/tatak.ini"

launch "$folder/typetoki" >"$folder/game.log" 2>&1
game=$launched
pass_splash_and_start
sleep 3.6
xdotool windowfocus "$main"
xdotool type --delay 100 "eyaeyaeyae"

box=""
for _ in $(seq 300); do
  box=$(xdotool search --onlyvisible --name '^タイプ闘記$' 2>/dev/null | grep -vx "$main" | head -n 1) && [ -n "$box" ] && break
  sleep 0.05
done
[ -n "$box" ] || fail "the game did not announce its end"
sleep 0.3
kill -TERM "$game"
sent=$EPOCHREALTIME
for _ in $(seq 100); do running "$game" || break; sleep 0.02; done
took=$(awk -v a="$sent" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.2f", b - a }')
! running "$game" || fail "the game still ran $took s after SIGTERM"
status=0
wait "$game" || status=$?
stop_process "$game"
[ "$status" -eq 0 ] || fail "the game ended with status $status"
awk -v t="$took" 'BEGIN { exit !(t <= 2) }' || fail "the game took $took s to end"

[ ! -e "$folder/typetoki-history-pending.sqlite" ] || fail "the game went to the pending file"
python3 - "$folder/typetoki-history.sqlite" <<'PY' || fail "the history does not hold the game as finished"
import sqlite3, sys
db = sqlite3.connect(f"file:{sys.argv[1]}?mode=ro", uri=True)
games = db.execute("SELECT mode, time_limit, abandoned, judged, correct FROM game").fetchall()
assert games == [(1, 10, 0, "10", "10")], games
PY
echo "PASSED: ended $took s after SIGTERM"
