#pragma once
// Histories as a real player makes them, for the screenshots, the
// benchmarks and the window's tests: sessions on most evenings, every mode
// and time limit (the one-minute games most), speeds that grow week by week,
// weak keys that stay weak, now and then a game ended with END.

#include "engine/gameresult.h"

#include <QDateTime>
#include <QString>
#include <vector>

namespace typetoki::testing {

struct SampleHistoryOptions {
    int games = 300;
    int days = 91;
    QDateTime end = QDateTime(QDate(2026, 12, 6), QTime(22, 30));
    unsigned seed = 17;
};

// The games oldest first, each with its per-key detail and, for the chants,
// its unit times; graded by the result screen's own table.
std::vector<GameResult> RealisticHistory(const SampleHistoryOptions &options = {});

// One game of the mode at that speed, as the history would receive it.
GameResult RealisticGame(int gameMode, int timeLimitSeconds, const QDateTime &playedAt,
                         double keysPerSecond, double accuracyPercent, unsigned seed);

// Writes the games to typetoki-history.sqlite in folder, a thousand to a
// transaction; false with the reason when the file cannot be written.
bool WriteHistory(const QString &folder, const std::vector<GameResult> &games, QString *error = nullptr);

}  // namespace typetoki::testing
