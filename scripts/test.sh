#!/usr/bin/env bash
# Sets up, builds and runs every test: once in build/, then once more with
# AddressSanitizer and UndefinedBehaviorSanitizer in build-asan/, where any
# report fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

ctest --test-dir build --output-on-failure --timeout 300

if [ ! -f build-asan/CMakeCache.txt ]; then
  cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTYPETOKI_BENCH=OFF \
    -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined"
fi
cmake --build build-asan --parallel
ASAN_OPTIONS="halt_on_error=1:abort_on_error=1:detect_leaks=1" \
LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0" \
UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1" \
  ctest --test-dir build-asan --output-on-failure --timeout 600
