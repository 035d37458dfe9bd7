#!/usr/bin/env bash
# The cues as a player hears them: a PulseAudio server of the test's own with
# a null sink, its monitor recorded with parec, and a 10-second hero game
# played in a real X server. Keys typed with gaps long enough for each cue to
# stand on its own in the recording; every cue heard is then told apart from
# the others by comparing it with the shipped WAV files, so the test proves
# that each hit sounded eya.wav and the miss ahh.wav, in the order typed.
# Usage: real_sound.sh BIN_DIR. Exit 77 (skipped) where a tool is missing or
# no X or sound server can be started.
set -euo pipefail
# shellcheck source=tests/e2e/common.sh
source "$(dirname "$0")/common.sh"
bin=$1
display=:${TYPETOKI_E2E_DISPLAY:-64}
# The game must show its windows on the X server started here.
unset QT_QPA_PLATFORM

for tool in pulseaudio pactl parec Xvfb xdotool python3; do
  command -v "$tool" >/dev/null || {
    echo "SKIPPED: $tool is not installed (Debian: pulseaudio, pulseaudio-utils, xvfb, xdotool, python3)" >&2
    exit 77
  }
done

folder=$(mktemp -d)
pulse="" xvfb="" game="" rec=""
stop_all() {
  # Order matters little, but the recorder goes before the server it reads.
  for pid in $game $rec $xvfb $pulse; do kill "$pid" 2>/dev/null || true; done
  for pid in $game $rec $xvfb $pulse; do wait "$pid" 2>/dev/null || true; done
}
trap 'stop_all; rm -rf "$folder"' EXIT

# A sound server of the test's own, reachable only through its socket in the
# temporary folder: the player's or the machine's own server (if any) is
# neither used nor disturbed. As root PulseAudio warns but runs in per-user
# mode; HOME points into the folder so that no cookie or state file of the
# real user is read or written. The sink runs at the cues' own format so that
# the recording holds their samples unresampled. Without norewinds the sink
# renders far ahead while idle and rewinds when a cue starts; its monitor has
# already passed on the rendered silence by then, so the recording loses the
# first part of a cue, or all of it, and its time line drifts from the clock.
mkdir -m 700 "$folder/run" "$folder/home"
export HOME=$folder/home XDG_RUNTIME_DIR=$folder/run PULSE_RUNTIME_PATH=$folder/run
export XDG_CONFIG_HOME=$folder/home/.config PULSE_STATE_PATH=$folder/home/state
export PULSE_SERVER=unix:$folder/run/native
unset PULSE_SINK PULSE_SOURCE
pulseaudio --daemonize=no --system=false --exit-idle-time=-1 -n --use-pid-file=no \
  --disable-shm=yes --log-target=stderr \
  --load="module-null-sink sink_name=rec rate=22050 channels=1 norewinds=1" \
  --load="module-native-protocol-unix auth-anonymous=1 socket=$folder/run/native" \
  >"$folder/pulse.log" 2>&1 &
pulse=$!
for _ in $(seq 100); do pactl info >/dev/null 2>&1 && break; sleep 0.05; done
if ! pactl info >/dev/null 2>&1; then
  cat "$folder/pulse.log" >&2
  echo "SKIPPED: no PulseAudio server could be started" >&2
  exit 77
fi
pactl set-default-sink rec

Xvfb "$display" -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=$display
for _ in $(seq 100); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.05; done
if ! xdotool getmouselocation >/dev/null 2>&1; then
  echo "SKIPPED: no X server could be started on $display" >&2
  exit 77
fi


# A program folder of the test's own: the game keeps its files beside itself.
program=$folder/game
mkdir "$program"
cp "$bin/typetoki" "$bin"/*.wav "$bin/test.txt" "$program/"
hero_game_settings "$program" > "$program/tatak.ini"


"$program/typetoki" >"$folder/game.log" 2>&1 &
game=$!
pass_splash_and_start

# Recording starts while the countdown runs, so the sink is known to be quiet
# before the first key and every cue begins after silence.
# --raw: given a file name, parec would write a sound file with a header.
parec --device=rec.monitor --raw --format=s16le --rate=22050 --channels=1 --latency-msec=10 \
  >"$folder/rec.raw" 2>"$folder/parec.log" &
rec=$!
for _ in $(seq 100); do [ -s "$folder/rec.raw" ] && break; sleep 0.05; done
[ -s "$folder/rec.raw" ] || { cat "$folder/parec.log" >&2; fail "the sink's monitor gave nothing to record"; }
sleep 3.6                                            # the countdown
xdotool windowfocus "$main"
sleep 0.3

# The hero line is "eyaeya...": four hits, a miss (q) that leaves the line
# where it was, then the two letters that follow the fourth hit. A hit's cue
# is shorter than the gap; the miss's cue is longer than 400 ms, so the key
# after it waits until that cue has ended and the next onset follows silence.
expected=(eya eya eya eya ahh eya eya)
for key in e y a e q y a; do
  xdotool key "$key"
  if [ "$key" = q ]; then sleep 0.7; else sleep 0.4; fi
done
sleep 0.6
kill "$rec"; wait "$rec" 2>/dev/null || true; rec=""
kill "$game"; wait "$game" 2>/dev/null || true; game=""

[ -s "$folder/rec.raw" ] || { cat "$folder/parec.log" >&2; fail "nothing was recorded"; }

heard=$(python3 - "$folder/rec.raw" "$program" <<'EOF'
import array, operator, sys, wave

RATE = 22050

def samples_of_raw(path):
    data = array.array('h')
    with open(path, 'rb') as f:
        data.frombytes(f.read())
    if sys.byteorder != 'little':
        data.byteswap()
    return data

def samples_of_wav(path):
    with wave.open(path) as w:
        if (w.getnchannels(), w.getsampwidth(), w.getframerate()) != (1, 2, RATE):
            sys.exit(f'{path}: not 16-bit mono at {RATE} Hz')
        data = array.array('h')
        data.frombytes(w.readframes(w.getnframes()))
    if sys.byteorder != 'little':
        data.byteswap()
    return data

recording = samples_of_raw(sys.argv[1])
cues = {name: samples_of_wav(f'{sys.argv[2]}/{name}.wav') for name in ('eya', 'hiku', 'ahh')}

# A null sink's monitor is digital silence between cues, so a low threshold
# finds onsets without picking up noise; the quiet run before an onset keeps
# the inside of one cue (pauses between syllables) from counting twice.
FRAME = RATE // 200                 # 5 ms
LOUD = 400                          # mean absolute level of a sounding frame
QUIET_FRAMES = 20                   # 100 ms of quiet before a new cue
def level(start):
    part = recording[start:start + FRAME]
    return sum(map(abs, part)) / max(len(part), 1)

onsets, quiet = [], QUIET_FRAMES
for start in range(0, len(recording) - FRAME, FRAME):
    if level(start) >= LOUD:
        if quiet >= QUIET_FRAMES:
            # The first sample of the frame that stands out from silence.
            first = next(i for i in range(max(start - FRAME, 0), start + FRAME)
                         if abs(recording[i]) >= LOUD / 4)
            onsets.append(first)
        quiet = 0
    else:
        quiet += 1

def first_sound(samples):
    peak = max(map(abs, samples))
    return next(i for i, s in enumerate(samples) if abs(s) >= peak / 20)

# Normalised cross-correlation of the cue's first 100 ms against the
# recording near the onset: insensitive to the mixer's gain, and telling
# voices apart by their waveform, not just by their loudness or length.
WINDOW = RATE // 10
SLACK = RATE // 100                 # 10 ms either way of the detected onset
def similarity(onset, cue):
    c0 = first_sound(cue)
    ref = cue[c0:c0 + WINDOW]
    ref_energy = sum(map(operator.mul, ref, ref))
    best = 0.0
    for lag in range(-SLACK, SLACK + 1):
        start = onset + lag
        if start < 0 or start + len(ref) > len(recording):
            continue
        part = recording[start:start + len(ref)]
        energy = sum(map(operator.mul, part, part))
        if energy == 0:
            continue
        score = sum(map(operator.mul, part, ref)) / (energy * ref_energy) ** 0.5
        best = max(best, score)
    return best

names = []
for onset in onsets:
    scores = {name: similarity(onset, cue) for name, cue in cues.items()}
    ranked = sorted(scores, key=scores.get, reverse=True)
    best, second = ranked[0], ranked[1]
    detail = ' '.join(f'{n}={scores[n]:.2f}' for n in ranked)
    print(f'onset at {onset / RATE:.3f} s: {detail}', file=sys.stderr)
    # A match must be close and clearly better than the next candidate.
    if scores[best] < 0.8 or scores[best] - scores[second] < 0.2:
        names.append('unknown')
    else:
        names.append(best)
print(' '.join(names))
EOF
) || fail "the recording could not be analysed"

[ "$heard" = "${expected[*]}" ] || fail "heard '$heard', expected '${expected[*]}'"
echo "PASSED: heard $heard"
