#include "engine/romaji.h"

#include <QFile>
#include <QStringView>
#include <QtDebug>
#include <algorithm>
#include <limits>

namespace typetoki {
namespace {

constexpr char16_t kSmallTsu = u'っ';
constexpr char16_t kN = u'ん';
constexpr char16_t kLongVowel = u'ー';
// The state's need after a single n: the next key must not make it part of
// another kana (na, nya, nn, n').
constexpr char16_t kAfterSingleN = 1;

bool IsBlank(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\u3000';
}

// Printable ASCII: the keys a player types.
bool IsKey(char16_t c)
{
    return c > 0x20 && c < 0x7F;
}

bool IsKatakana(char16_t c)
{
    return c >= 0x30A1 && c <= 0x30F6;
}

bool IsKana(char16_t c)
{
    return (c >= 0x3041 && c <= 0x3096) || IsKatakana(c) || c == kLongVowel;
}

char16_t ToHiragana(char16_t c)
{
    return IsKatakana(c) ? char16_t(c - 0x60) : c;
}

bool IsHalfWidthKana(char16_t c)
{
    return c >= 0xFF66 && c <= 0xFF9D;
}

bool IsSoundMark(char16_t c)
{
    return c == 0xFF9E || c == 0xFF9F;
}

std::bitset<128> KeySet(const char *keys)
{
    std::bitset<128> set;
    for (; *keys; ++keys)
        set.set(std::size_t(*keys));
    return set;
}

// っ is typed by doubling the consonant that starts the next kana; n is left
// out because nn is ん.
const std::bitset<128> &Doubling()
{
    static const auto set = KeySet("bcdfghjklmpqrstvwxyz");
    return set;
}

// After a single n these would make it part of another kana.
const std::bitset<128> &AfterSingleN()
{
    static const auto set = ~KeySet("aiueony'");
    return set;
}

bool Allows(char16_t need, char16_t key)
{
    if (need == 0)
        return true;
    if (need == kAfterSingleN)
        return key < 128 && AfterSingleN().test(key);
    return key == need;
}

bool IsVoicingMark(char16_t c)
{
    return c == 0x309B || c == 0x309C || c == 0x3099 || c == 0x309A;
}

bool IsRepeatMark(char16_t c)
{
    return c == 0x309D || c == 0x309E || c == 0x30FD || c == 0x30FE;
}

// The kana with a voicing mark (゛ or its combining form) or a
// semi-voicing one; 0 when the two make no kana.
char16_t Voiced(char16_t kana, char16_t mark)
{
    const char16_t combining = mark == 0x309B ? 0x3099 : mark == 0x309C ? 0x309A : mark;
    const QChar pair[] = {QChar(kana), QChar(combining)};
    const QString composed = QString(pair, 2).normalized(QString::NormalizationForm_C);
    return composed.size() == 1 ? composed[0].unicode() : 0;
}

// What a character (or a half-width kana with its sound mark, or a kana with
// a voicing mark) is typed as on its own: a hiragana or sign the table
// spells, a key, or 0 when it has neither. `length` is how many UTF-16 units
// it takes. `previous` is the kana just before, which ゝ and ゞ repeat.
char16_t OwnUnit(QStringView line, qsizetype i, const RomajiTable &table, qsizetype *length,
                 char16_t previous = 0)
{
    const auto spelled = [&table](char16_t kana) -> char16_t {
        kana = ToHiragana(kana);
        return table.spellings(QString(QChar(kana))) ? kana : 0;
    };
    *length = 1;
    const char16_t c = line[i].unicode();
    if (IsKana(c)) {
        if (i + 1 < line.size() && IsVoicingMark(line[i + 1].unicode())) {
            if (const char16_t voiced = spelled(Voiced(ToHiragana(c), line[i + 1].unicode()))) {
                *length = 2;
                return voiced;
            }
        }
        return spelled(c);
    }
    if (IsRepeatMark(c)) {
        const bool voiced = c == 0x309E || c == 0x30FE;
        if (previous == 0 || !voiced)
            return previous;
        // A kana with no voiced form, or voiced already, is repeated as it is.
        const char16_t repeated = spelled(Voiced(previous, 0x3099));
        return repeated != 0 ? repeated : previous;
    }
    if (IsKey(c) || table.spellings(QString(QChar(c))))
        return c;
    // Kanji have no width forms; most characters of a text are these.
    if ((c >= 0x4E00 && c <= 0x9FFF) || (c >= 0x3400 && c <= 0x4DBF))
        return 0;
    if (QChar::isHighSurrogate(c) && i + 1 < line.size() && line[i + 1].isLowSurrogate())
        *length = 2;
    else if (IsHalfWidthKana(c) && i + 1 < line.size() && IsSoundMark(line[i + 1].unicode()))
        *length = 2;
    // Full-width letters and digits, half-width kana and signs.
    const QString plain = line.mid(i, *length).toString().normalized(QString::NormalizationForm_KC);
    if (plain.size() != 1)
        return 0;
    const char16_t p = plain[0].unicode();
    if (IsKana(p))
        return spelled(p);
    return IsKey(p) || table.spellings(plain) ? p : 0;
}

char32_t CodePointAt(QStringView line, qsizetype i)
{
    const QChar c = line[i];
    if (c.isHighSurrogate() && i + 1 < line.size() && line[i + 1].isLowSurrogate())
        return QChar::surrogateToUcs4(c, line[i + 1]);
    return c.unicode();
}

// A letter or number with no key of its own: a kanji, 々, 〇.
bool NeedsReading(QStringView line, qsizetype i, const RomajiTable &table, qsizetype *length)
{
    if (OwnUnit(line, i, table, length) != 0 || IsRepeatMark(line[i].unicode()))
        return false;
    return QChar::isLetterOrNumber(CodePointAt(line, i));
}

// A run of the written word: kana (as hiragana) or the characters between.
struct Run {
    bool kana = false;
    qsizetype start = 0;  // in the line
    qsizetype end = 0;
    QString hiragana;
};

// Finds where each run's part of the reading starts, so that the kana
// written in a word (okurigana, particles inside it) are typed against
// themselves and only the kanji between them share a reading. Kana runs
// must match the reading exactly; every other run takes at least one kana.
bool Align(const std::vector<Run> &runs, std::size_t k, const QString &reading, qsizetype at,
           std::vector<qsizetype> &starts, int &budget)
{
    if (--budget < 0)
        return false;
    if (k == runs.size())
        return at == reading.size();
    starts[k] = at;
    if (runs[k].kana) {
        return QStringView(reading).mid(at).startsWith(runs[k].hiragana)
            && Align(runs, k + 1, reading, at + runs[k].hiragana.size(), starts, budget);
    }
    for (qsizetype end = at + 1; end <= reading.size(); ++end) {
        if (Align(runs, k + 1, reading, end, starts, budget))
            return true;
    }
    return false;
}

// One way of reading a stretch of a line, and where its words end.
struct Path {
    QString kana;
    QList<LineSpan> source;
    QList<LineSpan> skipped;
    // (position in the line, units so far) after each word or character.
    std::vector<std::pair<qsizetype, qsizetype>> cuts;
};

void AddUnits(Path &r, QStringView kana, LineSpan source)
{
    for (const QChar c : kana) {
        r.kana += c;
        r.source.append(source);
    }
}

// Adds a word read by the dictionary. False when the word has nothing the
// dictionary is needed for, or no reading that can be typed: its characters
// are then taken one by one.
bool AddWord(Path &r, QStringView line, qsizetype to, const Word &word, const RomajiTable &table)
{
    if (word.start < 0 || word.length <= 0 || word.start + word.length > to)
        return false;
    const qsizetype end = word.start + word.length;

    bool needed = false;
    std::vector<Run> runs;
    for (qsizetype i = word.start, length = 1; i < end; i += length) {
        const bool kana = IsKana(line[i].unicode());
        needed |= NeedsReading(line, i, table, &length);
        if (runs.empty() || runs.back().kana != kana)
            runs.push_back(Run{kana, i, i, {}});
        runs.back().end = i + length;
        if (kana)
            runs.back().hiragana += QChar(ToHiragana(line[i].unicode()));
    }
    QString reading;
    for (const QChar c : word.reading) {
        const char16_t kana = ToHiragana(c.unicode());
        if (!IsKana(c.unicode()) || !table.spellings(QString(QChar(kana))))
            return false;
        reading += QChar(kana);
    }
    if (!needed || reading.isEmpty())
        return false;

    std::vector<qsizetype> starts(runs.size());
    int budget = 10000;
    if (!Align(runs, 0, reading, 0, starts, budget)) {
        AddUnits(r, reading, LineSpan{word.start, word.length});
        return true;
    }
    for (std::size_t k = 0; k < runs.size(); ++k) {
        const qsizetype readingEnd = k + 1 < runs.size() ? starts[k + 1] : reading.size();
        const QStringView part = QStringView(reading).mid(starts[k], readingEnd - starts[k]);
        if (runs[k].kana) {
            for (qsizetype j = 0; j < part.size(); ++j)
                AddUnits(r, part.mid(j, 1), LineSpan{runs[k].start + j, 1});
        } else {
            AddUnits(r, part, LineSpan{runs[k].start, runs[k].end - runs[k].start});
        }
    }
    return true;
}

}  // namespace

// ------------------------------------------------------------------ table

const RomajiTable &RomajiTable::standard()
{
    static const RomajiTable table = [] {
        QFile file(QStringLiteral(":/typetoki/romaji.tsv"));
        if (!file.open(QIODevice::ReadOnly))
            qWarning("The romaji table is missing from the program");
        return parse(QString::fromUtf8(file.readAll()));
    }();
    return table;
}

RomajiTable RomajiTable::parse(const QString &text, QStringList *problems)
{
    RomajiTable table;
    const auto complain = [&](qsizetype number, const QString &what) {
        if (problems)
            problems->append(QStringLiteral("line %1: %2").arg(number).arg(what));
    };
    const QStringList lines = text.split(u'\n');
    for (qsizetype n = 0; n < lines.size(); ++n) {
        QString line = lines[n];
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (line.trimmed().isEmpty() || line.startsWith(u'#'))
            continue;
        const QStringList columns = line.split(u'\t');
        if (columns.size() != 2 || columns[0].isEmpty()) {
            complain(n + 1, QStringLiteral("not the kana, a tab and the spellings"));
            continue;
        }
        Entry entry{columns[0], columns[1].split(u' ', Qt::SkipEmptyParts)};
        const bool keysOnly = std::all_of(entry.spellings.begin(), entry.spellings.end(),
                                          [](const QString &spelling) {
                                              return std::all_of(spelling.begin(), spelling.end(),
                                                                 [](QChar c) { return IsKey(c.unicode()); });
                                          });
        if (entry.spellings.isEmpty() || !keysOnly) {
            complain(n + 1, QStringLiteral("spellings must be printable ASCII keys"));
            continue;
        }
        if (table.index_.contains(entry.kana)) {
            complain(n + 1, entry.kana + QStringLiteral(" is listed twice"));
            continue;
        }
        table.index_.insert(entry.kana, table.entries_.size());
        table.longest_ = std::max(table.longest_, int(entry.kana.size()));
        table.entries_.append(std::move(entry));
    }
    return table;
}

const QStringList *RomajiTable::spellings(const QString &kana) const
{
    const auto found = index_.constFind(kana);
    return found == index_.cend() ? nullptr : &entries_[*found].spellings;
}

// ---------------------------------------------------------------- reading

bool NeedsDictionary(const QString &line)
{
    const RomajiTable &table = RomajiTable::standard();
    for (qsizetype i = 0, length = 1; i < line.size(); i += length) {
        if (NeedsReading(line, i, table, &length))
            return true;
    }
    return false;
}

namespace {

QString Hiragana(QStringView text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text)
        out += QChar(ToHiragana(c.unicode()));
    return out;
}

// Numbers say some counters differently from the way the dictionary reads
// each word: 一本 is ippon, 三本 sanbon, 十個 jukko or jikko. Gives the words
// with each such pair read that way (with じっ for 十 when `ji`), and in
// `joined` where each pair meets; nothing when no pair has such a change.
QList<Word> CounterSounds(QStringView line, const QList<Word> &words, bool ji,
                          std::vector<qsizetype> &joined)
{
    static const QString kDoubling = QStringLiteral("かきくけこさしすせそたちつてとはひふへほ");
    static const QString kHRow = QStringLiteral("はひふへほ");
    static const QString kPRow = QStringLiteral("ぱぴぷぺぽ");
    static const QString kVoicedAfterN[] = {QStringLiteral("ほん"), QStringLiteral("ひき"),
                                            QStringLiteral("はい"), QStringLiteral("ひゃく")};
    QList<Word> out;
    bool changed = false;
    for (qsizetype k = 0; k < words.size(); ++k) {
        const Word &number = words[k];
        out.append(number);
        if (k + 1 == words.size() || number.length != 1 || number.start < 0
            || number.start + number.length > line.size())
            continue;
        const Word &counter = words[k + 1];
        if (counter.start != number.start + number.length)
            continue;
        const QString first = Hiragana(number.reading);
        QString second = Hiragana(counter.reading);
        if (second.isEmpty())
            continue;
        const char16_t written = line[number.start].unicode();
        QString said;
        if ((written == u'三' && first == QStringLiteral("さん"))
            || (written == u'何' && first == QStringLiteral("なん"))) {
            if (std::none_of(std::begin(kVoicedAfterN), std::end(kVoicedAfterN),
                             [&](const QString &w) { return second.startsWith(w); }))
                continue;
            second[0] = QChar(second[0].unicode() + 1);  // は → ば and so on
            said = first;
        } else if (kDoubling.contains(second[0])) {
            static const QHash<char16_t, std::pair<QString, QString>> doubled{
                {u'一', {QStringLiteral("いち"), QStringLiteral("いっ")}},
                {u'六', {QStringLiteral("ろく"), QStringLiteral("ろっ")}},
                {u'八', {QStringLiteral("はち"), QStringLiteral("はっ")}},
                {u'十', {QStringLiteral("じゅう"), QStringLiteral("じゅっ")}}};
            const auto found = doubled.constFind(written);
            if (found == doubled.cend() || first != found->first)
                continue;
            if (const qsizetype h = kHRow.indexOf(second[0]); h >= 0)
                second[0] = kPRow[h];
            said = written == u'十' && ji ? QStringLiteral("じっ") : found->second;
        } else {
            continue;
        }
        out.back().reading = said;
        out.append(Word{counter.start, counter.length, second});
        joined.push_back(counter.start);
        ++k;
        changed = true;
    }
    return changed ? out : QList<Word>();
}

// Reads line[from, to) along one way of cutting it into words.
// Words that meet at a place in `joined` are read as one.
Path ReadPath(QStringView line, qsizetype from, qsizetype to, const QList<Word> &words,
              const RomajiTable &table, const std::vector<qsizetype> &joined = {})
{
    Path r;
    r.cuts.emplace_back(from, 0);
    qsizetype w = 0;
    for (qsizetype i = from, length = 1; i < to; i += length) {
        while (w < words.size() && words[w].start < i)
            ++w;
        bool read = false;
        for (; !read && w < words.size() && words[w].start == i; ++w) {
            read = AddWord(r, line, to, words[w], table);
            length = words[w].length;
        }
        if (!read) {
            const bool after = !r.kana.isEmpty() && r.source.back().start + r.source.back().length == i;
            const char16_t previous = after ? r.kana.back().unicode() : 0;
            const char16_t unit = OwnUnit(line, i, table, &length, IsKana(previous) ? previous : 0);
            if (unit != 0)
                AddUnits(r, QStringView(&unit, 1), LineSpan{i, length});
            else if (!IsBlank(line[i].unicode()))
                r.skipped.append(LineSpan{i, length});
        }
        if (std::find(joined.begin(), joined.end(), i + length) == joined.end())
            r.cuts.emplace_back(i + length, r.kana.size());
    }
    return r;
}

// Lays the readings out one after another and links them up.
class Layout {
public:
    explicit Layout(LineReading &r)
        : r_(r)
    {
    }

    // A stretch of the line, read one of these ways (likeliest first).
    void add(std::vector<std::pair<QString, QList<LineSpan>>> ways)
    {
        QList<qsizetype> firsts;
        QList<qsizetype> lasts;
        QStringList seen;
        for (auto &[kana, source] : ways) {
            if (kana.isEmpty() || seen.contains(kana))
                continue;
            seen.append(kana);
            firsts.append(r_.kana.size());
            r_.kana += kana;
            r_.source += source;
            lasts.append(r_.kana.size() - 1);
        }
        if (firsts.isEmpty())
            return;
        link(firsts);
        ends_ = lasts;
    }

    void finish() { link({r_.kana.size()}); }

private:
    void link(const QList<qsizetype> &firsts)
    {
        for (const qsizetype end : ends_) {
            if (firsts.size() != 1 || firsts[0] != end + 1)
                r_.branches.insert(end, firsts);
        }
    }

    LineReading &r_;
    QList<qsizetype> ends_{-1};
};

// Reads line[from, to), which has no ruby, in each of the dictionary's ways
// and in the ways counters change them. Stretches where every way ends a
// word at the same place are laid out apart, so that each word may be read
// any of its ways whatever was chosen for the others.
void ReadPlain(LineReading &r, Layout &layout, qsizetype from, qsizetype to, const Reader *reader,
               const RomajiTable &table)
{
    if (from >= to)
        return;
    const QStringView line(r.line);
    const QString stretch = r.line.mid(from, to - from);
    QList<QList<Word>> analyses;
    if (reader && NeedsDictionary(stretch))
        analyses = reader->analyses(stretch);
    if (analyses.isEmpty())
        analyses.append(QList<Word>());
    for (QList<Word> &words : analyses) {
        for (Word &word : words)
            word.start += from;
    }
    const QList<Word> &bestWords = analyses.front();
    const Path best = ReadPath(line, from, to, bestWords, table);
    // The analyses mostly differ from the best in a word or two: only those
    // are read again.
    const auto readAs = [&](const QList<Word> &words, const std::vector<qsizetype> &joined) {
        qsizetype lead = 0;
        while (lead < words.size() && lead < bestWords.size() && words[lead] == bestWords[lead])
            ++lead;
        qsizetype trail = 0;
        while (trail < words.size() - lead && trail < bestWords.size() - lead
               && words[words.size() - 1 - trail] == bestWords[bestWords.size() - 1 - trail])
            ++trail;
        const qsizetype a = lead > 0 ? words[lead - 1].start + words[lead - 1].length : from;
        const qsizetype b = trail > 0 ? words[words.size() - trail].start : to;
        const auto cutAt = [&](qsizetype at) {
            const auto c = std::lower_bound(best.cuts.cbegin(), best.cuts.cend(), std::make_pair(at, qsizetype(0)));
            return c != best.cuts.cend() && c->first == at ? c : best.cuts.cend();
        };
        const auto ca = cutAt(a);
        const auto cb = cutAt(b);
        if (a > b || ca == best.cuts.cend() || cb == best.cuts.cend())
            return ReadPath(line, from, to, words, table, joined);
        const Path part = ReadPath(line, a, b, words, table, joined);
        const qsizetype ka = ca->second;
        const qsizetype kb = cb->second;
        Path out;
        out.kana = best.kana.left(ka) + part.kana + best.kana.mid(kb);
        out.source = best.source.mid(0, ka) + part.source + best.source.mid(kb);
        for (const LineSpan &span : best.skipped) {
            if (span.start < a)
                out.skipped.append(span);
        }
        out.skipped += part.skipped;
        for (const LineSpan &span : best.skipped) {
            if (span.start >= b)
                out.skipped.append(span);
        }
        out.cuts.assign(best.cuts.cbegin(), ca + 1);
        for (auto c = part.cuts.cbegin() + 1; c != part.cuts.cend(); ++c)
            out.cuts.emplace_back(c->first, ka + c->second);
        for (auto c = cb + 1; c != best.cuts.cend(); ++c)
            out.cuts.emplace_back(c->first, c->second - kb + ka + part.kana.size());
        return out;
    };
    std::vector<Path> paths;
    for (const QList<Word> &words : analyses) {
        // The changed sound first: it is what people say.
        for (const bool ji : {false, true}) {
            if (ji && !stretch.contains(u'十'))
                continue;
            std::vector<qsizetype> joined;
            const QList<Word> changed = CounterSounds(line, words, ji, joined);
            if (!changed.isEmpty())
                paths.push_back(readAs(changed, joined));
        }
        paths.push_back(&words == &bestWords ? best : readAs(words, {}));
    }
    // The places where every way ends a word.
    std::vector<qsizetype> common;
    for (const auto &cut : paths.front().cuts)
        common.push_back(cut.first);
    for (std::size_t p = 1; p < paths.size(); ++p) {
        std::vector<qsizetype> kept;
        auto c = paths[p].cuts.cbegin();
        for (const qsizetype at : common) {
            while (c != paths[p].cuts.cend() && c->first < at)
                ++c;
            if (c != paths[p].cuts.cend() && c->first == at)
                kept.push_back(at);
        }
        common = std::move(kept);
    }
    std::vector<std::size_t> cursor(paths.size(), 0);
    const auto unitsAt = [&](std::size_t p, qsizetype at) {
        while (paths[p].cuts[cursor[p]].first < at)
            ++cursor[p];
        return paths[p].cuts[cursor[p]].second;
    };
    // How many characters a way passes over in line[a, b).
    const auto passedOver = [&](std::size_t p, qsizetype a, qsizetype b) {
        const QList<LineSpan> &skipped = paths[p].skipped;
        const auto first = [&](qsizetype at) {
            return std::lower_bound(skipped.cbegin(), skipped.cend(), at,
                                    [](const LineSpan &s, qsizetype x) { return s.start < x; });
        };
        return first(b) - first(a);
    };
    for (std::size_t k = 0; k + 1 < common.size(); ++k) {
        std::vector<std::pair<QString, QList<LineSpan>>> ways;
        // A way that leaves a kanji unread is no reading where another reads it.
        qsizetype fewest = std::numeric_limits<qsizetype>::max();
        for (std::size_t p = 0; p < paths.size(); ++p)
            fewest = std::min(fewest, passedOver(p, common[k], common[k + 1]));
        for (std::size_t p = 0; p < paths.size(); ++p) {
            const qsizetype a = unitsAt(p, common[k]);
            const qsizetype b = unitsAt(p, common[k + 1]);
            if (passedOver(p, common[k], common[k + 1]) == fewest)
                ways.emplace_back(paths[p].kana.mid(a, b - a), paths[p].source.mid(a, b - a));
        }
        layout.add(std::move(ways));
    }
    r.skipped += paths.front().skipped;
}

// A long stretch is read a sentence or so at a time: the dictionary's ways
// of reading a sentence hardly depend on the next, and the ways of reading
// a whole paragraph would cost far more than the sentences'.
void ReadSentences(LineReading &r, Layout &layout, qsizetype from, qsizetype to, const Reader *reader,
                   const RomajiTable &table)
{
    constexpr qsizetype kLongest = 200;
    static const QString kEnds = QStringLiteral("。！？、!?　 ");
    while (to - from > kLongest) {
        qsizetype end = from + kLongest;
        for (qsizetype i = end; i > from + kLongest / 2; --i) {
            if (kEnds.contains(r.line[i - 1])) {
                end = i;
                break;
            }
        }
        // Never between the two halves of a character, nor a kana and its mark.
        if (r.line[end - 1].isHighSurrogate())
            --end;
        while (end < to && (IsVoicingMark(r.line[end].unicode()) || IsSoundMark(r.line[end].unicode())))
            ++end;
        ReadPlain(r, layout, from, end, reader, table);
        from = end;
    }
    ReadPlain(r, layout, from, to, reader, table);
}

bool IsKanjiOfRuby(QStringView line, qsizetype i)
{
    const char16_t c = line[i].unicode();
    return (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0x3400 && c <= 0x4DBF) || (c >= 0xF900 && c <= 0xFAFF)
        || c == u'々' || c == u'〆' || c == u'〇' || c == u'ヶ' || QChar::isSurrogate(c);
}

}  // namespace

QString LineReading::likeliest() const
{
    QString out;
    for (qsizetype unit = branches.value(-1, {0}).front(); unit < kana.size();
         unit = branches.value(unit, {unit + 1}).front())
        out += kana[unit];
    return out;
}

RubyLine ParseRuby(const QString &line)
{
    RubyLine out;
    out.shown.reserve(line.size());
    qsizetype baseStart = -1;  // after a ｜, in shown
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (c == u'［' && line.mid(i + 1, 1) == QStringLiteral("＃")) {
            const qsizetype close = line.indexOf(u'］', i + 2);
            if (close >= 0) {
                i = close;
                continue;
            }
        }
        // A bar with no ruby after it is only a bar.
        if (c == u'｜' && line.indexOf(u'《', i + 1) >= 0) {
            baseStart = out.shown.size();
            continue;
        }
        if (c == u'《') {
            const qsizetype close = line.indexOf(u'》', i + 1);
            qsizetype start = baseStart;
            if (start < 0) {
                start = out.shown.size();
                while (start > 0 && IsKanjiOfRuby(out.shown, start - 1))
                    --start;
            }
            if (close >= 0 && start < out.shown.size()) {
                out.rubies.append({LineSpan{start, out.shown.size() - start}, line.mid(i + 1, close - i - 1)});
                baseStart = -1;
                i = close;
                continue;
            }
        }
        out.shown += c;
    }
    return out;
}

QString WithoutRuby(const QString &line)
{
    const bool marked = line.contains(u'《') || line.contains(u'｜') || line.contains(QStringLiteral("［＃"));
    return marked ? ParseRuby(line).shown : line;
}

LineReading ReadLine(const QString &text, const Reader *reader, const RomajiTable &table)
{
    const RubyLine ruby = ParseRuby(text);
    LineReading r;
    r.line = ruby.shown;
    Layout layout(r);
    qsizetype at = 0;
    for (const RubyLine::Ruby &given : ruby.rubies) {
        ReadSentences(r, layout, at, given.base.start, reader, table);
        QString kana;
        for (const QChar c : given.reading) {
            const char16_t h = ToHiragana(c.unicode());
            if (table.spellings(QString(QChar(h))))
                kana += QChar(h);
        }
        layout.add({{kana, QList<LineSpan>(kana.size(), given.base)}});
        if (kana.isEmpty())
            r.skipped.append(given.base);
        at = given.base.start + given.base.length;
    }
    ReadSentences(r, layout, at, r.line.size(), reader, table);
    layout.finish();
    return r;
}

// ----------------------------------------------------------------- typing

RomajiLine::RomajiLine(LineReading reading, const RomajiTable &table)
    : reading_(std::move(reading))
{
    const QString &kana = reading_.kana;
    const qsizetype n = kana.size();
    nextAt_.reserve(std::size_t(n) + 2);
    next_.reserve(std::size_t(n) + 1);
    for (qsizetype p = -1; p < n; ++p) {
        nextAt_.push_back(qsizetype(next_.size()));
        const auto found = reading_.branches.constFind(p);
        if (found == reading_.branches.cend())
            next_.push_back(p + 1);
        else
            next_.insert(next_.end(), found->cbegin(), found->cend());
    }
    nextAt_.push_back(qsizetype(next_.size()));

    options_.resize(std::size_t(n));
    for (qsizetype p = 0; p < n; ++p) {
        // Every run of units from p along the branches, as long as an entry
        // of the table can be.
        std::vector<Option> &options = options_[std::size_t(p)];
        struct Run {
            qsizetype last;
            int rank;
            QString kana;
        };
        std::vector<Run> runs{{p, 0, QString(kana[p])}};
        for (std::size_t k = 0; k < runs.size(); ++k) {
            const Run run = runs[k];
            if (const QStringList *spellings = table.spellings(run.kana))
                options.push_back(Option{run.last, run.rank, run.kana.size(), *spellings});
            if (run.kana.size() >= table.longestKana())
                continue;
            int rank = 0;
            for (const qsizetype *s = nextBegin(run.last); s != nextEnd(run.last); ++s, ++rank) {
                if (*s < n)
                    runs.push_back(Run{*s, run.rank + rank, run.kana + kana[*s]});
            }
        }
        std::stable_sort(options.begin(), options.end(), [](const Option &a, const Option &b) {
            return a.size != b.size ? a.size > b.size : a.rank < b.rank;
        });
        if (options.empty() && IsKey(kana[p].unicode()))
            options.push_back(Option{p, 0, 1, {QString(kana[p])}});
    }

    // From the end, since っ and ん depend on what follows them, and what
    // follows a unit always comes after it.
    firstKeys_.resize(std::size_t(n) + 1);
    suggested_.resize(std::size_t(n));
    for (qsizetype p = n - 1; p >= 0; --p) {
        Keys &keys = firstKeys_[p];
        for (const Option &option : options_[p]) {
            for (const QString &spelling : option.spellings)
                keys.set(spelling[0].unicode());
        }
        const qsizetype after = *nextBegin(p);
        if (kana[p] == kSmallTsu) {
            for (const qsizetype *s = nextBegin(p); s != nextEnd(p); ++s)
                keys |= firstKeys_[*s] & Doubling();
        }

        Choice &choice = suggested_[p];
        if (!options_[p].empty())
            choice = Choice{options_[p].front().spellings.front(), options_[p].front().last, 0};
        const char16_t next = after < n ? suggested_[after].spelling.front().unicode() : 0;
        if (kana[p] == kSmallTsu && next < 128 && Doubling().test(next))
            choice = Choice{QString(QChar(next)), p, next};
        else if (kana[p] == kN && next != 0 && Allows(kAfterSingleN, next))
            choice = Choice{QStringLiteral("n"), p, kAfterSingleN};
    }
    int rank = 0;
    for (const qsizetype *s = nextBegin(-1); s != nextEnd(-1); ++s, ++rank)
        states_.push_back(State{*s, {}, 0, *s, 0, rank});
}

qsizetype RomajiLine::endOf(qsizetype unit) const
{
    const LineSpan span = spanOf(unit);
    return span.start + span.length;
}

// The unit the guide goes on to after `last`: the likeliest that the key
// `then` leaves open.
qsizetype RomajiLine::follow(qsizetype last, char16_t then) const
{
    const qsizetype n = reading_.kana.size();
    for (const qsizetype *s = nextBegin(last); s != nextEnd(last); ++s) {
        if (then == 0 || *s >= n)
            return *s;
        const Keys open = then == kAfterSingleN ? AfterSingleN() : Keys().set(then);
        if ((firstKeys_[*s] & open).any())
            return *s;
    }
    return *nextBegin(last);
}

void RomajiLine::step(const State &state, char16_t key, std::vector<State> &out) const
{
    const auto add = [&out](State next) {
        const auto same = std::find_if(out.begin(), out.end(), [&](const State &s) { return s.sameWay(next); });
        if (same == out.end())
            out.push_back(std::move(next));
        else if (next.rank < same->rank)
            *same = std::move(next);
    };
    const qsizetype n = reading_.kana.size();
    const qsizetype unit = state.unit;
    if (unit >= n || (state.pending.isEmpty() && !Allows(state.need, key)))
        return;
    const QString typed = state.pending + QChar(key);
    for (const Option &option : options_[unit]) {
        for (const QString &spelling : option.spellings) {
            if (spelling.size() == typed.size() && spelling == typed) {
                int rank = state.rank + option.rank;
                for (const qsizetype *s = nextBegin(option.last); s != nextEnd(option.last); ++s, ++rank)
                    add(State{*s, {}, 0, unit, endOf(option.last), rank});
            } else if (spelling.startsWith(typed)) {
                add(State{unit, typed, 0, unit, state.doneEnd, state.rank});
            }
        }
    }
    if (!state.pending.isEmpty())
        return;
    const char16_t kana = reading_.kana[unit].unicode();
    const bool tsu = kana == kSmallTsu && Doubling().test(key);
    const bool singleN = kana == kN && key == u'n';
    if (!tsu && !singleN)
        return;
    int rank = state.rank;
    for (const qsizetype *s = nextBegin(unit); s != nextEnd(unit); ++s, ++rank) {
        if (*s >= n)
            continue;
        if (tsu && firstKeys_[*s].test(key))
            add(State{*s, {}, key, unit, endOf(unit), rank});
        if (singleN && (firstKeys_[*s] & AfterSingleN()).any())
            add(State{*s, {}, kAfterSingleN, unit, endOf(unit), rank});
    }
}

KeyResult RomajiLine::type(QChar key)
{
    std::vector<State> next;
    if (IsKey(key.unicode())) {
        for (const State &state : states_)
            step(state, key.unicode(), next);
    }
    if (next.empty())
        return KeyResult{false, spanOf(leading().unit)};
    states_ = std::move(next);
    typed_ += key;
    return KeyResult{true, spanOf(leading().keyUnit)};
}

bool RomajiLine::finished() const
{
    return std::any_of(states_.begin(), states_.end(),
                       [this](const State &s) { return s.unit == reading_.kana.size(); });
}

// The likeliest way; of two as likely, the one furthest along, and of two
// at the same unit, the one with less typed of it (a single n already
// counted as ん rather than the first n of nn).
const RomajiLine::State &RomajiLine::leading() const
{
    return *std::min_element(states_.begin(), states_.end(), [](const State &a, const State &b) {
        if (a.rank != b.rank)
            return a.rank < b.rank;
        if (a.unit != b.unit)
            return a.unit > b.unit;
        return a.pending.size() < b.pending.size();
    });
}

LineSpan RomajiLine::spanOf(qsizetype unit) const
{
    if (unit < reading_.source.size())
        return reading_.source[unit];
    return LineSpan{reading_.line.size(), 0};
}

qsizetype RomajiLine::doneUpTo() const
{
    return passedUpTo(leading());
}

// Skipped characters after the last unit typed stay to be seen until a key
// of the next unit is typed.
qsizetype RomajiLine::passedUpTo(const State &state) const
{
    const qsizetype next = spanOf(state.unit).start;
    if (!state.pending.isEmpty())
        return next;
    // Units of one kanji word share its span.
    return std::min(state.doneEnd, next);
}

void RomajiLine::appendSkipped(QString &out, qsizetype from, qsizetype to) const
{
    const QList<LineSpan> &skipped = reading_.skipped;
    auto span = std::lower_bound(skipped.cbegin(), skipped.cend(), from,
                                 [](const LineSpan &s, qsizetype at) { return s.start < at; });
    for (; span != skipped.cend() && span->start < to && out.size() < kGuideLength; ++span)
        out += QStringView(reading_.line).mid(span->start, span->length);
}

// The spelling of the unit that agrees with what has been typed of it and
// with what the key before it left open; the guide's own suggestion first.
RomajiLine::Choice RomajiLine::pick(qsizetype unit, const QString &pending, char16_t need) const
{
    const auto fits = [&](const QString &spelling) {
        return spelling.size() > pending.size() && spelling.startsWith(pending)
            && (!pending.isEmpty() || Allows(need, spelling[0].unicode()));
    };
    const Choice &suggested = suggested_[unit];
    if (fits(suggested.spelling))
        return suggested;
    for (const Option &option : options_[unit]) {
        for (const QString &spelling : option.spellings) {
            if (fits(spelling))
                return Choice{spelling, option.last, 0};
        }
    }
    const char16_t kana = reading_.kana[unit].unicode();
    if (pending.isEmpty() && kana == kSmallTsu) {
        Keys open;
        for (const qsizetype *s = nextBegin(unit); s != nextEnd(unit); ++s)
            open |= firstKeys_[*s];
        for (char16_t key = 0; key < 128; ++key) {
            if (Doubling().test(key) && open.test(key) && Allows(need, key))
                return Choice{QString(QChar(key)), unit, key};
        }
    }
    return suggested;
}

QString RomajiLine::guide() const
{
    const qsizetype n = reading_.kana.size();
    const State &from = leading();
    QString rest;
    QString pending = from.pending;
    char16_t need = from.need;
    qsizetype at = passedUpTo(from);
    qsizetype unit = from.unit;
    while (unit < n && rest.size() < kGuideLength) {
        const Choice choice = pick(unit, pending, need);
        appendSkipped(rest, at, spanOf(unit).start);
        rest += QStringView(choice.spelling).mid(std::min(pending.size(), choice.spelling.size()));
        at = std::max(at, endOf(choice.last));
        unit = follow(choice.last, choice.then);
        pending.clear();
        need = choice.then;
    }
    if (unit >= n)
        appendSkipped(rest, at, reading_.line.size());
    return rest;
}

QChar RomajiLine::nextKey() const
{
    const QString rest = guide();
    const auto key = std::find_if(rest.cbegin(), rest.cend(), [](QChar c) { return c.unicode() < 128; });
    return key == rest.cend() ? QChar() : *key;
}

}  // namespace typetoki
