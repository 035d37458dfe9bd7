// Decoding any bytes as a game file and writing the lines back: no crash, no
// undefined behaviour, and whatever was read is written so that it reads
// back as the same lines.

#include "engine/textfile.h"
#include "fuzz/check.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

using namespace typetoki;
using namespace typetoki::fuzz;

namespace {

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

    // Written back, the lines read back the same, whichever form was chosen.
    const QByteArray written = EncodeLines(lines);
    Check(SplitLines(DecodeText(written, Encoding::Utf8WhenMarked)) == lines);

    // A text the code page holds comes back from its bytes unchanged, but
    // for the look-alikes, which come back as the code page's own.
    if (const auto cp932 = EncodeCp932(text)) {
        QString own = text;
        for (QChar &c : own)
            c = QChar(Cp932Form(c.unicode()));
        Check(DecodeCp932(*cp932) == own);
    }
    return 0;
}
