"""The analysis of recordings (cues.py) on recordings put together here from
the shipped cues, where the truth is known: that it tells cues apart, finds
where each began to the sample, and says a cue was cut off only where the
rest of it is really missing, and mixed where it went on beneath the next.
Usage: cues_test.py CUE_FOLDER [unittest options]"""

import sys
import unittest

import numpy as np

import cues

RATE = cues.RATE
refs = None


def ms(t):
    return int(t * RATE / 1000)


def recording(*parts, length_ms=2000):
    """Silence with each (name, start ms[, heard ms[, gain]]) added in."""
    out = np.zeros(ms(length_ms))
    for name, start, *rest in parts:
        sound = refs[name][:ms(rest[0])] if rest and rest[0] else refs[name]
        gain = rest[1] if len(rest) > 1 else 1.0
        out[ms(start):ms(start) + len(sound)] += gain * sound
    return np.clip(np.round(out), -32768, 32767)


def words(rec):
    return [h.word for h in cues.segment(rec, refs)]


class Telling(unittest.TestCase):
    def test_cues_apart_are_each_heard_whole_from_their_first_sample(self):
        rec = recording(('eya', 100), ('ahh', 500), ('hiku', 1100), ('click', 1600))
        heard = cues.segment(rec, refs)
        self.assertEqual([h.word for h in heard], ['eya', 'ahh', 'hiku', 'click'])
        self.assertEqual([h.onset for h in heard], [ms(100), ms(500), ms(1100), ms(1600)])

    def test_the_level_does_not_matter(self):
        self.assertEqual(words(recording(('hiku', 100, None, 0.2), ('eya', 600, None, 0.5))),
                         ['hiku', 'eya'])

    def test_cues_landing_between_samples_are_heard_whole_and_cut_where_they_stop(self):
        # As the server's rate conversion puts them: a fraction of a sample late.
        rec = np.zeros(ms(1500))
        for name, start, fraction, heard in (('eya', 100, 0.3, None), ('ahh', 500, 0.55, 200),
                                             ('hiku', 700, 0.85, None)):
            sound = cues._delayed(refs[name], fraction)[:ms(heard) if heard else None]
            rec[ms(start):ms(start) + len(sound)] += sound
        rec = np.round(rec)
        self.assertEqual(words(rec), ['eya', 'ahh-cut', 'hiku'])
        # Where the cue's first sample lies, not the whole sample before it.
        self.assertEqual([h.onset for h in cues.segment(rec, refs)], [ms(100), ms(500), ms(700)])

    def test_a_sound_that_is_no_cue_is_unknown(self):
        rec = np.zeros(RATE)
        t = np.arange(RATE // 5) / RATE
        rec[1000:1000 + len(t)] = 8000 * np.sin(2 * np.pi * 440 * t)
        self.assertEqual(words(rec), ['unknown'])

    def test_silence_holds_nothing(self):
        self.assertEqual(words(np.zeros(RATE)), [])


class CuttingOff(unittest.TestCase):
    def test_a_cue_stopped_where_the_next_begins_is_cut(self):
        rec = recording(('hiku', 100, 150), ('hiku', 250, 150), ('ahh', 400, 300), ('hiku', 700))
        self.assertEqual(words(rec), ['hiku-cut', 'hiku-cut', 'ahh-cut', 'hiku'])

    def test_a_cue_cut_off_soon_after_its_start_is_still_told(self):
        # Keys 60 ms apart, faster than anyone types a chant.
        self.assertEqual(words(recording(('eya', 100, 60), ('eya', 160, 60), ('hiku', 220))),
                         ['eya-cut', 'eya-cut', 'hiku'])

    def test_a_gap_of_silence_between_the_two_is_still_a_cut(self):
        heard = cues.segment(recording(('ahh', 100, 280), ('eya', 400)), refs)
        self.assertEqual([h.word for h in heard], ['ahh-cut', 'eya'])
        self.assertEqual(heard[0].length, ms(280))
        self.assertAlmostEqual(heard[1].rest, 0.0, places=2)

    def test_a_cue_that_plays_on_beneath_the_next_is_heard_as_a_mix(self):
        self.assertEqual(words(recording(('hiku', 100), ('hiku', 260))), ['hiku-cut', 'mixed'])
        self.assertEqual(words(recording(('ahh', 100), ('eya', 400))), ['ahh-cut', 'mixed'])

    def test_the_rest_of_a_cut_cue_heard_faintly_is_still_a_mix(self):
        rec = recording(('ahh', 100, 300), ('eya', 400))
        rest = refs['ahh'][ms(300):]
        rec[ms(400):ms(400) + len(rest)] += 0.3 * rest
        heard = cues.segment(rec, refs)
        self.assertEqual(heard[1].word, 'mixed')

    def test_a_cue_begun_as_the_one_before_ends_cannot_tell_a_cut(self):
        # hiku.wav lasts 337 ms: 12 ms of it left would hardly change a mix.
        self.assertEqual(words(recording(('hiku', 100, 325), ('ahh', 425))),
                         ['hiku-cut', 'unclear'])


class AgainstTheKeys(unittest.TestCase):
    """Whether a cue had to be cut off follows from when the keys really
    reached the game, as the onsets show, not from when they were sent."""

    def test_the_cut_off_rule_is_judged_on_the_onsets_heard(self):
        cases = [
            # (what a case shows, the cues as heard, the cues the keys sounded, faults)
            ('keys far apart: each heard whole',
             [('eya', 100), ('eya', 500), ('ahh', 900)], 'eya eya ahh', 0),
            ('keys a busy machine bunched: cut where the next began',
             [('hiku', 100, 90), ('hiku', 190, 400), ('ahh', 590)], 'hiku hiku ahh', 0),
            ('a cue that went on beneath the next',
             [('hiku', 100), ('hiku', 260)], 'hiku hiku', 1),
            ('a cue cut short with nothing after it',
             [('eya', 100, 120), ('ahh', 900)], 'eya ahh', 1),
            ('a cue that stopped well before the next began',
             [('ahh', 100, 200), ('eya', 450)], 'ahh eya', 1),
            ('a key whose cue was never heard',
             [('eya', 100), ('eya', 500)], 'eya eya eya', 1),
        ]
        for what, parts, names, faults in cases:
            with self.subTest(what):
                heard = [cues.segment(recording(*parts), refs)]
                self.assertEqual(len(cues.against_the_keys(heard, names.split())), faults,
                                 [h.describe() for h in heard[0]])


if __name__ == '__main__':
    refs = cues.references(sys.argv[1])
    unittest.main(argv=sys.argv[:1] + sys.argv[2:])
