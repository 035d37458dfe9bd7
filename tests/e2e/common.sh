# shellcheck shell=bash
# Steps shared by the games played for real under Xvfb; sourced, not run.

fail() { echo "FAILED: $*" >&2; exit 1; }

# tatak.ini for a 10-second hero game whose files are in program folder $1.
hero_game_settings() {
  printf '1\r\n10\r\n%s\r\n%s\r\n%s\r\n%s\r\n%s\r\n0.1\r\n' "$1/test.txt" \
    "$1/eya.wav" "$1/hiku.wav" "$1/ahh.wav" "$1/test.txt"
  for _ in $(seq 12); do printf '<<\x96\xa2\x8e\x67\x97\x70\x97\xcc\x88\xe6>>\r\n'; done
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

# Once the game has been launched: a click on the splash's frame, the main
# window moved to the corner (its id in $main), then START.
pass_splash_and_start() {
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
  eval "$(xdotool getwindowgeometry --shell "$main")"
  xdotool mousemove $((X + 260)) $((Y + 282)) click 1   # START
}
