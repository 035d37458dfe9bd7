#pragma once
// The game modes, one row each: what the main window and the high-score
// board call a mode, where its lines come from, how its result is graded and
// whether SELECT steps through it. A mode added to the game is one more row
// of kModes; every window and rule that names modes reads them from here.

#include "engine/rgb.h"

#include <QString>
#include <cstdint>
#include <iterator>

namespace typetoki {

// The number tatak.ini and tkscore.ini store. A hand-edited settings file
// may hold any 16-bit number, which the game keeps and writes back; only the
// numbers of kModes can be played.
enum class GameMode : std::int16_t { Hero = 1, Rival = 2, Vs = 3, Training = 4, Romaji = 5 };

// Where a mode's target lines come from.
enum class Lines { HeroChant, RivalChant, BothChants, TrainingText };

struct ModeRow {
    GameMode mode;
    const char16_t *caption;           // the main window's mode label
    Rgb color;                         // that label's text; the board's mode box
    const char16_t *boardButton;       // the board's filter button
    const char16_t *boardTitle;        // the board's mode box when it opens on the mode
    const char16_t *boardFilterTitle;  // the same box once the filter button is clicked
    // The grade is the shown score per second of the game times this.
    double rankWeight;
    Lines lines;
    // Ordinary text rather than a chant: Backspace edits the input instead
    // of throwing it away, the pause after a committed character is the
    // player's own and does not count against the time, and the history
    // lists the characters (for romaji, the keys) missed.
    bool typesText;
    bool selectable;  // SELECT steps through it, in table order
};

inline constexpr ModeRow kModes[] = {
    {GameMode::Hero, u"雷堂剛介\u3000+\u3000ブロンズガード", MakeRgb(255, 0, 0), u"Rexa",
     u"雷堂剛介", u"Rexa", 1, Lines::HeroChant, false, true},
    {GameMode::Rival, u"ヴォルグ\u3000+\u3000ダーク・ゲート", MakeRgb(255, 0, 255), u"Volg",
     u"ヴォルグ", u"ヴォルグ", 1.2, Lines::RivalChant, false, true},
    {GameMode::Vs, u"雷堂剛介(ブロンズガード) vs ヴォルグ(ダーク・ゲート)", MakeRgb(255, 128, 0),
     u"対戦", u"雷堂剛介vs ヴォルグ", u"Rexa vs ヴォルグ", 1.2, Lines::BothChants, false, true},
    {GameMode::Training, u"修行モード【一般テキスト】", MakeRgb(255, 255, 0), u"修行",
     u"修行モード", u"修行モード", 10, Lines::TrainingText, true, true},
    // The training text typed as romaji keys: played from 修行 with the
    // option on, so SELECT never stops here, but ranked and kept apart.
    {GameMode::Romaji, u"修行モード【ローマ字】", MakeRgb(255, 255, 0), u"ﾛｰﾏ字",
     u"ローマ字修行", u"ローマ字修行", 10, Lines::TrainingText, true, false},
};
inline constexpr int kModeCount = int(std::size(kModes));

// The row of a mode; nullptr for a number no mode has.
const ModeRow *RowOf(GameMode mode);

// SELECT: the next selectable mode after this one, back to the first after
// the last. A number below every mode steps up one at a time, as it always
// did.
GameMode NextSelectableMode(GameMode mode);

// The mode a game is played, ranked and kept as: the training text typed
// as romaji when the player has chosen that, the selected mode otherwise.
GameMode PlayedMode(GameMode selected, bool romajiTyping);

// One of the table's texts as a QString.
inline QString Text(const char16_t *text) { return QString::fromUtf16(text); }

// The time limits the game offers, shortest first.
inline constexpr int kTimeLimits[] = {10, 30, 60, 120, 180, 3600};

// A time limit as its button names it: the seconds and "秒", an hour as
// "1時間".
QString TimeLimitText(int seconds);

}  // namespace typetoki
