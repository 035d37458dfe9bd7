#!/usr/bin/env bash
# Writes the seeds of fuzz_cuefile into DIR (fuzz/corpus/fuzz_cuefile when
# left out): a few hundredths of a second of the game's own cues in every
# file format and encoding libsndfile reads that a player might bring, at
# rates and channel counts the cues must be converted from. Needs sox and
# sndfile-convert (Debian: sox sndfile-programs), which the game does not.
#   fuzz/make_cue_seeds.sh [DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-fuzz/corpus/fuzz_cuefile}
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# The whole of the shortest cue, as the game ships it.
cp assets/hiku.wav "$out/hiku.wav"

# Clips: mono at the assets' rate, stereo at 44.1 and 48 kHz, six channels.
sox assets/eya.wav "$tmp/mono.wav" trim 0.05 0.03
sox assets/hiku.wav -r 44100 -c 2 "$tmp/stereo44.wav" trim 0.05 0.02
sox assets/ahh.wav -r 48000 -c 2 "$tmp/stereo48.wav" trim 0.05 0.02
sox assets/ahh.wav -r 44100 -c 6 -b 24 "$out/wavex-6ch-24bit.wav" trim 0.05 0.005
sox assets/eya.wav -r 8000 -c 1 "$tmp/mono8k.wav" trim 0.05 0.05

cp "$tmp/stereo48.wav" "$out/wav-48k-stereo.wav"
for enc in pcmu8 pcm24 pcm32 float32 float64 ulaw alaw ima-adpcm ms-adpcm; do
  sndfile-convert "-$enc" "$tmp/mono.wav" "$out/wav-$enc.wav"
done
sndfile-convert -gsm610 "$tmp/mono8k.wav" "$out/wav-gsm610.wav"
sndfile-convert -float32 "$tmp/stereo48.wav" "$out/wav-48k-float.wav"
sndfile-convert "$tmp/mono.wav" "$out/mono.flac"
sndfile-convert -pcm24 "$tmp/stereo44.wav" "$out/stereo-24bit.flac"
sndfile-convert -vorbis "$tmp/mono.wav" "$out/mono.ogg"
sndfile-convert -vorbis "$tmp/stereo44.wav" "$out/stereo.ogg"
sndfile-convert -opus "$tmp/stereo48.wav" "$out/stereo-opus.ogg"
for ext in aif au caf w64 voc ircam nist paf svx mat; do
  sndfile-convert "$tmp/mono.wav" "$out/mono.$ext"
done
sndfile-convert -alac16 "$tmp/stereo44.wav" "$out/alac.caf"
sndfile-convert -dwvw16 "$tmp/mono.wav" "$out/dwvw.aif"
echo "$(find "$out" -type f | wc -l) seeds in $out"
