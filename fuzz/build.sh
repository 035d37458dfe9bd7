#!/usr/bin/env bash
# Builds the fuzz targets with clang's libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer into build-fuzz/. See fuzz/README.md.
set -euo pipefail
cd "$(dirname "$0")/.."

CXX=${CXX:-clang++}
out=build-fuzz
mkdir -p "$out"

# Qt's headers insist on position-independent code.
flags=(-std=c++20 -g -O1 -fPIC -fno-omit-frame-pointer
       -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all
       -I. $(pkg-config --cflags Qt6Core))
libs=($(pkg-config --libs Qt6Core))

engine=(engine/numbers.cpp engine/textread.cpp engine/cp932.cpp engine/regularfile.cpp)
persistence=(persistence/textfile.cpp persistence/settingsfile.cpp persistence/scorefile.cpp
             persistence/datafolder.cpp)

build() {
  local target=$1
  shift
  echo "building $out/$target"
  "$CXX" "${flags[@]}" "fuzz/$target.cpp" "$@" -o "$out/$target" "${libs[@]}"
}

build fuzz_numbers "${engine[0]}" &
build fuzz_cp932 "${engine[@]:1}" "${persistence[0]}" &
wait
build fuzz_settings "${engine[@]}" "${persistence[0]}" "${persistence[1]}" "${persistence[3]}" &
build fuzz_scores "${engine[@]}" "${persistence[0]}" "${persistence[@]:2}" &
wait
