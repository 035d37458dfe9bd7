#include "engine/textfile.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

namespace typetoki {
namespace {

// The name ICU knows Microsoft's code page 932 by; plain "Shift_JIS" lacks
// the NEC and IBM extensions (circled digits and the like) Windows files use.
constexpr const char *kCp932 = "windows-31j";

const QByteArray &Utf8Mark()
{
    static const QByteArray mark("\xEF\xBB\xBF", 3);
    return mark;
}

// Strict UTF-8: overlong forms, surrogates, code points past U+10FFFF and cut
// sequences all count as invalid. Shift-JIS text happens to contain byte
// pairs that a lax check would take for UTF-8.
bool IsValidUtf8(const QByteArray &bytes)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.constData());
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n) {
        const unsigned char lead = p[i];
        if (lead < 0x80) {
            ++i;
            continue;
        }
        int length;
        unsigned char low = 0x80;  // allowed range of the second byte
        unsigned char high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            if (lead == 0xE0)
                low = 0xA0;  // below: overlong
            else if (lead == 0xED)
                high = 0x9F;  // above: surrogates
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            if (lead == 0xF0)
                low = 0x90;  // below: overlong
            else if (lead == 0xF4)
                high = 0x8F;  // above: past U+10FFFF
        } else {
            return false;  // stray continuation byte, C0/C1 overlong, or F5..FF
        }
        if (n - i < length)
            return false;
        if (p[i + 1] < low || p[i + 1] > high)
            return false;
        for (int k = 2; k < length; ++k) {
            if (p[i + k] < 0x80 || p[i + k] > 0xBF)
                return false;
        }
        i += length;
    }
    return true;
}

bool HasNonAscii(const QByteArray &bytes)
{
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return true;
    }
    return false;
}

// QString::fromUtf8 drops a leading mark, and so would drop a text's own
// first character U+FEFF once the file's mark has been taken off.
QString FromUtf8(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    return decoder.decode(bytes);
}

}  // namespace

QString DecodeText(const QByteArray &bytes, Encoding guess)
{
    if (bytes.startsWith(Utf8Mark()))
        return FromUtf8(QByteArrayView(bytes).sliced(Utf8Mark().size()));
    // Pure ASCII reads the same either way, so it goes the code page route
    // the game's own files take.
    if (guess == Encoding::Utf8WhenValid && HasNonAscii(bytes) && IsValidUtf8(bytes))
        return FromUtf8(bytes);
    QStringDecoder decoder(kCp932);
    if (!decoder.isValid())
        return FromUtf8(bytes);  // a Qt without ICU: better than nothing
    return decoder.decode(bytes);
}

QStringList SplitLines(const QString &text)
{
    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = text[i];
        if (c == u'\r' || c == u'\n') {
            lines.append(text.mid(start, i - start));
            if (c == u'\r' && i + 1 < n && text[i + 1] == u'\n')
                ++i;
            start = ++i;
        } else {
            ++i;
        }
    }
    if (start < n)
        lines.append(text.mid(start));
    return lines;
}

std::optional<QStringList> ReadTextLines(const QString &path, Encoding guess)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return SplitLines(DecodeText(bytes, guess));
}

std::optional<QByteArray> EncodeCp932(const QString &text)
{
    QStringEncoder encoder(kCp932);
    if (!encoder.isValid())
        return std::nullopt;
    QByteArray bytes = encoder.encode(text);
    if (encoder.hasError())
        return std::nullopt;
    // The encoder's error flag depends on how the converter treats fallback
    // mappings (a yen sign onto the backslash, say), which would quietly
    // change the text; only a faithful round trip proves nothing was lost.
    QStringDecoder decoder(kCp932);
    const QString back = decoder.decode(bytes);
    if (back != text)
        return std::nullopt;
    return bytes;
}

QByteArray EncodeLines(const QStringList &lines)
{
    QString text;
    for (const QString &line : lines) {
        text += line;
        text += QLatin1String("\r\n");
    }
    // Only a text that reads back whole goes out in code page 932.
    if (const auto cp932 = EncodeCp932(text);
        cp932 && DecodeText(*cp932, Encoding::Utf8WhenMarked) == text)
        return *cp932;
    return Utf8Mark() + text.toUtf8();
}

bool WriteTextLines(const QString &path, const QStringList &lines, QString *error)
{
    QSaveFile file(path);
    const auto fail = [&](const char *fallback) {
        if (error) {
            *error = file.errorString();
            if (error->isEmpty())
                *error = QString::fromLatin1(fallback);
        }
        return false;
    };

    if (!file.open(QIODevice::WriteOnly))
        return fail("The file could not be opened for writing.");
    const QByteArray bytes = EncodeLines(lines);
    // A short text waits in the device's buffer, and commit() does not notice
    // when writing that buffer out fails (a full disk): it would rename the
    // cut-off file into place. Flushing first brings such a failure out here.
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        // Taken before cancelling, which would replace it with its own note.
        fail("The file could not be written.");
        file.cancelWriting();
        return false;
    }
    if (!file.commit())
        return fail("The file could not be saved.");
    return true;
}

}  // namespace typetoki
