#pragma once
// How one game went, as a single value. The engine makes it when a game ends
// (by time, or abandoned with END) and hands it on: the result screen grades
// it, the high-score board registers it, the history keeps it. Nothing that
// receives it reads another window's boxes.

#include "engine/gamemode.h"

#include <QDateTime>
#include <QString>
#include <cstdint>
#include <map>
#include <vector>

namespace typetoki {

// Hits and misses on one target character, and how long the hits took.
struct TargetStats {
    int targeted = 0;  // keys judged while this character was the target
    int missed = 0;
    // Time from the key before to the hit, summed over the hits that had a
    // key before them in the same game (the first key of a game has none).
    double hitSeconds = 0;
    int timedHits = 0;
    // On each miss, the character typed instead, and how often.
    std::map<QString, int> typedInstead = {};
};

struct GameResult {
    QDateTime playedAt;  // local time at the end of the game
    GameMode gameMode = GameMode::Hero;
    std::int16_t timeLimitSeconds = 60;
    bool abandoned = false;  // ended with END: no result screen, no board

    // Training games: the text's path and a hash of the lines played from it,
    // so a history can tell one text from another, and an edited text from
    // the one it was.
    QString trainingTextPath;
    QString trainingTextHash;

    // The figures exactly as the score board showed them at the end: the
    // high-score file stores these texts, so not a digit may change.
    QString judgedText;    // characters judged
    QString correctText;   // correct characters
    QString accuracyText;  // percent, cut to two decimals
    QString speedText;     // final speed: hits over the whole time limit
    QString peakText;      // peak speed; empty when no peak was reached
    QString scoreText;     // score as of the last tick

    std::int32_t inputCount = 0;
    std::int32_t correctCount = 0;

    QString echoRecord;  // every judged character, finished chant units as glyphs

    // The grade of the result screen.
    int rankIndex = 0;
    QString rankTitle;

    // Keyed by the target character (a letter of a chant, a character of a
    // training line, or whatever the mode types against).
    std::map<QString, TargetStats> targets;

    // Characters hit in one go through an input method, a whole phrase
    // committed at once: no key of theirs has a time of its own, so their
    // time (from the key before to the commit) is kept here, whole.
    int committedHits = 0;
    double committedSeconds = 0;

    // Chant games: the seconds each completed unit took, "eya" and "hiku"
    // apart, in the order typed.
    std::vector<float> heroUnitSeconds;
    std::vector<float> rivalUnitSeconds;
};

}  // namespace typetoki
