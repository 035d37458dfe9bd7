// Boards shared on a PostgreSQL server: the settings, the queue that sends
// each registered result exactly once, and the rights of a player's role,
// against a real server of the test's own.
#include "persistence/sharedranking.h"
#include "support/files.h"
#include "support/postgres.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace typetoki;
using namespace typetoki::testing;

namespace {

ScoreRecord Result(const QString &name, const QString &points)
{
    ScoreRecord r;
    r.fields = {QString(), name, points, QStringLiteral("120"), QStringLiteral("2"), QStringLiteral("98.5"),
                QStringLiteral("2026/12/09  10:00:00"), QStringLiteral("1"), QStringLiteral("60")};
    return r;
}

int Count(TestPostgres &server, const QString &where = QStringLiteral("true"))
{
    QSqlDatabase db = server.Connect(QStringLiteral("admin"), QStringLiteral("count"));
    QSqlQuery q(db);
    const int n = q.exec(QStringLiteral("SELECT count(*) FROM typetoki.scores WHERE ") + where) && q.next()
                      ? q.value(0).toInt()
                      : -1;
    q = QSqlQuery();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("count"));
    return n;
}

class SharedRankingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const QString why = server.Start();
        if (!why.isEmpty())
            GTEST_SKIP() << why.toStdString();
    }
    RankingSettings As(const QString &user) { return {server.url(user), QStringLiteral("3年A組"), user}; }
    TestPostgres server;
};

}  // namespace

TEST(RankingSettings, ServerAddresses)
{
    struct Case {
        const char *url;
        bool ok;
        const char *host, *user, *database, *options;
    };
    const Case cases[] = {
        {"postgresql://alice@db.school.example/typetoki", true, "db.school.example", "alice", "typetoki", ""},
        {"postgres://bob@10.0.0.5:6543/club?sslmode=verify-full", true, "10.0.0.5", "bob", "club",
         ";sslmode=verify-full"},
        {"postgresql://carol@localhost/t?host=/run/postgresql", true, "/run/postgresql", "carol", "t", ""},
        {"postgresql://alice:secret@db/typetoki", false, "", "", "", ""},  // a password in clear
        {"postgresql://alice@db/typetoki?sslmode=sometimes", false, "", "", "", ""},
        {"postgresql://alice@db/typetoki?options=-c%20x", false, "", "", "", ""},
        {"postgresql://alice@db/typetoki?host=/tmp;x=1", false, "", "", "", ""},
        {"postgresql://alice@db/", false, "", "", "", ""},
        {"mysql://alice@db/typetoki", false, "", "", "", ""},
        {"", false, "", "", "", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.url);
        QString error;
        const auto a = ParseServerAddress(QString::fromUtf8(c.url), &error);
        ASSERT_EQ(a.has_value(), c.ok);
        if (!c.ok) {
            EXPECT_FALSE(error.isEmpty());
            continue;
        }
        EXPECT_EQ(a->host, QLatin1String(c.host));
        EXPECT_EQ(a->user, QLatin1String(c.user));
        EXPECT_EQ(a->database, QLatin1String(c.database));
        EXPECT_EQ(a->connectOptions,
                  QStringLiteral("connect_timeout=2;application_name=typetoki") + QLatin1String(c.options));
    }

    // A player's libpq and a server may speak Japanese.
    struct Said {
        const char *words;
        const char *code;
        RankingProblem problem;
    };
    const Said said[] = {
        {"fe_sendauth: no password supplied", "", RankingProblem::Password},
        {"FATAL:  ユーザー\"hanako\"のパスワード認証に失敗しました", "", RankingProblem::Password},
        {"サーバーはSSLをサポートしていませんが、SSLが要求されました", "", RankingProblem::Tls},
        {"FATAL:  データベース\"club\"は存在しません", "", RankingProblem::NoDatabase},
        {"FATAL:  ロール\"hanako\"は存在しません", "", RankingProblem::Rights},
        {"could not connect to server: Connection refused", "", RankingProblem::Unreachable},
        {"サーバーに接続できませんでした", "", RankingProblem::Unreachable},
        {"relation does not exist", "42P01", RankingProblem::NoBoards},
        {"division by zero", "22012", RankingProblem::Other},
    };
    for (const Said &c : said) {
        SCOPED_TRACE(c.words);
        const QSqlError error(QStringLiteral("Unable to connect"), QString::fromUtf8(c.words),
                              QSqlError::ConnectionError, QString::fromLatin1(c.code));
        EXPECT_EQ(ClassifyRankingError(error), c.problem);
    }

    // Read back as written, the group's comma and all; never a password.
    QTemporaryDir dir;
    Options options(dir.path());
    const RankingSettings written{QStringLiteral("postgresql://a@h/d"), QStringLiteral("1,2組"),
                                  QStringLiteral("<b>名前</b>")};
    ASSERT_TRUE(WriteRankingSettings(options, written));
    const RankingSettings read = ReadRankingSettings(Options(dir.path()));
    EXPECT_EQ(read.server, written.server);
    EXPECT_EQ(read.group, written.group);
    EXPECT_EQ(read.player, written.player);
    EXPECT_FALSE(ReadRankingSettings(Options(QString())).configured());
}

TEST_F(SharedRankingTest, AResultRegisteredWhileTheServerIsDownArrivesOnceAfterTheNextStart)
{
    QTemporaryDir data;
    ASSERT_TRUE(server.Stop());
    std::vector<QueuedScore> kept;
    {
        SharedRanking ranking(As(QStringLiteral("alice")), data.path());
        QElapsedTimer clock;
        clock.start();
        ranking.Register(Result(QStringLiteral("アリス"), QStringLiteral("300")));
        EXPECT_LT(clock.elapsed(), 500);  // the board never waits for the server
        EXPECT_TRUE(ranking.WaitForIdle(10'000));
        kept = ranking.Queued();
        ASSERT_EQ(kept.size(), 1u);
    }
    EXPECT_EQ(Count(server), -1);
    ASSERT_TRUE(server.Resume());
    EXPECT_EQ(Count(server), 0);
    {
        SharedRanking ranking(As(QStringLiteral("alice")), data.path());
        EXPECT_TRUE(ranking.WaitForIdle(10'000));
        EXPECT_TRUE(ranking.Queued().empty());
    }
    EXPECT_EQ(Count(server), 1);

    // A copy that stopped after sending but before its queue file was
    // rewritten sends it again: the server keeps one.
    QFile queue(RankingQueuePath(data.path()));
    ASSERT_TRUE(queue.open(QIODevice::WriteOnly));
    queue.write(QStringLiteral(R"([{"id":"%1","group":"3年A組","fields":["","アリス","300","120","2","98.5","x","1","60"]}])")
                    .arg(kept[0].id.toString(QUuid::WithoutBraces)).toUtf8());
    queue.close();
    {
        SharedRanking ranking(As(QStringLiteral("alice")), data.path());
        EXPECT_TRUE(ranking.WaitForIdle(10'000));
        EXPECT_TRUE(ranking.Queued().empty());
    }
    EXPECT_EQ(Count(server), 1);
    EXPECT_EQ(Count(server, QStringLiteral("player = 'アリス' AND points = 300 AND sent_by = 'alice'")), 1);
}

TEST_F(SharedRankingTest, APlayersRoleAddsResultsAndChangesNothing)
{
    {
        SharedRanking ranking(As(QStringLiteral("alice")), QString());
        ranking.Register(Result(QStringLiteral("アリス"), QStringLiteral("300")));
        ASSERT_TRUE(ranking.WaitForIdle(10'000));
    }
    ASSERT_EQ(Count(server), 1);
    {
        QSqlDatabase db = server.Connect(QStringLiteral("bob"), QStringLiteral("bob"));
        const char *attempts[] = {
            "UPDATE typetoki.scores SET points = 1",
            "UPDATE typetoki.board SET player = 'bob'",
            "DELETE FROM typetoki.scores",
            "DELETE FROM typetoki.board",
            "TRUNCATE typetoki.scores",
            "INSERT INTO typetoki.scores (result_id, group_name, mode, time_limit, player, points_text, correct_text, "
            "speed_text, accuracy_text, played_at, points, correct_chars, chars_per_second, accuracy, sent_by) "
            "VALUES (gen_random_uuid(), 'g', 1, 60, 'x', '1', '1', '1', '1', 'x', 1, 1, 1, 1, 'alice')",
            "SELECT sent_by FROM typetoki.scores",
            "DROP VIEW typetoki.board",
        };
        for (const char *sql : attempts) {
            SCOPED_TRACE(sql);
            QSqlQuery q(db);
            EXPECT_FALSE(q.exec(QString::fromUtf8(sql)));
            EXPECT_EQ(q.lastError().nativeErrorCode(), QStringLiteral("42501"));
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("bob"));
    EXPECT_EQ(Count(server, QStringLiteral("points = 300 AND player = 'アリス'")), 1);

    // What the ランキング dialog tells of each way a setting can be wrong.
    ASSERT_TRUE(server.Psql(QStringLiteral("postgres"), {QStringLiteral("-c"), QStringLiteral("CREATE DATABASE empty")}));
    struct Case {
        RankingSettings settings;
        RankingProblem problem;
    };
    const Case cases[] = {
        {As(QStringLiteral("bob")), RankingProblem::None},
        {As(QStringLiteral("eve")), RankingProblem::Rights},      // not a player
        {As(QStringLiteral("mallory")), RankingProblem::Rights},  // no such role
        {{server.url(QStringLiteral("bob"), QStringLiteral("nowhere")), QStringLiteral("g"), {}},
         RankingProblem::NoDatabase},
        {{server.url(QStringLiteral("admin"), QStringLiteral("empty")), QStringLiteral("g"), {}},
         RankingProblem::NoBoards},
        {{QStringLiteral("postgresql://bob@localhost/typetoki?host=/nonexistent"), QStringLiteral("g"), {}},
         RankingProblem::Unreachable},
        {{QStringLiteral("http://bob@localhost/typetoki"), QStringLiteral("g"), {}}, RankingProblem::Address},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.settings.server.toStdString());
        QString detail;
        EXPECT_EQ(TestRankingServer(c.settings, &detail), c.problem) << detail.toStdString();
    }

    // A layout of a later game: read, but never written to.
    ASSERT_TRUE(server.Psql(QStringLiteral("typetoki"),
                            {QStringLiteral("-c"), QStringLiteral("INSERT INTO typetoki.layout VALUES (2)")}));
    EXPECT_EQ(TestRankingServer(As(QStringLiteral("bob"))), RankingProblem::Newer);
    SharedRanking ranking(As(QStringLiteral("bob")), QString());
    ranking.Register(Result(QStringLiteral("ボブ"), QStringLiteral("100")));
    const quint64 ticket = ranking.ReadBoard(kPoints, 1, 60);
    ASSERT_TRUE(ranking.WaitForIdle(10'000));
    EXPECT_EQ(ranking.Queued().size(), 1u);
    const auto board = ranking.TakeBoard(ticket);
    ASSERT_TRUE(board && board->ok);
    ASSERT_EQ(board->rows.size(), 1u);
    EXPECT_EQ(board->rows[0].fields[kPlayerName], QStringLiteral("アリス"));
}

TEST_F(SharedRankingTest, APasswordTypedOnceIsKeptInThePasswordFileAlone)
{
    QTemporaryDir home;
    const QString path = home.filePath(QStringLiteral("pgpass"));
    WriteRaw(path, "db.example:5432:club:hanako:other\n");
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    qputenv("PGPASSFILE", QFile::encodeName(path));
    const RankingSettings carol = As(QStringLiteral("carol"));
    const QString right = QStringLiteral("k:ey\\1");
    EXPECT_EQ(TestRankingServer(carol), RankingProblem::Password);
    EXPECT_EQ(TestRankingServer(carol, nullptr, QStringLiteral("wrong")), RankingProblem::Password);
    EXPECT_EQ(TestRankingServer(carol, nullptr, right), RankingProblem::None);
    const auto address = ParseServerAddress(carol.server);
    ASSERT_TRUE(address);
    for (const QString &password : {QStringLiteral("first"), right}) {
        ASSERT_TRUE(StorePassword(path, *address, password));
        const QByteArray kept = ReadRaw(path);
        EXPECT_TRUE(kept.startsWith("db.example:5432:club:hanako:other\n"));
        EXPECT_EQ(kept.count(":carol:"), 1);
        EXPECT_EQ(int(QFile::permissions(path) & 0x0077), 0);  // nobody else may read it
    }
    EXPECT_EQ(TestRankingServer(carol), RankingProblem::None);
    {
        SharedRanking ranking(carol, QString());
        ranking.Register(Result(QStringLiteral("キャロル"), QStringLiteral("10")));
        ASSERT_TRUE(ranking.WaitForIdle(10'000));
        EXPECT_TRUE(ranking.Queued().empty());
    }
    qunsetenv("PGPASSFILE");
    EXPECT_EQ(Count(server, QStringLiteral("sent_by = 'carol'")), 1);
}
