#!/usr/bin/env bash
# Installs what the game needs (only what is missing, with sudo when not
# root), builds the game alone into build-play/ and starts it; arguments go
# to the game. No test or benchmark is built, and build/, the developers'
# build, is never touched.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh game
if [ ! -f build-play/CMakeCache.txt ]; then
  echo "Building the game (its steps follow; the configuration's details in build-play/configure.log)..."
  mkdir -p build-play
  cmake -S . -B build-play -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DTYPETOKI_BENCH=OFF \
    >build-play/configure.log 2>&1 || { tail -n 20 build-play/configure.log >&2; exit 1; }
fi
cmake --build build-play --target typetoki
exec build-play/bin/typetoki "$@"
