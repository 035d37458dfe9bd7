"""What a recording of the sound server's sink heard: which cue began where,
how long each was heard, and whether a new one cut the previous one off.

The sink is a null sink at the cues' own format (16-bit mono, 22050 Hz) and
both the game's streams and the sink run at full volume, so a cue playing on
its own comes out of the monitor as it is in its file, and between cues the
monitor gives digital silence. The game plays at a rate of its own, which the
server converts back; so a cue lands between two of the sink's samples, and
each cue heard is compared with its file delayed by that fraction of a sample. A cue is therefore found by
normalised cross-correlation with the WAV files (insensitive to gain, telling
voices apart by waveform rather than loudness), then followed for as long as
the recording goes on being that cue alone: the sample where it stops is
where the cue ended, fell silent, or something else began.

Used as a module by the end-to-end tests and the latency benchmark, and as a
command:
    cues.py heard RECORDING.raw CUE_FOLDER   the cues heard, one word each
    cues.py played CUE_FOLDER "NAMES" RECORDING.raw...
                                             the same, judged against the cues
                                             the keys sounded (exit 1 on a fault)
    cues.py repeat IN.wav OUT.wav N          a cue file playing IN N times
    cues.py levels RECORDING.raw CUE_FOLDER  the level of each cue heard
                                             against its file, one a line
    cues.py click OUT.raw                    the calibration click to play
A word is the cue's name (eya, hiku, ahh, click), with -cut when the cue was
stopped before its end, mixed when the part that overlapped an unfinished
cue did not sound like the new cue alone, unclear when the keys came so late
that a mix could not have been told apart, or unknown.
"""

from dataclasses import dataclass, field
import sys
import wave

import numpy as np

RATE = 22050
CUE_NAMES = ('eya', 'hiku', 'ahh')

LOUD = 100                 # |sample| that counts as sound on a digital-silence sink
FRAME = RATE // 200        # 5 ms
HEAD = RATE // 20          # 50 ms of a cue's start identify it
SLACK = RATE // 100        # 10 ms either way of where the sound was first loud
QUIET = RATE // 10         # 100 ms of quiet end a sound no cue matches
END_SLACK = RATE // 200    # a cue heard to within 5 ms of its end was heard whole
DRIFT = 0.1                # how far a sample may stray from the cue, as a share

MATCH = 0.8                # an identification needs this score...
MARGIN = 0.2               # ...this far above the next candidate
ALONE = 0.98               # a cue heard alone scores at least this (1.0 when exact)
TELLING = 0.95             # a mix must have scored below this to be told apart
REST = 0.1                 # a cut cue's rest heard at more than this share played on
PHASES = 20                # fractions of a sample tried in lining a cue up
SETTLE = RATE // 1000      # a cue's first 1 ms may still hold the server's rate
                           # conversion of the sound it cut off


def read_raw(path):
    """Samples of a headerless s16le recording, as floats."""
    return np.fromfile(path, dtype='<i2').astype(np.float64)


def read_wav(path):
    with wave.open(str(path)) as w:
        if (w.getnchannels(), w.getsampwidth(), w.getframerate()) != (1, 2, RATE):
            raise ValueError(f'{path}: not 16-bit mono at {RATE} Hz')
        data = w.readframes(w.getnframes())
    return np.frombuffer(data, dtype='<i2').astype(np.float64)


def click():
    """10 ms of seeded noise whose very first sample is loud: its onset is
    sharp to the sample, and it resembles no voice."""
    burst = np.random.default_rng(932).uniform(-12000, 12000, RATE // 100)
    burst[0] = 12000
    return np.round(burst)


def click_to_play():
    """The click as a stream is to be fed it: the click, then 100 ms of
    silence in the same write, so that the stream starts at once and does not
    run dry on the click's last sample."""
    return np.concatenate((click(), np.zeros(RATE // 10))).astype('<i2')


def references(folder):
    refs = {name: read_wav(f'{folder}/{name}.wav') for name in CUE_NAMES}
    refs['click'] = click()
    return refs


def ncc(a, b):
    energy = float(a @ a) * float(b @ b)
    return float(a @ b) / energy ** 0.5 if energy > 0 else 0.0


@dataclass
class Heard:
    onset: int             # sample of the recording where the cue's first sample sounded
    name: str              # 'unknown' when no cue matched
    length: int            # samples heard before it ended or something else took over
    full: int              # the cue's own length
    score: float           # correlation over the part heard
    gain: float = 1.0      # its level against the file's
    # Over the part where a cue cut off by this one would have gone on:
    alone: float = None    # the score there (0 when the recording strayed from this cue)
    mix: float = None      # what a mix with the cut cue's rest would have scored
    rest: float = None     # how much of the cut cue's rest is heard, 1 for all of it
    ref: np.ndarray = field(default=None, repr=False)   # the file lined up with the recording

    @property
    def word(self):
        if self.name == 'unknown':
            return self.name
        if self.alone is not None:
            if self.alone < ALONE or abs(self.rest) > REST:
                return 'mixed'
            if self.mix >= TELLING:
                return 'unclear'
        return self.name if self.length >= self.full - END_SLACK else f'{self.name}-cut'

    def describe(self):
        text = (f'{self.onset / RATE:7.3f} s {self.name:7} heard {self.length * 1000 / RATE:4.0f}'
                f' of {self.full * 1000 / RATE:4.0f} ms, score {self.score:.3f}')
        if self.alone is not None:
            text += (f'; where the cue before would have gone on: score {self.alone:.3f},'
                     f' {self.mix:.3f} had it gone on, its rest heard at {self.rest:.2f}')
        return text


def _sliding_ncc(recording, ref, first, last):
    """Correlation of ref against the recording at every start first..last."""
    lo, hi = max(first, 0), min(last, len(recording) - len(ref))
    if hi < lo:
        return lo, np.zeros(0)
    part = recording[lo:hi + len(ref)]
    windows = np.lib.stride_tricks.sliding_window_view(part, len(ref))
    energy = np.sqrt(np.einsum('ij,ij->i', windows, windows) * float(ref @ ref))
    dots = windows @ ref
    return lo, np.divide(dots, energy, out=np.zeros_like(dots), where=energy > 0)


def _first_loud(ref):
    return int(np.argmax(np.abs(ref) >= LOUD))


def _identify(recording, refs, at):
    """The cue whose start best matches the sound first loud at sample at:
    (name, onset, scores of every candidate)."""
    scores, onsets = {}, {}
    for name, ref in refs.items():
        first_loud = _first_loud(ref)
        head = ref[SETTLE:HEAD]
        earliest = at - first_loud - SLACK + SETTLE
        lo, corr = _sliding_ncc(recording, head, earliest, earliest + 2 * SLACK)
        best = int(np.argmax(corr)) if len(corr) else 0
        scores[name] = float(corr[best]) if len(corr) else 0.0
        onsets[name] = lo + best - SETTLE
    ranked = sorted(scores, key=scores.get, reverse=True)
    if scores[ranked[0]] < MATCH or scores[ranked[0]] - scores[ranked[1]] < MARGIN:
        return 'unknown', at, scores
    return ranked[0], onsets[ranked[0]], scores


def _delayed(ref, fraction):
    """ref delayed by a fraction of a sample, band-limited."""
    if fraction == 0:
        return ref
    size = 1 << int(np.ceil(np.log2(len(ref) + 64)))
    spectrum = np.fft.rfft(ref, size) * np.exp(-2j * np.pi * np.fft.rfftfreq(size) * fraction)
    return np.fft.irfft(spectrum, size)[:len(ref)]


def _lined_up(recording, ref, onset):
    """(onset, ref delayed) that best match the recording over the cue's
    first 50 ms: the whole sample where the cue begins, from onset - 1 to
    onset, and the fraction of a sample it lies beyond that."""
    best = None
    for fraction in np.arange(PHASES) / PHASES:
        delayed = _delayed(ref, fraction)
        head = delayed[SETTLE:HEAD]
        for start in (onset - 1, onset):
            part = recording[max(start, 0) + SETTLE:max(start, 0) + SETTLE + len(head)]
            if len(part) < len(head):
                continue
            error = part - _gain(part, head) * head
            if best is None or error @ error < best[0]:
                best = (float(error @ error), max(start, 0), delayed)
    return (onset, ref) if best is None else best[1:]


def _gain(part, ref):
    """The level of part against the start of ref, fitted over 100 ms."""
    n = min(len(part), HEAD)
    return float(part[:n] @ ref[:n]) / float(ref[:n] @ ref[:n]) if n else 0.0


def _follow(recording, ref, onset):
    """How many samples from onset the recording goes on being ref alone:
    up to the first 5 ms whose difference from the cue holds more than a
    hundredth of its energy, and there to the first sample that strays."""
    part = recording[onset:onset + len(ref)]
    expected = _gain(part, ref) * ref[:len(part)]
    error = part - expected
    error[:SETTLE] = 0
    frames = len(part) // FRAME

    def energy(x):
        return (x[:frames * FRAME].reshape(frames, FRAME) ** 2).sum(axis=1)
    off = energy(error) > DRIFT ** 2 * energy(expected) + FRAME * LOUD ** 2
    if not off.any():
        return len(part)
    start = int(np.argmax(off)) * FRAME
    strays = np.abs(error[start:start + FRAME]) > LOUD + DRIFT * np.abs(expected[start:start + FRAME])
    return start + int(np.argmax(strays))


def _played_on(refs, before, start, length):
    """The cue before as it would have sounded from sample start on, had it
    played to its end, in a silence of the given length."""
    ref = before.ref
    out = np.zeros(length)
    end = min(before.onset + len(ref), length)
    if start < end:
        out[start:end] = before.gain * ref[start - before.onset:end - before.onset]
    return out


def _level_beneath(recording, ref, onset, rest):
    """How loud the rest of the cue before goes on beneath a new cue
    beginning at onset: 0 when it was cut off, 1 when it played on as it was.
    Fitted jointly with the new cue over the first 100 ms where both sound."""
    width = min(HEAD, len(ref), int(np.flatnonzero(rest)[-1]) + 1 - onset if rest.any() else 0)
    if width <= 0:
        return 0.0
    span = slice(onset, onset + width)
    both = np.column_stack((ref[:width], rest[span]))
    return float(np.linalg.lstsq(both, recording[span], rcond=None)[0][1])


def _best_reading(recording, refs, at, beneath):
    """The cue that began at sample at: (name, onset, samples heard, the
    recording with any rest of the cue before taken away), or the scores of
    every candidate when none matched.

    Where the cue before was still sounding there are two readings: it was
    cut off (the recording as it is), or it played on beneath the new one
    (the recording less its rest). The one that explains more of what follows
    wins, so that a mix is heard as one sound, not as a run of scraps."""
    best, first_scores = None, None
    readings = [recording] + ([recording - beneath] if beneath[at:].any() else [])
    for reading in readings:
        name, onset, scores = _identify(reading, refs, at)
        first_scores = first_scores or scores
        if name == 'unknown':
            continue
        onset, ref = _lined_up(reading, refs[name], onset)
        source = recording
        if beneath[at:].any():
            source = recording - _level_beneath(recording, ref, onset, beneath) * beneath
        length = _follow(source, ref, onset)
        if length >= FRAME and (best is None or length > best[2]):
            best = (name, onset, length, source, ref)
    return best, first_scores


def segment(recording, refs):
    """Every sound in the recording, in order, as Heard."""
    loud = np.abs(recording) >= LOUD
    loud_before = np.concatenate(([0], np.cumsum(loud)))
    heard, pos = [], 0
    while len(heard) < 1000:    # a recording of noise must not run on for ever
        rest = np.flatnonzero(loud[pos:])
        if not len(rest):
            break
        at = pos + int(rest[0])
        beneath = np.zeros(len(recording))
        if heard and heard[-1].name != 'unknown':
            earliest = at - SLACK - max(map(_first_loud, refs.values()))
            beneath = _played_on(refs, heard[-1], max(earliest, heard[-1].onset), len(recording))
        best, scores = _best_reading(recording, refs, at, beneath)
        if best is None:
            # Skip to the next 100 ms of quiet.
            end = at
            while end < len(recording) and loud_before[min(end + QUIET, len(recording))] > loud_before[end]:
                end += QUIET // 4
            detail = ' '.join(f'{n}={s:.2f}' for n, s in sorted(scores.items(), key=lambda x: -x[1]))
            print(f'{at / RATE:7.3f} s no cue matches: {detail}', file=sys.stderr)
            heard.append(Heard(at, 'unknown', end - at, end - at, 0.0))
            pos = end
            continue
        name, onset, length, source, ref = best
        part = source[onset:onset + length]
        heard.append(Heard(onset, name, length, len(ref), ncc(part, ref[:length]), _gain(part, ref),
                           ref=ref))
        pos = max(onset + length, at + 1)
    for before, now, after in zip(heard, heard[1:], heard[2:] + [None]):
        if 'unknown' not in (before.name, now.name):
            _check_alone(recording, refs, before, now, after.onset if after else len(recording))
    return heard


def _check_alone(recording, refs, before, now, next_onset):
    """Where now began while before would still have been sounding, up to
    the next sound: how well the recording there matches now alone (up to
    where now was heard, silence after that), what it would have scored had
    before gone on beneath it, and how much of before's rest it holds (0 when
    cut off, 1 when it played on)."""
    into = now.onset - before.onset
    overlap = min(before.full - into, now.full, next_onset - now.onset)
    if overlap <= 0:
        return
    heard = recording[now.onset:now.onset + overlap]
    alone = now.ref[:overlap].copy()
    alone[now.length:] = 0
    rest = before.gain * before.ref[into:into + overlap]
    gain = float(heard @ alone) / float(alone @ alone) if alone.any() else 0.0
    now.alone = ncc(heard, alone)
    now.mix = ncc(now.gain * alone + rest, alone)
    now.rest = float((heard - gain * alone) @ rest) / max(float(rest @ rest), 1.0)


def against_the_keys(heard, names, lengths=None):
    """What in the recordings (each a list of Heard, of so many samples)
    breaks the cut-off rule, given the cues that the keys which really
    reached the game must have sounded, in order: those cues and no other,
    each that the next began before its end heard up to that onset and not
    beneath the next, each other heard whole, or up to the recording's end.
    Judged on the onsets the game really gave the cues, however late a busy
    machine delivered the keys. Empty when all is well."""
    faults = []
    got = [h.name for rec in heard for h in rec]
    if got != list(names):
        faults.append(f'heard {" ".join(got) or "nothing"}, where the keys sounded {" ".join(names) or "nothing"}')
    for rec, length in zip(heard, lengths or [None] * len(heard)):
        for before, after in zip(rec, rec[1:] + [None]):
            due = after is not None and after.onset < before.onset + before.full - END_SLACK
            cut = before.length < before.full - END_SLACK
            if after is None and length is not None and before.onset + before.length >= length - END_SLACK:
                cut = False    # the recording ended first
            at = f'{before.onset / RATE:.3f} s'
            if due and after.word == 'mixed':
                faults.append(f'the {before.name} at {at} went on beneath the {after.name} that began'
                              f' {(after.onset - before.onset) * 1000 / RATE:.0f} ms into it')
            elif due and before.onset + before.length < after.onset - SLACK:
                faults.append(f'the {before.name} at {at} stopped before the next cue began')
            elif not due and cut:
                faults.append(f'the {before.name} at {at} was cut short with no cue after it')
    return faults


def cuts(heard):
    """How many cues of the recordings a later one cut off."""
    return sum(a.onset < b.onset + b.full - END_SLACK for rec in heard for b, a in zip(rec, rec[1:]))


def heard_words(recording_path, cue_folder):
    heard = segment(read_raw(recording_path), references(cue_folder))
    for h in heard:
        print(h.describe(), file=sys.stderr)
    return [h.word for h in heard]


def repeated(in_path, out_path, times):
    """A cue file that plays the cue times over: long enough that keys a
    busy machine delays still come before its end."""
    with wave.open(str(in_path)) as w:
        params, frames = w.getparams(), w.readframes(w.getnframes())
    with wave.open(str(out_path), 'wb') as out:
        out.setparams(params)
        out.writeframes(frames * times)


def main(argv):
    if len(argv) == 4 and argv[1] == 'heard':
        print(' '.join(heard_words(argv[2], argv[3])))
    elif len(argv) >= 5 and argv[1] == 'played':
        # played CUE_FOLDER "NAME ..." RECORDING...: the cue names the keys
        # sounded, judged against what the recordings heard.
        refs = references(argv[2])
        recordings = [read_raw(path) for path in argv[4:]]
        heard = [segment(rec, refs) for rec in recordings]
        for h in (h for rec in heard for h in rec):
            print(h.describe(), file=sys.stderr)
        print(' '.join(h.word for rec in heard for h in rec), f'({cuts(heard)} cut off)')
        faults = against_the_keys(heard, argv[3].split(), [len(rec) for rec in recordings])
        for fault in faults:
            print(fault, file=sys.stderr)
        sys.exit(1 if faults else 0)
    elif len(argv) == 5 and argv[1] == 'repeat':
        repeated(argv[2], argv[3], int(argv[4]))
    elif len(argv) == 4 and argv[1] == 'levels':
        for h in segment(read_raw(argv[2]), references(argv[3])):
            print(f'{h.gain:.4f}')
    elif len(argv) == 3 and argv[1] == 'click':
        click_to_play().tofile(argv[2])
    else:
        sys.exit(__doc__)


if __name__ == '__main__':
    main(sys.argv)
