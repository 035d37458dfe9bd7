// Checks the cues and the training text the build places beside the
// executable. The cues are read with a RIFF parser of our own rather than the
// audio stack, so a file the player would quietly refuse, or play late, fails
// here with a reason instead of going silent in the game.

#include "engine/textread.h"

#include <QFile>
#include <QStringDecoder>
#include <QtEndian>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

namespace {

QString ProgramFile(const char *name)
{
    return QStringLiteral(TYPETOKI_BIN_DIR "/") + QLatin1String(name);
}

std::optional<QByteArray> ReadBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

struct Wav {
    quint16 formatTag = 0;
    quint16 channels = 0;
    quint32 sampleRate = 0;
    quint32 byteRate = 0;
    quint16 blockAlign = 0;
    quint16 bitsPerSample = 0;
    QByteArray data;
};

quint16 U16(const QByteArray &b, qsizetype at)
{
    return qFromLittleEndian<quint16>(b.constData() + at);
}

quint32 U32(const QByteArray &b, qsizetype at)
{
    return qFromLittleEndian<quint32>(b.constData() + at);
}

// Walks the RIFF chunks instead of assuming the 44-byte layout one tool
// writes: other tools put LIST or fact chunks before the data, and odd-sized
// chunks carry a pad byte.
std::optional<Wav> ParseWav(const QByteArray &b, std::string *why)
{
    if (b.size() < 12 || b.left(4) != "RIFF" || b.mid(8, 4) != "WAVE") {
        *why = "not a RIFF/WAVE file";
        return std::nullopt;
    }
    Wav wav;
    bool haveFmt = false, haveData = false;
    qsizetype at = 12;
    while (at + 8 <= b.size()) {
        const QByteArray id = b.mid(at, 4);
        const quint32 size = U32(b, at + 4);
        const qsizetype body = at + 8;
        if (qint64(size) > b.size() - body) {
            *why = "chunk '" + id.toStdString() + "' runs past the end of the file";
            return std::nullopt;
        }
        if (id == "fmt ") {
            if (size < 16) {
                *why = "fmt chunk too short";
                return std::nullopt;
            }
            wav.formatTag = U16(b, body);
            wav.channels = U16(b, body + 2);
            wav.sampleRate = U32(b, body + 4);
            wav.byteRate = U32(b, body + 8);
            wav.blockAlign = U16(b, body + 12);
            wav.bitsPerSample = U16(b, body + 14);
            haveFmt = true;
        } else if (id == "data") {
            wav.data = b.mid(body, size);
            haveData = true;
        }
        at = body + size + (size & 1);
    }
    if (!haveFmt || !haveData) {
        *why = haveFmt ? "no data chunk" : "no fmt chunk";
        return std::nullopt;
    }
    return wav;
}

// Per frame, the loudest channel; 16-bit samples only.
struct Levels {
    int peak = 0;
    qsizetype onsetFrame = -1;  // first frame above a tenth of the peak
};

Levels Measure(const Wav &wav)
{
    const qsizetype frames = wav.data.size() / wav.blockAlign;
    auto frameLevel = [&](qsizetype f) {
        int level = 0;
        for (int c = 0; c < wav.channels; ++c) {
            const auto s = qint16(U16(wav.data, f * wav.blockAlign + c * 2));
            level = std::max(level, std::abs(int(s)));
        }
        return level;
    };
    Levels l;
    for (qsizetype f = 0; f < frames; ++f)
        l.peak = std::max(l.peak, frameLevel(f));
    for (qsizetype f = 0; f < frames && l.peak > 0; ++f) {
        if (frameLevel(f) * 10 > l.peak) {
            l.onsetFrame = f;
            break;
        }
    }
    return l;
}

constexpr double kMaxCueSeconds = 0.6;
constexpr double kMaxOnsetSeconds = 0.005;

// A cue played for each keystroke has to end before the next one is likely,
// and has to sound at once or it trails the key press it answers.
::testing::AssertionResult FitsForACue(const Wav &wav)
{
    if (wav.formatTag != 1)
        return ::testing::AssertionFailure() << "format tag " << wav.formatTag << ", not PCM (1)";
    if (wav.bitsPerSample != 16)
        return ::testing::AssertionFailure() << wav.bitsPerSample << " bits per sample, not 16";
    if (wav.channels != 1 && wav.channels != 2)
        return ::testing::AssertionFailure() << wav.channels << " channels";
    if (wav.sampleRate != 22050 && wav.sampleRate != 44100)
        return ::testing::AssertionFailure() << "sample rate " << wav.sampleRate;
    if (wav.blockAlign != wav.channels * 2 || wav.byteRate != wav.sampleRate * wav.blockAlign)
        return ::testing::AssertionFailure()
               << "inconsistent header: block align " << wav.blockAlign << ", byte rate "
               << wav.byteRate;
    if (wav.data.isEmpty() || wav.data.size() % wav.blockAlign != 0)
        return ::testing::AssertionFailure()
               << "data size " << wav.data.size() << " is not whole frames";
    const double seconds = double(wav.data.size()) / wav.byteRate;
    if (seconds >= kMaxCueSeconds)
        return ::testing::AssertionFailure() << "lasts " << seconds << " s";
    const Levels l = Measure(wav);
    if (l.peak == 0)
        return ::testing::AssertionFailure() << "silent";
    const double onset = double(l.onsetFrame) / wav.sampleRate;
    if (onset > kMaxOnsetSeconds)
        return ::testing::AssertionFailure() << "first sound at " << onset * 1000 << " ms";
    return ::testing::AssertionSuccess();
}

// Builds a 16-bit mono file with an odd-sized chunk ahead of the data: silence
// up to onsetFrame, then a full-scale step.
QByteArray SyntheticWav(quint32 rate, qsizetype frames, qsizetype onsetFrame)
{
    auto u16 = [](QByteArray &b, quint16 v) {
        char raw[2];
        qToLittleEndian(v, raw);
        b.append(raw, 2);
    };
    auto u32 = [](QByteArray &b, quint32 v) {
        char raw[4];
        qToLittleEndian(v, raw);
        b.append(raw, 4);
    };
    QByteArray body = "WAVE";
    body += "fmt ";
    u32(body, 16);
    u16(body, 1);
    u16(body, 1);
    u32(body, rate);
    u32(body, rate * 2);
    u16(body, 2);
    u16(body, 16);
    body += "LIST";
    u32(body, 5);
    body += QByteArray("INFOx") + '\0';  // five bytes and the pad byte
    body += "data";
    u32(body, quint32(frames * 2));
    for (qsizetype f = 0; f < frames; ++f)
        u16(body, f < onsetFrame ? 0 : 30000);
    QByteArray file = "RIFF";
    u32(file, quint32(body.size()));
    return file + body;
}

// The checker itself must tell a prompt cue from a late or overlong one, or
// the checks on the shipped files below prove nothing.
TEST(CueChecker, JudgesSyntheticFiles)
{
    struct Case {
        const char *what;
        quint32 rate;
        qsizetype frames;
        qsizetype onsetFrame;
        bool fits;
    };
    const Case cases[] = {
        {"sounds at once", 22050, 4410, 0, true},
        {"sounds 4.9 ms in", 22050, 4410, 108, true},
        {"waits 6 ms", 22050, 4410, 133, false},
        {"waits 6 ms at 44.1 kHz", 44100, 8820, 265, false},
        {"lasts exactly 0.6 s", 22050, 13230, 0, false},
        {"lasts just under 0.6 s", 22050, 13229, 0, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        std::string why;
        const auto wav = ParseWav(SyntheticWav(c.rate, c.frames, c.onsetFrame), &why);
        ASSERT_TRUE(wav) << why;
        EXPECT_EQ(wav->data.size(), c.frames * 2);
        EXPECT_EQ(bool(FitsForACue(*wav)), c.fits);
    }
}

TEST(CueChecker, RejectsBrokenFiles)
{
    const QByteArray good = SyntheticWav(22050, 100, 0);
    struct Case {
        const char *what;
        QByteArray bytes;
    };
    QByteArray notWave = good;
    notWave.replace(8, 4, "AVI ");
    QByteArray noData = good;
    noData.replace(noData.indexOf("data"), 4, "junk");
    const Case cases[] = {
        {"empty", QByteArray()},
        {"not WAVE", notWave},
        {"no data chunk", noData},
        {"truncated data", good.left(good.size() - 10)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        std::string why;
        EXPECT_FALSE(ParseWav(c.bytes, &why));
        EXPECT_FALSE(why.empty());
    }
}

constexpr std::array kCues = {"eya.wav", "hiku.wav", "ahh.wav"};

class ShippedCue : public ::testing::TestWithParam<const char *> {};

TEST_P(ShippedCue, IsAPromptShortPcmCue)
{
    const auto bytes = ReadBytes(ProgramFile(GetParam()));
    ASSERT_TRUE(bytes) << "cannot read " << ProgramFile(GetParam()).toStdString();
    std::string why;
    const auto wav = ParseWav(*bytes, &why);
    ASSERT_TRUE(wav) << why;
    EXPECT_TRUE(FitsForACue(*wav));
}

// Normalised near full scale; a cue far quieter than the others would be lost
// under the music.
TEST_P(ShippedCue, PeaksNearFullScale)
{
    const auto bytes = ReadBytes(ProgramFile(GetParam()));
    ASSERT_TRUE(bytes);
    std::string why;
    const auto wav = ParseWav(*bytes, &why);
    ASSERT_TRUE(wav) << why;
    ASSERT_EQ(wav->bitsPerSample, 16);
    const int peak = Measure(*wav).peak;
    EXPECT_GE(peak, 32768 * 7 / 10);  // within about 3 dB of full scale
    EXPECT_LT(peak, 32767);           // not clipped
}

INSTANTIATE_TEST_SUITE_P(ProgramFolder, ShippedCue, ::testing::ValuesIn(kCues),
                         [](const auto &info) {
                             std::string name = info.param;
                             return name.substr(0, name.find('.'));
                         });

// Players tell the hero's hit, the rival's hit and a miss apart by ear, so no
// cue may be a copy of another.
TEST(ShippedCues, DifferFromEachOther)
{
    std::array<QByteArray, kCues.size()> data;
    for (size_t i = 0; i < kCues.size(); ++i) {
        const auto bytes = ReadBytes(ProgramFile(kCues[i]));
        ASSERT_TRUE(bytes) << kCues[i];
        std::string why;
        const auto wav = ParseWav(*bytes, &why);
        ASSERT_TRUE(wav) << kCues[i] << ": " << why;
        data[i] = wav->data;
    }
    for (size_t i = 0; i < data.size(); ++i)
        for (size_t j = i + 1; j < data.size(); ++j)
            EXPECT_NE(data[i], data[j]) << kCues[i] << " and " << kCues[j];
}

class TrainingText : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto read = ReadBytes(ProgramFile("test.txt"));
        ASSERT_TRUE(read) << "cannot read test.txt";
        bytes = *read;
        ASSERT_FALSE(bytes.isEmpty());
    }
    QByteArray bytes;
};

// The default text doubles as the sample of the old file form: code page 932,
// CR LF, no mark. A file rewritten as UTF-8 or with bare LF would no longer
// exercise the path players' old files take.
TEST_F(TrainingText, HasTheOldFileForm)
{
    EXPECT_FALSE(bytes.startsWith("\xEF\xBB\xBF")) << "UTF-8 byte-order mark";
    EXPECT_FALSE(bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF"))
        << "UTF-16 byte-order mark";

    // Code page 932 trail bytes start at 0x40, so CR and LF bytes are always
    // line ends and can be checked bytewise.
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n') {
            ASSERT_TRUE(i > 0 && bytes[i - 1] == '\r') << "bare LF at byte " << i;
        }
        if (bytes[i] == '\r') {
            ASSERT_TRUE(i + 1 < bytes.size() && bytes[i + 1] == '\n') << "bare CR at byte " << i;
        }
    }
    EXPECT_TRUE(bytes.endsWith("\r\n")) << "last line has no line end";

    EXPECT_TRUE(std::any_of(bytes.begin(), bytes.end(), [](char c) { return c & 0x80; }))
        << "no non-ASCII bytes at all";
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString asUtf8 = utf8.decode(bytes);
    EXPECT_TRUE(utf8.hasError()) << "the bytes are valid UTF-8, not code page 932";
}

TEST_F(TrainingText, ReadsBackAsVariedJapaneseLines)
{
    const auto lines = typetoki::ReadTextLines(ProgramFile("test.txt"));
    ASSERT_TRUE(lines);
    EXPECT_GE(lines->size(), 12);
    EXPECT_EQ(lines->size(), bytes.count("\r\n")) << "one line per CR LF";

    auto isJapanese = [](QChar c) {
        const char16_t u = c.unicode();
        return (u >= 0x3040 && u <= 0x30FF) || (u >= 0x4E00 && u <= 0x9FFF);
    };
    auto isAsciiSentence = [](const QString &l) {
        return !l.trimmed().isEmpty()
               && std::all_of(l.begin(), l.end(), [](QChar c) { return c.unicode() < 0x80; });
    };
    bool empty = false, padded = false, ideographicIndent = false, japanese = false,
         ascii = false;
    for (const QString &line : *lines) {
        EXPECT_FALSE(line.contains(QChar(0xFFFD))) << "undecodable bytes in: "
                                                   << line.toStdString();
        EXPECT_FALSE(line.contains(u'\r') || line.contains(u'\n'));
        empty |= line.isEmpty();
        padded |= line.size() > 2 && line.front() == u' ' && line.back() == u' '
                  && !line.trimmed().isEmpty();
        ideographicIndent |= line.size() > 1 && line[0] == QChar(0x3000) && isJapanese(line[1]);
        japanese |= std::any_of(line.begin(), line.end(), isJapanese);
        ascii |= isAsciiSentence(line);
    }
    EXPECT_TRUE(empty) << "no empty line";
    EXPECT_TRUE(padded) << "no line with blanks at both ends";
    EXPECT_TRUE(ideographicIndent) << "no line indented with an ideographic space";
    EXPECT_TRUE(japanese) << "no Japanese text";
    EXPECT_TRUE(ascii) << "no ASCII line";
}

}  // namespace
