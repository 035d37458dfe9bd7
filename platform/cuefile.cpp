#include "platform/cuefile.h"

#include "engine/regularfile.h"

#include <samplerate.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace typetoki {

namespace {

// Rates far outside what sound is recorded at are a lying header; the
// converter also takes no more than a 256-fold change.
constexpr int kLowestRate = 1000;
constexpr int kHighestRate = 192000;
// Up to 7.1 and a little more; the first two channels are kept.
constexpr int kMostChannels = 16;

// libsndfile reads from the bytes already in memory, so a file is opened
// only once, by the checks of ReadRegularFile.
struct Bytes {
    const QByteArray &data;
    sf_count_t at = 0;
};

sf_count_t Length(void *user) { return static_cast<Bytes *>(user)->data.size(); }

// As lseek does, a seek may go past the end, where reads then find nothing.
// Refused, it would leave libsndfile reading on from where it stood, and a
// chunk claiming more than the file holds would be followed by whatever came
// next, sound that no other program finds in that file.
sf_count_t Seek(sf_count_t offset, int whence, void *user)
{
    auto *b = static_cast<Bytes *>(user);
    const sf_count_t base = whence == SEEK_CUR ? b->at : whence == SEEK_END ? b->data.size() : 0;
    if (offset > std::numeric_limits<sf_count_t>::max() - std::max<sf_count_t>(base, 0))
        return -1;
    const sf_count_t to = base + offset;
    if (to < 0)
        return -1;
    b->at = to;
    return b->at;
}

sf_count_t Read(void *out, sf_count_t count, void *user)
{
    auto *b = static_cast<Bytes *>(user);
    const sf_count_t n = std::clamp<sf_count_t>(b->data.size() - b->at, 0, std::max<sf_count_t>(count, 0));
    if (n == 0)
        return 0;  // at or past the end
    std::memcpy(out, b->data.constData() + b->at, size_t(n));
    b->at += n;
    return n;
}

sf_count_t Write(const void *, sf_count_t, void *) { return 0; }
sf_count_t Tell(void *user) { return static_cast<Bytes *>(user)->at; }

struct SndFileCloser {
    void operator()(SNDFILE *file) const { sf_close(file); }
};

SoundProblem ProblemOf(FileProblem problem)
{
    switch (problem) {
    case FileProblem::None: return SoundProblem::None;
    case FileProblem::Missing: return SoundProblem::Missing;
    case FileProblem::TooLarge: return SoundProblem::TooLong;
    case FileProblem::NotAFile:
    case FileProblem::Unreadable: break;
    }
    return SoundProblem::NotSound;
}

// Stereo float frames at the file's rate: mono on both sides, more than two
// channels by their first two.
struct Decoded {
    std::vector<float> stereo;
    int rate = 0;
    SoundProblem problem = SoundProblem::None;
};

Decoded Decode(const QByteArray &bytes)
{
    Decoded out;
    Bytes source{bytes};
    SF_VIRTUAL_IO io{Length, Seek, Read, Write, Tell};
    SF_INFO info{};
    std::unique_ptr<SNDFILE, SndFileCloser> file(sf_open_virtual(&io, SFM_READ, &info, &source));
    if (!file || info.channels < 1 || info.channels > kMostChannels || info.samplerate < kLowestRate
        || info.samplerate > kHighestRate) {
        out.problem = SoundProblem::NotSound;
        return out;
    }
    out.rate = info.samplerate;
    // The header's length may lie either way; the frames read count.
    const sf_count_t most = sf_count_t(std::ceil(kLongestCueSeconds * info.samplerate));
    if (info.frames > most) {
        out.problem = SoundProblem::TooLong;
        return out;
    }
    constexpr sf_count_t kChunk = 4096;
    std::vector<float> chunk(size_t(kChunk * info.channels));
    sf_count_t total = 0;
    for (;;) {
        const sf_count_t got = sf_readf_float(file.get(), chunk.data(), kChunk);
        if (got <= 0)
            break;
        total += got;
        if (total > most) {
            out.problem = SoundProblem::TooLong;
            return out;
        }
        for (sf_count_t i = 0; i < got; ++i) {
            const float *frame = chunk.data() + i * info.channels;
            out.stereo.push_back(frame[0]);
            out.stereo.push_back(frame[info.channels > 1 ? 1 : 0]);
        }
    }
    if (total == 0)
        out.problem = SoundProblem::NotSound;
    return out;
}

std::vector<float> Resample(std::vector<float> stereo, int rate)
{
    if (rate == kCueRate)
        return stereo;
    const double ratio = double(kCueRate) / rate;
    const long inFrames = long(stereo.size() / kCueChannels);
    std::vector<float> out(size_t(std::ceil(inFrames * ratio) + 1) * kCueChannels);
    SRC_DATA data{};
    data.data_in = stereo.data();
    data.input_frames = inFrames;
    data.data_out = out.data();
    data.output_frames = long(out.size() / kCueChannels);
    data.src_ratio = ratio;
    if (src_simple(&data, SRC_SINC_MEDIUM_QUALITY, kCueChannels) != 0)
        return {};
    // The converter gives a frame more than the change of rate makes of the
    // file's: ten seconds of sound would last longer than a cue may.
    const long frames = long((std::int64_t(inFrames) * kCueRate + rate - 1) / rate);
    out.resize(size_t(std::min(data.output_frames_gen, frames)) * kCueChannels);
    return out;
}

}  // namespace

LoadedCue LoadCue(const QString &path)
{
    LoadedCue cue;
    const FileBytes file = ReadRegularFile(path, kLargestCueFile);
    if (file.problem != FileProblem::None) {
        cue.problem = ProblemOf(file.problem);
        return cue;
    }
    Decoded decoded = Decode(file.bytes);
    if (decoded.problem != SoundProblem::None) {
        cue.problem = decoded.problem;
        return cue;
    }
    const std::vector<float> converted = Resample(std::move(decoded.stereo), decoded.rate);
    if (converted.empty()) {
        cue.problem = SoundProblem::NotSound;
        return cue;
    }
    auto samples = std::make_shared<std::vector<std::int16_t>>(converted.size());
    std::transform(converted.begin(), converted.end(), samples->begin(), [](float x) {
        // NaN and overshoot from a float file, or from the converter's ringing.
        // Scaled in double: in float the product of a sample just past a half
        // step rounds onto the half and then to the wrong side of it.
        if (std::isnan(x))
            return std::int16_t(0);
        return std::int16_t(std::lrint(double(std::clamp(x, -1.0f, 1.0f)) * 32767.0));
    });
    cue.samples = std::move(samples);
    return cue;
}

}  // namespace typetoki
