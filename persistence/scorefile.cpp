#include "persistence/scorefile.h"

#include "engine/cp932.h"
#include "engine/numbers.h"
#include "persistence/textfile.h"
#include "persistence/datafolder.h"

#include "engine/regularfile.h"

#include <QFileInfo>
#include <QLockFile>
#include <QVarLengthArray>
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

// A number field straight from the file's bytes. Only ASCII can belong to a
// number, and in code page 932 and UTF-8 alike a character beyond ASCII
// starts with a byte of 0x80 or more, where reading stops either way; so
// the bytes read as Latin-1 give the number the decoded text gives.
double NumberOfBytes(QByteArrayView field)
{
    QVarLengthArray<char16_t, 32> text(field.size());
    for (qsizetype i = 0; i < field.size(); ++i)
        text[i] = static_cast<unsigned char>(field[i]);
    return ReadNumber(QStringView(text.data(), text.size()));
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
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;  // a character beyond U+FFFF
        else if (c.isSurrogate() && !IsEscapedByte(c.unicode()))
            text[i] = u'?';
    }
    return text;
}

ScoreRecord ScoreTable::row(int r) const
{
    if (r < 1 || r > scoreCount())
        return {};
    const std::size_t index = std::size_t(r - 1);
    if (index >= spans_.size())
        return added_[index - spans_.size()];
    const Span span = spans_[index];
    const QString line = DecodeAs(QByteArrayView(bytes_).sliced(span.begin, span.length), utf8_);
    ScoreRecord record;
    int field = 0;
    for (const QStringView piece : QStringView(line).tokenize(u','))
        record.fields[field++] = piece.toString();  // at most nine: see index()
    return record;
}

double ScoreTable::value(int index, int field) const
{
    if (IsRanked(field))
        return numbers_[index].ranked[field - kFirstRanked];
    if (field == kModeNumber)
        return numbers_[index].mode;
    if (field == kTimeLimit)
        return numbers_[index].timeLimit;
    return ReadNumber(row(index + 1).fields[field]);
}

void ScoreTable::append(const ScoreRecord &record)
{
    ScoreRecord stored = record;
    stored.fields[kPlayerName] = ScoreFieldText(stored.fields[kPlayerName]);
    stored.fields[kPlayedAt] = ScoreFieldText(stored.fields[kPlayedAt]);
    Numbers numbers;
    numbers.mode = ReadNumber(stored.fields[kModeNumber]);
    numbers.timeLimit = ReadNumber(stored.fields[kTimeLimit]);
    for (int k = 0; k < kRankedCount; ++k)
        numbers.ranked[k] = ReadNumber(stored.fields[kFirstRanked + k]);
    numbers_.push_back(numbers);
    added_.push_back(std::move(stored));
}

void ScoreTable::clear()
{
    bytes_.clear();
    spans_.clear();
    added_.clear();
    numbers_.clear();
}

bool ScoreTable::index(QByteArray bytes)
{
    clear();
    const TextForm form = FormOf(bytes, Encoding::Utf8WhenMarked);
    bytes_ = std::move(bytes);
    utf8_ = form.utf8;
    const QByteArrayView text = QByteArrayView(bytes_).sliced(form.start);

    qsizetype lines = 0;
    ForEachLine(text, [&](QByteArrayView) { return ++lines <= kMostScoreRecords; });
    if (lines > kMostScoreRecords) {
        clear();
        return false;
    }
    spans_.reserve(std::size_t(lines));
    numbers_.reserve(std::size_t(lines));
    ForEachLine(text, [&](QByteArrayView line) {
        Numbers numbers;
        // A tenth field and beyond can only come from a hand-edited file; the
        // record keeps its first nine, and the lines after it are still read.
        int field = 0;
        qsizetype start = 0;
        qsizetype end = 0;
        for (; end <= line.size(); ++end) {
            if (end < line.size() && line[end] != ',')
                continue;
            const QByteArrayView piece = line.sliced(start, end - start);
            if (IsRanked(field))
                numbers.ranked[field - kFirstRanked] = NumberOfBytes(piece);
            else if (field == kModeNumber)
                numbers.mode = NumberOfBytes(piece);
            else if (field == kTimeLimit)
                numbers.timeLimit = NumberOfBytes(piece);
            if (++field == kScoreFieldCount)
                break;
            start = end + 1;
        }
        const qsizetype kept = std::min(end, line.size());
        spans_.push_back({std::uint32_t(line.data() - bytes_.constData()), std::uint32_t(kept)});
        numbers_.push_back(numbers);
        return true;
    });
    return true;
}

bool ScoreTable::LoadScores(const QString &path)
{
    clear();
    unreadablePath_.clear();
    FileBytes read = ReadRegularFile(path, kScoreFileLimit);
    if (read.problem == FileProblem::Missing && !QFileInfo::exists(path))
        return true;  // no result registered yet
    if (read.problem == FileProblem::None && index(std::move(read.bytes)))
        return true;
    unreadablePath_ = AbsolutePath(path);
    return false;
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

    std::vector<int> kept;
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
        if (keep)
            kept.push_back(i);
    }

    // Written a line at a time: a large board is never held as text.
    const QByteArray bytes = EncodeLines([&](const std::function<void(QStringView)> &visit) {
        int serial = 0;
        for (const int i : kept) {
            const ScoreRecord stored = row(i + 1);
            QString line = QString::number(++serial);
            for (int field = 1; field < kScoreFieldCount; ++field) {
                line += u',';
                line += IsStoredText(field) ? stored.fields[field] : FormatNumber(value(i, field));
            }
            visit(line);
        }
    });
    if (!WriteFileBytes(path, bytes, error))
        return false;
    // The table becomes what the next LoadScores of the file will see.
    index(bytes);
    return true;
}

QString ScoresPath(const Folders &folders)
{
    return folders.inDataFolder(QStringLiteral("tkscore.ini"));
}

QString ScoresPathToRead(const Folders &folders)
{
    return DataFileToRead(folders, QStringLiteral("tkscore.ini"));
}

}  // namespace typetoki
