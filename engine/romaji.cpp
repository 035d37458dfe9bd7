#include "engine/romaji.h"

#include <QFile>
#include <QStringView>
#include <QtDebug>
#include <algorithm>

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

// What a character (or a half-width kana with its sound mark) is typed as
// on its own: a hiragana or sign the table spells, a key, or 0 when it has
// neither. `length` is how many UTF-16 units it takes.
char16_t OwnUnit(QStringView line, qsizetype i, const RomajiTable &table, qsizetype *length)
{
    const auto spelled = [&table](char16_t kana) -> char16_t {
        kana = ToHiragana(kana);
        return table.spellings(QString(QChar(kana))) ? kana : 0;
    };
    *length = 1;
    const char16_t c = line[i].unicode();
    if (IsKana(c))
        return spelled(c);
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
    if (OwnUnit(line, i, table, length) != 0)
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

void AddUnits(LineReading &r, QStringView kana, LineSpan source)
{
    for (const QChar c : kana) {
        r.kana += c;
        r.source.append(source);
    }
}

// Adds a word read by the dictionary. False when the word has nothing the
// dictionary is needed for, or no reading that can be typed: its characters
// are then taken one by one.
bool AddWord(LineReading &r, const Word &word, const RomajiTable &table)
{
    const QStringView line(r.line);
    if (word.start < 0 || word.length <= 0 || word.start + word.length > line.size())
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

LineReading ReadLine(const QString &line, const Reader *reader, const RomajiTable &table)
{
    LineReading r;
    r.line = line;
    const QList<Word> words = reader && NeedsDictionary(line) ? reader->words(line) : QList<Word>();
    qsizetype w = 0;
    for (qsizetype i = 0, length = 1; i < line.size(); i += length) {
        while (w < words.size() && words[w].start < i)
            ++w;
        bool read = false;
        for (; !read && w < words.size() && words[w].start == i; ++w) {
            read = AddWord(r, words[w], table);
            length = words[w].length;
        }
        if (read)
            continue;
        const char16_t unit = OwnUnit(line, i, table, &length);
        if (unit != 0)
            AddUnits(r, QStringView(&unit, 1), LineSpan{i, length});
        else if (!IsBlank(line[i].unicode()))
            r.skipped.append(LineSpan{i, length});
    }
    return r;
}

// ----------------------------------------------------------------- typing

RomajiLine::RomajiLine(LineReading reading, const RomajiTable &table)
    : reading_(std::move(reading))
{
    const QString &kana = reading_.kana;
    const qsizetype n = kana.size();
    options_.resize(std::size_t(n));
    for (qsizetype p = 0; p < n; ++p) {
        for (qsizetype length = std::min<qsizetype>(table.longestKana(), n - p); length > 0; --length) {
            if (const QStringList *spellings = table.spellings(kana.mid(p, length)))
                options_[p].push_back(Option{length, *spellings});
        }
        if (options_[p].empty() && IsKey(kana[p].unicode()))
            options_[p].push_back(Option{1, {QString(kana[p])}});
    }

    // From the end, since っ and ん depend on what follows them.
    firstKeys_.resize(std::size_t(n) + 1);
    suggested_.resize(std::size_t(n));
    for (qsizetype p = n - 1; p >= 0; --p) {
        Keys &keys = firstKeys_[p];
        for (const Option &option : options_[p]) {
            for (const QString &spelling : option.spellings)
                keys.set(spelling[0].unicode());
        }
        if (kana[p] == kSmallTsu)
            keys |= firstKeys_[p + 1] & Doubling();

        Choice &choice = suggested_[p];
        if (!options_[p].empty())
            choice = Choice{options_[p].front().spellings.front(), options_[p].front().length, 0};
        const char16_t next = p + 1 < n ? suggested_[p + 1].spelling.front().unicode() : 0;
        if (kana[p] == kSmallTsu && next < 128 && Doubling().test(next))
            choice = Choice{QString(QChar(next)), 1, next};
        else if (kana[p] == kN && next != 0 && Allows(kAfterSingleN, next))
            choice = Choice{QStringLiteral("n"), 1, kAfterSingleN};
    }
    states_.push_back(State{});
}

bool RomajiLine::singleNFits(qsizetype unit) const
{
    return unit + 1 < reading_.kana.size() && (firstKeys_[unit + 1] & AfterSingleN()).any();
}

void RomajiLine::step(const State &state, char16_t key, std::vector<State> &out) const
{
    const auto add = [&out](State next) {
        if (std::none_of(out.begin(), out.end(), [&](const State &s) { return s.sameWay(next); }))
            out.push_back(std::move(next));
    };
    const qsizetype unit = state.unit;
    if (unit >= reading_.kana.size() || (state.pending.isEmpty() && !Allows(state.need, key)))
        return;
    const QString typed = state.pending + QChar(key);
    for (const Option &option : options_[unit]) {
        for (const QString &spelling : option.spellings) {
            if (spelling.size() == typed.size() && spelling == typed)
                add(State{unit + option.length, {}, 0, unit});
            else if (spelling.startsWith(typed))
                add(State{unit, typed, 0, unit});
        }
    }
    if (!state.pending.isEmpty())
        return;
    const char16_t kana = reading_.kana[unit].unicode();
    if (kana == kSmallTsu && Doubling().test(key) && unit + 1 < reading_.kana.size()
        && firstKeys_[unit + 1].test(key))
        add(State{unit + 1, {}, key, unit});
    if (kana == kN && key == u'n' && singleNFits(unit))
        add(State{unit + 1, {}, kAfterSingleN, unit});
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

// The way furthest along; of two at the same unit, the one with less typed
// of it (a single n already counted as ん rather than the first n of nn).
const RomajiLine::State &RomajiLine::leading() const
{
    return *std::min_element(states_.begin(), states_.end(), [](const State &a, const State &b) {
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
    if (state.unit == 0)
        return 0;
    const LineSpan before = spanOf(state.unit - 1);
    // Units of one kanji word share its span.
    return std::min(before.start + before.length, next);
}

void RomajiLine::appendSkipped(QString &out, qsizetype from, qsizetype to) const
{
    for (const LineSpan &span : reading_.skipped) {
        if (span.start >= from && span.start < to)
            out += QStringView(reading_.line).mid(span.start, span.length);
    }
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
                return Choice{spelling, option.length, 0};
        }
    }
    const char16_t kana = reading_.kana[unit].unicode();
    if (pending.isEmpty() && kana == kSmallTsu) {
        for (char16_t key = 0; key < 128; ++key) {
            if (Doubling().test(key) && firstKeys_[unit + 1].test(key) && Allows(need, key))
                return Choice{QString(QChar(key)), 1, key};
        }
    }
    return suggested;
}

QString RomajiLine::guide() const
{
    const State &from = leading();
    QString rest;
    QString pending = from.pending;
    char16_t need = from.need;
    qsizetype at = passedUpTo(from);
    for (qsizetype unit = from.unit; unit < reading_.kana.size();) {
        const Choice choice = pick(unit, pending, need);
        appendSkipped(rest, at, spanOf(unit).start);
        rest += QStringView(choice.spelling).mid(std::min(pending.size(), choice.spelling.size()));
        unit += std::max<qsizetype>(1, choice.length);
        const LineSpan last = spanOf(unit - 1);
        at = std::max(at, last.start + last.length);
        pending.clear();
        need = choice.then;
    }
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
