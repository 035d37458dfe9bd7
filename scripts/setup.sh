#!/usr/bin/env bash
# Installs the Debian packages the game and its tests need (only those
# missing), then configures and builds into build/. Safe to run again: with
# nothing to install and nothing changed it takes a second or two.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-qpa-plugins libgl-dev
  libsndfile1-dev libsamplerate0-dev libpulse-dev
  libgtest-dev libbenchmark-dev
  clang-14 libclang-rt-14-dev
  fonts-ipafont-gothic
  qt6-svg-dev dpkg-dev desktop-file-utils appstream lintian
  xvfb xdotool imagemagick
  pulseaudio pulseaudio-utils python3 python3-numpy libx11-6 libxtst6
  fcitx5 fcitx5-anthy fcitx5-frontend-qt6 dbus-daemon
  mecab libmecab-dev mecab-ipadic-utf8
  qt6-charts-dev libqt6opengl6-dev libqt6sql6-sqlite
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

if [ ! -f build/CMakeCache.txt ]; then
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build build --parallel
