#!/bin/sh
# Builds the Debian package and the portable archive from a finished build,
# unpacks both into a scratch folder, checks what a desktop and a player would
# find there, and starts the unpacked program far enough to show its splash.
# Exit 77 (skipped) when the Debian tools it needs are missing; under
# CI=true, where they are installed, that is a failure instead.
set -eu

build=$1
fail() { echo "FAIL: $*"; exit 1; }
for tool in cpack dpkg-deb dpkg-shlibdeps desktop-file-validate appstreamcli lintian; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        [ "${CI:-}" != true ] || fail "$tool is not installed, and CI=true allows no skip"
        echo "SKIP: $tool is not installed"
        exit 77
    fi
done

# The tools' temporary files (lintian leaves some) go with the scratch folder.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir "$scratch/tmp"
TMPDIR="$scratch/tmp"
export TMPDIR

cpack --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1 ||
    { cat "$scratch/cpack.log"; fail "cpack"; }
set -- "$scratch"/out/typetoki_*.deb
[ -f "$1" ] || fail "no .deb in $(ls "$scratch/out")"
deb=$1
set -- "$scratch"/out/typetoki-*-portable.tar.gz
[ -f "$1" ] || fail "no portable .tar.gz in $(ls "$scratch/out")"
tgz=$1

# The dependencies the program's libraries need, found by dpkg-shlibdeps, and the
# fonts, the SQLite driver and MeCab's dictionary it cannot see.
depends=$(dpkg-deb -f "$deb" Depends)
for needed in libqt6core6 libqt6gui6 libqt6widgets6 libsndfile1 libsamplerate0 libpulse0 libc6 libmecab2 \
    fonts-ipafont-gothic libqt6sql6-sqlite mecab-ipadic-utf8 mecab-ipadic; do
    # Whole names: mecab-ipadic is not found in mecab-ipadic-utf8.
    case ", $depends," in
        *[\ ,]"$needed"[\ ,]*) ;;
        *) fail "Depends lacks $needed: $depends" ;;
    esac
done

case "$(dpkg-deb -f "$deb" Recommends)" in
    *libqt6sql6-psql*) ;;
    *) fail "Recommends lacks libqt6sql6-psql" ;;
esac

lintian --fail-on error --suppress-tags no-manual-page "$deb" >"$scratch/lintian.log" 2>&1 ||
    { cat "$scratch/lintian.log"; fail "lintian reports errors"; }
cat "$scratch/lintian.log"

root=$scratch/root
dpkg -x "$deb" "$root"
for f in bin/typetoki lib/typetoki/typetoki lib/typetoki/eya.wav lib/typetoki/hiku.wav \
    lib/typetoki/ahh.wav lib/typetoki/test.txt share/applications/typetoki.desktop \
    share/icons/hicolor/scalable/apps/typetoki.svg \
    share/doc/typetoki/copyright; do
    [ -s "$root/usr/$f" ] || fail "/usr/$f is missing from the package"
done
for n in 32 48 64 128 256; do
    png=$root/usr/share/icons/hicolor/${n}x$n/apps/typetoki.png
    [ -s "$png" ] || fail "the $n px icon is missing"
    # Width and height sit at bytes 16-23 of a PNG's header chunk.
    size=$(od -An -tu1 -j16 -N8 "$png" | awk '{print $3*256+$4 "x" $7*256+$8}')
    [ "$size" = "${n}x$n" ] || fail "the $n px icon is $size"
done
[ -x "$root/usr/bin/typetoki" ] || fail "the launcher is not executable"

desktop-file-validate "$root/usr/share/applications/typetoki.desktop" ||
    fail "desktop-file-validate"
set -- "$root"/usr/share/metainfo/*.metainfo.xml
if [ $# -ne 1 ] || [ ! -s "$1" ]; then fail "expected one metainfo file, found: $*"; fi
appstreamcli validate --no-net --explain "$1" || fail "appstreamcli validate"

# Started through each way a player would start it. A program still showing
# its splash when timeout stops it (exit 124) has started; anything else
# ended too early or crashed. The player's folders point into the scratch
# folder so nothing is left in the real home.
started() {
    status=0
    HOME=$scratch/home XDG_DATA_HOME=$scratch/home/.local/share XDG_RUNTIME_DIR=$scratch/run \
        QT_QPA_PLATFORM=offscreen timeout 3 "$1" >"$scratch/run.log" 2>&1 || status=$?
    [ "$status" -eq 124 ] || { cat "$scratch/run.log"; fail "$1 ended with $status before the timeout"; }
}
mkdir -p "$scratch/home" "$scratch/run"
chmod 700 "$scratch/run"
started "$root/usr/bin/typetoki"

mkdir "$scratch/portable"
tar -xzf "$tgz" -C "$scratch/portable"
listing=$(cd "$scratch/portable" && find . -mindepth 1 | sort | tr '\n' ' ')
[ "$listing" = "./typetoki ./typetoki/ahh.wav ./typetoki/eya.wav ./typetoki/hiku.wav ./typetoki/test.txt ./typetoki/typetoki " ] ||
    fail "the portable archive holds: $listing"
started "$scratch/portable/typetoki/typetoki"

echo "PASS"
