#pragma once
// Boards shared by a class or a club on a PostgreSQL server (server/ranking.sql
// makes its tables). The local board stays the truth for the player: every
// result registered there is also written to a small queue file in the data
// folder and sent from it on a thread of its own, exactly once (each result
// carries an id, and the server ignores an id it has), at once when the
// server answers, else at the next result or the next start. Reading a shared
// board is done on the same thread; nothing here ever makes the caller wait
// for the network.

#include "persistence/options.h"
#include "persistence/scorefile.h"

#include <QObject>
#include <QSqlError>
#include <QString>
#include <QUuid>

#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace typetoki {

// The [ranking] section of typetoki.conf. The password never goes there:
// libpq reads it from ~/.pgpass (or the file PGPASSFILE names).
struct RankingSettings {
    QString server;  // postgresql://user@host:port/database?sslmode=...
    QString group;   // the class or club whose boards are shown
    QString player;  // the name this player's rows are marked by
    bool configured() const { return !server.trimmed().isEmpty() && !group.trimmed().isEmpty(); }
};
RankingSettings ReadRankingSettings(const Options &options);
bool WriteRankingSettings(Options &options, const RankingSettings &ranking);

// What a connection string asks for, in the terms Qt's QPSQL driver takes.
struct ServerAddress {
    QString host;  // a name, an address, or a folder holding the server's socket
    int port = -1;
    QString user;
    QString database;
    QString connectOptions;  // libpq keywords, "key=value;..."
};
// Accepts postgresql:// and postgres:// URLs with user, host, port and
// database, and the query keys sslmode and host (a socket folder). Nothing
// else: a password in the URL is refused, as it would stand in clear in
// typetoki.conf.
std::optional<ServerAddress> ParseServerAddress(const QString &url, QString *error = nullptr);

// Why the server could not be used, each with a message for the player.
enum class RankingProblem {
    None, Address, NoDriver, Unreachable, Password, Rights, Tls, NoDatabase, NoBoards, Newer, Other
};
QString RankingProblemText(RankingProblem problem);
RankingProblem ClassifyRankingError(const QSqlError &error);

// The version of server/ranking.sql this game writes to; a newer one is read
// but never written.
constexpr int kRankingLayout = 1;

// Tries the settings once, on the caller's thread (the dialog runs it on
// one of its own): connects, checks the layout and the right to add
// results. detail gets the server's own words.
// A password given is used for this try alone; without one libpq looks in
// the password file.
RankingProblem TestRankingServer(const RankingSettings &settings, QString *detail = nullptr,
                                 const QString &password = {});

// libpq's password file: PGPASSFILE, else ~/.pgpass.
QString PasswordFilePath();
// Keeps the password for the server's host, port, database and user in the
// password file, replacing the line it had for them and keeping every other
// line; the file is made readable by the player alone, as libpq wants it.
bool StorePassword(const QString &path, const ServerAddress &address, const QString &password,
                   QString *error = nullptr);

// One registered result waiting for the server.
struct QueuedScore {
    QUuid id;
    QString group;
    ScoreRecord record;  // as the local board stored it, mode and time limit included
};
// The queue file, kept in the data folder.
QString RankingQueuePath(const QString &dataFolder);
// The most results kept waiting; past it the oldest are dropped.
constexpr int kMostQueuedScores = 1000;

class SharedRanking : public QObject {
    Q_OBJECT
public:
    // Starts the thread, which sends what the queue file holds from earlier
    // runs. With no data folder the queue lives in memory only.
    SharedRanking(const RankingSettings &settings, const QString &dataFolder, QObject *parent = nullptr);
    // Waits at most a second for the thread; one held up by the network is
    // left to end with the program, and what it had not sent stays in the
    // queue file for the next start.
    ~SharedRanking() override;

    const RankingSettings &settings() const { return settings_; }

    // Queues a result the local board has registered: into the queue file at
    // once (a few hundred bytes on the local disk), then to the server.
    void Register(const ScoreRecord &record);

    // Asks for the ten best of the group in field (kPoints..kAccuracy) for a
    // mode and time limit. Returns a ticket; boardRead(ticket) tells when
    // the answer (or the failure) is there to take.
    quint64 ReadBoard(int field, int mode, int timeLimit);
    struct Board {
        bool ok = false;
        RankingProblem problem = RankingProblem::None;
        std::vector<ScoreRecord> rows;  // best first, at most ten
    };
    std::optional<Board> TakeBoard(quint64 ticket);
    // The last answer the server gave for that board in this run.
    std::optional<std::vector<ScoreRecord>> LastBoard(int field, int mode, int timeLimit) const;

    // True when every job handed over has been done; waits at most msecs.
    bool WaitForIdle(int msecs) const;
    // Results in the queue, not yet known to be on the server.
    std::vector<QueuedScore> Queued() const;

signals:
    // Emitted on the thread; connect with a queued connection.
    void boardRead(quint64 ticket);

private:
    struct Job {
        quint64 ticket = 0;  // 0: send the queue
        int field = 0, mode = 0, timeLimit = 0;
    };
    struct Shared;  // what the thread needs, kept alive by it when left behind
    static void Run(std::shared_ptr<Shared> shared);

    RankingSettings settings_;
    std::shared_ptr<Shared> shared_;
};

}  // namespace typetoki
