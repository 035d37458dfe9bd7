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
#include <functional>
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
    // Milliseconds since 1970: a QDateTime in local time costs a time zone
    // look-up each, too many for a hundred thousand games.
    qint64 playedAt = 0;
    double speed = 0;     // the final speed shown, characters per second
    double accuracy = 0;  // percent
    double average10 = 0;  // mean speed of this game and the nine before it
    double best = 0;       // best speed up to this game
    double score = 0;
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
    // What was typed instead on its misses, most often first.
    std::vector<std::pair<QString, qint64>> typedInstead;
};

// Which games of a group the keys' and units' times come from.
struct TimeSources {
    qint64 games = 0;
    QDateTime first, last;
    // Games with characters committed as whole phrases, those characters,
    // and the time the phrases took: counted, but timed only as a whole.
    qint64 committedGames = 0;
    qint64 committedHits = 0;
    double committedSeconds = 0;
    qint64 unitGames = 0;  // games with chant units
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

// Times as the window shows them, in seconds with three decimals. Unit
// times are whole milliseconds, so their median is taken on those: a
// median of 163.5 ms is 0.164, not the 0.163 the float 0.1635 would give.
double MedianMillis(const std::vector<float> &seconds);
QString MillisText(double millis);

// The modes by the names the window gives them.
QString ModeName(int gameMode);

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
    TimeSources TimesOf(const HistoryGroup &group);
    // The latest games of every mode, abandoned ones too, newest first;
    // withDetail adds the targets and unit times.
    std::vector<StoredGame> RecentGames(int count, bool withDetail = false);
    // Every game of the group's mode and time limit, abandoned ones too,
    // newest first, without detail.
    std::vector<StoredGame> GamesOf(const HistoryGroup &group);
    // Adds a listed game's targets, with what was typed on each miss.
    void AddDetail(StoredGame &game);

    // Called now and then with the games written so far and all of them;
    // false stops the export.
    using ExportProgress = std::function<bool(qint64 done, qint64 total)>;
    // Every game, oldest first, one CSV line each (UTF-8 with a byte order
    // mark, so spreadsheets read the Japanese), written through QSaveFile.
    // With detailFile, a second file has one line per game and target
    // character and one per chant unit.
    bool ExportCsv(const QString &file, QString *error = nullptr, const QString &detailFile = QString(),
                   const ExportProgress &progress = ExportProgress());

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
