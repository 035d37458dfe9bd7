// Names typed on the high-score board, whatever they hold, registered one
// after another as the board registers results: every save reads back with
// each record whole (nine fields, one line), each name as it was stored, and
// a save of the table read back writes the very same bytes.

#include "persistence/scorefile.h"

#include "engine/cp932.h"
#include "engine/textread.h"
#include "fuzz/check.h"

#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstddef>
#include <cstdint>

using namespace typetoki;
using namespace typetoki::fuzz;

namespace {

// Ten results of one mode and time limit stay on the board whatever they
// score, so every name registered is still there to be read back.
constexpr int kMostNames = 10;

// The names: the bytes after the first as UTF-8 or, when the first byte is
// odd, as UTF-16 code units, which an input method might commit unpaired;
// U+0001 separates one player's name from the next.
QStringList NamesOf(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return {QString()};
    QString text;
    if (data[0] & 1) {
        for (std::size_t i = 1; i + 1 < size; i += 2)
            text += QChar(char16_t(data[i] | data[i + 1] << 8));
    } else {
        text = QString::fromUtf8(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    }
    return text.split(u'\u0001').mid(0, kMostNames);
}

// The name with each look-alike typed on Linux as the code page's own, as it
// reads back once a save has written it in code page 932.
QString Own(QString text)
{
    for (QChar &c : text)
        c = QChar(Cp932Form(c.unicode()));
    return text;
}

void CheckStoredForm(const QString &typed, const QString &stored)
{
    // Nothing a name holds may split its record or its line, nor be half a
    // character that no encoding can write (but for a byte kept from a
    // file); every other character stays, where it was.
    Check(stored.size() == typed.size());
    for (qsizetype i = 0; i < typed.size(); ++i) {
        const QChar c = stored[i];
        Check(c != u',' && c != u'\r' && c != u'\n');
        const bool paired = (c.isHighSurrogate() && i + 1 < stored.size() && stored[i + 1].isLowSurrogate())
                            || (c.isLowSurrogate() && i > 0 && stored[i - 1].isHighSurrogate());
        Check(!c.isSurrogate() || paired || IsEscapedByte(c.unicode()));
        const bool splitting = typed[i] == u',' || typed[i] == u'\r' || typed[i] == u'\n';
        Check(c == typed[i] || splitting || (typed[i].isSurrogate() && c == u'?'));
    }
    Check(ScoreFieldText(stored) == stored);
}

ScoreRecord Result(const QString &name, int k)
{
    ScoreRecord record;
    record.fields[kSerial] = QStringLiteral("0");
    record.fields[kPlayerName] = name;
    record.fields[kPoints] = QString::number(1000 + k);
    record.fields[kCorrectChars] = QString::number(200 + k);
    record.fields[kCharsPerSecond] = QStringLiteral("3.5");
    record.fields[kAccuracy] = QStringLiteral("97.25");
    record.fields[kPlayedAt] = QStringLiteral("2024/05/06 07:08:09");
    record.fields[kModeNumber] = QStringLiteral("4");
    record.fields[kTimeLimit] = QStringLiteral("60");
    return record;
}

QByteArray Bytes(const QString &path)
{
    QFile file(path);
    Check(file.open(QIODevice::ReadOnly));
    return file.readAll();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static QTemporaryDir dir;
    Check(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("tkscore.ini"));
    const QString again = dir.filePath(QStringLiteral("again.ini"));
    QFile::remove(path);

    const QStringList names = NamesOf(data, size);
    QStringList stored;  // each name as the file must give it back
    ScoreTable board;
    for (qsizetype k = 0; k < names.size(); ++k) {
        stored << ScoreFieldText(names[k]);
        CheckStoredForm(names[k], stored.back());
        Check(board.Register(Result(names[k], int(k)), path, path));
        if (!Bytes(path).startsWith(kUtf8Mark)) {
            for (QString &name : stored)
                name = Own(name);
        }
    }

    // One line of nine fields a record.
    const QByteArray saved = Bytes(path);
    const QStringList lines = SplitLines(DecodeText(saved, Encoding::Utf8WhenMarked));
    Check(lines.size() == names.size());
    for (const QString &line : lines)
        Check(line.count(u',') == kScoreFieldCount - 1);

    ScoreTable reread;
    Check(reread.LoadScores(path));
    Check(reread.scoreCount() == names.size());
    for (int r = 1; r <= reread.scoreCount(); ++r) {
        const ScoreRecord record = reread.row(r);
        Check(record.fields[kSerial] == QString::number(r));
        // Bytes a name kept from a file (escape characters) are written
        // back as bytes and may read back as one character with their new
        // neighbours; fuzz_cp932 holds the text layer to the rest.
        const QString &name = stored[r - 1];
        const bool keptBytes = std::any_of(name.begin(), name.end(),
                                           [](QChar c) { return IsEscapedByte(c.unicode()); });
        Check(record.fields[kPlayerName] == name || keptBytes);
        Check(record.fields[kPoints] == QString::number(1000 + r - 1));
        Check(record.fields[kTimeLimit] == QStringLiteral("60"));
    }
    Check(reread.SaveScores(again));
    Check(Bytes(again) == saved);
    return 0;
}
