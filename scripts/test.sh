#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test, tier by tier:
#   game    build/, every test;
#   asan    build-asan/, the same under AddressSanitizer and
#           UndefinedBehaviorSanitizer, where any report fails the run;
#   fuzz    build-fuzz/, each fuzz target for 20 seconds on its corpus.
# Every tier runs even when one before it failed, so that a fault in one
# never hides another; a table of the tiers closes the run, and it fails if
# any tier did. A compiler warning fails a build, a test that leaves a file
# in its temporary folder fails its tier, and under CI=true (as .ci/run sets
# it) so do a skipped test and a file the run wrote under the home folder.
set -uo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh test || exit 1

# The run's start, for the files it must not have written under the home
# folder.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
touch "$scratch/start"

# Configures build folder $1 (with the settings that follow when it is new,
# keeping a developer's own otherwise) and builds everything in it. Warnings
# are errors here only: a player's newer compiler may warn where ours does
# not, and scripts/play.sh must still build.
build() {
  local dir=$1
  shift
  if [ -f "$dir/CMakeCache.txt" ]; then
    cmake -S . -B "$dir" -DCMAKE_COMPILE_WARNING_AS_ERROR=ON >/dev/null
  else
    cmake -S . -B "$dir" -G Ninja -DCMAKE_COMPILE_WARNING_AS_ERROR=ON "$@"
  fi && cmake --build "$dir"
}

# Runs the tests of build folder $1 with a temporary folder of their own,
# which they must leave empty; the other arguments go to ctest. The games
# under Xvfb mostly wait for time to pass, so several run at once. Adds what
# passed, failed and was skipped to the tier's counts.
passed=0 failed=0 skipped=0
run_tests() {
  local dir=$1 tmp status=0 left counts
  shift
  tmp=$(mktemp -d)
  chmod 711 "$tmp"    # the installed game is played by another user
  TMPDIR=$tmp ctest --test-dir "$dir" --output-on-failure --parallel 4 \
    --output-junit "$scratch/junit.xml" "$@" || status=$?
  left=$(find "$tmp" -mindepth 1 -maxdepth 1)
  rm -rf "$tmp"
  if [ -n "$left" ]; then
    echo "The tests left behind in their temporary folder:" "$left" >&2
    status=1
  fi
  # CTest counts a skipped test (exit 77) as neither.
  counts=$(python3 - "$scratch/junit.xml" <<'PY'
import sys, xml.etree.ElementTree as ET
try:
    s = ET.parse(sys.argv[1]).getroot()
    t, f, k = int(s.get('tests', 0)), int(s.get('failures', 0)), int(s.get('skipped', 0))
    print(t - f - k, f, k)
except (OSError, ET.ParseError):
    print(0, 0, 0)
PY
)
  rm -f "$scratch/junit.xml"
  read -r p f k <<<"$counts"
  passed=$((passed + p)) failed=$((failed + f)) skipped=$((skipped + k))
  [ "$status" -eq 0 ] || [ "$f" -gt 0 ] || failed=$((failed + 1))
  return $status
}

# Runs tier $1 (the function of that name), then notes its counts and time.
rows=() total_passed=0 total_failed=0 total_skipped=0
tier() {
  local name=$1 begun=$SECONDS
  passed=0 failed=0 skipped=0
  echo "===== tier $name"
  "tier_$name" || [ "$failed" -gt 0 ] || failed=1
  rows+=("$(printf '%-6s %7d %7d %8d %6ds' "$name" "$passed" "$failed" "$skipped" $((SECONDS - begun)))")
  total_passed=$((total_passed + passed)) total_failed=$((total_failed + failed))
  total_skipped=$((total_skipped + skipped))
}

tier_game() {
  build build -DCMAKE_BUILD_TYPE=RelWithDebInfo || return 1
  run_tests build --timeout 600
}

tier_asan() {
  build build-asan -DCMAKE_BUILD_TYPE=Debug -DTYPETOKI_BENCH=OFF \
    -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" || return 1
  local status=0
  export ASAN_OPTIONS="halt_on_error=1:abort_on_error=1:detect_leaks=1"
  export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
  export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
  # The sound cases judge cues to the millisecond and each runs alone; that
  # was done in build/. Here only the two that tear the stream down while
  # cues sound (the window closed, the server gone) run again, where a fault
  # in that teardown would show.
  run_tests build-asan --timeout 900 -LE sound || status=1
  run_tests build-asan --timeout 900 -R 'e2e_sound_(close_during_cue|server_restart)' || status=1
  unset ASAN_OPTIONS LSAN_OPTIONS UBSAN_OPTIONS
  return $status
}

tier_fuzz() {
  fuzz/build.sh || return 1
  local status=0
  fuzz/run.sh -j 2 20 | tee "$scratch/fuzz.log" || status=1
  passed=$(grep -c '^== .*: no finding$' "$scratch/fuzz.log")
  failed=$(grep -c '^== .*: found a crash$' "$scratch/fuzz.log")
  return $status
}

tier game
tier asan
tier fuzz

# Nothing the run started may have written under the home folder: the tests
# have homes of their own. The checkout itself may lie there.
home_files=$(find "$HOME" -xdev -path "$PWD" -prune -o -type f -newer "$scratch/start" -print 2>/dev/null)
echo
echo "tier    passed  failed  skipped   time"
printf '%s\n' "${rows[@]}"
if [ -n "$home_files" ]; then
  echo "Written under the home folder $HOME during the run:"
  echo "$home_files" | head -n 20
  [ "${CI:-}" != true ] || total_failed=$((total_failed + 1))
fi
echo "total: $total_passed passed, $total_failed failed, $total_skipped skipped"
[ "$total_failed" -eq 0 ]
