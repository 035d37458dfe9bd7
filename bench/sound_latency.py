"""Key-to-sound latency of the real game: the driver and the figures.

    sound_latency.py play KEYS TIMES.json
        With the game's main window focused (DISPLAY) and the sink being
        recorded (PULSE_SERVER): plays calibration clicks through a pacat
        stream opened beforehand, sends KEYS hits on the hero line through
        XTest, plays the clicks again, and writes when each was sent.
    sound_latency.py report RECORDING.raw TIMES.json CUE_FOLDER
        Finds the clicks and the cues in the recording and prints the figures.

Each time taken is time.monotonic() right after the click's samples were
handed to pacat, or right after XFlush sent the key press to the X server.
The clicks tie the recording's time line to that clock: a click sent at t
and heard at sample n puts sample n at t plus what a stream already open
takes to carry a sound into the sink. A key's latency is then how much longer
than that the game took from the key press to its cue's first sample. The
clicks' spread around the line fitted through them tells how far that tie can
be trusted.
"""

import ctypes
import json
import os
import random
import subprocess
import sys
import time
from pathlib import Path

import numpy as np

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / 'tests' / 'e2e'))
import cues  # noqa: E402

CLICKS = 5                  # before the keys, and as many after
CLICK_GAP = (0.25, 0.35)    # seconds between clicks, at random
# Keys come further apart than eya.wav lasts (234 ms) plus the latency, so
# that each cue ends before the next begins; at random, so that the keys do
# not fall at one phase of the sink's period every time.
KEY_GAP = (0.30, 0.40)
HERO_KEYS = 'eya'


def _xtest():
    x11 = ctypes.CDLL('libX11.so.6')
    xtst = ctypes.CDLL('libXtst.so.6')
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XStringToKeysym.restype = ctypes.c_ulong
    x11.XStringToKeysym.argtypes = [ctypes.c_char_p]
    x11.XKeysymToKeycode.restype = ctypes.c_ubyte
    x11.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
    x11.XFlush.argtypes = [ctypes.c_void_p]
    x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
    xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
    display = x11.XOpenDisplay(None)
    if not display:
        sys.exit('cannot open the X display')
    codes = {k: x11.XKeysymToKeycode(display, x11.XStringToKeysym(k.encode())) for k in HERO_KEYS}

    def press(key):
        """Sends a key press (and its release) and returns when it left."""
        xtst.XTestFakeKeyEvent(display, codes[key], 1, 0)
        x11.XFlush(display)
        sent = time.monotonic()
        xtst.XTestFakeKeyEvent(display, codes[key], 0, 0)
        x11.XSync(display, 0)
        return sent

    return press


def play(keys, times_path):
    sound = cues.click_to_play().tobytes()
    pacat = subprocess.Popen(['pacat', '--playback', '--raw', '--format=s16le',
                              f'--rate={cues.RATE}', '--channels=1', '--latency-msec=10'],
                             stdin=subprocess.PIPE)
    time.sleep(1)           # connected, and its stream set up

    def clicks():
        sent = []
        for _ in range(CLICKS):
            os.write(pacat.stdin.fileno(), sound)
            sent.append(time.monotonic())
            time.sleep(random.uniform(*CLICK_GAP))
        return sent

    press = _xtest()
    before = clicks()
    pressed = []
    for i in range(keys):
        pressed.append(press(HERO_KEYS[i % 3]))
        time.sleep(random.uniform(*KEY_GAP))
    after = clicks()
    time.sleep(0.3)
    pacat.stdin.close()
    pacat.wait()
    Path(times_path).write_text(json.dumps({'clicks': before + after, 'keys': pressed}))


def report(recording_path, times_path, cue_folder):
    times = json.loads(Path(times_path).read_text())
    heard = cues.segment(cues.read_raw(recording_path), cues.references(cue_folder))
    words = [h.word for h in heard]
    expected = ['click'] * CLICKS + ['eya'] * len(times['keys']) + ['click'] * CLICKS
    if words != expected:
        for h in heard:
            print(h.describe(), file=sys.stderr)
        sys.exit(f'heard {len(words)} sounds, not the {len(expected)} sent: {" ".join(words)}')
    onsets = np.array([h.onset / cues.RATE for h in heard])
    sent = np.array(times['clicks'])
    offsets = np.concatenate((onsets[:CLICKS], onsets[-CLICKS:])) - sent
    # The recording's clock runs a little off the system's (the sink counts
    # whole blocks of samples), so the offset is a line through the clicks
    # before the keys and after them, not one number.
    slope, intercept = np.polyfit(sent, offsets, 1)
    spread = (offsets - (intercept + slope * sent)) * 1000
    keys = np.array(times['keys'])
    latency = (onsets[CLICKS:-CLICKS] - (intercept + slope * keys) - keys) * 1000

    def ms(x):
        return f'{x:6.1f} ms'
    print(f'keys:                      {len(latency)}')
    print(f'latency above reference:   median {ms(np.median(latency))}, '
          f'95th percentile {ms(np.percentile(latency, 95))}, '
          f'min {ms(latency.min())}, max {ms(latency.max())} (key {int(latency.argmax()) + 1}; '
          f'the first key {ms(latency[0])})')
    print(f'calibration clicks:        {len(spread)}, spread {ms(spread.min())} to {ms(spread.max())} '
          f'around the line through them; the recording\'s clock {slope * 1e6:+.0f} ppm off')
    # A cue is felt as part of its key press within about 10 ms.
    median, p95 = np.median(latency), np.percentile(latency, 95)
    verdict = 'met' if median < 8 and p95 < 10 else 'NOT met'
    print(f'goal: median under 8 ms and 95th percentile under 10 ms: {verdict}')


if __name__ == '__main__':
    if len(sys.argv) == 4 and sys.argv[1] == 'play':
        play(int(sys.argv[2]), sys.argv[3])
    elif len(sys.argv) == 5 and sys.argv[1] == 'report':
        report(*sys.argv[2:])
    else:
        sys.exit(__doc__)
