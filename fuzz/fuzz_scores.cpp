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
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <utility>
#include <vector>

using namespace typetoki;
using namespace typetoki::fuzz;

namespace {

// A row's numbers, read once: a file of a thousand lines has hundreds of
// groups, and reading every row again for each of them made a run crawl.
struct RowNumbers {
    double mode = 0;
    double limit = 0;
    std::array<double, kScoreFieldCount> fields{};
};
using Group = std::pair<double, double>;

struct Rows {
    explicit Rows(const ScoreTable &table) : numbers(size_t(table.scoreCount()) + 1)
    {
        for (int r = 1; r <= table.scoreCount(); ++r) {
            RowNumbers &n = numbers[r];
            for (int field = kPoints; field <= kAccuracy; ++field)
                n.fields[field] = ReadNumber(table.row(r).fields[field]);
            n.mode = ReadNumber(table.row(r).fields[kModeNumber]);
            n.limit = ReadNumber(table.row(r).fields[kTimeLimit]);
            // NaN equals nothing, so its row is in no group (and would break
            // the map's order).
            if (!std::isnan(n.mode) && !std::isnan(n.limit))
                members[{n.mode, n.limit}].push_back(r);
        }
    }
    double value(int r, int field) const { return numbers[r].fields[field]; }
    const std::vector<int> &of(const Group &group) const
    {
        static const std::vector<int> none;
        const auto found = members.find(group);
        return found == members.end() ? none : found->second;
    }
    // The tenth largest value above 0 in field among the group's rows, the
    // smallest when there are fewer, 0 when none: what a record must reach
    // to stay on the board.
    double tenthBest(const Group &group, int field) const
    {
        std::vector<double> positive;
        for (const int r : of(group)) {
            if (value(r, field) > 0)
                positive.push_back(value(r, field));
        }
        if (positive.empty())
            return 0;
        const auto last = positive.begin() + (std::min<std::ptrdiff_t>(10, positive.size()) - 1);
        std::nth_element(positive.begin(), last, positive.end(), std::greater<double>());
        return *last;
    }

    std::vector<RowNumbers> numbers;  // by row number, from 1
    std::map<Group, std::vector<int>> members;
};

// What SelectTopTen must give, checked without re-deriving its order.
void CheckTopTen(const ScoreTable &table, const Rows &rows, int field, const Group &group)
{
    const auto [mode, limit] = group;
    const std::vector<int> list = table.SelectTopTen(field, mode, limit);
    Check(list.size() <= 10);
    std::set<int> listed;
    for (size_t i = 0; i < list.size(); ++i) {
        const int r = list[i];
        Check(r >= 1 && r <= table.scoreCount());
        Check(listed.insert(r).second);
        Check(rows.numbers[r].mode == mode && rows.numbers[r].limit == limit);
        Check(rows.value(r, field) > 0);
        if (i > 0) {
            const double before = rows.value(list[i - 1], field);
            const double now = rows.value(r, field);
            Check(before > now || (before == now && list[i - 1] < r));
        }
    }
    const double tenth = table.TenthBest(field, mode, limit);
    Check(list.empty() ? tenth == 0 : tenth == rows.value(list.back(), field));
    Check(tenth == rows.tenthBest(group, field));
    // Nothing left out would have ranked above the last one listed.
    for (const int r : rows.of(group)) {
        const double v = rows.value(r, field);
        if (listed.count(r) || !(v > 0))
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
    const Rows rows(table);

    std::set<Group> groups;
    for (int r = 1; r <= table.scoreCount(); ++r) {
        const RowNumbers &n = rows.numbers[r];
        if (std::isnan(n.mode) || std::isnan(n.limit))
            continue;
        groups.insert({n.mode, n.limit});
        groups.insert({RoundHalfEven(n.mode), RoundHalfEven(n.limit)});
    }
    int checked = 0;
    for (const Group &group : groups) {
        if (++checked > 12)
            break;  // enough to find a fault, few enough to stay fast
        for (int field = kPoints; field <= kAccuracy; ++field)
            CheckTopTen(table, rows, field, group);
    }

    // The records a save must keep, and how it writes them.
    // Each group's thresholds are worked out once, from its own rows.
    std::map<Group, std::array<double, kScoreFieldCount>> thresholds;
    QStringList expected;
    for (int r = 1; r <= table.scoreCount(); ++r) {
        const ScoreRecord &record = table.row(r);
        const RowNumbers &n = rows.numbers[r];
        const Group group{RoundHalfEven(n.mode), RoundHalfEven(n.limit)};
        std::array<double, kScoreFieldCount> threshold{};
        if (!std::isnan(group.first) && !std::isnan(group.second)) {
            auto [found, added] = thresholds.try_emplace(group);
            if (added) {
                for (int field = kPoints; field <= kAccuracy; ++field)
                    found->second[field] = rows.tenthBest(group, field);
            }
            threshold = found->second;
        }
        bool keep = false;
        for (int field = kPoints; field <= kAccuracy && !keep; ++field)
            keep = n.fields[field] >= threshold[field];
        if (!keep)
            continue;
        QStringList fields{QString::number(expected.size() + 1)};
        for (int field = 1; field < kScoreFieldCount; ++field) {
            fields << (field == kPlayerName || field == kPlayedAt
                           ? record.fields[field]
                           : FormatNumber(ReadNumber(record.fields[field])));
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
