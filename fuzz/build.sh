#!/usr/bin/env bash
# Builds the fuzz targets of fuzz/CMakeLists.txt with clang's libFuzzer,
# AddressSanitizer and UndefinedBehaviorSanitizer into build-fuzz/fuzz/, from
# the same libraries as the game. See fuzz/README.md.
set -euo pipefail
cd "$(dirname "$0")/.."

out=build-fuzz
if [ ! -f "$out/CMakeCache.txt" ]; then
  # Debian's clang-14 comes without the plain name.
  cxx=${CXX:-$(command -v clang++ || command -v clang++-14 || echo clang++)}
  cmake -S . -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER="$cxx" \
    -DTYPETOKI_FUZZ=ON -DBUILD_TESTING=OFF -DTYPETOKI_BENCH=OFF -DCMAKE_COMPILE_WARNING_AS_ERROR=ON
fi
cmake --build "$out" --target typetoki_fuzz
