#!/usr/bin/env bash
# A picture of a training line half typed as romaji, with no input method
# anywhere, taken during the romaji game of the end-to-end tests:
#   scripts/romaji_screenshot.sh [build-dir] [out.png]
set -euo pipefail
build=${1:-build}
out=${2:-docs/romaji.png}
mkdir -p "$(dirname "$out")"
bash "$(dirname "$0")/../tests/e2e/romaji_game.sh" "$build/bin" "$(realpath "$out")"
echo "$out"
