#include "persistence/historydatabase.h"
#include "persistence/historyreader.h"
#include "persistence/historystore.h"

#include "support/files.h"
#include "support/text.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>

#include <functional>
#include <optional>
#include <vector>

using namespace typetoki;
using namespace typetoki::testing;

namespace {

const QDateTime kNoon(QDate(2026, 11, 3), QTime(12, 0));

GameResult Game(int mode, int limit, int minute, const QString &speed, bool abandoned = false)
{
    GameResult g;
    g.playedAt = kNoon.addSecs(60 * minute);
    g.gameMode = GameMode(mode);
    g.timeLimitSeconds = std::int16_t(limit);
    g.abandoned = abandoned;
    g.speedText = speed;
    g.accuracyText = QStringLiteral("95.5");
    return g;
}

// Every field the history keeps, with the awkward values: Japanese, a comma
// and a quote in the path, an empty peak, a unit longer than 65 s.
GameResult DetailedGame()
{
    GameResult g = Game(4, 60, 0, QStringLiteral("1.35"));
    g.playedAt = g.playedAt.addMSecs(123);
    g.trainingTextPath = U("/home/player/文章/\"稽古\", 二.txt");
    g.trainingTextHash = QStringLiteral("0123456789abcdef");
    g.judgedText = QStringLiteral("90");
    g.correctText = QStringLiteral("81");
    g.accuracyText = QStringLiteral("90");
    g.peakText = QString();
    g.scoreText = QStringLiteral("160.37");
    g.inputCount = 90;
    g.correctCount = 81;
    g.rankIndex = 26;
    g.rankTitle = QStringLiteral("Volg");
    g.targets[U("稽")] = {12, 3, 8.25, 9};
    g.targets[QStringLiteral("y")] = {40, 0, 10.5, 40};
    g.heroUnitSeconds = {0.401f, 0.399f, 70.0f};
    g.rivalUnitSeconds = {1.25f};
    return g;
}

void ExpectSameGame(const GameResult &got, const GameResult &want, const char *what)
{
    SCOPED_TRACE(what);
    EXPECT_EQ(got.playedAt, want.playedAt);
    EXPECT_EQ(got.gameMode, want.gameMode);
    EXPECT_EQ(got.timeLimitSeconds, want.timeLimitSeconds);
    EXPECT_EQ(got.abandoned, want.abandoned);
    EXPECT_EQ(got.trainingTextPath, want.trainingTextPath);
    EXPECT_EQ(got.trainingTextHash, want.trainingTextHash);
    EXPECT_EQ(QStringList({got.judgedText, got.correctText, got.accuracyText, got.speedText,
                           got.peakText, got.scoreText}),
              QStringList({want.judgedText, want.correctText, want.accuracyText, want.speedText,
                           want.peakText, want.scoreText}));
    EXPECT_EQ(got.inputCount, want.inputCount);
    EXPECT_EQ(got.correctCount, want.correctCount);
    EXPECT_EQ(got.rankIndex, want.rankIndex);
    EXPECT_EQ(got.rankTitle, want.rankTitle);
    ASSERT_EQ(got.targets.size(), want.targets.size());
    for (const auto &[ch, stats] : want.targets) {
        const auto it = got.targets.find(ch);
        ASSERT_NE(it, got.targets.end()) << ch.toStdString();
        EXPECT_EQ(it->second.targeted, stats.targeted);
        EXPECT_EQ(it->second.missed, stats.missed);
        EXPECT_NEAR(it->second.hitSeconds, stats.hitSeconds, 0.0005);
        EXPECT_EQ(it->second.timedHits, stats.timedHits);
    }
    for (auto [gotUnits, wantUnits] : {std::pair{&got.heroUnitSeconds, &want.heroUnitSeconds},
                                       std::pair{&got.rivalUnitSeconds, &want.rivalUnitSeconds}}) {
        ASSERT_EQ(gotUnits->size(), wantUnits->size());
        for (size_t i = 0; i < wantUnits->size(); ++i)
            EXPECT_NEAR((*gotUnits)[i], std::min((*wantUnits)[i], 65.535f), 0.0005f);
    }
}

std::vector<GameResult> ReadBack(const QString &folder, const std::vector<GameResult> &unwritten = {})
{
    HistoryReader reader(HistoryPath(folder), unwritten);
    std::vector<GameResult> games;
    for (StoredGame &g : reader.RecentGames(1000, true))
        games.insert(games.begin(), std::move(g.result));  // oldest first
    return games;
}

QStringList SpeedsIn(const std::vector<GameResult> &games)
{
    QStringList speeds;
    for (const GameResult &g : games)
        speeds << g.speedText;
    return speeds;
}

HistoryStore::Options Patience(int busyTimeoutMs)
{
    HistoryStore::Options options;
    options.busyTimeoutMs = busyTimeoutMs;
    return options;
}

// Another copy of the game in the middle of writing: it holds the write lock
// until Release.
class WriteLock {
public:
    explicit WriteLock(const QString &path)
        : connection_(path, QStringLiteral("QSQLITE_BUSY_TIMEOUT=0"))
    {
        db_ = connection_.db();
        db_.open();
        held_ = QSqlQuery(db_).exec(QStringLiteral("BEGIN IMMEDIATE"));
    }
    ~WriteLock() { Release(); }
    bool held() const { return held_; }
    void Release()
    {
        if (held_)
            QSqlQuery(db_).exec(QStringLiteral("ROLLBACK"));
        held_ = false;
    }

private:
    ScopedConnection connection_;
    QSqlDatabase db_;
    bool held_ = false;
};

TEST(HistoryStoreTest, KeepsEveryFigureAndTheDetailOfAGame)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    GameResult noKeys = Game(2, 10, 1, QStringLiteral("0"));
    noKeys.accuracyText.clear();
    noKeys.scoreText = QStringLiteral("0");
    const GameResult abandoned = Game(1, 30, 2, QStringLiteral("4.1"), true);
    const std::vector<GameResult> games = {DetailedGame(), noKeys, abandoned};
    {
        HistoryStore store(dir.path());
        for (const GameResult &g : games)
            store.Record(g);
        ASSERT_TRUE(store.WaitForIdle(5000));
        EXPECT_TRUE(store.Unwritten().empty());
        EXPECT_EQ(store.TakeNotices(), QStringList());
    }
    const std::vector<GameResult> read = ReadBack(dir.path());
    ASSERT_EQ(read.size(), games.size());
    const char *what[] = {"detailed training game", "game with no key typed", "abandoned game"};
    for (size_t i = 0; i < games.size(); ++i)
        ExpectSameGame(read[i], games[i], what[i]);
}

TEST(HistoryStoreTest, AGameWithoutADateGetsThePresentOne)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    GameResult g = Game(1, 60, 0, QStringLiteral("3"));
    g.playedAt = QDateTime();
    const QDateTime before = QDateTime::currentDateTime();
    HistoryStore store(dir.path());
    store.Record(g);
    ASSERT_TRUE(store.WaitForIdle(5000));
    const std::vector<GameResult> read = ReadBack(dir.path());
    ASSERT_EQ(read.size(), 1u);
    EXPECT_GE(read[0].playedAt, before.addMSecs(-1));
    EXPECT_LE(read[0].playedAt, QDateTime::currentDateTime());
}

// A history file that is no database (any more) is moved aside, a new one
// takes the games, and the player is told once.
struct BrokenCase {
    const char *what;
    std::function<void(const QString &path)> spoil;
    bool nameTaken;  // a file moved aside earlier today is in the way
};

void PrintTo(const BrokenCase &c, std::ostream *os)
{
    *os << c.what;
}

class BrokenHistoryTest : public ::testing::TestWithParam<BrokenCase> {};

TEST_P(BrokenHistoryTest, IsMovedAsideAndANewOneStartedWithOneNotice)
{
    const BrokenCase &c = GetParam();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = HistoryPath(dir.path());
    c.spoil(path);
    const bool wasFile = QFileInfo(path).isFile();
    const QByteArray spoilt = ReadRaw(path);
    const QString aside = path + QStringLiteral(".broken-") + QDate::currentDate().toString(Qt::ISODate);
    if (c.nameTaken)
        WriteRaw(aside, "moved aside earlier");

    HistoryStore store(dir.path());
    store.Record(Game(1, 60, 0, QStringLiteral("3.1")));
    store.Record(Game(1, 60, 1, QStringLiteral("3.2")));
    ASSERT_TRUE(store.WaitForIdle(5000));

    const QString movedTo = c.nameTaken ? aside + QStringLiteral("-2") : aside;
    EXPECT_TRUE(QFileInfo::exists(movedTo)) << movedTo.toStdString();
    if (wasFile) {
        EXPECT_EQ(ReadRaw(movedTo), spoilt) << "the broken file is kept as it was";
    }
    if (c.nameTaken) {
        EXPECT_EQ(ReadRaw(aside), QByteArray("moved aside earlier"));
    }
    EXPECT_TRUE(store.Unwritten().empty());
    EXPECT_EQ(SpeedsIn(ReadBack(dir.path())), QStringList({"3.1", "3.2"}));
    const QStringList notices = store.TakeNotices();
    ASSERT_EQ(notices.size(), 1) << notices.join(u'\n').toStdString();
    EXPECT_TRUE(notices[0].contains(QFileInfo(movedTo).fileName())) << notices[0].toStdString();

    store.Record(Game(1, 60, 2, QStringLiteral("3.3")));
    ASSERT_TRUE(store.WaitForIdle(5000));
    EXPECT_EQ(store.TakeNotices(), QStringList());
}

// A valid history whose first table page is overwritten: the header still
// reads, the damage shows when the next game is written.
void DamageTablePages(const QString &path)
{
    {
        HistoryStore store(QFileInfo(path).path());
        store.Record(Game(2, 60, -5, QStringLiteral("2")));
        ASSERT_TRUE(store.WaitForIdle(5000));
    }
    QByteArray bytes = ReadRaw(path);
    ASSERT_GE(bytes.size(), 3 * 4096);
    bytes.replace(4096, 2 * 4096, QByteArray(2 * 4096, '\xAB'));
    WriteRaw(path, bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BrokenHistoryTest,
    ::testing::Values(
        BrokenCase{"text instead of a database",
                   [](const QString &p) { WriteRaw(p, QByteArray("not a database\n").repeated(300)); }, false},
        BrokenCase{"a database header over garbage",
                   [](const QString &p) {
                       WriteRaw(p, QByteArray("SQLite format 3\0", 16) + QByteArray(8000, '\xFF'));
                   },
                   false},
        BrokenCase{"damaged table pages", DamageTablePages, false},
        BrokenCase{"a folder by that name", [](const QString &p) { QDir().mkpath(p + "/inside"); }, false},
        BrokenCase{"moved aside once already today",
                   [](const QString &p) { WriteRaw(p, QByteArray(5000, 'x')); }, true}),
    [](const auto &info) { return "case" + std::to_string(info.index); });

TEST(HistoryStoreTest, ALockHeldBrieflyIsWaitedFor)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    HistoryStore store(dir.path(), Patience(10000));
    ASSERT_TRUE(store.WaitForIdle(5000));
    WriteLock other(store.path());
    ASSERT_TRUE(other.held());

    store.Record(Game(1, 60, 0, QStringLiteral("3")));
    EXPECT_FALSE(store.WaitForIdle(300)) << "the store gave up at once";
    other.Release();
    ASSERT_TRUE(store.WaitForIdle(5000));
    EXPECT_TRUE(store.Unwritten().empty());
    EXPECT_EQ(SpeedsIn(ReadBack(dir.path())), QStringList({"3"}));
    EXPECT_EQ(store.TakeNotices(), QStringList());
}

TEST(HistoryStoreTest, ALockHeldLongerKeepsTheGameForTheNextGamesEnd)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    HistoryStore store(dir.path(), Patience(100));
    ASSERT_TRUE(store.WaitForIdle(5000));
    std::optional<WriteLock> other(std::in_place, store.path());
    ASSERT_TRUE(other->held());

    store.Record(Game(1, 60, 0, QStringLiteral("3")));
    ASSERT_TRUE(store.WaitForIdle(5000));
    EXPECT_EQ(SpeedsIn(store.Unwritten()), QStringList({"3"}));
    EXPECT_EQ(SpeedsIn(ReadBack(dir.path())), QStringList()) << "read while the other copy writes";
    EXPECT_EQ(SpeedsIn(ReadBack(dir.path(), store.Unwritten())), QStringList({"3"}))
        << "the window shows the game kept in memory";

    other.reset();
    store.Record(Game(1, 60, 1, QStringLiteral("4")));
    ASSERT_TRUE(store.WaitForIdle(5000));
    EXPECT_TRUE(store.Unwritten().empty());
    EXPECT_EQ(SpeedsIn(ReadBack(dir.path())), QStringList({"3", "4"}));
    EXPECT_EQ(store.TakeNotices(), QStringList()) << "a lock that goes away is no news";
}

TEST(HistoryStoreTest, WhatIsStillKeptAtTheEndIsWrittenWhenTheStoreCloses)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    {
        HistoryStore store(dir.path(), Patience(100));
        ASSERT_TRUE(store.WaitForIdle(5000));
        WriteLock other(store.path());
        store.Record(Game(1, 60, 0, QStringLiteral("3")));
        ASSERT_TRUE(store.WaitForIdle(5000));
        ASSERT_EQ(store.Unwritten().size(), 1u);
    }  // the lock goes first, then the store
    EXPECT_EQ(SpeedsIn(ReadBack(dir.path())), QStringList({"3"}));
}

// A history that cannot be written: the games stay in memory, the player is
// told once, and they are written as soon as the trouble is over.
struct UnwritableCase {
    const char *what;
    std::function<QString(const QString &tmp)> folder;  // the data folder
    std::function<void(const QString &folder)> mend;    // null: it stays unwritable
};

void PrintTo(const UnwritableCase &c, std::ostream *os)
{
    *os << c.what;
}

class UnwritableHistoryTest : public ::testing::TestWithParam<UnwritableCase> {
protected:
    void TearDown() override;
};

TEST_P(UnwritableHistoryTest, KeepsTheGamesAndWritesThemWhenItCan)
{
    const UnwritableCase &c = GetParam();
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const QString folder = c.folder(tmp.path());
    HistoryStore store(folder, Patience(100));
    store.Record(Game(1, 60, 0, QStringLiteral("3")));
    ASSERT_TRUE(store.WaitForIdle(5000));
    store.Record(Game(3, 60, 1, QStringLiteral("4")));
    ASSERT_TRUE(store.WaitForIdle(5000));

    EXPECT_EQ(SpeedsIn(store.Unwritten()), QStringList({"3", "4"}));
    const QStringList notices = store.TakeNotices();
    ASSERT_EQ(notices.size(), 1) << notices.join(u'\n').toStdString();
    EXPECT_TRUE(notices[0].contains(store.path())) << notices[0].toStdString();
    EXPECT_EQ(SpeedsIn(ReadBack(folder, store.Unwritten())), QStringList({"3", "4"}));
    if (!c.mend)
        return;

    c.mend(folder);
    store.Record(Game(2, 60, 2, QStringLiteral("5")));
    ASSERT_TRUE(store.WaitForIdle(5000));
    EXPECT_TRUE(store.Unwritten().empty());
    EXPECT_EQ(SpeedsIn(ReadBack(folder)), QStringList({"3", "4", "5"}));
    EXPECT_EQ(store.TakeNotices(), QStringList());
}

#ifdef Q_OS_UNIX
// The disk fills up: nothing more can be added to the file or its journal.
struct FullDisk {
    std::optional<FileSizeLimit> limit;
};
FullDisk fullDisk;
#endif

// A case that failed before its mend must not leave the disk full for the
// tests after it.
void UnwritableHistoryTest::TearDown()
{
#ifdef Q_OS_UNIX
    fullDisk.limit.reset();
#endif
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UnwritableHistoryTest,
    ::testing::Values(
        // /proc takes no new file, not even from root.
        UnwritableCase{"a folder nobody may write", [](const QString &) { return QStringLiteral("/proc"); },
                       nullptr},
        UnwritableCase{"a data folder made only later",
                       [](const QString &tmp) { return tmp + QStringLiteral("/not-yet"); },
                       [](const QString &folder) { QDir().mkpath(folder); }}
#ifdef Q_OS_UNIX
        ,
        UnwritableCase{"a full disk",
                       [](const QString &tmp) {
                           fullDisk.limit.emplace(0);
                           return tmp;
                       },
                       [](const QString &) { fullDisk.limit.reset(); }}
#endif
        ),
    [](const auto &info) { return "case" + std::to_string(info.index); });

TEST(HistoryUpgradeTest, AVersionOneFileIsBroughtUpToDateWithEveryGameInIt)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = HistoryPath(dir.path());
    {
        // The file as the first version of the history wrote it.
        ScopedConnection old(path, QString());
        QSqlDatabase db = old.db();
        ASSERT_TRUE(db.open());
        ASSERT_FALSE(UpgradeHistory(db, QStringLiteral("main"), 1).isValid());
        QSqlQuery q(db);
        const QString text = U("/home/player/稽古.txt");
        for (const auto &[id, mode, textPath, hash, speed] :
             {std::tuple{1, 4, text, QStringLiteral("aaaa"), QStringLiteral("1.1")},
              std::tuple{2, 1, QString(), QString(), QStringLiteral("3.5")},
              std::tuple{3, 4, text, QStringLiteral("aaaa"), QStringLiteral("1.3")},
              std::tuple{4, 4, text, QStringLiteral("bbbb"), QStringLiteral("1.4")}}) {
            q.prepare(QStringLiteral("INSERT INTO game VALUES (?, ?, ?, 60, 0, ?, ?, '100', '90', '90',"
                                     " ?, '', '190', 3, 'x', ?, NULL)"));
            for (const QVariant &v : {QVariant(id), QVariant(kNoon.addSecs(60 * id).toMSecsSinceEpoch()),
                                      QVariant(mode), QVariant(textPath.isNull() ? QString("") : textPath),
                                      QVariant(hash.isNull() ? QString("") : hash), QVariant(speed),
                                      mode == 1 ? QVariant(PackUnitSeconds(std::vector<float>{0.5f, 0.25f}))
                                                : QVariant(QMetaType::fromType<QByteArray>())})
                q.addBindValue(v);
            ASSERT_TRUE(q.exec()) << q.lastError().text().toStdString();
        }
        ASSERT_TRUE(q.exec(QStringLiteral("INSERT INTO target VALUES (2, 'y', 10, 2, 3000, 9)")));
    }

    HistoryStore store(dir.path());
    store.Record(Game(1, 60, 9, QStringLiteral("3.6")));
    ASSERT_TRUE(store.WaitForIdle(5000));
    EXPECT_EQ(store.TakeNotices(), QStringList());

    const std::vector<GameResult> games = ReadBack(dir.path());
    ASSERT_EQ(SpeedsIn(games), QStringList({"1.1", "3.5", "1.3", "1.4", "3.6"}));
    EXPECT_EQ(games[0].trainingTextPath, U("/home/player/稽古.txt"));
    EXPECT_EQ(QStringList({games[0].trainingTextHash, games[2].trainingTextHash, games[3].trainingTextHash}),
              QStringList({"aaaa", "aaaa", "bbbb"}));
    EXPECT_TRUE(games[1].trainingTextPath.isEmpty());
    EXPECT_EQ(games[1].heroUnitSeconds, std::vector<float>({0.5f, 0.25f}));
    ASSERT_EQ(games[1].targets.count(QStringLiteral("y")), 1u);
    EXPECT_EQ(games[1].targets.at(QStringLiteral("y")).missed, 2);

    ScopedConnection check(path, QStringLiteral("QSQLITE_OPEN_READONLY"));
    QSqlDatabase db = check.db();
    ASSERT_TRUE(db.open());
    EXPECT_EQ(HistoryVersion(db, QStringLiteral("main")), kHistoryVersion);
    QSqlQuery q(db);
    ASSERT_TRUE(q.exec(QStringLiteral("SELECT COUNT(*) FROM training_text")) && q.next());
    EXPECT_EQ(q.value(0).toInt(), 2) << "one row per text and version, not per game";
}

TEST(HistoryUpgradeTest, AFileOfALaterVersionIsLeftAloneAndTheGamesKept)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = HistoryPath(dir.path());
    {
        ScopedConnection later(path, QString());
        QSqlDatabase db = later.db();
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        ASSERT_TRUE(q.exec(QStringLiteral("CREATE TABLE games_of_the_future (x)")));
        ASSERT_TRUE(q.exec(QStringLiteral("PRAGMA user_version = %1").arg(kHistoryVersion + 1)));
    }
    const QByteArray before = ReadRaw(path);
    HistoryStore store(dir.path());
    store.Record(Game(1, 60, 0, QStringLiteral("3")));
    ASSERT_TRUE(store.WaitForIdle(5000));
    EXPECT_EQ(SpeedsIn(store.Unwritten()), QStringList({"3"}));
    EXPECT_EQ(store.TakeNotices().size(), 1);
    EXPECT_EQ(ReadRaw(path), before);
    EXPECT_FALSE(QFileInfo::exists(path + QStringLiteral("-wal")));
}

// The figures of the statistics window, from a history written here.
class HistoryReaderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        std::vector<GameResult> games;
        // Twelve finished one-minute Rexa games at speeds 1 to 12, an
        // abandoned one faster than all, and two games of other groups.
        for (int i = 1; i <= 12; ++i) {
            GameResult g = Game(1, 60, i, QString::number(i));
            g.targets[QStringLiteral("y")] = {10, i % 3, 2.0, 10};
            g.targets[QStringLiteral("e")] = {10, 0, 1.0, 10};
            g.heroUnitSeconds = {float(i) / 10};
            games.push_back(g);
        }
        GameResult cut = Game(1, 60, 13, QStringLiteral("50"), true);
        cut.targets[QStringLiteral("e")] = {5, 5, 1.0, 5};
        cut.heroUnitSeconds = {9.0f};
        games.push_back(cut);
        games.push_back(Game(1, 30, 14, QStringLiteral("99")));
        games.push_back(Game(2, 60, 15, QStringLiteral("98")));
        ASSERT_TRUE(WriteHistory(games));
    }
    bool WriteHistory(const std::vector<GameResult> &games)
    {
        HistoryDatabase db(HistoryPath(dir_.path()));
        return db.Write(games) == HistoryFault::None;
    }
    QTemporaryDir dir_;
};

TEST_F(HistoryReaderTest, ProgressHasTheRunningAverageOfTenAndTheBestWithoutAbandonedGames)
{
    HistoryReader reader(HistoryPath(dir_.path()));
    for (bool withAbandoned : {false, true}) {
        const Progress p = reader.ProgressOf({1, 60, withAbandoned});
        ASSERT_EQ(p.finished.size(), 12u);
        struct Row {
            size_t at;
            double speed, average10, best;
        };
        for (const Row &r : {Row{0, 1, 1, 1}, Row{9, 10, 5.5, 10}, Row{11, 12, 7.5, 12}}) {
            EXPECT_DOUBLE_EQ(p.finished[r.at].speed, r.speed);
            EXPECT_DOUBLE_EQ(p.finished[r.at].average10, r.average10) << r.at;
            EXPECT_DOUBLE_EQ(p.finished[r.at].best, r.best);
        }
        EXPECT_DOUBLE_EQ(p.finished[0].accuracy, 95.5);
        EXPECT_EQ(p.abandoned.size(), withAbandoned ? 1u : 0u);
    }
    EXPECT_TRUE(reader.problem().isEmpty());
}

TEST_F(HistoryReaderTest, KeysAndUnitsAreSummedOverTheGroup)
{
    HistoryReader reader(HistoryPath(dir_.path()));
    struct Case {
        bool withAbandoned;
        qint64 eTargeted, eMissed;
        size_t units;
    };
    for (const Case &c : {Case{false, 120, 0, 12}, Case{true, 125, 5, 13}}) {
        const std::vector<TargetFigures> targets = reader.Targets({1, 60, c.withAbandoned});
        ASSERT_EQ(targets.size(), 2u);
        // Most missed first: y misses 1+2+0+... = 12 in twelve games.
        const TargetFigures &y = targets[0];
        EXPECT_TRUE(y.typedInstead.empty()) << "no miss of these games says what was typed";
        const TargetFigures &e = targets[1];
        EXPECT_EQ(y.target, QStringLiteral("y"));
        EXPECT_EQ(y.missed, 12);
        EXPECT_EQ(y.targeted, 120);
        EXPECT_DOUBLE_EQ(y.hitSeconds, 24.0);
        EXPECT_EQ(y.timedHits, 120);
        EXPECT_EQ(e.targeted, c.eTargeted);
        EXPECT_EQ(e.missed, c.eMissed);
        const UnitTimes units = reader.Units({1, 60, c.withAbandoned});
        EXPECT_EQ(units.hero.size(), c.units);
        EXPECT_TRUE(units.rival.empty());
    }
    EXPECT_NEAR(Median(reader.Units({1, 60, false}).hero), 0.65, 1e-6);

    // Games still in memory add to the file's sums, once: the one the file
    // already holds (same group and moment) is not counted again.
    GameResult extra = Game(1, 60, 20, QStringLiteral("5"));
    extra.targets[QStringLiteral("y")] = {3, 3, 0, 0, {{QStringLiteral("t"), 3}}};
    GameResult again = Game(1, 60, 1, QStringLiteral("1"));
    again.targets[QStringLiteral("y")] = {10, 10, 0, 0};
    HistoryReader both(HistoryPath(dir_.path()), {extra, again});
    const TargetFigures y = both.Targets({1, 60, false}).at(0);
    EXPECT_EQ(y.missed, 15);
    EXPECT_EQ(y.targeted, 123);
    ASSERT_EQ(y.typedInstead.size(), 1u);
    EXPECT_EQ(y.typedInstead[0].second, 3);
    EXPECT_EQ(both.TimesOf({1, 60, false}).games, 13);
    EXPECT_DOUBLE_EQ(Median({3.0f, 1.0f, 2.0f}), 2.0);
    EXPECT_DOUBLE_EQ(Median({}), 0.0);
}

TEST_F(HistoryReaderTest, TheCsvHoldsEveryGameOldestFirstQuotedWhereNeeded)
{
    GameResult text = DetailedGame();
    text.playedAt = kNoon.addDays(1);
    ASSERT_TRUE(WriteHistory({text}));
    HistoryReader reader(HistoryPath(dir_.path()));
    const QString csv = dir_.filePath(QStringLiteral("history.csv"));
    QString error;
    ASSERT_TRUE(reader.ExportCsv(csv, &error)) << error.toStdString();

    const QByteArray bytes = ReadRaw(csv);
    ASSERT_TRUE(bytes.startsWith("\xEF\xBB\xBF"));
    const QStringList lines = QString::fromUtf8(bytes.mid(3)).split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), 1 + 16 + 1);  // header, games, and the empty rest after the last CR LF
    EXPECT_TRUE(lines[0].startsWith(U("日時,種目,制限時間[秒],中断,")));
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("2026-11-03 12:01:00,Rexa,60,0,")));
    EXPECT_TRUE(lines[13].contains(QStringLiteral(",Rexa,60,1,"))) << "abandoned games are listed too";
    EXPECT_TRUE(lines[16].contains(U(",\"/home/player/文章/\"\"稽古\"\", 二.txt\",0123456789abcdef,3,0.401,1,1.250")))
        << lines[16].toStdString();
    EXPECT_TRUE(lines[17].isEmpty());

    EXPECT_FALSE(reader.ExportCsv(dir_.filePath(QStringLiteral("no/such/folder/h.csv")), &error));
    EXPECT_FALSE(error.isEmpty());
}

// Every layout a released game wrote: its games all come through the
// upgrade, and the games after it keep what was typed on each miss.
TEST(HistoryUpgradeTest, EveryEarlierVersionKeepsEveryGameAndGainsTheMisses)
{
    struct Case {
        int version;
        const char *insert;  // %1: the game's number
    };
    const Case cases[] = {
        {1, "INSERT INTO game VALUES (%1, %1 * 1000, 4, 60, 0, '/t.txt', 'h', '10', '9', '90', '%1', '', '5', 1,"
            " 'x', NULL, NULL)"},
        {2, "INSERT INTO game (id, played_at, mode, time_limit, abandoned, judged, correct, accuracy, speed, peak,"
            " score, rank_index, rank_title) VALUES (%1, %1 * 1000, 4, 60, 0, '10', '9', '90', '%1', '', '5', 1, 'x')"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.version);
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        {
            ScopedConnection old(HistoryPath(dir.path()), QString());
            QSqlDatabase db = old.db();
            ASSERT_TRUE(db.open());
            ASSERT_FALSE(UpgradeHistory(db, QStringLiteral("main"), c.version).isValid());
            QSqlQuery q(db);
            for (int id = 1; id <= 50; ++id) {
                ASSERT_TRUE(q.exec(QString::fromLatin1(c.insert).arg(id))) << q.lastError().text().toStdString();
                ASSERT_TRUE(q.exec(QStringLiteral("INSERT INTO target VALUES (%1, 'a', 3, 1, 900, 2)").arg(id)));
            }
        }
        GameResult later = Game(4, 60, 0, QStringLiteral("99"));
        later.targets[U("あ")] = {4, 2, 0.5, 1, {{U("い"), 1}, {QStringLiteral("a"), 1}}};
        later.committedHits = 12;
        later.committedSeconds = 3.25;
        HistoryDatabase db(HistoryPath(dir.path()));
        ASSERT_EQ(db.Write({&later, 1}), HistoryFault::None) << db.lastError().toStdString();
        db.Close();

        const std::vector<GameResult> games = ReadBack(dir.path());
        ASSERT_EQ(games.size(), 51u);
        for (int i = 0; i < 50; ++i) {
            EXPECT_EQ(games[size_t(i)].speedText, QString::number(i + 1));
            EXPECT_EQ(games[size_t(i)].committedHits, 0);
            ASSERT_EQ(games[size_t(i)].targets.count(QStringLiteral("a")), 1u);
            EXPECT_EQ(games[size_t(i)].targets.at(QStringLiteral("a")).missed, 1);
        }
        const GameResult &last = games.back();
        EXPECT_EQ(last.committedHits, 12);
        EXPECT_DOUBLE_EQ(last.committedSeconds, 3.25);
        ASSERT_EQ(last.targets.count(U("あ")), 1u);
        EXPECT_EQ(last.targets.at(U("あ")).typedInstead, later.targets.at(U("あ")).typedInstead);
        HistoryReader reader(HistoryPath(dir.path()));
        const std::vector<TargetFigures> figures = reader.Targets({4, 60, false});
        ASSERT_EQ(figures.size(), 2u);
        EXPECT_EQ(figures[0].target, QStringLiteral("a"));  // 50 misses before あ's 2
        EXPECT_EQ(figures[0].missed, 50) << "the upgrade sums the games it found";
        const TimeSources times = reader.TimesOf({4, 60, false});
        EXPECT_EQ(times.games, 51);
        EXPECT_EQ(times.committedGames, 1);
        EXPECT_EQ(times.committedHits, 12);
        EXPECT_EQ(figures[1].typedInstead.size(), 2u);
    }
}

// The export as the window shows things: modes by name, times rounded from
// whole milliseconds, and the second file with the keys and the units.
TEST_F(HistoryReaderTest, TheCsvNamesModesRoundsAsShownAndDetailsKeysAndUnits)
{
    std::vector<GameResult> games;
    for (int mode = 1; mode <= 5; ++mode)
        games.push_back(Game(mode, 120, 100 + mode, QStringLiteral("2")));
    games[0].heroUnitSeconds = {0.163f, 0.164f};  // the median 163.5 ms
    games[1].rivalUnitSeconds = {0.1f, 0.2f, 0.3f, 0.4f};
    games[3].targets[U("稽")] = {5, 2, 1.0015, 2, {{U("経"), 2}}};
    ASSERT_TRUE(WriteHistory(games));
    HistoryReader reader(HistoryPath(dir_.path()));
    const QString csv = dir_.filePath(QStringLiteral("h.csv")), keys = dir_.filePath(QStringLiteral("k.csv"));
    QString error;
    qint64 seen = 0;
    ASSERT_TRUE(reader.ExportCsv(csv, &error, keys, [&](qint64 done, qint64 total) {
        seen = done;
        return done <= total;
    })) << error.toStdString();
    EXPECT_EQ(seen, 20);
    const QStringList lines = QString::fromUtf8(ReadRaw(csv).mid(3)).split(QStringLiteral("\r\n"));
    const QStringList detail = QString::fromUtf8(ReadRaw(keys).mid(3)).split(QStringLiteral("\r\n"));
    struct Row {
        const QStringList *file;
        int line;
        const char *starts;  // after the date
        const char *ends;
    };
    for (const Row &r : {Row{&lines, 16, ",Rexa,120,0,", ",2,0.164,0,"},
                         Row{&lines, 17, ",Volg,120,0,", ",0,,4,0.250"},
                         Row{&lines, 18, ",対戦,120,0,", ",0,,0,"},
                         Row{&lines, 19, ",修行,120,0,", ",0,,0,"},
                         Row{&lines, 20, ",ﾛｰﾏ字,120,0,", ",0,,0,"}}) {
        const QString line = r.file->value(r.line);
        EXPECT_EQ(line.mid(19, QString(U(r.starts)).size()), U(r.starts)) << line.toStdString();
        EXPECT_TRUE(line.endsWith(U(r.ends))) << line.toStdString();
    }
    EXPECT_TRUE(detail.contains(U("2026-11-03 13:44:00,修行,120,キー,稽,5,2,0.501,経×2"))) << detail.join('\n').toStdString();
    EXPECT_TRUE(detail.contains(U("2026-11-03 13:41:00,Rexa,120,eya,2,,,0.164,")));
    EXPECT_EQ(detail.filter(U(",Volg,120,hiku,")).size(), 4);

    // Stopped half way: neither file is touched.
    ASSERT_TRUE(reader.ExportCsv(csv + ".2", &error, keys + ".2", [](qint64, qint64) { return false; }) == false);
    EXPECT_FALSE(QFileInfo::exists(csv + ".2"));
    EXPECT_FALSE(QFileInfo::exists(keys + ".2"));
}

}  // namespace
