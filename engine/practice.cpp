#include "engine/practice.h"

#include "engine/romaji.h"

#include <QHash>
#include <algorithm>
#include <random>

namespace typetoki {

namespace {

constexpr qsizetype kShortestLine = 20;
constexpr qsizetype kLongestLine = 40;
constexpr QChar kWordBreak = u'\u3000';
// Kana listed by name in each group; the rest are counted.
constexpr qsizetype kListedUnits = 20;
// A kana pair found in fewer words, or a small kana on its own, is a
// loanword's odd spelling (スケヂュール, スェーター): typed where it comes,
// but never drawn for. Every other kana is, however rare (ぢ).
constexpr std::size_t kFewestWords = 20;

bool DrawnFor(const QString &unit, std::size_t words)
{
    if (unit.size() > 1)
        return words >= kFewestWords;
    return !QStringView(u"ぁぃぅぇぉゃゅょゎゕゖ").contains(unit[0]);
}

bool IsKatakana(QChar c)
{
    return c.unicode() >= 0x30A1 && c.unicode() <= 0x30F6;
}

TargetStats Figures(const TargetMap &figures, const QString &target)
{
    const auto it = figures.find(target);
    return it == figures.end() ? TargetStats() : it->second;
}

void Add(TargetStats &sum, const TargetStats &more)
{
    sum.targeted += more.targeted;
    sum.missed += more.missed;
    sum.hitSeconds += more.hitSeconds;
    sum.timedHits += more.timedHits;
}

// A part's figures as a multiple of the mastered line; -1 with too few.
double Severity(const TargetStats &s, double masteredSeconds)
{
    if (s.targeted < kMinSamples)
        return -1;
    const double miss = double(s.missed) / double(s.targeted) / kMasteredMissRate;
    const double time = s.timedHits > 0 ? s.hitSeconds / s.timedHits / masteredSeconds : 0;
    return std::max(miss, time);
}

// The worst part of a unit: each of its characters (a training text may
// write it in katakana), each of its keys (in either case). A unit whose
// parts are all under the line is mastered only when all its characters,
// or all its keys, have figures: き is not mastered by k alone.
struct Parts {
    double worst = -1;
    bool whole = false;
};

Parts UnitSeverity(const QString &unit, const QString &keys, const TargetMap &figures)
{
    Parts parts;
    bool allCharacters = true, allKeys = !keys.isEmpty();
    for (const QChar c : unit) {
        TargetStats s = Figures(figures, QString(c));
        if (c.unicode() >= 0x3041 && c.unicode() <= 0x3096)
            Add(s, Figures(figures, QString(QChar(c.unicode() + 0x60))));
        const double severity = Severity(s, kMasteredCharSeconds);
        allCharacters = allCharacters && severity >= 0;
        parts.worst = std::max(parts.worst, severity);
    }
    for (const QChar k : keys) {
        TargetStats s = Figures(figures, QString(k.toLower()));
        if (k.toUpper() != k.toLower())
            Add(s, Figures(figures, QString(k.toUpper())));
        const double severity = Severity(s, kMasteredKeySeconds);
        allKeys = allKeys && severity >= 0;
        parts.worst = std::max(parts.worst, severity);
    }
    parts.whole = allCharacters || allKeys;
    return parts;
}

}  // namespace

QString HiraganaOf(const QString &text)
{
    QString out = text;
    for (QChar &c : out) {
        if (IsKatakana(c))
            c = QChar(c.unicode() - 0x60);
    }
    return out;
}

QStringList SplitUnits(const QString &reading)
{
    const RomajiTable &table = RomajiTable::standard();
    QStringList units;
    for (qsizetype i = 0; i < reading.size();) {
        qsizetype length = std::min<qsizetype>(table.longestKana(), reading.size() - i);
        while (length > 0 && !table.spellings(reading.mid(i, length)))
            --length;
        if (length == 0)
            return {};
        units.append(reading.mid(i, length));
        i += length;
    }
    return units;
}

QStringList KanaUnits()
{
    QStringList units;
    for (const RomajiTable::Entry &entry : RomajiTable::standard().entries()) {
        if (std::all_of(entry.kana.cbegin(), entry.kana.cend(),
                        [](QChar c) { return c.unicode() >= 0x3041 && c.unicode() <= 0x3096; }))
            units.append(entry.kana);
    }
    return units;
}

QString UnitKeys(const QString &unit)
{
    if (unit == u"っ")
        return {};
    const QStringList *spellings = RomajiTable::standard().spellings(unit);
    return spellings ? spellings->front() : QString();
}

std::vector<UnitAssessment> AssessUnits(const QStringList &units, const TargetMap &recent,
                                        const TargetMap &earlier)
{
    std::vector<UnitAssessment> assessed;
    for (const QString &unit : units) {
        UnitAssessment a;
        a.unit = unit;
        a.keys = UnitKeys(unit);
        const Parts before = UnitSeverity(unit, a.keys, earlier);
        Parts now = UnitSeverity(unit, a.keys, recent);
        // Not met lately: what was learnt of it before still holds.
        const bool compared = now.worst >= 0;
        if (!compared)
            now = before;
        if (now.worst >= 1) {
            a.status = compared && before.worst >= 1 && now.worst <= before.worst * (1 - kImprovement)
                           ? UnitStatus::Improving
                           : UnitStatus::Weak;
            a.weight = std::min(now.worst, kWeakestWeight);
        } else if (now.worst >= 0 && now.whole) {
            a.status = UnitStatus::Mastered;
            a.weight = kMasteredWeight;
        } else {
            a.status = UnitStatus::Untried;
        }
        a.severity = std::max(now.worst, 0.0);
        assessed.push_back(a);
    }
    return assessed;
}

QString PracticeRule()
{
    return QStringLiteral("直近%1ゲームの修行とローマ字修行の記録で、ミス率%2%未満・平均時間がキー%3秒"
                          "（かな入力は1文字%4秒）未満のかなを習得済みとして出番を%5倍に減らし、"
                          "それを超えるかなは超えた度合いに応じて最大%6倍まで多く出します"
                          "（記録がまだ%7打未満のかなは1倍）。")
        .arg(kPracticeGames)
        .arg(kMasteredMissRate * 100)
        .arg(kMasteredKeySeconds)
        .arg(kMasteredCharSeconds)
        .arg(kMasteredWeight)
        .arg(kWeakestWeight)
        .arg(kMinSamples);
}

QString UnitStatusText(std::vector<UnitAssessment> units)
{
    std::stable_sort(units.begin(), units.end(),
                     [](const UnitAssessment &a, const UnitAssessment &b) {
                         // A plain kana before the pairs as bad as it.
                         if (a.severity != b.severity)
                             return a.severity > b.severity;
                         return a.unit.size() < b.unit.size();
                     });
    const struct {
        UnitStatus status;
        const char16_t *name;
    } groups[] = {{UnitStatus::Weak, u"苦手"}, {UnitStatus::Improving, u"上達中"}, {UnitStatus::Mastered, u"習得済み"}};
    QStringList lines;
    for (const auto &group : groups) {
        QStringList names;
        qsizetype more = 0;
        for (const UnitAssessment &a : units) {
            if (a.status != group.status)
                continue;
            if (names.size() < kListedUnits)
                names << (a.keys.isEmpty() ? a.unit : a.unit + u'(' + a.keys + u')');
            else
                ++more;
        }
        if (more > 0)
            names << QStringLiteral("ほか%1").arg(more);
        lines << QString::fromUtf16(group.name) + QStringLiteral("：")
                     + (names.isEmpty() ? QStringLiteral("なし") : names.join(u' '));
    }
    return lines.join(u'\n');
}

// ---- the generator ----

PracticeGenerator::PracticeGenerator(std::shared_ptr<const std::vector<PracticeWord>> words,
                                     std::shared_ptr<const Reader> reader)
    : words_(std::move(words)), reader_(std::move(reader)), checked_(words_->size(), 0)
{
    QHash<QString, int> index;
    for (int w = 0; w < int(words_->size()); ++w) {
        const PracticeWord &word = (*words_)[std::size_t(w)];
        QStringList units = SplitUnits(word.reading);
        units.removeDuplicates();
        for (const QString &unit : units) {
            auto it = index.find(unit);
            if (it == index.end()) {
                it = index.insert(unit, int(units_.size()));
                units_.append(unit);
                wordsOf_.emplace_back();
                cumulative_.emplace_back();
            }
            const double before = cumulative_[std::size_t(*it)].empty() ? 0 : cumulative_[std::size_t(*it)].back();
            wordsOf_[std::size_t(*it)].push_back(w);
            cumulative_[std::size_t(*it)].push_back(before + std::max(word.frequency, 1e-9));
        }
    }
    for (qsizetype u = units_.size() - 1; u >= 0; --u) {
        if (!DrawnFor(units_[u], wordsOf_[std::size_t(u)].size())) {
            units_.removeAt(u);
            wordsOf_.erase(wordsOf_.begin() + u);
            cumulative_.erase(cumulative_.begin() + u);
        }
    }
}

bool PracticeGenerator::accepted(int word)
{
    std::int8_t &known = checked_[std::size_t(word)];
    if (known == 0) {
        const PracticeWord &w = (*words_)[std::size_t(word)];
        // The game reads the word as the dictionary's list has it: a word
        // the dictionary reads otherwise on its own (one of two readings of
        // the same letters) would ask for keys the line does not show.
        bool good = reader_ || !NeedsDictionary(w.written);
        if (good) {
            const LineReading r = ReadLine(w.written, reader_.get());
            good = r.skipped.isEmpty() && r.kana == w.reading;
        }
        known = good ? 1 : -1;
    }
    return known > 0;
}

QStringList PracticeGenerator::Generate(const std::map<QString, double> &weights, int count,
                                        std::uint32_t seed)
{
    QStringList lines;
    if (units_.isEmpty() || count <= 0)
        return lines;
    std::mt19937 random(seed);
    std::vector<double> unitWeights;
    for (const QString &unit : units_) {
        const auto it = weights.find(unit);
        unitWeights.push_back(it == weights.end() ? 1.0 : std::max(it->second, 0.0));
    }
    auto live = [&unitWeights] {
        return std::any_of(unitWeights.begin(), unitWeights.end(), [](double w) { return w > 0; });
    };
    if (!live())
        std::fill(unitWeights.begin(), unitWeights.end(), 1.0);
    std::discrete_distribution<int> pickUnit(unitWeights.begin(), unitWeights.end());

    // A word holding the unit, by frequency; -1 when no word of it will do,
    // and then the unit is not drawn again.
    auto pickWord = [&](int unit) {
        const std::vector<double> &cumulative = cumulative_[std::size_t(unit)];
        const std::vector<int> &words = wordsOf_[std::size_t(unit)];
        std::uniform_real_distribution<double> at(0, cumulative.back());
        for (int attempt = 0; attempt < 12; ++attempt) {
            const auto i = std::upper_bound(cumulative.begin(), cumulative.end(), at(random)) - cumulative.begin();
            const int word = words[std::size_t(std::min<qsizetype>(i, qsizetype(words.size()) - 1))];
            if (accepted(word))
                return word;
        }
        // A rare unit whose few words mostly will not do.
        for (int word : words) {
            if (accepted(word))
                return word;
        }
        unitWeights[std::size_t(unit)] = 0;
        if (live())
            pickUnit = std::discrete_distribution<int>(unitWeights.begin(), unitWeights.end());
        return -1;
    };

    std::uniform_int_distribution<int> goal(int(kShortestLine), int(kLongestLine) - 6);
    // A word too long for the end of a line starts the next one, so that no
    // unit loses the turn it was drawn for.
    int carried = -1;
    for (int attempts = 0; lines.size() < count && attempts < count * 4 && live(); ++attempts) {
        const qsizetype wanted = goal(random);
        QString line, kana;
        for (int misses = 0; line.size() < wanted && misses < 40 && live();) {
            const int word = carried >= 0 ? carried : pickWord(pickUnit(random));
            carried = -1;
            if (word < 0) {
                ++misses;
                continue;
            }
            const PracticeWord &w = (*words_)[std::size_t(word)];
            if (line.size() + (line.isEmpty() ? 0 : 1) + w.written.size() > kLongestLine) {
                carried = word;
                break;
            }
            if (!line.isEmpty())
                line += kWordBreak;
            line += w.written;
            kana += w.reading;
        }
        if (line.size() < kShortestLine)
            continue;
        // Words read alone as listed can still run together in a line.
        if (reader_ && ReadLine(line, reader_.get()).kana != kana)
            continue;
        lines.append(line);
    }
    return lines;
}

}  // namespace typetoki
