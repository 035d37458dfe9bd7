#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test: in build/, then
# once more in build-asan/ under AddressSanitizer and UndefinedBehaviorSanitizer,
# where any report fails the run, and last each fuzz target for 20 seconds on
# its corpus (build-fuzz/). A compiler warning fails the build, a test that
# leaves a file in its temporary folder fails the run, and under CI=true (as
# .ci/run sets it) so does a skipped test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh test

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
  fi
  cmake --build "$dir"
}

# Runs the tests of build folder $1 with a temporary folder of their own,
# which they must leave empty; the other arguments go to ctest. The games
# under Xvfb mostly wait for time to pass, so several run at once.
run_tests() {
  local dir=$1 tmp status=0 left
  shift
  tmp=$(mktemp -d)
  chmod 711 "$tmp"    # the installed game is played by another user
  TMPDIR=$tmp ctest --test-dir "$dir" --output-on-failure --parallel 4 "$@" || status=$?
  left=$(find "$tmp" -mindepth 1 -maxdepth 1)
  rm -rf "$tmp"
  if [ -n "$left" ]; then
    echo "The tests left behind in their temporary folder:" "$left" >&2
    status=1
  fi
  return $status
}

build build -DCMAKE_BUILD_TYPE=RelWithDebInfo
run_tests build --timeout 300

build build-asan -DCMAKE_BUILD_TYPE=Debug -DTYPETOKI_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined"
export ASAN_OPTIONS="halt_on_error=1:abort_on_error=1:detect_leaks=1"
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
# The sound cases judge cues to the millisecond and each runs alone; that was
# done in build/. Here only the two that tear the stream down while cues
# sound (the window closed, the server gone) run again, where a fault in that
# teardown would show.
run_tests build-asan --timeout 600 -LE sound
run_tests build-asan --timeout 600 -R 'e2e_sound_(close_during_cue|server_restart)'
unset ASAN_OPTIONS LSAN_OPTIONS UBSAN_OPTIONS

fuzz/build.sh
fuzz/run.sh -j 2 20
