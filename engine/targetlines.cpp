#include "engine/targetlines.h"

#include "engine/numbers.h"
#include "engine/regularfile.h"
#include "engine/textread.h"

#include <QFile>

namespace typetoki {

QStringView TargetLines::line(qsizetype i) const
{
    if (i < 1 || i > count())
        return QStringView();
    const qsizetype begin = i == 1 ? 0 : ends_[i - 2];
    return QStringView(text_).sliced(begin, ends_[i - 1] - begin);
}

std::vector<QString> TargetLines::all() const
{
    std::vector<QString> entries;
    entries.reserve(size());
    for (qsizetype i = 0; i <= count(); ++i)
        entries.push_back((*this)[i]);
    return entries;
}

void TargetLines::append(QStringView line)
{
    text_ += line;
    ends_.push_back(std::uint32_t(text_.size()));
}

std::optional<TargetLines> ReadTrainingText(const QString &path)
{
    QFile file;
    if (OpenRegularFile(file, path, kTrainingTextLimit) != FileProblem::None)
        return std::nullopt;
    qint64 length = file.size();
    // MS-DOS editors ended a text with 0x1A; it is no line to type.
    if (length > 0 && file.seek(length - 1)) {
        char last = 0;
        if (file.getChar(&last) && last == '\x1A')
            --length;
    }
    // Valid UTF-8 (or marked so) is read as UTF-8, as Linux editors write
    // it; anything else as code page 932. The first line that is not UTF-8
    // starts the reading over, so a file is never held whole beside its lines.
    for (const bool utf8 : {true, false}) {
        if (!file.seek(0))
            return std::nullopt;
        TargetLines lines;
        // No line has more characters than bytes; the room is only address
        // space until used, and squeeze() hands the rest back.
        lines.reserve(length);
        bool first = true;
        bool marked = false;
        bool fits = true;
        const bool read = ForEachLineOfFile(file, length, [&](QByteArrayView bytes) {
            if (first) {
                first = false;
                marked = bytes.startsWith(kUtf8Mark);
                if (marked)
                    bytes = bytes.sliced(kUtf8Mark.size());
            }
            const QString line = TrimBlanks(DecodeAs(bytes, utf8 || marked, &fits));
            if (utf8 && !marked && !fits)
                return false;
            if (!line.isEmpty())
                lines.append(line);
            return true;
        });
        if (!read)
            return std::nullopt;
        if (fits || marked || !utf8) {
            lines.squeeze();
            return lines;
        }
    }
    return std::nullopt;
}

}  // namespace typetoki
