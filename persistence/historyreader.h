#pragma once
// What the statistics window asks of the history: every figure summed,
// averaged or ranked by SQLite, so a window on ten thousand games opens at
// once. It reads on the caller's thread through a read-only connection of its
// own, and adds the games the store still keeps in memory, so a game that
// could not be written yet is shown all the same.

#include "engine/gameresult.h"
#include "persistence/historydatabase.h"

#include <QDateTime>
#include <QSqlQuery>
#include <QString>
#include <QVariant>
#include <initializer_list>
#include <optional>
#include <vector>

namespace typetoki {

// One mode and time limit, as the board groups results.
struct HistoryGroup {
    int gameMode = 1;
    int timeLimitSeconds = 60;
    bool withAbandoned = false;  // games ended with END count too
};

struct ProgressPoint {
    QDateTime playedAt;
    double speed = 0;     // the final speed shown, characters per second
    double accuracy = 0;  // percent
    double average10 = 0;  // mean speed of this game and the nine before it
    double best = 0;       // best speed up to this game
};

// Finished games with their running figures, and abandoned ones apart: a
// game cut short counts neither toward the average nor the best.
struct Progress {
    std::vector<ProgressPoint> finished;
    std::vector<ProgressPoint> abandoned;  // filled only when asked for
};

// One target character summed over games.
struct TargetFigures {
    QString target;
    qint64 targeted = 0;
    qint64 missed = 0;
    qint64 timedHits = 0;
    double hitSeconds = 0;
};

struct UnitTimes {
    std::vector<float> hero;   // "eya"
    std::vector<float> rival;  // "hiku"
};

struct StoredGame {
    qint64 id = 0;
    bool unwritten = false;  // still in the store's memory, not in the file
    GameResult result;
};

// The middle value (the mean of the two middle ones for an even count);
// 0 for none.
double Median(std::vector<float> values);

class HistoryReader {
public:
    explicit HistoryReader(const QString &path, const std::vector<GameResult> &unwritten = {});
    ~HistoryReader();
    HistoryReader(const HistoryReader &) = delete;
    HistoryReader &operator=(const HistoryReader &) = delete;

    // From any thread: the statement under way stops at once, and every
    // later one too. For a window that closes while it reads.
    void Stop() { guard_.StopBy(StatementGuard::Clock::now()); }

    // Empty when the file was read; otherwise why not, in Japanese, for the
    // window to show (the unwritten games are listed all the same).
    const QString &problem() const { return problem_; }

    int GameCount();
    Progress ProgressOf(const HistoryGroup &group);
    // Every target character of the group, most missed first.
    std::vector<TargetFigures> Targets(const HistoryGroup &group);
    UnitTimes Units(const HistoryGroup &group);
    // The latest games of every mode, abandoned ones too, newest first;
    // withDetail adds the targets and unit times.
    std::vector<StoredGame> RecentGames(int count, bool withDetail = false);

    // Every game, oldest first, one CSV line each (UTF-8 with a byte order
    // mark, so spreadsheets read the Japanese), written through QSaveFile.
    bool ExportCsv(const QString &file, QString *error = nullptr);

private:
    void Open(const QString &path);
    QSqlQuery Select(const QString &sql, std::initializer_list<QVariant> values);
    // Binds the group's mode, time limit and whether abandoned games count.
    QSqlQuery SelectInGroup(const QString &sql, const HistoryGroup &group);
    void AddUnwritten(const std::vector<GameResult> &games);
    QString problem_;
    // Goes after the connection that calls it.
    StatementGuard guard_;
    std::optional<ScopedConnection> connection_;
};

}  // namespace typetoki
