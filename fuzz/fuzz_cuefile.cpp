// A cue from any bytes, as the game loads a sound file the player names: no
// crash, no undefined behaviour; either a refusal for a reason the file
// really gives, or a cue in the output's one format, at most ten seconds
// long, lasting as long as the file's sound and carrying its samples.
// libFuzzer's -timeout and -malloc_limit_mb (fuzz_cuefile.options) bound the
// time and memory one file may take.

#include "platform/cuefile.h"
#include "fuzz/check.h"

#include <QFile>
#include <QTemporaryDir>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

using namespace typetoki;
using namespace typetoki::fuzz;

namespace {

constexpr sf_count_t kMostFrames = sf_count_t(kLongestCueSeconds * kCueRate);

// libsndfile is the system's, without coverage: what it made of a file is
// told to libFuzzer through these extra counters instead, so that a file in
// a format or encoding not seen before is kept and mutated further, and a
// minimised corpus keeps one of each.
__attribute__((section("__libfuzzer_extra_counters"))) std::uint8_t gSeen[64 + 256 + 32];

void Tell(const SF_INFO &info, SoundProblem problem)
{
    gSeen[(info.format & SF_FORMAT_TYPEMASK) >> 16 & 63] = 1;
    gSeen[64 + std::min(info.format & SF_FORMAT_SUBMASK, 255)] = 1;
    gSeen[64 + 256 + int(problem) * 8 + std::clamp(info.channels, 0, 7)] = 1;
}

// The file as libsndfile reads it from its path, apart from the game's
// reading from memory: the frames of its first two channels (a mono file's
// one twice), up to just past what a cue may last.
struct FileSound {
    bool opened = false;
    SF_INFO info{};
    std::vector<float> stereo;
    sf_count_t frames = 0;
    bool longer = false;  // more frames than a cue may have
};

FileSound ReadDirectly(const QString &path)
{
    FileSound sound;
    SNDFILE *file = sf_open(QFile::encodeName(path).constData(), SFM_READ, &sound.info);
    if (!file)
        return sound;
    sound.opened = true;
    const int channels = sound.info.channels;
    if (channels >= 1 && channels <= 64 && sound.info.samplerate > 0) {
        const sf_count_t most = sf_count_t(kLongestCueSeconds) * sound.info.samplerate;
        // In pieces of as many frames as the game reads: libsndfile's DWVW
        // decoder gives a cut file's frames otherwise for other sizes.
        constexpr sf_count_t kPiece = 4096;
        std::vector<float> frame(std::size_t(channels * kPiece));
        for (;;) {
            const sf_count_t got = sf_readf_float(file, frame.data(), kPiece);
            if (got <= 0)
                break;
            for (sf_count_t i = 0; i < got && !sound.longer; ++i) {
                sound.stereo.push_back(frame[std::size_t(i * channels)]);
                sound.stereo.push_back(frame[std::size_t(i * channels + (channels > 1 ? 1 : 0))]);
                sound.longer = ++sound.frames > most;
            }
            if (sound.longer)
                break;
        }
    }
    sf_close(file);
    return sound;
}

// What the file gives a cue to go by.
struct Verdict {
    bool readable;  // a rate and layout a cue may have
    bool empty;     // not a single frame of sound
    bool tooLong;   // by its frames, or by what its header claims
};

Verdict Judge(const FileSound &sound)
{
    const int rate = sound.info.samplerate;
    Verdict v{};
    v.readable = sound.opened && sound.info.channels >= 1 && sound.info.channels <= 16
                 && rate >= 1000 && rate <= 192000;
    v.empty = sound.frames == 0;
    v.tooLong = sound.longer || sound.info.frames > sf_count_t(kLongestCueSeconds) * rate;
    return v;
}

// Whether the game may refuse the file with this problem.
bool RefusalFits(SoundProblem problem, const Verdict &v, const FileSound &sound)
{
    switch (problem) {
    case SoundProblem::NotSound:
        // Also a sound too short to last one frame at the output's rate.
        return !v.readable || v.empty || sound.frames * kCueRate < sound.info.samplerate;
    case SoundProblem::TooLong:
        return v.readable && v.tooLong;
    case SoundProblem::Missing:
    case SoundProblem::None:
        break;
    }
    return false;
}

void CheckCue(const std::vector<std::int16_t> &cue, const FileSound &sound)
{
    Check(!cue.empty() && cue.size() % kCueChannels == 0);
    const sf_count_t frames = sf_count_t(cue.size() / kCueChannels);
    Check(frames <= kMostFrames);

    // As long at the output's rate as the file's frames at its own: the
    // converter may round to a frame either way.
    const double ratio = double(kCueRate) / sound.info.samplerate;
    Check(std::abs(double(frames) - double(sound.frames) * ratio) <= 1 + ratio);

    // A mono file sounds the same on both sides.
    if (sound.info.channels == 1) {
        for (std::size_t i = 0; i < cue.size(); i += 2)
            Check(cue[i] == cue[i + 1]);
    }

    // At the output's rate nothing is converted but the sample format: each
    // sample is the file's within rounding, loud ones at full scale and NaN
    // silent.
    if (sound.info.samplerate != kCueRate)
        return;
    Check(std::size_t(frames) * kCueChannels == sound.stereo.size());
    for (std::size_t i = 0; i < cue.size(); ++i) {
        const float x = sound.stereo[i];
        const double want = std::isnan(x) ? 0 : std::clamp(double(x), -1.0, 1.0) * 32767;
        Check(std::abs(cue[i] - want) <= 0.5 + 1e-9);
    }
}

}  // namespace

// libsndfile and the codecs under it leak a few kilobytes on some broken
// files whose opening fails half-way (an Ogg Vorbis header cut short, say;
// known upstream). Not the game's memory, nor any it could free.
extern "C" const char *__lsan_default_options()
{
    return "print_suppressions=0";
}

extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libsndfile.so\nleak:libvorbis.so\nleak:libogg.so\nleak:libFLAC.so\n"
           "leak:libopus.so\nleak:libmpg123.so\n";
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static QTemporaryDir dir;
    Check(dir.isValid());
    // No extension: libsndfile must find the format in the bytes alone, as
    // it does when it reads from memory.
    const QString path = dir.filePath(QStringLiteral("cue"));
    {
        QFile file(path);
        Check(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        Check(file.write(reinterpret_cast<const char *>(data), qint64(size)) == qint64(size));
    }

    const LoadedCue cue = LoadCue(path);
    Check((cue.samples != nullptr) == (cue.problem == SoundProblem::None));
    const FileSound sound = ReadDirectly(path);
    const Verdict verdict = Judge(sound);
    Tell(sound.info, cue.problem);
    if (cue.problem != SoundProblem::None) {
        Check(RefusalFits(cue.problem, verdict, sound));
        return 0;
    }
    Check(verdict.readable && !verdict.empty && !verdict.tooLong);
    CheckCue(*cue.samples, sound);
    return 0;
}
