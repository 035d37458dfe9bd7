#!/usr/bin/env bash
# Installs the Debian packages that are missing (with sudo when not root):
#   scripts/setup.sh game   what building and running the game needs
#   scripts/setup.sh test   that, and what the tests, the benchmarks, fuzzing
#                           and the package checks need besides
# Asks dpkg once for the whole list, so with nothing missing it takes a
# fraction of a second.
set -euo pipefail

# Building and running the game. A feature of the game that needs a package
# adds it here, and scripts/play.sh installs it; what only the tests use
# goes in the list below.
game_packages=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev libgl-dev qt6-qpa-plugins   # Qt Widgets; GL's headers for its CMake files; the X11 platform
  qt6-svg-dev                              # the desktop icons
  libsndfile1-dev libsamplerate0-dev       # reading the cue files and converting them once
  libpulse-dev                             # the one stream the cues play through
  fonts-ipafont-gothic                     # the Japanese screens
  mecab libmecab-dev mecab-ipadic-utf8     # readings of kanji for romaji practice
  mecab-ipadic                             # its source word lists, for practice texts
  qt6-charts-dev libqt6opengl6-dev         # the charts of the history (Qt Charts' CMake files want OpenGL's)
  libqt6sql6-sqlite libsqlite3-dev         # the history of games; SQLite itself for its bounds
  libqt6sql6-psql                          # boards shared on a PostgreSQL server
)

# The tests, the benchmarks and fuzzing, on top of the game's.
test_packages=(
  libgtest-dev libbenchmark-dev
  clang-14 libclang-rt-14-dev                              # fuzz targets
  locales                                                  # a decimal-comma locale
  dpkg-dev desktop-file-utils appstream lintian            # the package checks
  xvfb xdotool imagemagick python3 libx11-6 libxtst6       # games played under Xvfb
  pulseaudio pulseaudio-utils python3-numpy                # cues recorded and told apart
  fcitx5 fcitx5-anthy fcitx5-frontend-qt6 dbus-daemon      # the Japanese input method
  postgresql                                               # a server of their own for the shared boards
)

case ${1:-} in
  game) wanted=("${game_packages[@]}") ;;
  test) wanted=("${game_packages[@]}" "${test_packages[@]}") ;;
  *) echo "usage: scripts/setup.sh game|test" >&2; exit 2 ;;
esac

declare -A installed=()
while read -r name status; do
  [ "$status" = installed ] && installed[${name%%:*}]=1
done < <(dpkg-query -W -f='${Package} ${db:Status-Status}\n' "${wanted[@]}" 2>/dev/null || true)
missing=()
for p in "${wanted[@]}"; do
  [ -n "${installed[$p]:-}" ] || missing+=("$p")
done

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
if [ ${#missing[@]} -gt 0 ]; then
  # apt and dpkg say a thousand lines on a fresh system: they go to a log
  # in the checkout, and the player sees a line or two.
  log=$PWD/build-setup.log
  failed() { tail -n 20 "$log" >&2; echo "Installing failed: see $log" >&2; exit 1; }
  [ "$(id -u)" -eq 0 ] || sudo -v    # asks for the password here, not inside the log
  echo "Looking up ${#missing[@]} Debian packages (details in $log)..."
  "${sudo[@]}" apt-get update >"$log" 2>&1 || failed
  count=$(apt-get install -s --no-install-recommends "${missing[@]}" 2>>"$log" | grep -c '^Inst ') || failed
  echo "Installing $count packages..."
  {
    # Nobody reads the manual pages' index being rebuilt, which takes long.
    echo 'man-db man-db/auto-update boolean false' | "${sudo[@]}" debconf-set-selections
    # sudo clears the environment, so the variable is given after it.
    # Without a sync per file dpkg unpacks several times faster; a crash
    # meanwhile would leave nothing that apt-get cannot install again.
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive \
      apt-get install -y --no-install-recommends -o Dpkg::Options::=--force-unsafe-io "${missing[@]}"
  } >>"$log" 2>&1 || failed
fi

# A locale that writes a decimal comma, for the test that the game's
# numbers ignore it.
if [ "$1" = test ] && ! locale -a 2>/dev/null | grep -qix 'de_DE.utf-\?8'; then
  echo "Generating the de_DE.UTF-8 locale"
  "${sudo[@]}" sh -c "sed -i '/^# *de_DE.UTF-8 UTF-8/d' /etc/locale.gen; echo 'de_DE.UTF-8 UTF-8' >>/etc/locale.gen"
  "${sudo[@]}" locale-gen >/dev/null
fi
