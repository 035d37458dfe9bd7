#pragma once
// typetoki-history.sqlite: every game played, one row each, with the time
// each target character took and, for the chants, every unit's time. One
// HistoryDatabase is one connection, used on the thread that opened it.

#include "engine/gameresult.h"

#include <QByteArray>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <atomic>
#include <chrono>
#include <limits>
#include <optional>
#include <span>
#include <sys/types.h>
#include <vector>

namespace typetoki {

inline const QString kHistoryFileName = QStringLiteral("typetoki-history.sqlite");

// The layout the game writes. Each version's step is kept in
// UpgradeHistory, so a file of any earlier version is brought up to date.
constexpr int kHistoryVersion = 3;

QString HistoryPath(const QString &dataFolder);
// Where the games the history could not take wait for the next start.
QString PendingHistoryPath(const QString &historyPath);

// How an attempt on the file went, as far as what to do next depends on it.
enum class HistoryFault {
    None,
    Busy,        // another copy of the game holds it: try again later
    Unwritable,  // the folder or the file refuses writes, or the disk is full
    Broken,      // not a database, or a damaged one: move it aside
    Newer,       // written by a later version of the game: leave it alone
};

HistoryFault FaultOf(const QSqlError &error);

// What a failure on the history means to the player: a phrase in Japanese,
// then SQLite's own words in brackets for a bug report. systemError is the
// error number behind it (0 when none), which tells a full disk from other
// faults of the disk.
QString HistoryErrorText(const QSqlError &error, int systemError = 0);

// Bounds on what any file can make a connection do. A statement stops once
// it has run for the limit or the deadline has passed (a trigger or view
// that never ends); a lock held by another program is waited for at most
// the busy timeout, and never past the deadline. The file is treated as
// data: no schema object may call a function with side effects, and no
// statement may write to the schema itself.
class StatementGuard {
public:
    using Clock = std::chrono::steady_clock;
    // On a connection just opened; false when it is not SQLite's.
    bool Attach(const QSqlDatabase &db);
    void SetBusyTimeout(int ms) { busyMs_ = ms; }
    // The statements from now on each run at most ms.
    void LimitEachStatement(int ms) { limitMs_ = ms; }
    // Marks the start of a statement (or of a group of them, a transaction).
    void Start() { startedAt_ = Now(); }
    // From any thread: nothing runs past this, whatever the limits say.
    void StopBy(Clock::time_point deadline) { stopAt_ = deadline.time_since_epoch().count(); }
    bool Expired() const;

private:
    static qint64 Now() { return Clock::now().time_since_epoch().count(); }
    static int OnProgress(void *guard);
    static int OnBusy(void *guard, int count);
    std::atomic<qint64> startedAt_{0};
    std::atomic<qint64> stopAt_{std::numeric_limits<qint64>::max()};
    std::atomic<int> busyMs_{3000};
    std::atomic<int> limitMs_{10000};
};

// Empty when the tables, columns and indexes of db are exactly those the
// game's own steps make for version, and nothing else is there (no view,
// no trigger); otherwise what differs. A file made by anyone else may run
// code of its choice on every insert or read.
QString ForeignSchema(const QSqlDatabase &db, int version);

// Unit times as stored: little-endian 16-bit milliseconds each, a unit longer
// than 65.535 s kept as that. Half the size of the floats in memory, and
// finer than anyone can type.
QByteArray PackUnitSeconds(std::span<const float> seconds);
std::vector<float> UnpackUnitSeconds(const QByteArray &blob);

// Runs the steps from the version of schema ("main" or an attached one) up
// to toVersion in one transaction. Version 0 is a file with nothing of ours
// in it yet; a later version than toVersion is left as it is. The error is
// invalid when all went well.
QSqlError UpgradeHistory(const QSqlDatabase &db, const QString &schema = QStringLiteral("main"),
                         int toVersion = kHistoryVersion);

// The version of schema, -1 when it cannot be read.
int HistoryVersion(const QSqlDatabase &db, const QString &schema, QSqlError *error = nullptr);

// Adds games to the tables of schema ("main", or an attached one), in the
// caller's transaction. Prepares its statements once.
class GameInserter {
public:
    // Statements are prepared when the inserter is made; a failure shows in
    // the first Insert.
    GameInserter(const QSqlDatabase &db, const QString &schema);
    bool Insert(const GameResult &game);
    // Whether a game of the same mode and time limit, played at the same
    // millisecond, is there already.
    bool Known(const GameResult &game);
    const QString &lastError() const { return lastError_; }
    HistoryFault lastFault() const { return lastFault_; }

private:
    bool Exec(QSqlQuery &query);
    QSqlDatabase db_;
    QSqlQuery game_, text_, textId_, target_, known_, miss_;
    // Each group's sums, kept up to date with every game.
    QSqlQuery groupTotal_, targetTotal_, missTotal_;
    QString lastError_;
    HistoryFault lastFault_ = HistoryFault::None;
};

// A connection of its own name that removes itself when it goes, so a Qt SQL
// connection never outlives its thread.
class ScopedConnection {
public:
    ScopedConnection(const QString &path, const QString &options);
    ~ScopedConnection();
    ScopedConnection(const ScopedConnection &) = delete;
    ScopedConnection &operator=(const ScopedConnection &) = delete;
    QSqlDatabase db() const;
    const QString &name() const { return name_; }

private:
    QString name_;
};

class HistoryDatabase {
public:
    // With no guard given, the database has one of its own.
    explicit HistoryDatabase(QString path, int busyTimeoutMs = 3000, StatementGuard *guard = nullptr);
    ~HistoryDatabase();
    HistoryDatabase(const HistoryDatabase &) = delete;
    HistoryDatabase &operator=(const HistoryDatabase &) = delete;

    // Opens the file, creating or upgrading it. A Broken file is left where
    // it is; MoveAside is the caller's choice. A file not laid out as the
    // game's own is Broken too, and foreign() says so.
    HistoryFault Open();
    bool foreign() const { return foreign_; }
    bool isOpen() const { return open_; }
    void Close();

    // All the games in one transaction: all of them are written or none.
    HistoryFault Write(std::span<const GameResult> games);

    // Renames the file (and its -wal and -shm companions) to
    // "<name>.broken-<date>", numbered when that name is taken, and returns
    // the new name of the file; empty when it could not be moved.
    QString MoveAside(const QDate &today);

    // How long a statement waits for another connection's lock, from now on.
    void SetBusyTimeout(int ms);

    const QString &path() const { return path_; }
    // Why the last Open or Write failed (HistoryErrorText).
    const QString &lastError() const { return lastError_; }

private:
    HistoryFault Fail(const QSqlError &error);
    // Whether the path still names the file the connection has open: the
    // player may have deleted it or moved it aside meanwhile.
    bool StillAtPath() const;
    QString path_;
    StatementGuard ownGuard_;
    StatementGuard &guard_;
    bool foreign_ = false;
    dev_t device_ = 0;
    ino_t inode_ = 0;
    // The inserter's statements go before the connection they were made on.
    std::optional<ScopedConnection> connection_;
    std::optional<GameInserter> inserter_;
    bool open_ = false;
    QString lastError_;
};

}  // namespace typetoki
