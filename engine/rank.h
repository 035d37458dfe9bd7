#pragma once
// The grade of a finished game: a rank title and comment from a fixed table
// of 18 rows, chosen by the shown score per second of the game, weighted by
// mode.

#include "engine/gamemode.h"
#include "engine/gameresult.h"

#include <QString>
#include <array>
#include <cstdint>

namespace typetoki {

// One grade: every rankIndex from low to high, ends included.
struct RankRow {
    int low, high;
    QString title;
    QString comment;
};

// The 18 grades from the weakest to the strongest. The last one is the
// catch-all top grade; its range only names where the others stop.
const std::array<RankRow, 18> &RankTable();

// The displayed score per second of the game, whole points only, times the
// mode's weight, cut to a whole number. A mode the game does not have grades
// 0. The sum is done in doubles as it always was, so 775 points in 30
// seconds against the rival grade 30, not 31. A grade beyond 16 bits is held
// at the nearest end of the range, where the top grade covers it.
std::int16_t RankIndex(double shownScore, GameMode mode, int timeLimitSeconds);

// The row that covers a rankIndex.
const RankRow &RankRowFor(int rankIndex);

// Sets the result's rankIndex and rankTitle from its shown score, mode and
// time limit.
void Grade(GameResult &result);

}  // namespace typetoki
