#pragma once
// Reading a cue from a file the player names. libsndfile reads what it
// knows (every kind of WAV, FLAC, Ogg Vorbis and more); the result is
// converted once to the one format the output plays, so that nothing a file
// claims about itself (a rate of a few hertz, data that ends inside a frame)
// ever reaches the sound server.

#include "engine/interfaces.h"

#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

namespace typetoki {

// Every cue as the output plays it: 16-bit stereo, interleaved.
constexpr int kCueRate = 48000;
constexpr int kCueChannels = 2;

// A cue answers a key press; anything longer is not a cue, and a file larger
// than this is not read at all.
constexpr double kLongestCueSeconds = 10;
constexpr qint64 kLargestCueFile = 16 * 1024 * 1024;

using CueSamples = std::shared_ptr<const std::vector<std::int16_t>>;

struct LoadedCue {
    CueSamples samples;  // null unless problem is None
    SoundProblem problem = SoundProblem::None;
};

// Reads and converts the whole file. Never blocks on what the path names
// (a pipe, a device) and never reads past kLargestCueFile.
LoadedCue LoadCue(const QString &path);

}  // namespace typetoki
