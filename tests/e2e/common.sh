# shellcheck shell=bash
# Steps shared by the games played for real under Xvfb; sourced, not run.
# The test that sources this makes its scratch folder with make_folder and,
# where it copies the game, sets bin; it reads back what the steps leave in
# xvfb, rec, main and launched, and sets game to the game's process id.
# shellcheck disable=SC2154,SC2034

# xdotool reads window titles in the locale's encoding: the game's Japanese
# titles are found only in a UTF-8 locale, which a machine whose locale is
# POSIX (a fresh Debian, a CI runner) lacks.
export LC_ALL=C.UTF-8

fail() { echo "FAILED: $*" >&2; exit 1; }
# Exit 77 is a skip to CTest, which still counts it as passed; under CI=true,
# where every tool is installed, a skip is a fault to report.
skip() {
  [ "${CI:-}" != true ] || fail "skipped, and CI=true allows no skip: $*"
  echo "SKIPPED: $*" >&2
  exit 77
}

# Skips the test unless every tool named is installed.
need_tools() {
  for tool in "$@"; do
    command -v "$tool" >/dev/null || skip "$tool is not installed"
  done
}

# Every server and program a test starts goes through launch, which leaves
# its process id in $launched; stop_started, from the test's EXIT trap, ends
# them by those ids, the last started first, so nothing outlives the test.
started=()
launch() {
  "$@" &
  launched=$!
  started+=("$launched")
}
stop_process() {
  local pid kept=()
  kill "$1" 2>/dev/null || true
  wait "$1" 2>/dev/null || true
  for pid in "${started[@]}"; do [ "$pid" = "$1" ] || kept+=("$pid"); done
  started=("${kept[@]}")
}
stop_started() {
  while [ ${#started[@]} -gt 0 ]; do stop_process "${started[-1]}"; done
}

# The test's scratch folder, $folder: what the test and every program it
# starts write, their temporary files included, stays in it until
# finish_test, its EXIT trap, removes it.
# Every program the test starts also has its home, its XDG folders and its
# runtime folder there, so that nothing (a file dialog's history, an input
# method's learning, a sound server's links) reaches the home of whoever runs
# the tests. The game logs when each key reached it into $TYPETOKI_LOG.
make_folder() {
  folder=$(mktemp -d)
  trap finish_test EXIT
  mkdir -m 1777 "$folder/tmp"
  mkdir -m 700 "$folder/run"
  mkdir -p "$folder/home/.config" "$folder/home/.local/share" "$folder/home/.cache"
  export TMPDIR=$folder/tmp HOME=$folder/home XDG_RUNTIME_DIR=$folder/run
  export XDG_CONFIG_HOME=$folder/home/.config XDG_DATA_HOME=$folder/home/.local/share
  export XDG_CACHE_HOME=$folder/home/.cache
  export TYPETOKI_LOG=$folder/events.log
  : >"$TYPETOKI_LOG"
  chmod 666 "$TYPETOKI_LOG"    # the installed game is played by another user
}

# How many lines of the game's log match $1 so far.
count_log() { grep -c -- "$1" "$TYPETOKI_LOG" 2>/dev/null || true; }

# Waits until the game's log holds more than $2 lines matching $1: the
# moment something happened, not a guess at when it should have.
wait_for_log() {
  for _ in $(seq 600); do
    [ "$(count_log "$1")" -gt "$2" ] && return
    sleep 0.05
  done
  fail "the game's log never said '$1' (it holds: $(tail -n 5 "$TYPETOKI_LOG"))"
}

# After START: waits for the countdown to end and play to begin.
wait_until_playing() { wait_for_log 'typetoki.game: playing' "$playing_before"; }

# The wall-clock time of the last line of the game's log matching $1.
log_time() { grep -- "$1" "$TYPETOKI_LOG" | tail -n 1 | cut -d' ' -f1; }

# The EXIT trap of every test: ends what it started, shows the logs of a
# failed run, copies its files into the folder TYPETOKI_E2E_KEEP names (if
# set) for a look afterwards, and removes them.
finish_test() {
  local status=$? log
  stop_started
  if [ "$status" -ne 0 ] && [ "$status" -ne 77 ]; then
    for log in "$folder"/*.log; do
      [ -s "$log" ] && { echo "== $log"; tail -n 20 "$log"; } >&2
    done
  fi
  chmod -R u+w "$folder"
  [ -z "${TYPETOKI_E2E_KEEP:-}" ] || { mkdir -p "$TYPETOKI_E2E_KEEP"; cp -r "$folder/." "$TYPETOKI_E2E_KEEP/"; }
  rm -rf "$folder"
}

# An X server of the test's own, which DISPLAY then names (its process id in
# $xvfb). Xvfb itself takes the first display that is free and says which,
# so no other user's screen is ever played on. Without -noreset it resets
# whenever its last client leaves (the probe below, a game that ended) and
# refuses whoever connects meanwhile: a game started then never shows.
start_x_server() {
  launch Xvfb -displayfd 3 -noreset -screen 0 800x600x24 -nolisten tcp 3>"$folder/x-display" >"$folder/xvfb.log" 2>&1
  xvfb=$launched
  for _ in $(seq 200); do
    [ "$(wc -l <"$folder/x-display")" -gt 0 ] && break
    kill -0 "$xvfb" 2>/dev/null || fail "Xvfb could not start"
    sleep 0.05
  done
  DISPLAY=:$(tr -dc 0-9 <"$folder/x-display")
  export DISPLAY
  [ "$DISPLAY" != : ] || fail "Xvfb named no display"
  xdotool getmouselocation >/dev/null 2>&1 || fail "no X server answers on $DISPLAY"
}

# A PulseAudio server of the test's own with a null sink "rec", reachable only
# through its socket in $folder/run: the player's or the machine's own server
# (if any) is neither used nor disturbed. As root PulseAudio warns but runs in
# per-user mode; HOME points into $folder (make_folder) so that no cookie or
# state file of the real user is read or written. The sink runs at the cues' own format so
# that the recording holds their samples unresampled. Without norewinds the
# sink renders far ahead while idle and rewinds when a cue starts; its monitor
# has already passed on the rendered silence by then, so the recording loses
# the first part of a cue, or all of it, and its time line drifts from the
# clock.
# Its process id is left in $sound_server; it may be started again after it
# was stopped.
start_sound_server() {
  export PULSE_RUNTIME_PATH=$folder/run PULSE_STATE_PATH=$folder/home/state
  export PULSE_SERVER=unix:$folder/run/native
  unset PULSE_SINK PULSE_SOURCE
  launch pulseaudio --daemonize=no --system=false --exit-idle-time=-1 -n --use-pid-file=no \
    --disable-shm=yes --log-target=stderr \
    --load="module-null-sink sink_name=rec rate=22050 channels=1 norewinds=1" \
    --load="module-native-protocol-unix auth-anonymous=1 socket=$folder/run/native" \
    >>"$folder/pulse.log" 2>&1
  sound_server=$launched
  for _ in $(seq 100); do pactl info >/dev/null 2>&1 && break; sleep 0.05; done
  if ! pactl info >/dev/null 2>&1; then
    cat "$folder/pulse.log" >&2
    skip "no PulseAudio server could be started"
  fi
  pactl set-default-sink rec
}

# Records the sink's monitor into $1 from now on (its process id in $rec).
# --raw: given a file name, parec would write a sound file with a header.
start_recording() {
  launch parec --device=rec.monitor --raw --format=s16le --rate=22050 --channels=1 \
    --latency-msec=10 >"$1" 2>"$folder/parec.log"
  rec=$launched
  for _ in $(seq 100); do [ -s "$1" ] && break; sleep 0.05; done
  [ -s "$1" ] || { cat "$folder/parec.log" >&2; fail "the sink's monitor gave nothing to record"; }
}

# The analysis of recordings needs NumPy, which a Python of one's own on PATH
# may lack where Debian's has it. No bytecode is written into the sources.
find_python() {
  export PYTHONDONTWRITEBYTECODE=1
  for python in python3 /usr/bin/python3; do
    "$python" -c 'import numpy' 2>/dev/null && return
  done
  skip "python3 with NumPy is not installed (Debian: python3-numpy)"
}

# tatak.ini for a game in game mode $1 lasting $2 seconds whose files are in
# program folder $3; the three cues are that folder's unless named in $4 $5 $6,
# the training text is $training when set, else the folder's test.txt.
game_settings() {
  local mode=$1 limit=$2 dir=$3 text=${training:-$3/test.txt}
  printf '%s\r\n%s\r\n%s\r\n%s\r\n%s\r\n%s\r\n%s\r\n0.1\r\n' "$mode" "$limit" "$text" \
    "${4:-$dir/eya.wav}" "${5:-$dir/hiku.wav}" "${6:-$dir/ahh.wav}" "$text"
  for _ in $(seq 12); do printf '<<\x96\xa2\x8e\x67\x97\x70\x97\xcc\x88\xe6>>\r\n'; done
}
hero_game_settings() { game_settings 1 10 "$1"; }

# A program folder $1 of the test's own holding the game and its files from
# build folder $bin: the game keeps its files beside itself.
make_program_folder() {
  mkdir -p "$1"
  cp "$bin/typetoki" "$bin"/*.wav "$bin/test.txt" "$1/"
}

# Waits for a visible window of this name; prints the id of the newest.
wait_window() {
  local id=""
  for _ in $(seq 200); do
    id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | tail -n 1) && [ -n "$id" ] && { echo "$id"; return; }
    sleep 0.05
  done
  fail "no window named $1"
}

# True while process $1 runs; one that has ended but is not yet waited for
# no longer does.
running() {
  local state
  state=$(awk '{ print $3 }' "/proc/$1/stat" 2>/dev/null) && [ "$state" != Z ]
}

# Closes window $1 by its close box.
close_window() {
  PYTHONDONTWRITEBYTECODE=1 python3 "$(dirname "${BASH_SOURCE[0]}")/close_window.py" "$1" ||
    fail "window $1 could not be closed"
}

# Chooses the item with access key $2 from the main window's menu with
# access key $1, and waits for the menu to open and to close again: on a busy
# machine a key pressed before the menu shows goes to the game as a miss.
choose_from_menu() {
  local before
  before=$(xdotool search --onlyvisible --pid "$game" 2>/dev/null | wc -l)
  xdotool key "alt+$1"
  for _ in $(seq 100); do
    [ "$(xdotool search --onlyvisible --pid "$game" 2>/dev/null | wc -l)" -gt "$before" ] && break
    sleep 0.05
  done
  [ "$(xdotool search --onlyvisible --pid "$game" 2>/dev/null | wc -l)" -gt "$before" ] ||
    fail "the menu alt+$1 did not open"
  xdotool key "$2"
  for _ in $(seq 100); do
    [ "$(xdotool search --onlyvisible --pid "$game" 2>/dev/null | wc -l)" -le "$before" ] && return
    sleep 0.05
  done
}

# Ends the game ($game) as a player does, through the main window's menu,
# ﾌｧｲﾙ then "タイプ闘記"の終了, and checks that it ends by itself, with status 0:
# under AddressSanitizer a leak or a fault at exit shows only there.
quit_game() {
  local status=0
  xdotool windowfocus "$main"
  sleep 0.2
  choose_from_menu f e
  for _ in $(seq 200); do running "$game" || break; sleep 0.05; done
  ! running "$game" || fail "the game went on running after its window was closed"
  wait "$game" || status=$?
  stop_process "$game"
  [ "$status" -eq 0 ] || fail "the game ended with status $status"
}

# Once the game has been launched: a click on the splash's frame, and the
# main window moved to the corner (its id in $main).
pass_splash() {
  local splash=""
  for _ in $(seq 200); do
    splash=$(xdotool search --onlyvisible --class typetoki 2>/dev/null | head -n 1) && [ -n "$splash" ] && break
    sleep 0.05
  done
  [ -n "$splash" ] || fail "the splash did not appear"
  eval "$(xdotool getwindowgeometry --shell "$splash")"
  xdotool mousemove $((X + WIDTH - 14)) $((Y + HEIGHT / 2)) click 1

  main=$(wait_window 'タイプ闘記')
  xdotool windowmove "$main" 0 0
  sleep 0.3
}

# START clicked in the main window $main.
press_start() {
  eval "$(xdotool getwindowgeometry --shell "$main")"
  playing_before=$(count_log 'typetoki.game: playing')
  xdotool mousemove $((X + 260)) $((Y + 282)) click 1   # START
}

# pass_splash, then START.
pass_splash_and_start() {
  pass_splash
  press_start
}

# Skips the test unless MeCab's dictionary is installed.
need_dictionary() {
  [ -f /var/lib/mecab/dic/ipadic-utf8/sys.dic ] || skip "mecab-ipadic-utf8 is not installed"
}

# A training game's setting in an X server of its own: program folder
# $program (the scratch folder) with training text file $1 of the one line
# $2, tatak.ini for game mode $3 lasting $limit seconds on it (its bytes
# kept in $folder/tatak.before) and typetoki.conf of $4 (printf's %b); the
# game launched ($game) and its splash passed ($main).
launch_with_text() {
  make_folder
  start_x_server
  program=$folder
  make_program_folder "$program"
  printf '%s\r\n' "$2" >"$program/$1"
  training=$program/$1 game_settings "$3" "$limit" "$program" >"$program/tatak.ini"
  cp "$program/tatak.ini" "$folder/tatak.before"
  printf '%b' "$4" >"$program/typetoki.conf"
  launch "$program/typetoki" >"$folder/game.log" 2>&1
  game=$launched
  pass_splash
}

# After START: types $1 into a 10-second game once play has begun, then
# finish_game with folder $2.
play_to_high_score() {
  wait_until_playing
  xdotool windowfocus "$main"
  xdotool type --delay 100 "$1"
  finish_game "$2" 10
}

# After the last key of a game of $2 seconds: checks that no message box
# opened meanwhile and that "終了！" came when the time was up and not later,
# then passes the result screen and enters the name e2e on the board, which
# must write tkscore.ini into folder $1. Screenshots of the result and the
# board go into $shots when it names a folder.
finish_game() {
  local data=$1 limit=$2 box="" other ended
  other=$(xdotool search --onlyvisible --name '.' 2>/dev/null | grep -vx "$main" | head -n 1 || true)
  [ -z "$other" ] || fail "a window besides the game's opened: $(xdotool getwindowname "$other")"

  # "終了！" carries the application title too: it is the second such window.
  for _ in $(seq $((limit * 20 + 100))); do
    box=$(xdotool search --onlyvisible --name '^タイプ闘記$' 2>/dev/null | grep -vx "$main" | head -n 1) && [ -n "$box" ] && break
    sleep 0.05
  done
  [ -n "$box" ] || fail "the game did not announce its end"
  # Never before the time is up; late only by what a busy machine delays a
  # tick of the quarter-second timer (pauses in training mode do not count).
  ended=$(awk -v a="$(log_time 'typetoki.game: playing')" -v b="$(log_time 'typetoki.game: time up')" \
    'BEGIN { printf "%.2f", b - a }')
  awk -v t="$ended" -v l="$limit" 'BEGIN { exit !(t >= l && t <= l + 3) }' ||
    fail "the game ended $ended s after play began, not $limit"
  xdotool windowfocus "$box"; sleep 0.2; xdotool key Return

  result=$(wait_window '結果発表')
  sleep 0.5; shot result
  # No key passes the result screen (one still typed from play must not):
  # its OK button is clicked, at the middle of its place (twips / 15).
  xdotool mousemove --window "$result" 200 332 click 1

  board=$(wait_window 'ハイスコア')
  sleep 0.5
  xdotool windowfocus "$board"; sleep 0.2
  xdotool type --delay 50 "e2e"
  shot board
  xdotool key Return
  for _ in $(seq 100); do [ -s "$data/tkscore.ini" ] && break; sleep 0.05; done
  [ -s "$data/tkscore.ini" ] || fail "no tkscore.ini was written in $data"

  # Only its close box closes the board, and the result screen goes with it.
  close_window "$board"
  for _ in $(seq 100); do
    xdotool search --onlyvisible --name '^(ハイスコア|結果発表)$' >/dev/null 2>&1 || return 0
    sleep 0.05
  done
  fail "the board or the result screen stayed open after the board was closed"
}

shot() { [ -z "${shots:-}" ] || import -window root "$shots/$1.png"; }

# The judging passes of $1 hits and then $2 misses, each key judged on its
# own, as check_record takes them.
single_passes() {
  local words=()
  for _ in $(seq "$1"); do words+=(h); done
  for _ in $(seq "$2"); do words+=(m); done
  echo "${words[*]}"
}

# $1 / $2 × $3, cut to two decimals, as the game writes its figures.
cut_figure() { awk -v a="$1" -v b="$2" -v f="$3" 'BEGIN { printf "%.15g", int(a / b * f) / 100 }'; }

# The points of a game from its judging passes (each word of $1 one pass,
# h a hit and m a miss), as the screens showed them: a hit is worth 2.2 times
# the accuracy shown when its pass began, which the pass's end updates.
points_of() {
  awk -v passes="$1" 'BEGIN {
    n = split(passes, pass, " "); s = 0; shown = 0; typed = 0; right = 0
    for (p = 1; p <= n; p++) {
      for (i = 1; i <= length(pass[p]); i++) {
        typed++
        if (substr(pass[p], i, 1) == "h") { right++; s = s + shown * 2.2 / 100 }
      }
      shown = int(right / typed * 10000) / 100
    }
    printf "%.15g", int(s * 100) / 100 }'
}

# The judging passes of the game as its log tells them, as check_record
# takes them: each ends where the board's counters were shown anew. On a
# busy machine keys typed apart may reach one pass, or one nested in
# another's pause.
logged_passes() {
  awk '$2 == "typetoki.game:" { if ($3 == "counters") printf " "; else if ($3 == "hit") printf "h"; else if ($3 == "miss") printf "m" }
    END { print "" }' "$TYPETOKI_LOG" | xargs
}

# check_record for the passes the game's log tells, whose keys must have
# been judged as $4 says, hit for hit and miss for miss, in whatever passes.
check_logged_record() {
  local passes
  passes=$(logged_passes)
  expect "the keys judged" "$(tr -d ' ' <<<"$passes")" "$(tr -d ' ' <<<"$4")"
  check_record "$1" "$2" "$3" "$passes"
}

# The one record in tkscore.ini in folder $1 of a game in game mode $2
# lasting $3 seconds, whose keys were judged in the passes $4 (points_of).
check_record() {
  local data=$1 mode=$2 limit=$3 passes=$4 hits typed
  local serial name score correct speed shown date played limited
  hits=$(tr -cd h <<<"$passes" | wc -c)
  typed=$(tr -cd hm <<<"$passes" | wc -c)
  IFS=, read -r serial name score correct speed shown date played limited < <(tr -d '\r' < "$data/tkscore.ini")
  expect serial "$serial" 1
  expect name "$name" e2e
  expect points "$score" "$(points_of "$passes")"
  expect "correct characters" "$correct" "$hits"
  expect speed "$speed" "$(cut_figure "$hits" "$limit" 100)"
  expect accuracy "$shown" "$(cut_figure "$hits" "$typed" 10000)"
  expect mode "$played" "$mode"
  expect "time limit" "$limited" "$limit"
  case "$date" in *"  "*) ;; *) fail "the date field '$date' lacks its two blanks";; esac
  [ "$(wc -l < "$data/tkscore.ini")" -eq 1 ] || fail "more than one record"
}
expect() { [ "$2" = "$3" ] || fail "$1 is '$2', expected '$3'"; }
