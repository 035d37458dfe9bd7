#!/bin/bash
# Remakes the files the game ships beside its executable: the three cues
# (eya.wav, hiku.wav, ahh.wav) and the default training text (test.txt).
# The outputs are committed, so this only needs running when they change.
#
# Needs: espeak-ng, sox, iconv (Debian packages espeak-ng, sox, libc-bin).
# Usage: assets/make_assets.sh [output-dir]   (default: this script's folder)
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
out=${1:-$here}
mkdir -p "$out"

for tool in espeak-ng sox iconv; do
  command -v "$tool" >/dev/null || { echo "missing tool: $tool" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# -R seeds sox's random numbers the same on every run, so remaking the files
# from unchanged inputs gives the same bytes and no spurious diff.
sx() { sox -R -V1 "$@"; }

# Intermediates are 32-bit float so the layering and level changes below do
# not pile up rounding noise before the one final conversion to 16 bits.
F=(-e floating-point -b 32)

# voice TEXT OUT "ESPEAK-ARGS" EFFECTS... : the spoken layer, shaped by the
# sox effects given, with its silence cut off both ends. espeak-ng pads its
# output with quiet and pitch shifting delays the sound further; a cue that
# waits before sounding feels laggy against the key press that set it off.
# Reversing around a fade-in fades the end out, which needs no known length
# and stops the voice ending on a click.
voice() {
  local text=$1 dst=$2 espeak_args=$3
  shift 3
  # shellcheck disable=SC2086  # the espeak-ng options are meant to split
  espeak-ng -v ja $espeak_args -w "$work/raw.wav" "$text"
  sx "$work/raw.wav" "${F[@]}" "$dst" "$@" \
    silence 1 0.001 1% reverse silence 1 0.001 1% fade t 0.03 reverse
}

# finish LAYERED OUT MAXLEN : the shipped form. The silence trim runs again
# because pitch shifting smears a little quiet in front; the short fade-in
# keeps the first sample from clicking; the cap keeps a cue shorter than the
# gap between fast keystrokes; -1 dBFS leaves headroom for the player's mixer.
# The fades run in a pass of their own: after a trim sox fades to the trim's
# end point, padding a shorter sound with silence up to it.
finish() {
  local src=$1 dst=$2 maxlen=$3
  sx "$src" "${F[@]}" "$work/trimmed.wav" \
    silence 1 0.001 1% reverse silence 1 0.001 1% reverse trim 0 "$maxlen"
  sx "$work/trimmed.wav" -b 16 -e signed-integer -c 1 -r 22050 "$dst" \
    fade t 0.0025 0 0.04 norm -1
}

# eya: the hero's chant. A bright voice raised in pitch over a high bell
# strike, so it reads as a clean hit.
voice "えや！" "$work/eya_voice.wav" "-s 200 -p 75" pitch 300
sx -n "${F[@]}" -c 1 -r 22050 "$work/eya_tone.wav" \
  synth 0.16 sine 1760 synth 0.16 sine mix 2640 fade q 0 0.16 0.15 vol 0.5
sx -m "$work/eya_voice.wav" "$work/eya_tone.wav" "${F[@]}" "$work/eya_mix.wav"
finish "$work/eya_mix.wav" "$out/eya.wav" 0.45

# hiku: the rival's chant. A deep, gritty voice over a low square buzz, so it
# cannot be mistaken for the hero's even when heard for a split second.
voice "ひく！" "$work/hiku_voice.wav" "-s 220 -p 25" pitch -250 overdrive 8
sx -n "${F[@]}" -c 1 -r 22050 "$work/hiku_tone.wav" \
  synth 0.14 square 220 lowpass 1800 fade q 0 0.14 0.13 vol 0.35
sx -m "$work/hiku_voice.wav" "$work/hiku_tone.wav" "${F[@]}" "$work/hiku_mix.wav"
finish "$work/hiku_mix.wav" "$out/hiku.wav" 0.45

# ahh: the miss. A low, slow voice bent downward over a falling hum, the
# sound of a blow landing on oneself.
voice "あー" "$work/ahh_voice.wav" "-s 130 -p 15" pitch -300 bend 0.05,-400,0.3
sx -n "${F[@]}" -c 1 -r 22050 "$work/ahh_tone.wav" \
  synth 0.5 sine 260:110 fade q 0.002 0.5 0.35 vol 0.3
sx -m "$work/ahh_voice.wav" "$work/ahh_tone.wav" "${F[@]}" "$work/ahh_mix.wav"
finish "$work/ahh_mix.wav" "$out/ahh.wav" 0.55

# test.txt: the default training text. Each line sits between bars so the
# blanks at either end stay visible here and no editor trims them; the bars
# are taken off below. The empty line, the blank-padded line and the line
# indented with an ideographic space are there on purpose: players' own texts
# have them, and the default text should show the game copes.
cat >"$work/test.utf8" <<'EOF'
|打鍵一閃、指先に魂を込めよ。|
|毎朝の稽古が、明日の速さを作る。|
|The quick brown fox jumps over the lazy dog.|
|　心を静め、画面の文字だけを見よ。|
|焦らず、正確に、そして速く。|
||
|  Practice makes perfect.  |
|一打ごとに、昨日の自分を超えていく。|
|構えは軽く、手首は柔らかく。|
|誤字を恐れるな、恐れるべきは怠け心だ。|
|Keep your eyes on the screen, not on the keys.|
|千里の道も一打から。|
|礼に始まり、礼に終わる。|
EOF

# Code page 932 with CR LF and no byte-order mark is the form the game's text
# files have always had, and the form players' old files arrive in.
LC_ALL=C sed -e 's/^|//' -e 's/|$//' -e 's/$/\r/' "$work/test.utf8" \
  | iconv -f UTF-8 -t CP932 >"$work/test.txt"
mv "$work/test.txt" "$out/test.txt"

for f in eya hiku ahh; do
  printf '%-5s %ss\n' "$f" "$(soxi -D "$out/$f.wav")"
done
