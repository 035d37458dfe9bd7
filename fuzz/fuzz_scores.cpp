// The high-score file read, listed and pruned from any file: no crash, no
// undefined behaviour, every list obeys the top-ten rules, the save keeps
// exactly the records the rules keep, and the table then is the new file.

#include "persistence/scorefile.h"

#include "engine/cp932.h"
#include "engine/numbers.h"
#include "persistence/textfile.h"
#include "fuzz/check.h"

#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <set>
#include <utility>
#include <vector>

using namespace typetoki;
using namespace typetoki::fuzz;

namespace {

double Value(const ScoreTable &table, int r, int field)
{
    return ReadNumber(table.row(r).fields[field]);
}

bool InGroup(const ScoreTable &table, int r, double mode, double limit)
{
    return Value(table, r, kModeNumber) == mode && Value(table, r, kTimeLimit) == limit;
}

// What SelectTopTen must give, checked without re-deriving its order.
void CheckTopTen(const ScoreTable &table, int field, double mode, double limit)
{
    const std::vector<int> list = table.SelectTopTen(field, mode, limit);
    Check(list.size() <= 10);
    std::set<int> listed;
    for (size_t i = 0; i < list.size(); ++i) {
        const int r = list[i];
        Check(r >= 1 && r <= table.scoreCount());
        Check(listed.insert(r).second);
        Check(InGroup(table, r, mode, limit));
        Check(Value(table, r, field) > 0);
        if (i > 0) {
            const double before = Value(table, list[i - 1], field);
            const double now = Value(table, r, field);
            Check(before > now || (before == now && list[i - 1] < r));
        }
    }
    const double tenth = table.TenthBest(field, mode, limit);
    Check(list.empty() ? tenth == 0 : tenth == Value(table, list.back(), field));
    // Nothing left out would have ranked above the last one listed.
    for (int r = 1; r <= table.scoreCount(); ++r) {
        if (listed.count(r) || !InGroup(table, r, mode, limit))
            continue;
        const double v = Value(table, r, field);
        if (!(v > 0))
            continue;
        Check(list.size() == 10);
        Check(v < tenth || (v == tenth && r > list.back()));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static QTemporaryDir dir;
    Check(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("tkscore.ini"));
    const QString saved = dir.filePath(QStringLiteral("saved.ini"));
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    {
        QFile file(path);
        Check(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        Check(file.write(bytes) == bytes.size());
    }

    ScoreTable table;
    Check(table.LoadScores(path));
    Check(table.scoreCount() == SplitLines(DecodeText(bytes, Encoding::Utf8WhenMarked)).size());

    std::set<std::pair<double, double>> groups;
    for (int r = 1; r <= table.scoreCount(); ++r) {
        const double mode = Value(table, r, kModeNumber);
        const double limit = Value(table, r, kTimeLimit);
        groups.insert({mode, limit});
        groups.insert({RoundHalfEven(mode), RoundHalfEven(limit)});
    }
    int checked = 0;
    for (const auto &[mode, limit] : groups) {
        if (++checked > 12)
            break;  // enough to find a fault, few enough to stay fast
        for (int field = kPoints; field <= kAccuracy; ++field)
            CheckTopTen(table, field, mode, limit);
    }

    // The records a save must keep, and how it writes them.
    QStringList expected;
    for (int r = 1; r <= table.scoreCount(); ++r) {
        const ScoreRecord &record = table.row(r);
        const double mode = RoundHalfEven(Value(table, r, kModeNumber));
        const double limit = RoundHalfEven(Value(table, r, kTimeLimit));
        bool keep = false;
        for (int field = kPoints; field <= kAccuracy && !keep; ++field)
            keep = Value(table, r, field) >= table.TenthBest(field, mode, limit);
        if (!keep)
            continue;
        QStringList fields{QString::number(expected.size() + 1)};
        for (int field = 1; field < kScoreFieldCount; ++field) {
            fields << (field == kPlayerName || field == kPlayedAt
                           ? record.fields[field]
                           : FormatNumber(Value(table, r, field)));
        }
        expected << fields.join(u',');
    }

    ScoreTable pruned = table;
    Check(pruned.SaveScores(saved));
    Check(pruned.scoreCount() == expected.size());
    for (int r = 1; r <= pruned.scoreCount(); ++r) {
        const auto &fields = pruned.row(r).fields;
        // A look-alike typed on Linux reads back as the code page's own.
        QString line = QStringList(fields.begin(), fields.end()).join(u',');
        QString want = expected[r - 1];
        for (QString *text : {&line, &want}) {
            for (QChar &c : *text)
                c = QChar(Cp932Form(c.unicode()));
        }
        Check(line == want);
    }

    if (SplitLines(DecodeText(EncodeLines(expected), Encoding::Utf8WhenMarked)) != expected)
        return 0;  // the text layer's own fault; fuzz_cp932 is the place for it
    ScoreTable reread;
    Check(reread.LoadScores(saved));
    Check(reread.scoreCount() == pruned.scoreCount());
    for (int r = 1; r <= reread.scoreCount(); ++r)
        Check(reread.row(r).fields == pruned.row(r).fields);
    return 0;
}
