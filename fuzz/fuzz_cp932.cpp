// Decoding any bytes as a game file and writing the lines back: no crash, no
// undefined behaviour, and whatever was read is written so that it reads
// back as the same lines.

#include "persistence/textfile.h"
#include "fuzz/check.h"

#include <QByteArray>
#include <QString>

#include <algorithm>
#include <cstddef>
#include <cstdint>

using namespace typetoki;
using namespace typetoki::fuzz;

namespace {

// The text with each look-alike typed on Linux as the code page's own
// character, which is how it reads back once written in code page 932.
QString Own(QString text)
{
    for (QChar &c : text)
        c = QChar(Cp932Form(c.unicode()));
    return text;
}

QStringList Own(QStringList lines)
{
    for (QString &line : lines)
        line = Own(line);
    return lines;
}

qsizetype LineEnds(const QString &text)
{
    qsizetype ends = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\n' || (text[i] == u'\r' && !(i + 1 < text.size() && text[i + 1] == u'\n')))
            ++ends;
    }
    return ends;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString text = DecodeText(bytes);
    const QStringList lines = SplitLines(text);

    // Every line end ends one line; a last line without one still counts.
    const bool openLast = !text.isEmpty() && !text.endsWith(u'\n') && !text.endsWith(u'\r');
    Check(lines.size() == LineEnds(text) + (openLast ? 1 : 0));
    for (const QString &line : lines)
        Check(!line.contains(u'\r') && !line.contains(u'\n'));

    // Written back, the lines read back the same, whichever form was chosen
    // (a look-alike as the code page's own when that was code page 932).
    // Only bytes kept from no valid character may meet their new neighbours
    // so that neither encoding reads them back alone; they are still
    // written as they were.
    const QByteArray written = EncodeLines(lines);
    const QStringList back = SplitLines(DecodeText(written, Encoding::Utf8WhenMarked));
    const bool kept = std::any_of(text.begin(), text.end(),
                                  [](QChar c) { return IsEscapedByte(c.unicode()); });
    Check(back == lines || (!written.startsWith("\xEF\xBB\xBF") && back == Own(lines)) || kept);

    // A text the code page holds comes back from its bytes unchanged, but
    // for the look-alikes, which come back as the code page's own.
    if (const auto cp932 = EncodeCp932(text))
        Check(DecodeCp932(*cp932) == Own(text));
    return 0;
}
