#pragma once
// Reading text files: the game's own, written in code page 932 (see
// cp932.h) or, where that cannot hold a text, in UTF-8 behind a byte-order
// mark; and the texts people bring, in either. Writing the game's files is
// persistence/textfile.h.

#include "engine/cp932.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class QIODevice;

namespace typetoki {

// How a file without a byte-order mark is told apart from code page 932.
enum class Encoding {
    // Texts people bring (training texts): valid UTF-8 with non-ASCII
    // characters is taken as UTF-8, as Linux editors write it.
    Utf8WhenValid,
    // The game's own files: code page 932 whenever the bytes are valid code
    // page 932 (a name such as "ﾐｷ" happens to be valid UTF-8 too and must
    // stay as it is); UTF-8 when only that fits, as a hand edit on Linux
    // leaves it.
    Utf8WhenMarked,
};

// The UTF-8 byte-order mark.
inline constexpr QByteArrayView kUtf8Mark("\xEF\xBB\xBF", 3);

// How a file's bytes are to be decoded: from where (after a byte-order mark)
// and as which encoding. Line ends are the same bytes in both, so the lines
// of a file can be found first and decoded one by one.
struct TextForm {
    qsizetype start = 0;
    bool utf8 = false;
};
TextForm FormOf(QByteArrayView bytes, Encoding guess);

// Decodes bytes as FormOf told; bytes that are not valid in that encoding
// become escape characters (cp932.h) in both, so they are written back as
// they were. valid, when given, is cleared when any byte had to be kept so.
QString DecodeAs(QByteArrayView bytes, bool utf8, bool *valid = nullptr);

// A whole file's bytes decoded: UTF-8 when they start with the UTF-8
// byte-order mark (the mark dropped), or as the guess allows; code page 932
// otherwise.
QString DecodeText(QByteArrayView bytes, Encoding guess = Encoding::Utf8WhenValid);

// Splits a decoded text into lines; CR LF, LF and CR each end a line. A final
// line without a line end counts; a line end at the very end of the text does
// not start another line. An empty text has no lines.
QStringList SplitLines(const QString &text);

// The same lines as SplitLines of the decoded text, as byte ranges, each
// passed to visit(QByteArrayView) in order; visit returns false to stop.
template <typename Visit>
void ForEachLine(QByteArrayView bytes, Visit &&visit)
{
    const char *p = bytes.data();
    const qsizetype n = bytes.size();
    qsizetype start = 0;
    for (qsizetype i = 0; i < n; ++i) {
        if (p[i] != '\r' && p[i] != '\n')
            continue;
        if (!visit(bytes.sliced(start, i - start)))
            return;
        if (p[i] == '\r' && i + 1 < n && p[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < n)
        visit(bytes.sliced(start));
}

// Each line of an open file, as ForEachLine gives them, read in pieces so
// that no more of the file than its longest line is held at once: the first
// `length` bytes from where the file stands; visit returns false to stop.
// False when reading fails.
bool ForEachLineOfFile(QIODevice &file, qint64 length,
                       const std::function<bool(QByteArrayView)> &visit);

// The lines of a small text file (at most maxBytes), or nullopt when it
// cannot be opened or read, or is no regular file.
std::optional<QStringList> ReadTextLines(const QString &path,
                                         Encoding guess = Encoding::Utf8WhenValid,
                                         qint64 maxBytes = 1 << 20);

}  // namespace typetoki
