#include "persistence/scorefile.h"

#include "engine/numbers.h"
#include "engine/textfile.h"
#include "persistence/datafolder.h"

#include <QFileInfo>
#include <QLockFile>
#include <algorithm>
#include <cmath>
#include <map>
#include <optional>
#include <utility>

namespace typetoki {
namespace {

constexpr int kTopCount = 10;

// Another copy holds the lock only for one save; a copy that died holding
// it leaves a stale lock, which QLockFile takes over at once.
constexpr int kLockWaitMs = 10000;
constexpr int kFirstRanked = kPoints;
constexpr int kRankedCount = 4;

bool IsRanked(int field)
{
    return field >= kFirstRanked && field < kFirstRanked + kRankedCount;
}

bool IsStoredText(int field)
{
    return field == kPlayerName || field == kPlayedAt;
}

// Larger first; among equals the earlier row, as the board has always listed them.
struct BetterFirst {
    bool operator()(const std::pair<double, int> &a, const std::pair<double, int> &b) const
    {
        return a.first > b.first || (a.first == b.first && a.second < b.second);
    }
};

QString AbsolutePath(const QString &path)
{
    return QFileInfo(path).absoluteFilePath();
}

// Overwriting a file that could not be read would lose the records in it.
bool RefuseUnreadable(QString *error)
{
    if (error)
        *error = QStringLiteral("ファイルを読めなかったため、上書きすると中の記録が失われます");
    return false;
}

}  // namespace

QString ScoreFieldText(QString text)
{
    text.replace(u',', u'\uFF0C');
    text.replace(u'\r', u' ');
    text.replace(u'\n', u' ');
    return text;
}

const ScoreRecord &ScoreTable::row(int r) const
{
    static const ScoreRecord empty;
    if (r < 1 || r > scoreCount())
        return empty;
    return rows_[r - 1];
}

ScoreTable::Numbers ScoreTable::ReadNumbers(const ScoreRecord &record)
{
    Numbers numbers;
    numbers.mode = ReadNumber(record.fields[kModeNumber]);
    numbers.timeLimit = ReadNumber(record.fields[kTimeLimit]);
    for (int k = 0; k < kRankedCount; ++k)
        numbers.ranked[k] = ReadNumber(record.fields[kFirstRanked + k]);
    return numbers;
}

double ScoreTable::value(int index, int field) const
{
    if (IsRanked(field))
        return numbers_[index].ranked[field - kFirstRanked];
    if (field == kModeNumber)
        return numbers_[index].mode;
    if (field == kTimeLimit)
        return numbers_[index].timeLimit;
    return ReadNumber(rows_[index].fields[field]);
}

void ScoreTable::add(ScoreRecord record)
{
    numbers_.push_back(ReadNumbers(record));
    rows_.push_back(std::move(record));
}

void ScoreTable::append(const ScoreRecord &record)
{
    ScoreRecord stored = record;
    stored.fields[kPlayerName] = ScoreFieldText(stored.fields[kPlayerName]);
    stored.fields[kPlayedAt] = ScoreFieldText(stored.fields[kPlayedAt]);
    add(std::move(stored));
}

bool ScoreTable::LoadScores(const QString &path)
{
    rows_.clear();
    numbers_.clear();
    unreadablePath_.clear();

    const std::optional<QStringList> lines = ReadTextLines(path, Encoding::Utf8WhenMarked);
    if (!lines) {
        if (!QFileInfo::exists(path))
            return true;  // no result registered yet
        unreadablePath_ = AbsolutePath(path);
        return false;
    }
    rows_.reserve(lines->size());
    numbers_.reserve(lines->size());
    for (const QString &line : *lines) {
        ScoreRecord record;
        // A tenth field and beyond can only come from a hand-edited file; the
        // record keeps its first nine, and the lines after it are still read.
        int field = 0;
        for (const QStringView piece : QStringView(line).tokenize(u',')) {
            record.fields[field] = piece.toString();
            if (++field == kScoreFieldCount)
                break;
        }
        add(std::move(record));
    }
    return true;
}

std::vector<int> ScoreTable::SelectTopTen(int field, double mode, double timeLimit) const
{
    std::vector<std::pair<double, int>> candidates;
    if (field < 0 || field >= kScoreFieldCount)
        return {};
    for (int i = 0; i < scoreCount(); ++i) {
        if (numbers_[i].mode != mode || numbers_[i].timeLimit != timeLimit)
            continue;
        const double v = value(i, field);
        if (v > 0)
            candidates.emplace_back(v, i + 1);
    }
    const auto top = candidates.begin() + std::min<std::ptrdiff_t>(kTopCount, candidates.size());
    std::partial_sort(candidates.begin(), top, candidates.end(), BetterFirst());
    std::vector<int> rows;
    rows.reserve(top - candidates.begin());
    for (auto it = candidates.begin(); it != top; ++it)
        rows.push_back(it->second);
    return rows;
}

double ScoreTable::TenthBest(int field, double mode, double timeLimit) const
{
    const std::vector<int> rows = SelectTopTen(field, mode, timeLimit);
    return rows.empty() ? 0 : value(rows.back() - 1, field);
}

bool ScoreTable::Register(const ScoreRecord &record, const QString &path, const QString &readPath,
                          const std::function<void()> &beforeSave, QString *error)
{
    QLockFile lock(path + QStringLiteral(".lock"));
    if (!lock.tryLock(kLockWaitMs) && lock.error() == QLockFile::LockFailedError) {
        append(record);
        if (beforeSave)
            beforeSave();
        if (error)
            *error = QStringLiteral("ほかに起動しているタイプ闘記がファイルを使い続けています");
        return false;
    }
    // Without a lock (a folder nobody may write) the save below fails with
    // its own reason.
    const bool read = LoadScores(readPath);
    append(record);
    if (beforeSave)
        beforeSave();
    if (!read)
        return RefuseUnreadable(error);
    return SaveScores(path, error);
}

bool ScoreTable::SaveScores(const QString &path, QString *error)
{
    if (!unreadablePath_.isEmpty() && AbsolutePath(path) == unreadablePath_)
        return RefuseUnreadable(error);

    // Every row would otherwise run the full top-ten selection once per ranked
    // field over the whole table. Each group's thresholds only depend on its
    // own values, so they are worked out once per group: the tenth largest
    // positive value, or the smallest when there are fewer, or 0 when none.
    using Key = std::pair<double, double>;
    std::map<Key, std::array<std::vector<double>, kRankedCount>> positives;
    for (const Numbers &n : numbers_) {
        if (std::isnan(n.mode) || std::isnan(n.timeLimit))
            continue;  // equal to nothing, so in no group
        auto &group = positives[{n.mode, n.timeLimit}];
        for (int k = 0; k < kRankedCount; ++k) {
            if (n.ranked[k] > 0)
                group[k].push_back(n.ranked[k]);
        }
    }
    std::map<Key, std::array<double, kRankedCount>> thresholds;
    for (auto &[key, group] : positives) {
        std::array<double, kRankedCount> &threshold = thresholds[key];
        for (int k = 0; k < kRankedCount; ++k) {
            std::vector<double> &values = group[k];
            if (values.empty()) {
                threshold[k] = 0;
                continue;
            }
            const auto last = values.begin() + (std::min<std::ptrdiff_t>(kTopCount, values.size()) - 1);
            std::nth_element(values.begin(), last, values.end(), std::greater<double>());
            threshold[k] = *last;
        }
    }

    std::vector<ScoreRecord> kept;
    QStringList lines;
    for (int i = 0; i < scoreCount(); ++i) {
        const Numbers &n = numbers_[i];
        // A record is judged against the group of its mode and time limit
        // rounded to whole numbers; kept as doubles, a hand-edited 70000 or
        // 1E+300 is just another group instead of an overflow.
        const Key key{RoundHalfEven(n.mode), RoundHalfEven(n.timeLimit)};
        std::array<double, kRankedCount> threshold{};
        if (!std::isnan(key.first) && !std::isnan(key.second)) {
            if (const auto found = thresholds.find(key); found != thresholds.end())
                threshold = found->second;
        }
        bool keep = false;
        for (int k = 0; k < kRankedCount && !keep; ++k)
            keep = n.ranked[k] >= threshold[k];
        if (!keep)
            continue;

        ScoreRecord record;
        record.fields[kSerial] = QString::number(kept.size() + 1);
        for (int field = 1; field < kScoreFieldCount; ++field) {
            record.fields[field] = IsStoredText(field) ? rows_[i].fields[field]
                                                       : FormatNumber(value(i, field));
        }
        lines.append(QStringList(record.fields.begin(), record.fields.end()).join(u','));
        kept.push_back(std::move(record));
    }

    if (!WriteTextLines(path, lines, error))
        return false;
    rows_.clear();
    numbers_.clear();
    rows_.reserve(kept.size());
    numbers_.reserve(kept.size());
    // The numbers are read again from their written form, which is what the
    // next LoadScores will see.
    for (ScoreRecord &record : kept)
        add(std::move(record));
    return true;
}

QString ScoresPath(const Module1 &state)
{
    return state.inDataFolder(QStringLiteral("tkscore.ini"));
}

QString ScoresPathToRead(const Module1 &state)
{
    return DataFileToRead(state, QStringLiteral("tkscore.ini"));
}

}  // namespace typetoki
