#!/usr/bin/env bash
# The cues as a player hears them: a PulseAudio server of the test's own with
# a null sink, its monitor recorded with parec, and a 10-second game played in
# a real X server. Every sound heard is told apart from the others by
# comparing it with the shipped WAV files (tests/e2e/cues.py), so the test
# proves which cue each key sounded, in the order typed, and how long each was
# heard.
#   hero:    hits on the hero line sound eya.wav, a miss ahh.wav; keys far
#            enough apart for each cue to be heard to its end.
#   rival:   the same on the rival line (game mode 2), whose hits sound
#            hiku.wav.
#   cutoff:  rival keys typed faster than a cue lasts, with cues six and
#            four times their length, so that keys a busy machine delays
#            still come before the cue's end. Each new cue must cut the one
#            playing off: the earlier one heard only up to the new one's
#            onset, and from there on only the new one, which would not match
#            as it does had the earlier one gone on beneath it.
# Every case played key by key judges what happened, not what was meant to:
# the cues it must hear follow from the keys the game's log says it judged,
# and whether each had to be cut off from the onsets the recording shows.
#   missing: a hero game whose hit and miss cues name files that do not
#            exist, and
#   broken:  a rival game whose hit cue is garbage bytes and whose miss cue a
#            WAV header cut short, both named .wav: thirty hits, then a miss,
#            must give silence and no message, and the game must end on time
#            and write the record those keys make to tkscore.ini. The test
#            plays a click of its own before the game and another once the
#            record is written, so the recording is known to have been live
#            all along: it must hold those two clicks and nothing else.
#   replaced: during a hero game the hit cue's file is replaced by another
#            sound and the miss cue's file, missing until then, is put in
#            place. The first hit after that still sounds the old file (read
#            again meanwhile), the next the new one; the first miss is
#            silent while its file is read, the next sounds it.
#   mute:    効果音 turned off through the ｵﾌﾟｼｮﾝ menu silences the hits that
#            follow, and turned on again brings them back; typetoki.conf
#            keeps the choice.
#   volume50: with 50 % in typetoki.conf every cue is heard at half its
#            level (within 1 dB); the cases played key by key check full
#            level the same way.
#   restart: the sound server is stopped and started again during the game;
#            the cue of the next key reopens the stream by itself and is
#            heard, as are the ones after it.
#   closecue: the game closed through its menu while a cue sounds, several
#            times over, must end with status 0 and no assertion of the
#            sound library.
# Usage: real_sound.sh BIN_DIR [hero|rival|cutoff|missing|broken|replaced|
# mute|volume50|restart|closecue]. Exit 77 (skipped) where a tool is missing
# or no X or sound server can be started.
set -euo pipefail
here=$(dirname "$0")
# shellcheck source=tests/e2e/common.sh
source "$here/common.sh"
bin=$1
case=${2:-hero}
# The game must show its windows on the X server started here.
unset QT_QPA_PLATFORM

need_tools pulseaudio pactl parec pacat Xvfb xdotool
find_python
make_folder
program=$folder/game
make_program_folder "$program"

# For the cases played key by key: each key with the pause after it, in
# seconds. A hit pauses the game for 50 ms and a miss locks the keys for
# 200 ms, so no key comes sooner than that after the one before. eya.wav
# lasts 234 ms, hiku.wav 337 ms, ahh.wav 470 ms. The game lasts 30 seconds,
# far longer than the keys however late they come. For the cases played to
# the board: the keys typed (by xdotool type --delay 100, a key every 50 ms).
# A key may also be @name, which runs the step of that name instead.
hero=$program/eya.wav rival=$program/hiku.wav miss=$program/ahh.wav typed="" level=1
cues=$bin expected=() limit=30
case $case in
  hero)
    # The hero line is "eyaeya...": four hits, a miss (q) that leaves the
    # line where it was, then the two letters that follow the fourth hit.
    mode=1
    keys=(e .4 y .4 a .4 e .4 q .7 y .4 a .4) ;;
  rival)
    # The rival line is "hikuhiku...".
    mode=2
    keys=(h .5 i .5 k .5 u .5 q .7 h .5 i .5) ;;
  cutoff)
    # Hit after hit, a miss on a sounding hit, and a hit on a sounding miss.
    mode=2 cues=$folder/long rival=$folder/long/hiku.wav miss=$folder/long/ahh.wav
    mkdir "$cues"
    cp "$bin/eya.wav" "$cues/"
    "$python" "$here/cues.py" repeat "$bin/hiku.wav" "$rival" 6
    "$python" "$here/cues.py" repeat "$bin/ahh.wav" "$miss" 4
    keys=(h .15 i .15 q .3 k .15 u .3) ;;
  missing)
    mode=1 hero=$program/gone/eya.wav miss=$program/gone.wav
    typed=eyaeyaeyaeyaeyaeyaeyaeyaeyaeyaq ;;
  broken)
    mode=2 rival=$program/garbage.wav miss=$program/cut.wav
    head -c 4096 /dev/urandom >"$rival"
    head -c 30 "$program/ahh.wav" >"$miss"    # ends inside "fmt "
    typed=hikuhikuhikuhikuhikuhikuhikuhiq ;;
  replaced)
    # The files change between keys: which sound each key hears depends on
    # the keys, not on their timing, once the reads have had a second.
    mode=1 miss=$program/later.wav
    keys=(e .4 y .4 q 1 @replace .5 a 1 e .4 q 1 q .7)
    expected=(eya eya eya hiku ahh) ;;
  mute)
    mode=1
    keys=(e .4 @menu_sound .5 y .4 a .4 @menu_sound .5 e .4) ;;
  volume50)
    mode=1 level=0.5
    printf '[sound]\nvolume=50\n' >"$program/typetoki.conf"
    keys=(e .4 y .4 q .7 a .4) ;;
  restart)
    mode=1
    keys=(e .4 y .4 @restart_server .5 a .4 e .4 y .4) ;;
  closecue)
    mode=1 ;;
  *) fail "no such case: $case" ;;
esac

replace() {
  cp "$program/hiku.wav" "$program/new.wav"
  mv "$program/new.wav" "$program/eya.wav"
  cp "$program/ahh.wav" "$program/later.wav"
}
# Alt+O opens ｵﾌﾟｼｮﾝ, K its item 効果音, which turns the cues off or on.
menu_sound() { choose_from_menu o k; }
# The recording ends with the server; a new one starts with the new server.
recordings=("$folder/rec.raw")
restart_server() {
  stop_process "$rec"
  stop_process "$sound_server"
  start_sound_server
  recordings+=("$folder/rec${#recordings[@]}.raw")
  start_recording "${recordings[-1]}"
}
[ -z "$typed" ] || expected=(click click) limit=10
game_settings "$mode" "$limit" "$program" "$hero" "$rival" "$miss" >"$program/tatak.ini"

start_sound_server
start_x_server
"$python" "$here/cues.py" click "$folder/click.raw"
click() { pacat --playback --raw --format=s16le --rate=22050 --channels=1 <"$folder/click.raw"; }

if [ "$case" = closecue ]; then
  # Each round: a hit, and the window closed by ﾌｧｲﾙ, "タイプ闘記"の終了 while
  # its cue sounds (eya.wav lasts 234 ms).
  start_recording "$folder/rec.raw"
  rounds=6
  for round in $(seq "$rounds"); do
    launch "$program/typetoki" >"$folder/game$round.log" 2>&1
    game=$launched
    pass_splash_and_start
    wait_until_playing
    xdotool windowfocus "$main"
    sleep 0.3
    xdotool key e
    sleep 0.05
    choose_from_menu f e
    status=0
    for _ in $(seq 100); do kill -0 "$game" 2>/dev/null || break; sleep 0.05; done
    kill -0 "$game" 2>/dev/null && fail "round $round: the game did not end when closed"
    wait "$game" || status=$?
    stop_process "$game"
    [ "$status" -eq 0 ] || fail "round $round: the game ended with status $status"
    ! grep -i 'assert\|abort' "$folder/game$round.log" || fail "round $round: see the game's log"
  done
  stop_process "$rec"
  heard=$("$python" "$here/cues.py" heard "$folder/rec.raw" "$bin")
  [ "$(wc -w <<<"$heard")" -eq "$rounds" ] && ! grep -qv '^eya' <<<"$(tr ' ' '\n' <<<"$heard")" ||
    fail "heard '$heard', expected a hero cue, whole or cut, for each of $rounds rounds"
  echo "PASSED: $rounds closes during a cue, each with status 0; heard $heard"
  exit 0
fi

# Recording starts before the game, so the sink is known to be quiet before
# the first key.
start_recording "${recordings[0]}"
[ -z "$typed" ] || click
launch "$program/typetoki" >"$folder/game.log" 2>&1
game=$launched
pass_splash_and_start
if [ -n "$typed" ]; then
  play_to_high_score "$typed" "$program"
  click
  sleep 0.2
else
  wait_until_playing
  xdotool windowfocus "$main"
  sleep 0.3
  steps=$(printf '%s' "${keys[@]}")
  steps=${steps//[^@]/}
  keys_typed=$(( ${#keys[@]} / 2 - ${#steps} ))
  set -- "${keys[@]}"
  while [ $# -gt 0 ]; do
    case $1 in
      @*) "${1#@}" ;;
      *) xdotool key "$1" ;;
    esac
    sleep "$2"
    shift 2
  done
  # However late a busy machine let the game judge the last key, its cue is
  # recorded to its end.
  for _ in $(seq 100); do
    [ "$(grep -cE 'typetoki.game: (hit|miss)$' "$TYPETOKI_LOG" || true)" -lt "$keys_typed" ] || break
    sleep 0.1
  done
  sleep "$([ "$case" = cutoff ] && echo 2.2 || echo 0.6)"
fi
stop_process "$rec"
quit_game

# The cues the keys sounded: a hit the line's cue, a miss ahh.wav, none
# while the cues were off; as the game's log says it judged them.
if [ ${#expected[@]} -eq 0 ]; then
  hit=$([ "$mode" = 1 ] && echo eya || echo hiku)
  read -ra expected < <(awk -v hit="$hit" '
    $2 == "typetoki.sound:" && $3 == "cues" { off = $4 == "off" }
    $2 == "typetoki.game:" && ($3 == "hit" || $3 == "miss") && !off { printf "%s ", $3 == "hit" ? hit : "ahh" }
    END { print "" }' \
    "$TYPETOKI_LOG")
elif [ -z "$typed" ]; then
  judged=$(grep -cE 'typetoki.game: (hit|miss)$' "$TYPETOKI_LOG" || true)
  [ "$judged" -eq "$keys_typed" ] ||
    fail "the game judged $judged keys of those typed: $(grep typetoki.game "$TYPETOKI_LOG" | tr '\n' ' ')"
fi
heard=$("$python" "$here/cues.py" played "$cues" "${expected[*]}" "${recordings[@]}") ||
  fail "heard $heard, not as the keys the game judged must sound: see above"
[ "$case" != cutoff ] || [ "${heard##*(}" != "0 cut off)" ] ||
  fail "no key came before the cue it followed had ended, so nothing was cut off: $heard"
levels=""
for recording in "${recordings[@]}"; do
  levels+=" $("$python" "$here/cues.py" levels "$recording" "$cues")"
done
if [ -z "$typed" ]; then
  # Every cue at the level asked for, within 1 dB.
  awk -v want="$level" -v got="$levels" 'BEGIN {
    n = split(got, g, " ")
    for (i = 1; i <= n; i++) if (g[i] < want * 10 ^ (-1 / 20) || g[i] > want * 10 ^ (1 / 20)) exit 1 }' ||
    fail "levels$levels, expected $level each"
fi
case $case in
  mute) grep -qx 'on=true' "$program/typetoki.conf" || fail "typetoki.conf lost the choice: $(cat "$program/typetoki.conf")" ;;
esac
[ -z "$typed" ] || check_logged_record "$program" "$mode" 10 "$(single_passes 30 1)"
echo "PASSED: heard $heard; levels$levels"
