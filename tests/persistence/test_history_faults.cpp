// The history under files and faults the game does not make: files handed
// over by someone else, locks that outlast the game, a file deleted while
// the game runs, and every failure SQLite reports, as the player reads it.
#include "persistence/historydatabase.h"
#include "persistence/historyreader.h"
#include "persistence/historyreaderthread.h"
#include "persistence/historystore.h"

#include "support/files.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <functional>
#include <ostream>
#include <vector>
#include <optional>
#include <thread>
#include <utility>

using namespace typetoki;
using namespace typetoki::testing;

namespace {

GameResult Played(int minute, const QString &speed)
{
    GameResult g;
    g.playedAt = QDateTime(QDate(2026, 12, 1), QTime(9, 0)).addSecs(60 * minute);
    g.gameMode = GameMode(1);
    g.timeLimitSeconds = 60;
    g.speedText = speed;
    g.targets[QStringLiteral("e")] = {3, 1, 0.75, 2};
    return g;
}

QStringList SpeedsOf(const QString &folder)
{
    QStringList speeds;
    HistoryReader reader(HistoryPath(folder));
    for (const StoredGame &g : reader.RecentGames(1000, true))
        speeds.prepend(g.result.speedText);
    return speeds;
}

// Statements run as they are on a file of the game's, with nothing bounding
// them: what a hostile file holds, made the way its maker would.
void RunOn(const QString &path, const std::vector<const char *> &statements)
{
    ScopedConnection connection(path, QString());
    QSqlDatabase db = connection.db();
    ASSERT_TRUE(db.open());
    QSqlQuery q(db);
    for (const char *statement : statements)
        ASSERT_TRUE(q.exec(QString::fromLatin1(statement))) << statement << q.lastError().text().toStdString();
}

#define FOREVER "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c) "

struct HostileCase {
    const char *what;
    std::vector<const char *> statements;  // on a history the game wrote
};

void PrintTo(const HostileCase &c, std::ostream *os)
{
    *os << c.what;
}

class HostileHistoryTest : public ::testing::TestWithParam<HostileCase> {};

TEST_P(HostileHistoryTest, IsMovedAsideUnreadAndTheGameEndsAtOnce)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = HistoryPath(dir.path());
    {
        HistoryStore store(dir.path());
        store.Record(Played(0, QStringLiteral("2")));
    }
    RunOn(path, GetParam().statements);

    // The statistics window, opened before the store has looked at it.
    QElapsedTimer clock;
    clock.start();
    {
        HistoryReader reader(path);
        EXPECT_EQ(reader.GameCount(), 0);
        EXPECT_EQ(reader.Targets({}).size(), 0u);
        EXPECT_FALSE(reader.problem().isEmpty());
    }
    EXPECT_LT(clock.elapsed(), 1000) << "the window froze on the file";

    clock.restart();
    {
        HistoryStore store(dir.path());
        store.Record(Played(1, QStringLiteral("3")));
        ASSERT_TRUE(store.WaitForIdle(2000));
        const QStringList notices = store.TakeNotices();
        ASSERT_EQ(notices.size(), 1) << notices.join(u'\n').toStdString();
        EXPECT_TRUE(notices[0].contains(QStringLiteral("形をしていない"))) << notices[0].toStdString();
    }
    EXPECT_LT(clock.elapsed(), 2000) << "the game did not end within two seconds";
    EXPECT_EQ(SpeedsOf(dir.path()), QStringList({"3"})) << "a fresh history holds the new game";
    const QStringList aside = QDir(dir.path()).entryList({QStringLiteral("*.broken-*")});
    EXPECT_EQ(aside.size(), 1) << aside.join(u' ').toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HostileHistoryTest,
    ::testing::Values(
        HostileCase{"a trigger that never ends",
                    {"CREATE TRIGGER slow AFTER INSERT ON game BEGIN"
                     " SELECT count(*) FROM (" FOREVER "SELECT x FROM c); END"}},
        HostileCase{"a view that never ends",
                    {"CREATE VIEW slow AS " FOREVER "SELECT x FROM c"}},
        HostileCase{"game as a view that never ends",
                    {"DROP TABLE game",
                     "CREATE VIEW game (id, played_at, mode, time_limit, abandoned, judged, correct,"
                     " accuracy, speed, peak, score, rank_index, rank_title, hero_units, rival_units,"
                     " text_id) AS " FOREVER
                     "SELECT x, x, 1, 60, 0, '', '', '', '', '', '', 0, '', NULL, NULL, NULL FROM c"}},
        HostileCase{"an index of its own", {"CREATE INDEX mine ON target (missed)"}},
        HostileCase{"a column of its own", {"ALTER TABLE game ADD COLUMN note TEXT"}}),
    [](const auto &info) { return "case" + std::to_string(info.index); });

// Each failure a player can meet, made for real where a test can make it:
// a phrase in Japanese, SQLite's own words in brackets.
struct FailureCase {
    const char *what;
    std::function<QString(const QString &folder)> fail;  // the message
    const char *japanese;
    const char *sqlite;
};

void PrintTo(const FailureCase &c, std::ostream *os)
{
    *os << c.what;
}

class FailureMessageTest : public ::testing::TestWithParam<FailureCase> {};

TEST_P(FailureMessageTest, SaysInJapaneseWhatWentWrong)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString message = GetParam().fail(dir.path());
    EXPECT_TRUE(message.startsWith(QString::fromUtf8(GetParam().japanese))) << message.toStdString();
    EXPECT_TRUE(message.endsWith(QStringLiteral("（%1）").arg(QString::fromUtf8(GetParam().sqlite))))
        << message.toStdString();
}

// The message of the first statement that fails on a plain connection.
QString FirstFailure(const QString &path, const QString &options, std::initializer_list<const char *> statements)
{
    ScopedConnection connection(path, options);
    QSqlDatabase db = connection.db();
    db.open();
    QSqlQuery q(db);
    for (const char *statement : statements) {
        if (!q.exec(QString::fromLatin1(statement)))
            return HistoryErrorText(q.lastError(), errno);
    }
    return QStringLiteral("no failure");
}

// What the driver reports when a write of the journal fails (SQLite's
// SQLITE_IOERR_WRITE), with the system's error number behind it: a real
// disk that fills up half-way through a transaction, which no test can
// make on a machine it shares.
QString IoError(int systemError)
{
    return HistoryErrorText(QSqlError(QStringLiteral("Unable to fetch row"), QStringLiteral("disk I/O error"),
                                      QSqlError::StatementError, QStringLiteral("778")),
                            systemError);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FailureMessageTest,
    ::testing::Values(
        FailureCase{"another program holds the lock",
                    [](const QString &folder) {
                        HistoryStore(folder).Record(Played(0, QStringLiteral("1")));
                        ScopedConnection other(HistoryPath(folder), QString());
                        other.db().open();
                        QSqlQuery(other.db()).exec(QStringLiteral("BEGIN IMMEDIATE"));
                        HistoryDatabase db(HistoryPath(folder), 0);
                        const std::vector<GameResult> games{Played(1, QStringLiteral("2"))};
                        EXPECT_EQ(db.Write(games), HistoryFault::Busy);
                        return db.lastError();
                    },
                    "ほかのプログラムが成績の記録を使用中です", "database is locked"},
        FailureCase{"opened read-only",
                    [](const QString &folder) {
                        const QString path = folder + QStringLiteral("/ro.sqlite");
                        RunOn(path, {"CREATE TABLE t (x)"});
                        return FirstFailure(path, QStringLiteral("QSQLITE_OPEN_READONLY"), {"INSERT INTO t VALUES (1)"});
                    },
                    "読み取り専用のため書き込めません", "attempt to write a readonly database"},
        FailureCase{"a full disk",
                    [](const QString &) { return FirstFailure(QStringLiteral("/dev/full"), QString(), {"CREATE TABLE t (x)"}); },
                    "ディスクの空きが足りません", "database or disk is full"},
        FailureCase{"a full disk reported as an I/O error",
                    [](const QString &) { return IoError(ENOSPC); },
                    "ディスクの空きが足りません", "disk I/O error"},
        FailureCase{"any other I/O error",
                    [](const QString &) { return IoError(EIO); },
                    "ディスクの読み書きでエラーが起きました", "disk I/O error"},
        FailureCase{"not a database",
                    [](const QString &folder) {
                        const QString path = HistoryPath(folder);
                        WriteRaw(path, QByteArray("no database at all\n").repeated(100));
                        HistoryDatabase db(path);
                        EXPECT_EQ(db.Open(), HistoryFault::Broken);
                        return db.lastError();
                    },
                    "成績の記録のファイルではありません", "file is not a database"},
        FailureCase{"a statement that runs too long",
                    [](const QString &) {
                        ScopedConnection connection(QStringLiteral(":memory:"), QString());
                        QSqlDatabase db = connection.db();
                        db.open();
                        StatementGuard guard;
                        guard.Attach(db);
                        guard.LimitEachStatement(100);
                        QElapsedTimer clock;
                        clock.start();
                        QSqlQuery q(db);
                        EXPECT_FALSE(q.exec(QStringLiteral(FOREVER "SELECT count(*) FROM c")));
                        EXPECT_LT(clock.elapsed(), 1000);
                        return HistoryErrorText(q.lastError());
                    },
                    "時間がかかりすぎるため中断しました", "interrupted"}),
    [](const auto &info) { return "case" + std::to_string(info.index); });

// A lock held from the end of a game through the game's exit: the exit
// does not wait for it, and the next start writes the game, once.
TEST(PendingHistoryTest, AGameTheHistoryCannotTakeWaitsForTheNextStart)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = HistoryPath(dir.path());
    const QString pending = PendingHistoryPath(path);
    {
        HistoryStore(dir.path()).Record(Played(0, QStringLiteral("1")));
        ScopedConnection other(path, QString());
        other.db().open();
        ASSERT_TRUE(QSqlQuery(other.db()).exec(QStringLiteral("BEGIN IMMEDIATE")));

        HistoryStore::Options patient;
        patient.busyTimeoutMs = 10000;
        std::optional<HistoryStore> store(std::in_place, dir.path(), patient);
        // What a miss typed instead and a phrase committed whole are kept
        // in the pending file too.
        GameResult typed = Played(1, QStringLiteral("2"));
        typed.targets[QStringLiteral("e")].typedInstead = {{QStringLiteral("r"), 1}};
        typed.committedHits = 4;
        typed.committedSeconds = 1.25;
        store->Record(typed);
        QElapsedTimer clock;
        clock.start();
        store.reset();
        EXPECT_LT(clock.elapsed(), 2000) << "the exit waited for the lock";
        ASSERT_TRUE(QFileInfo(pending).isFile());
    }
    const QByteArray kept = ReadRaw(pending);
    for (int start = 0; start < 3; ++start) {
        SCOPED_TRACE(start);
        HistoryStore store(dir.path());
        ASSERT_TRUE(store.WaitForIdle(5000));
        const QStringList notices = store.TakeNotices();
        ASSERT_EQ(notices.size(), start == 1 ? 0 : 1) << notices.join(u'\n').toStdString();
        EXPECT_FALSE(QFileInfo::exists(pending));
        EXPECT_EQ(SpeedsOf(dir.path()), QStringList({"1", "2"}));
        // A crash between the merge and the removal leaves the file: merged
        // again, it adds nothing.
        if (start == 1)
            WriteRaw(pending, kept);
    }
    HistoryReader reader(path);
    const std::vector<StoredGame> games = reader.RecentGames(1, true);
    ASSERT_EQ(games.size(), 1u);
    const GameResult &merged = games[0].result;
    EXPECT_EQ(merged.targets.at(QStringLiteral("e")).typedInstead, (std::map<QString, int>{{QStringLiteral("r"), 1}}));
    EXPECT_EQ(merged.committedHits, 4);
    EXPECT_DOUBLE_EQ(merged.committedSeconds, 1.25);
}

TEST(PendingHistoryTest, AHistoryDeletedDuringTheGameIsStartedAgain)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    HistoryStore store(dir.path());
    store.Record(Played(0, QStringLiteral("1")));
    ASSERT_TRUE(store.WaitForIdle(5000));
    for (const QString &suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")})
        QFile::remove(store.path() + suffix);
    store.Record(Played(1, QStringLiteral("2")));
    store.Record(Played(2, QStringLiteral("3")));
    ASSERT_TRUE(store.WaitForIdle(5000));
    EXPECT_EQ(SpeedsOf(dir.path()), QStringList({"2", "3"}));
}

}  // namespace

namespace {

// The statistics window's reads run on a thread of their own, and the
// window's waiter has the time while one takes long.
TEST(HistoryReaderThreadTest, ASlowReadLeavesTheCallerToItsWaiter)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    HistoryStore(dir.path()).Record(Played(0, QStringLiteral("2")));
    int waits = 0, seenUndone = 0;
    HistoryReaderThread reader(HistoryPath(dir.path()), {Played(1, QStringLiteral("3"))},
                               [&](const std::function<bool()> &done) {
                                   ++waits;
                                   for (; !done(); std::this_thread::sleep_for(std::chrono::milliseconds(5)))
                                       ++seenUndone;
                               });
    EXPECT_TRUE(reader.problem().isEmpty()) << reader.problem().toStdString();
    const auto caller = std::this_thread::get_id();
    const auto [count, elsewhere] = reader.Run([caller](HistoryReader &r) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        return std::pair{r.GameCount(), std::this_thread::get_id() != caller};
    });
    EXPECT_EQ(count, 2) << "the file's game and the one still in memory";
    EXPECT_TRUE(elsewhere);
    EXPECT_EQ(waits, 2);
    EXPECT_GE(seenUndone, 10) << "the caller was not left to its waiter while the read ran";
}

}  // namespace
