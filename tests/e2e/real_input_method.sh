#!/usr/bin/env bash
# Games typed through a real Japanese input method, fcitx5 with Anthy, in an
# X server, a session bus and an fcitx5 of the test's own; the game talks to
# fcitx5 through its Qt plugin, as on a player's desktop. What each game must
# have judged is read back from the record it leaves in tkscore.ini.
#
#   japanese  a training line of Japanese text: the input method is off when
#             the game starts and the game switches it on; the line is typed
#             in romaji, converted, committed and judged by Enter; a wrong
#             kanji is a miss and stays in the box to be judged again.
#   chant     a hero game played with the input method switched on: every
#             letter still reaches the box and is judged as it is typed.
#   eya       a training line that begins with "eya", input method on: judged
#             letter by letter like a chant, a miss emptying the box.
#
# Usage: real_input_method.sh BIN_DIR CASE [SHOT_DIR]. Exit 77 (skipped)
# where a tool is missing or a server cannot be started.
set -euo pipefail
# shellcheck source=tests/e2e/common.sh
source "$(dirname "$0")/common.sh"
bin=$1
case=$2
shots=${3:-}
# The game must show its windows on the X server started here.
unset QT_QPA_PLATFORM

need_tools Xvfb xdotool fcitx5 fcitx5-remote dbus-daemon python3
[ -n "$(find /usr/lib -path '*/fcitx5/anthy.so' -print -quit)" ] || skip "Anthy for fcitx5 is not installed (Debian: fcitx5-anthy)"
[ -n "$(find /usr/lib -path '*/qt6/plugins/platforminputcontexts/*fcitx5*' -print -quit)" ] ||
  skip "fcitx5's Qt 6 plugin is not installed (Debian: fcitx5-frontend-qt6)"

make_folder
start_x_server

# The session bus and fcitx5 read and write nothing of the real user's: their
# configuration is the profile below, whose input methods are the keyboard
# (off) and Anthy (on), and fcitx5 starts off.
mkdir -p "$folder/home/.config/fcitx5"
cat >"$folder/home/.config/fcitx5/profile" <<'EOF'
[Groups/0]
Name=Default
Default Layout=us
DefaultIM=anthy

[Groups/0/Items/0]
Name=keyboard-us
Layout=

[Groups/0/Items/1]
Name=anthy
Layout=

[GroupOrder]
0=Default
EOF
export DBUS_SESSION_BUS_ADDRESS=unix:path=$folder/run/bus
launch dbus-daemon --session --nofork --nopidfile --address="$DBUS_SESSION_BUS_ADDRESS" >/dev/null 2>&1
for _ in $(seq 100); do [ -S "$folder/run/bus" ] && break; sleep 0.05; done
[ -S "$folder/run/bus" ] || skip "no session bus could be started"
# Only the input method and its X frontend: no tray, no notifications.
# Anthy keeps what it learns under the home its passwd entry names, whatever
# HOME says, so fcitx5 runs where the test's home is mounted over that one.
im=(fcitx5 --disable=all --enable=keyboard,anthy,dbus,dbusfrontend)
passwd_home=$(getent passwd "$(id -u)" | cut -d: -f6)
if [ -d "$passwd_home" ] && unshare --user --map-current-user --mount true 2>/dev/null; then
  im=(unshare --user --map-current-user --mount sh -c 'mount --bind "$0" "$1" && shift && exec "$@"'
      "$HOME" "$passwd_home" "${im[@]}")
else
  echo "WARNING: no mount namespace to keep Anthy's learning out of $passwd_home" >&2
fi
launch "${im[@]}" >"$folder/fcitx5.log" 2>&1
for _ in $(seq 200); do fcitx5-remote >/dev/null 2>&1 && break; sleep 0.05; done
fcitx5-remote >/dev/null 2>&1 || { cat "$folder/fcitx5.log" >&2; skip "fcitx5 could not be started"; }

# fcitx5-remote: 1 when the focused box's input method is off, 2 when on.
input_method_state() { fcitx5-remote; }

program=$folder/game
make_program_folder "$program"
case $case in
  japanese) mode=4; printf '日本語\r\n' >"$program/lines.txt" ;;
  chant) mode=1; printf 'x\r\n' >"$program/lines.txt" ;;
  eya) mode=4; printf 'eyaeyaeya\r\n' >"$program/lines.txt" ;;
  *) fail "no such case: $case" ;;
esac
limit=30    # the steps take 8 seconds, and a busy machine may stretch them
training=$program/lines.txt game_settings "$mode" "$limit" "$program" >"$program/tatak.ini"

launch env QT_IM_MODULE=fcitx "$program/typetoki" >"$folder/game.log" 2>&1
game=$launched
pass_splash_and_start
xdotool windowfocus "$main"
sleep 0.5
# The input box has had the focus since the window opened.
if [ "$case" != japanese ]; then
  fcitx5-remote -o
  sleep 0.3
fi
wanted=$([ "$case" = japanese ] && echo 1 || echo 2)
expect "the input method's state before the first line" "$(input_method_state)" "$wanted"
wait_until_playing

# Romaji typed into the input method, converted (space) and committed (Enter).
# With a second argument, screenshots of the composing and of the converted
# text go into $shots (when set) under that name.
compose() {
  xdotool type --delay 60 "$1"
  sleep 0.4
  [ -z "${2:-}" ] || shot "$2-composing"
  xdotool key space
  sleep 0.4
  [ -z "${2:-}" ] || shot "$2-converting"
  xdotool key Return
  sleep 0.4
}
judge() { xdotool key Return; sleep 0.5; }

case $case in
  japanese)
    expect "the input method's state on a Japanese line" "$(input_method_state)" 2
    compose nihongo ime
    judge                       # 日本語: three hits, and the line comes again
    compose hon                 # 本 where 日 is wanted
    judge
    judge                       # still in the box, so a miss again
    xdotool key BackSpace
    sleep 0.3
    compose nihongo
    judge
    passes="hhh m m hhh"
    ;;
  chant)
    # The hero line "eyaeya...": four hits, a miss that empties the box, then
    # the letters the line still asks for.
    xdotool type --delay 150 eyaeyaeyaeya
    xdotool key q
    sleep 0.3
    xdotool type --delay 150 eya
    passes="h h h h h h h h h h h h m h h h"
    ;;
  eya)
    expect "the input method's state on an eya line" "$(input_method_state)" 2
    xdotool type --delay 150 eyaey
    xdotool key q
    sleep 0.3
    xdotool type --delay 150 aeya
    sleep 0.5
    shot eya-line
    passes="h h h h h m h h h h"
    ;;
esac

finish_game "$program" "$limit"
quit_game
check_logged_record "$program" "$mode" "$limit" "$passes"
# The history: 日本語 came as phrases, none of its characters timed (a time
# of 0 ms each was the fault), all six counted as committed; 本 typed alone
# where 日 was wanted is a miss that says so, twice.
if [ "$case" = japanese ]; then
  python3 - "$program/typetoki-history.sqlite" <<'PY' || fail "the history does not hold the phrases as typed"
import sqlite3, sys
db = sqlite3.connect(f"file:{sys.argv[1]}?mode=ro", uri=True)
(hits, ms), = db.execute("SELECT committed_hits, committed_ms FROM game")
timed = db.execute("SELECT ch, hit_ms, timed_hits FROM target WHERE timed_hits > 0").fetchall()
misses = db.execute("SELECT ch, typed, times FROM miss").fetchall()
print("committed", hits, ms, "timed", timed, "misses", misses)
sys.exit(0 if hits == 6 and ms > 0 and timed == [] and misses == [("日", "本", 2)] else 1)
PY
fi
echo "PASSED: $(tr -d '\r' < "$program/tkscore.ini")"
