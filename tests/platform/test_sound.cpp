// Cues from files a player may point the game at, hostile ones included;
// the mixer's volume and cut-off; cues kept fresh as their files change.
#include "platform/cuefile.h"
#include "platform/cuemixer.h"
#include "platform/soundcues.h"
#include "support/files.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace typetoki;
using namespace typetoki::testing;

namespace {

QByteArray Le16(int v)
{
    QByteArray b(2, 0);
    qToLittleEndian<quint16>(quint16(v), b.data());
    return b;
}

QByteArray Le32(quint32 v)
{
    QByteArray b(4, 0);
    qToLittleEndian<quint32>(v, b.data());
    return b;
}

// A PCM WAV written by hand, so that its header may say what it likes: the
// data chunk claims claimedData bytes (-1: as many as there are).
QByteArray HandWav(int rate, int channels, int bits, const QByteArray &data, qint64 claimedData = -1)
{
    const int block = channels * bits / 8;
    const QByteArray fmt = Le16(1) + Le16(channels) + Le32(quint32(rate)) + Le32(quint32(rate * block))
                           + Le16(block) + Le16(bits);
    const quint32 claimed = claimedData < 0 ? quint32(data.size()) : quint32(claimedData);
    QByteArray body = "WAVEfmt " + Le32(quint32(fmt.size())) + fmt + "data" + Le32(claimed) + data;
    return "RIFF" + Le32(quint32(body.size())) + body;
}

// A tone of the given length written by libsndfile in one of its formats.
bool WriteTone(const QString &path, int format, int rate, int channels, double seconds, float peak = 0.5f)
{
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE *file = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
    if (!file)
        return false;
    const sf_count_t frames = sf_count_t(seconds * rate);
    std::vector<float> samples(size_t(frames * channels));
    for (sf_count_t i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            samples[size_t(i * channels + c)] = peak * float(std::sin(2 * M_PI * 440 * double(i) / rate));
    const bool whole = sf_writef_float(file, samples.data(), frames) == frames;
    sf_close(file);
    return whole;
}

double SecondsOf(const LoadedCue &cue)
{
    return cue.samples ? double(cue.samples->size()) / kCueChannels / kCueRate : 0;
}

}  // namespace

TEST(LoadCue, HostileAndOrdinaryFilesAreReadOrRefusedQuickly)
{
    QTemporaryDir dir;
    auto at = [&](const char *name) { return dir.filePath(QString::fromLatin1(name)); };
    const QByteArray tone(22050 * 2 / 5, '\x10');  // 0.2 s of 16-bit mono at 22050 Hz

    WriteRaw(at("tenhertz.wav"), HandWav(10, 1, 16, QByteArray(20, '\x10')));
    WriteRaw(at("ragged.wav"), HandWav(22050, 2, 16, tone + "\x01\x02\x03"));  // not whole frames
    WriteRaw(at("truncated.wav"), HandWav(22050, 1, 16, tone, 1000000));
    WriteRaw(at("claims4gb.wav"), HandWav(22050, 1, 16, tone, 0xffffffffLL));
    WriteRaw(at("cutinfmt.wav"), HandWav(22050, 1, 16, tone).left(30));
    WriteRaw(at("empty.wav"), QByteArray());
    WriteRaw(at("nodata.wav"), HandWav(22050, 1, 16, QByteArray()));
    WriteRaw(at("garbage.wav"), QByteArray(4096, '\x5a'));
    ASSERT_TRUE(WriteTone(at("24bit.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_24, 44100, 2, 0.3));
    ASSERT_TRUE(WriteTone(at("float.wav"), SF_FORMAT_WAV | SF_FORMAT_FLOAT, 96000, 1, 0.3));
    ASSERT_TRUE(WriteTone(at("ulaw.wav"), SF_FORMAT_WAV | SF_FORMAT_ULAW, 8000, 1, 0.3));
    ASSERT_TRUE(WriteTone(at("adpcm.wav"), SF_FORMAT_WAV | SF_FORMAT_IMA_ADPCM, 22050, 1, 0.3));
    ASSERT_TRUE(WriteTone(at("extensible.wav"), SF_FORMAT_WAVEX | SF_FORMAT_PCM_16, 48000, 6, 0.3));
    ASSERT_TRUE(WriteTone(at("cue.flac"), SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 44100, 2, 0.3));
    ASSERT_TRUE(WriteTone(at("cue.ogg"), SF_FORMAT_OGG | SF_FORMAT_VORBIS, 44100, 2, 0.3));
    ASSERT_TRUE(WriteTone(at("loud.wav"), SF_FORMAT_WAV | SF_FORMAT_FLOAT, 22050, 1, 0.3, 40.0f));
    ASSERT_TRUE(WriteTone(at("nearly10s.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 8000, 1, 9.9));
    ASSERT_TRUE(WriteTone(at("11s.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 8000, 1, 11));
    ASSERT_TRUE(WriteTone(at("11s.flac"), SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 8000, 1, 11));
    ASSERT_EQ(::mkfifo(QFile::encodeName(at("pipe.wav")).constData(), 0600), 0);
    {
        // 1 GB that takes no room: a valid header, then a hole.
        WriteRaw(at("sparse.wav"), HandWav(22050, 1, 16, tone, 0x40000000));
        ASSERT_EQ(::truncate(QFile::encodeName(at("sparse.wav")).constData(), 1LL << 30), 0);
    }

    struct Case {
        QString path;
        SoundProblem problem;
        double seconds;  // of the converted cue, when it plays
    };
    const Case cases[] = {
        {QStringLiteral(TYPETOKI_BIN_DIR "/eya.wav"), SoundProblem::None, 0.234},
        {at("tenhertz.wav"), SoundProblem::NotSound, 0},
        {at("ragged.wav"), SoundProblem::None, 0.1},
        {at("truncated.wav"), SoundProblem::None, 0.2},
        {at("claims4gb.wav"), SoundProblem::None, 0.2},
        {at("cutinfmt.wav"), SoundProblem::NotSound, 0},
        {at("empty.wav"), SoundProblem::NotSound, 0},
        {at("nodata.wav"), SoundProblem::NotSound, 0},
        {at("garbage.wav"), SoundProblem::NotSound, 0},
        {QStringLiteral(TYPETOKI_BIN_DIR "/test.txt"), SoundProblem::NotSound, 0},
        {at("24bit.wav"), SoundProblem::None, 0.3},
        {at("float.wav"), SoundProblem::None, 0.3},
        {at("ulaw.wav"), SoundProblem::None, 0.3},
        {at("adpcm.wav"), SoundProblem::None, 7 * 1017 / 22050.0},  // whole blocks
        {at("extensible.wav"), SoundProblem::None, 0.3},
        {at("cue.flac"), SoundProblem::None, 0.3},
        {at("cue.ogg"), SoundProblem::None, 0.3},
        {at("loud.wav"), SoundProblem::None, 0.3},
        {at("nearly10s.wav"), SoundProblem::None, 9.9},
        {at("11s.wav"), SoundProblem::TooLong, 0},
        {at("11s.flac"), SoundProblem::TooLong, 0},
        {at("pipe.wav"), SoundProblem::NotSound, 0},
        {at("sparse.wav"), SoundProblem::TooLong, 0},
        {QStringLiteral("/dev/zero"), SoundProblem::NotSound, 0},
        {dir.path(), SoundProblem::NotSound, 0},
        {at("missing.wav"), SoundProblem::Missing, 0},
        {QString(), SoundProblem::Missing, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        QElapsedTimer timer;
        timer.start();
        const LoadedCue cue = LoadCue(c.path);
        EXPECT_LT(timer.elapsed(), 2000);
        EXPECT_EQ(cue.problem, c.problem);
        EXPECT_EQ(cue.samples != nullptr, c.problem == SoundProblem::None);
        // Whatever the file's rate, the cue lasts as long at the output's.
        EXPECT_NEAR(SecondsOf(cue), c.seconds, 0.005);
    }
}

TEST(LoadCue, ReadsTheBytesAsLibsndfileReadsTheFile)
{
    // Files fuzz_cuefile found read otherwise from memory than from disk.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("cue"));
    ASSERT_TRUE(WriteTone(path, SF_FORMAT_W64 | SF_FORMAT_PCM_16, 22050, 1, 0.03));
    const QByteArray w64 = ReadRaw(path);
    // A chunk claiming more bytes than the file holds: past its end there
    // is no sound, not the bytes the reader happened to stand at.
    QByteArray longFmt = w64;
    qToLittleEndian<quint64>(60000, longFmt.data() + 56);

    struct Case {
        const char *name;
        QByteArray bytes;
        SoundProblem problem;
    };
    const Case cases[] = {
        {"W64 as written", w64, SoundProblem::None},
        {"W64 whose fmt chunk runs past the end", longFmt, SoundProblem::NotSound},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        WriteRaw(path, c.bytes);
        SF_INFO info{};
        SNDFILE *direct = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
        EXPECT_EQ(direct != nullptr, c.problem == SoundProblem::None);
        sf_close(direct);
        EXPECT_EQ(LoadCue(path).problem, c.problem);
    }
}

TEST(LoadCue, TheLongestCueAtAnyRateLastsTenSecondsAndNoMore)
{
    // The converter used to give one frame more than the rate change
    // makes of the file's frames, so ten seconds came out longer.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("cue.flac"));
    for (const int rate : {8000, 11025, 22050, 44100, 48000, 96000}) {
        SCOPED_TRACE(rate);
        ASSERT_TRUE(WriteTone(path, SF_FORMAT_FLAC | SF_FORMAT_PCM_16, rate, 1, kLongestCueSeconds));
        const LoadedCue cue = LoadCue(path);
        ASSERT_TRUE(cue.samples);
        EXPECT_EQ(cue.samples->size(), std::size_t(kLongestCueSeconds * kCueRate * kCueChannels));
    }
}

TEST(LoadCue, ConvertsRateAndChannelsButNotTheSound)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("tone.wav"));
    ASSERT_TRUE(WriteTone(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 22050, 1, 0.5, 0.5f));
    const LoadedCue cue = LoadCue(path);
    ASSERT_TRUE(cue.samples);
    const std::vector<std::int16_t> &s = *cue.samples;
    int peak = 0;
    double crossings = 0;
    // Away from the ends, where the converter's filter starts and stops.
    for (size_t i = 2000; i + 2000 < s.size(); i += kCueChannels) {
        EXPECT_EQ(s[i], s[i + 1]) << "mono on both sides, frame " << i / 2;
        peak = std::max(peak, std::abs(int(s[i])));
        crossings += (s[i] < 0) != (s[i + kCueChannels] < 0);
    }
    EXPECT_NEAR(peak, 0.5 * 32767, 0.01 * 32767);
    // 440 Hz still: two crossings a period over the frames looked at.
    const double seconds = double(s.size() - 4000) / kCueChannels / kCueRate;
    EXPECT_NEAR(crossings / seconds / 2, 440, 5);
}

TEST(CueMixer, PlaysOneVoiceAtTheVolumeAndFallsSilentAtItsEnd)
{
    auto voice = [](std::initializer_list<std::int16_t> s) {
        return std::make_shared<const std::vector<std::int16_t>>(s);
    };
    struct Case {
        int percent;
        std::vector<std::int16_t> expected;
    };
    const Case cases[] = {
        {100, {1000, -1000, 32767, -32768, 0, 0}},
        {50, {500, -500, 16384, -16384, 0, 0}},
        {25, {250, -250, 8192, -8192, 0, 0}},
        {0, {0, 0, 0, 0, 0, 0}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.percent);
        CueMixer mixer;
        mixer.setVolume(c.percent);
        mixer.start(voice({1000, -1000, 32767, -32768}));
        std::vector<std::int16_t> out(6, 7);
        mixer.render(out.data(), 3);
        EXPECT_EQ(out, c.expected);
        EXPECT_FALSE(mixer.sounding());
    }

    // A new voice cuts the sounding one off; stop silences at once.
    CueMixer mixer;
    mixer.start(voice({1, 1, 2, 2, 3, 3}));
    std::vector<std::int16_t> out(2);
    mixer.render(out.data(), 1);
    mixer.start(voice({9, 9, 8, 8}));
    out.assign(4, 7);
    mixer.render(out.data(), 2);
    EXPECT_EQ(out, (std::vector<std::int16_t>{9, 9, 8, 8}));
    mixer.start(voice({5, 5, 5, 5}));
    mixer.stop();
    out.assign(4, 7);
    mixer.render(out.data(), 2);
    EXPECT_EQ(out, (std::vector<std::int16_t>(4, 0)));
}

TEST(SoundCues, APlayReloadsAChangedFileInTheBackgroundAndNothingElse)
{
    QTemporaryDir dir;
    const QString hero = dir.filePath(QStringLiteral("hero.wav"));
    const QString later = dir.filePath(QStringLiteral("later.wav"));
    const QString eya = QStringLiteral(TYPETOKI_BIN_DIR "/eya.wav");
    const QString ahh = QStringLiteral(TYPETOKI_BIN_DIR "/ahh.wav");
    ASSERT_TRUE(QFile::copy(eya, hero));

    SoundCues sound;  // never opened: no server is needed to read cues
    sound.setCueFiles(hero, later, QString());
    sound.waitForLoads();
    const CueSamples first = sound.samplesOf(Cue::Hero);
    ASSERT_TRUE(first);
    EXPECT_FALSE(sound.samplesOf(Cue::Rival));
    EXPECT_FALSE(sound.samplesOf(Cue::Miss));

    struct Step {
        const char *what;
        std::function<void()> change;
        Cue cue;
        double seconds;  // of what the cue holds afterwards; 0 silent
        bool same;       // the very samples held before: not read again
    };
    const Step steps[] = {
        {"unchanged", [] {}, Cue::Hero, 0.234, true},
        {"replaced by another sound", [&] {
             QFile::remove(hero);
             QFile::copy(ahh, hero);
         }, Cue::Hero, 0.470, false},
        {"missing at first, there now", [&] { QFile::copy(eya, later); }, Cue::Rival, 0.234, false},
        {"broken", [&] { WriteRaw(hero, "RIFF"); }, Cue::Hero, 0, false},
        {"mended", [&] {
             QFile::remove(hero);
             QFile::copy(eya, hero);
         }, Cue::Hero, 0.234, false},
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.what);
        const CueSamples before = sound.samplesOf(step.cue);
        step.change();
        sound.play(step.cue);
        sound.waitForLoads();
        const CueSamples after = sound.samplesOf(step.cue);
        EXPECT_NEAR(after ? double(after->size()) / kCueChannels / kCueRate : 0, step.seconds, 0.002);
        EXPECT_EQ(after == before, step.same);
    }
}
