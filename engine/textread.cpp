#include "engine/textread.h"

#include "engine/regularfile.h"

#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QStringDecoder>

#include <cstdint>
#include <cstring>

namespace typetoki {
namespace {

// The first byte of 0x80 or above from i on, or n; eight bytes at a time,
// as the text of a file is mostly ASCII.
qsizetype SkipAscii(const unsigned char *p, qsizetype n, qsizetype i)
{
    for (; i + 8 <= n; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, p + i, sizeof word);
        if (word & 0x8080808080808080ull)
            break;
    }
    while (i < n && p[i] < 0x80)
        ++i;
    return i;
}

// The length of the strict UTF-8 sequence at p[i], or 0 when none starts
// there: overlong forms, surrogates, code points past U+10FFFF and cut
// sequences all count as invalid. Shift-JIS text happens to contain byte
// pairs that a lax check would take for UTF-8.
int Utf8Length(const unsigned char *p, qsizetype n, qsizetype i)
{
    const unsigned char lead = p[i];
    if (lead < 0x80)
        return 1;
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
        return 0;  // stray continuation byte, C0/C1 overlong, or F5..FF
    }
    if (n - i < length)
        return 0;
    if (p[i + 1] < low || p[i + 1] > high)
        return 0;
    for (int k = 2; k < length; ++k) {
        if (p[i + k] < 0x80 || p[i + k] > 0xBF)
            return 0;
    }
    return length;
}

bool IsValidUtf8(QByteArrayView bytes)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const qsizetype n = bytes.size();
    for (qsizetype i = SkipAscii(p, n, 0); i < n; i = SkipAscii(p, n, i)) {
        const int length = Utf8Length(p, n, i);
        if (length == 0)
            return false;
        i += length;
    }
    return true;
}

bool HasNonAscii(QByteArrayView bytes)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    return SkipAscii(p, bytes.size(), 0) < bytes.size();
}

// QString::fromUtf8 drops a leading mark, and so would drop a text's own
// first character U+FEFF once the file's mark has been taken off.
QString FromUtf8(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    return decoder.decode(bytes);
}

// UTF-8 with each byte that starts no valid sequence kept as its escape
// character, as code page 932 keeps its own; valid is cleared if any was.
QString DecodeUtf8(QByteArrayView bytes, bool &valid)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const qsizetype n = bytes.size();
    QString text;
    qsizetype run = 0;  // start of the valid bytes not yet decoded
    for (qsizetype i = SkipAscii(p, n, 0); i < n; i = SkipAscii(p, n, i)) {
        const int length = Utf8Length(p, n, i);
        if (length > 0) {
            i += length;
            continue;
        }
        valid = false;
        text += FromUtf8(bytes.sliced(run, i - run));
        text += QChar(EscapedByte(p[i]));
        run = ++i;
    }
    if (run == 0)
        return FromUtf8(bytes);
    text += FromUtf8(bytes.sliced(run));
    return text;
}

// What tells a file's form, gathered over its bytes or line by line.
struct FormSigns {
    explicit FormSigns(Encoding g) : guess(g) {}

    void add(QByteArrayView bytes)
    {
        nonAscii = nonAscii || HasNonAscii(bytes);
        utf8 = utf8 && IsValidUtf8(bytes);
        cp932 = cp932 && (guess == Encoding::Utf8WhenValid || IsValidCp932(bytes));
    }

    TextForm form() const
    {
        if (marked)
            return {kUtf8Mark.size(), true};
        // Pure ASCII reads the same either way, so it goes the code page
        // route the game's own files take.
        const bool ownFileInCp932 = guess == Encoding::Utf8WhenMarked && cp932;
        return {0, nonAscii && utf8 && !ownFileInCp932};
    }

    Encoding guess;
    bool marked = false;
    bool nonAscii = false;
    bool utf8 = true;
    bool cp932 = true;
};

}  // namespace

TextForm FormOf(QByteArrayView bytes, Encoding guess)
{
    FormSigns signs(guess);
    signs.marked = bytes.startsWith(kUtf8Mark);
    if (!signs.marked)
        signs.add(bytes);
    return signs.form();
}

QString DecodeAs(QByteArrayView bytes, bool utf8, bool *valid)
{
    bool allValid = true;
    QString text = utf8 ? DecodeUtf8(bytes, allValid) : DecodeCp932(bytes, &allValid);
    if (valid && !allValid)
        *valid = false;
    return text;
}

QString DecodeText(QByteArrayView bytes, Encoding guess)
{
    const TextForm form = FormOf(bytes, guess);
    return DecodeAs(bytes.sliced(form.start), form.utf8);
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

bool ForEachLineOfFile(QIODevice &file, qint64 length,
                       const std::function<bool(QByteArrayView)> &visit)
{
    constexpr qint64 kPiece = 1 << 20;
    QByteArray held;        // the start of a line the last piece cut off
    bool afterCr = false;   // the last piece ended in CR: an LF next is its pair
    for (qint64 left = length; left > 0;) {
        const QByteArray piece = file.read(std::min(left, kPiece));
        if (piece.isEmpty())
            return false;  // an error, or a file cut shorter meanwhile
        left -= piece.size();
        QByteArrayView rest(piece);
        if (afterCr && rest.startsWith('\n'))
            rest = rest.sliced(1);
        afterCr = piece.endsWith('\r');
        const char *p = rest.data();
        qsizetype lastEnd = -1;  // the last line end in this piece
        for (qsizetype i = rest.size() - 1; i >= 0; --i) {
            if (p[i] == '\r' || p[i] == '\n') {
                lastEnd = i;
                break;
            }
        }
        if (lastEnd < 0) {
            held.append(rest);
            continue;
        }
        // Line ends inside a piece are ForEachLine's to pair; the line
        // still held from before is joined to the first one.
        QByteArrayView complete = rest.first(lastEnd + 1);
        if (!held.isEmpty())
            complete = held.append(complete);
        bool more = true;
        ForEachLine(complete, [&](QByteArrayView line) { return more = visit(line); });
        if (!more)
            return true;
        held = rest.sliced(lastEnd + 1).toByteArray();
    }
    if (!held.isEmpty())
        visit(held);
    return true;
}

std::optional<QStringList> ReadTextLines(const QString &path, Encoding guess, qint64 maxBytes)
{
    const FileBytes read = ReadRegularFile(path, maxBytes);
    if (read.problem != FileProblem::None)
        return std::nullopt;
    return SplitLines(DecodeText(read.bytes, guess));
}

}  // namespace typetoki
