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
#   cutoff:  rival keys typed faster than a cue lasts. Each new cue must cut
#            the one playing off: the earlier one heard only up to the new
#            one's onset, and from there on only the new one, which would not
#            match as it does had the earlier one gone on beneath it.
#   missing: a hero game whose hit and miss cues name files that do not
#            exist, and
#   broken:  a rival game whose hit cue is garbage bytes and whose miss cue a
#            WAV header cut short, both named .wav: thirty hits, then a miss,
#            must give silence and no message, and the game must end on time
#            and write the record those keys make to tkscore.ini. The test
#            plays a click of its own before the game and another once the
#            record is written, so the recording is known to have been live
#            all along: it must hold those two clicks and nothing else.
# Usage: real_sound.sh BIN_DIR [hero|rival|cutoff|missing|broken]. Exit 77
# (skipped) where a tool is missing or no sound server can be started.
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
# lasts 234 ms, hiku.wav 337 ms, ahh.wav 470 ms. For the cases played to the
# board: the keys typed (by xdotool type --delay 100, a key every 50 ms).
hero=$program/eya.wav rival=$program/hiku.wav miss=$program/ahh.wav typed=""
case $case in
  hero)
    # The hero line is "eyaeya...": four hits, a miss (q) that leaves the
    # line where it was, then the two letters that follow the fourth hit.
    mode=1
    keys=(e .4 y .4 a .4 e .4 q .7 y .4 a .4)
    expected=(eya eya eya eya ahh eya eya) ;;
  rival)
    # The rival line is "hikuhiku...".
    mode=2
    keys=(h .5 i .5 k .5 u .5 q .7 h .5 i .5)
    expected=(hiku hiku hiku hiku ahh hiku hiku) ;;
  cutoff)
    # Hit after hit, a miss on a sounding hit, and a hit on a sounding miss.
    mode=2
    keys=(h .15 i .15 q .3 k .15 u .6)
    expected=(hiku-cut hiku-cut ahh-cut hiku-cut hiku) ;;
  missing)
    mode=1 hero=$program/gone/eya.wav miss=$program/gone.wav
    typed=eyaeyaeyaeyaeyaeyaeyaeyaeyaeyaq ;;
  broken)
    mode=2 rival=$program/garbage.wav miss=$program/cut.wav
    head -c 4096 /dev/urandom >"$rival"
    head -c 30 "$program/ahh.wav" >"$miss"    # ends inside "fmt "
    typed=hikuhikuhikuhikuhikuhikuhikuhiq ;;
  *) fail "no such case: $case" ;;
esac
[ -z "$typed" ] || expected=(click click)
game_settings "$mode" 10 "$program" "$hero" "$rival" "$miss" >"$program/tatak.ini"

start_sound_server
start_x_server
"$python" "$here/cues.py" click "$folder/click.raw"
click() { pacat --playback --raw --format=s16le --rate=22050 --channels=1 <"$folder/click.raw"; }

# Recording starts before the game, so the sink is known to be quiet before
# the first key.
start_recording "$folder/rec.raw"
[ -z "$typed" ] || click
launch "$program/typetoki" >"$folder/game.log" 2>&1
game=$launched
pass_splash_and_start
if [ -n "$typed" ]; then
  play_to_high_score "$typed" "$program"
  click
  sleep 0.2
else
  sleep 3.6                                          # the countdown
  xdotool windowfocus "$main"
  sleep 0.3
  set -- "${keys[@]}"
  while [ $# -gt 0 ]; do
    xdotool key "$1"
    sleep "$2"
    shift 2
  done
fi
stop_process "$rec"
quit_game

heard=$("$python" "$here/cues.py" heard "$folder/rec.raw" "$bin") ||
  fail "the recording could not be analysed"
[ "$heard" = "${expected[*]}" ] || fail "heard '$heard', expected '${expected[*]}'"
[ -z "$typed" ] || check_record "$program" "$mode" 10 "$(single_passes 30 1)"
echo "PASSED: heard $heard"
