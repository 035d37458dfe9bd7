#pragma once
// Romaji practice: any Japanese line typed key by key, the way an input
// method takes romaji, but with no input method running. A line is first
// turned into what is typed for it (its reading), then each key is judged
// against every spelling the input methods accept for the rest of it.

#include "engine/reading.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <bitset>
#include <vector>

namespace typetoki {

// Characters of a line, by their UTF-16 positions.
struct LineSpan {
    qsizetype start = 0;
    qsizetype length = 0;

    friend bool operator==(const LineSpan &, const LineSpan &) = default;
};

// The kana, pairs of kana and signs, each with the romaji that type it.
class RomajiTable {
public:
    struct Entry {
        QString kana;
        QStringList spellings;  // the first is the one the guide suggests
    };

    // The table built into the program. Loaded on first use; safe to use
    // from several threads.
    static const RomajiTable &standard();

    // A table from the text of a table file: one entry a line, the kana, a
    // tab and the spellings separated by spaces; '#' starts a comment line.
    // Lines that cannot be used are left out and described in problems.
    static RomajiTable parse(const QString &text, QStringList *problems = nullptr);

    const QList<Entry> &entries() const { return entries_; }
    // Null when nothing in the table is written this way.
    const QStringList *spellings(const QString &kana) const;
    // How many characters the longest entry covers.
    int longestKana() const { return longest_; }

private:
    QList<Entry> entries_;
    QHash<QString, qsizetype> index_;
    int longest_ = 0;
};

// What is typed for one line, worked out once when a text is loaded.
struct LineReading {
    // As shown: ruby marks and notes taken out.
    QString line;
    // One unit per character: hiragana and signs, which the table spells,
    // and keyboard characters, which are typed as themselves. Where a word
    // has several readings, they follow one another here, likeliest first,
    // and `branches` says which unit comes after which.
    QString kana;
    // For each unit, the characters of the line it stands for: one kana,
    // or a kanji word (or the kanji part of it) whose reading cannot be
    // split any further.
    QList<LineSpan> source;
    // Characters with neither reading nor key: never typed, and shown as
    // skipped. Blanks are not listed; they are skipped as on every line.
    QList<LineSpan> skipped;
    // The units that may follow a unit, where they are not just the next
    // one; under -1, the units the line may start with. The unit after the
    // last of the line is kana.size().
    QHash<qsizetype, QList<qsizetype>> branches;

    // The units of the likeliest reading.
    QString likeliest() const;
};

// A line of a text that gives readings the way Japanese e-text libraries do:
// ｜base《reading》, or base《reading》 where the base is the kanji just before
// the mark, and notes in ［＃…］, which are neither shown nor typed.
struct RubyLine {
    struct Ruby {
        LineSpan base;  // in `shown`
        QString reading;
    };
    QString shown;
    QList<Ruby> rubies;
};
RubyLine ParseRuby(const QString &line);
// The line as shown: ParseRuby's `shown`, or the line itself when it has no
// ruby or notes.
QString WithoutRuby(const QString &line);

// Whether a line holds characters only a dictionary can read (kanji), so
// that a text of kana, letters and signs never needs one.
bool NeedsDictionary(const QString &line);

// The reading of a line: its ruby where it has some, else the likeliest few
// of the dictionary's readings, with the sound changes of numbers before
// counters. Without a reader (no dictionary) kanji are skipped.
LineReading ReadLine(const QString &line, const Reader *reader,
                     const RomajiTable &table = RomajiTable::standard());

struct KeyResult {
    bool hit = false;
    // The characters of the line the key was typed for, hit or miss: the
    // history counts its hits and misses against them.
    LineSpan target;

    friend bool operator==(const KeyResult &, const KeyResult &) = default;
};

// The typing of one line. Every key is judged the moment it is typed: it is
// a hit when some accepted spelling of the rest of the reading begins with
// what has been typed of the current unit followed by this key; a miss
// changes nothing, so the player simply types the right key next.
class RomajiLine {
public:
    explicit RomajiLine(LineReading reading, const RomajiTable &table = RomajiTable::standard());

    KeyResult type(QChar key);

    // The whole of one reading has been typed. A final ん needs nn, xn or n', as in
    // an input method; a line with nothing to type is finished at once.
    bool finished() const;
    // The keys hit so far on this line.
    const QString &typed() const { return typed_; }
    // The rest of a spelling that completes the line and agrees with every
    // choice made so far: "sh" continues "shi", "si" stays "si". Skipped
    // characters stand in it where they fall, as themselves: never a key,
    // since every key is ASCII. Of the readings the keys still agree with,
    // it follows the likeliest. It reaches at most kGuideLength characters
    // ahead, so that a key costs the same on any length of line.
    QString guide() const;
    static constexpr qsizetype kGuideLength = 256;
    // The key the guide asks for next; none once the line is finished.
    QChar nextKey() const;
    // Characters of the line before this position are typed whole, or were
    // skipped before the key typed last; the rest is still to come, skipped
    // ones included, so the player sees them passed over.
    qsizetype doneUpTo() const;
    const LineReading &reading() const { return reading_; }

private:
    using Keys = std::bitset<128>;

    // One way of having read what has been typed: the unit reached, the
    // keys typed of it so far, and what the next key must be when the last
    // unit was a single n or a doubled consonant.
    struct State {
        qsizetype unit = 0;
        QString pending;
        char16_t need = 0;
        qsizetype keyUnit = 0;  // where the last key was typed
        qsizetype doneEnd = 0;  // where the characters of the last unit typed whole end
        int rank = 0;           // how far from the likeliest readings this way went

        bool sameWay(const State &other) const
        {
            return unit == other.unit && need == other.need && pending == other.pending;
        }
    };
    // Spellings of the units from one on to `last`, along one way through
    // the branches.
    struct Option {
        qsizetype last;
        int rank;
        qsizetype size;  // how many units
        QStringList spellings;
    };
    struct Choice {
        QString spelling;
        qsizetype last = 0;
        char16_t then = 0;  // what the key after it must be
    };

    void step(const State &state, char16_t key, std::vector<State> &out) const;
    // The units that may follow unit (-1: the first ones), likeliest first.
    const qsizetype *nextBegin(qsizetype unit) const { return next_.data() + nextAt_[std::size_t(unit + 1)]; }
    const qsizetype *nextEnd(qsizetype unit) const { return next_.data() + nextAt_[std::size_t(unit + 2)]; }
    qsizetype follow(qsizetype last, char16_t then) const;
    qsizetype endOf(qsizetype unit) const;
    Choice pick(qsizetype unit, const QString &pending, char16_t need) const;
    const State &leading() const;
    LineSpan spanOf(qsizetype unit) const;
    qsizetype passedUpTo(const State &state) const;
    void appendSkipped(QString &out, qsizetype from, qsizetype to) const;

    LineReading reading_;
    std::vector<qsizetype> nextAt_;             // where each unit's followers start in next_
    std::vector<qsizetype> next_;
    std::vector<std::vector<Option>> options_;  // longest first
    std::vector<Keys> firstKeys_;               // keys that can start each unit on
    std::vector<Choice> suggested_;             // the guide's spelling from each unit on
    std::vector<State> states_;
    QString typed_;
};

}  // namespace typetoki
