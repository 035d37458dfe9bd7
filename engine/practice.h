#pragma once
// Practice made for the player. The history tells which units (a kana, or a
// kana pair typed as one such as きゃ) slip or hold the player back; new
// lines of dictionary words bring those in more often and the ones the
// player has mastered less often, as keybr does with letters. The lines are
// an ordinary training text, so the game plays them like any other.

#include "engine/gameresult.h"
#include "engine/reading.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

namespace typetoki {

// A word of the dictionary's lists.
struct PracticeWord {
    QString written;
    QString reading;  // in hiragana, ー kept, as the romaji game types it
    double frequency = 1;  // relative; the dictionary's cost stands in for it
};

// A reading in hiragana: katakana turned, everything else as it is.
QString HiraganaOf(const QString &text);

// The units of a reading: the romaji table's entries, longest first. Empty
// when some character of it has no spelling.
QStringList SplitUnits(const QString &reading);

// Every kana and kana pair of the romaji table, in its order.
QStringList KanaUnits();

// The keys the guide suggests for a unit on its own; っ has none of its own
// (it doubles the next consonant).
QString UnitKeys(const QString &unit);

// What practice learns of a unit from the history.
enum class UnitStatus { Untried, Weak, Improving, Mastered };

// The games counted: the last kPracticeGames of the training modes, and the
// same number before them to tell whether a weak unit is improving.
inline constexpr int kPracticeGames = 20;
// Fewer judged keys than this tell nothing yet.
inline constexpr int kMinSamples = 10;
// A unit is mastered when, in every part of it that has figures, the miss
// rate and the mean time stay under these.
inline constexpr double kMasteredMissRate = 0.03;
inline constexpr double kMasteredKeySeconds = 0.35;   // a romaji key
inline constexpr double kMasteredCharSeconds = 0.8;   // a character through the input method
// How often a unit is brought in, against 1 for one without figures.
inline constexpr double kMasteredWeight = 0.25;
inline constexpr double kWeakestWeight = 6;
// Improving: the worst of its figures fell by this share or more.
inline constexpr double kImprovement = 0.2;

struct UnitAssessment {
    QString unit;
    QString keys;
    UnitStatus status = UnitStatus::Untried;
    // The worst of its parts, as a multiple of the mastered line (under 1:
    // mastered); 0 when untried.
    double severity = 0;
    double weight = 1;
};

using TargetMap = std::map<QString, TargetStats>;

// Each unit judged from the target figures of the last games (recent) and
// of the games before them (earlier). A unit's parts are its characters, as
// training texts typed through the input method count them, and its keys,
// as romaji games count them; its status is its worst part's.
std::vector<UnitAssessment> AssessUnits(const QStringList &units, const TargetMap &recent,
                                        const TargetMap &earlier);

// The rule in one sentence, thresholds and all, for the player.
QString PracticeRule();

// The weak units (worst first), the improving and the mastered ones, a line
// each with the first twenty named, for the player.
QString UnitStatusText(std::vector<UnitAssessment> units);

// Lines of dictionary words, each line 20 to 40 characters with the words
// parted by an ideographic space (never typed).
class PracticeGenerator {
public:
    // reader checks that the romaji game reads each word as the dictionary
    // does; without one only words written in kana alone are used.
    PracticeGenerator(std::shared_ptr<const std::vector<PracticeWord>> words,
                      std::shared_ptr<const Reader> reader);

    // Every unit that enough words hold to be drawn for, in the order first
    // met.
    const QStringList &units() const { return units_; }

    // count lines: for each word a unit is drawn by its weight (1 when
    // weights has none for it), then a word holding it by its frequency.
    QStringList Generate(const std::map<QString, double> &weights, int count, std::uint32_t seed);

private:
    bool accepted(int word);

    std::shared_ptr<const std::vector<PracticeWord>> words_;
    std::shared_ptr<const Reader> reader_;
    QStringList units_;
    std::vector<std::vector<int>> wordsOf_;        // per unit
    std::vector<std::vector<double>> cumulative_;  // per unit, of frequency
    std::vector<std::int8_t> checked_;             // per word: 0 not yet, 1 good, -1 not
};

}  // namespace typetoki
