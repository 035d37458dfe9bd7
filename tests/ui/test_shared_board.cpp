// The high-score board's みんな view against a PostgreSQL server of the
// test's own: two copies of the game see each other's results in the order
// the local board gives them, a stopped server never holds up the local
// board, and a slow or hostile one neither freezes nor crashes it.
#include "persistence/sharedranking.h"
#include "support/fakedialogs.h"
#include "support/postgres.h"
#include "ui/form3.h"
#include "ui/frmranking.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace typetoki;
using namespace typetoki::testing;

namespace {

const QString kGroup = QStringLiteral("3年A組");
const QString kFresh = QStringLiteral("ハイスコア - みんな（3年A組）");

// One copy of the game: a program folder of its own and its client.
struct Copy {
    explicit Copy(const QString &url, const QString &player)
        : ranking({url, kGroup, player}, folder.path())
    {
        state.setProgramFolder(folder.path());
        state.gameMode = GameMode::Hero;
        state.timeLimitSeconds = 60;
    }
    // Plays the board's part after a game: the name typed, OK pressed.
    void Register(const QString &name, QStringList figures)
    {
        GameResult game;
        game.scoreText = figures[0];
        game.correctText = figures[1];
        game.speedText = figures[2];
        game.accuracyText = figures[3];
        state.scoreBoardFlag = 1;
        Form3 board(state, &game, dialogs);
        board.setSharedRanking(&ranking);
        board.Text1[Form3::kEntryRow]->setText(name);
        board.Command5_Click();
        ScoreRecord record;
        record.fields = {QString(), name, figures[0], figures[1], figures[2], figures[3],
                         QString(), QStringLiteral("1"), QStringLiteral("60")};
        everything.append(record);
    }
    std::unique_ptr<Form3> Browse()
    {
        state.scoreBoardFlag = 0;
        auto board = std::make_unique<Form3>(state, nullptr, dialogs);
        board->setSharedRanking(&ranking);
        board->show();
        return board;
    }

    QTemporaryDir folder;
    Module1 state;
    FakeDialogs dialogs;
    SharedRanking ranking;
    static inline ScoreTable everything;  // every result, in the order registered
};

QStringList Names(Form3 &board)
{
    QStringList names;
    for (int k = 0; k < Form3::kPlaces && !board.Text1[k]->text().isEmpty(); ++k)
        names << board.Text1[k]->text();
    return names;
}

class SharedBoard : public ::testing::Test {
protected:
    void SetUp() override
    {
        const QString why = server.Start();
        if (!why.isEmpty())
            GTEST_SKIP() << why.toStdString();
    }
    TestPostgres server;
};

}  // namespace

TEST_F(SharedBoard, TwoCopiesSeeBothCopiesResultsInTheLocalBoardsOrder)
{
    Copy alice(server.url(QStringLiteral("alice")), QStringLiteral("アリス"));
    Copy bob(server.url(QStringLiteral("bob")), QStringLiteral("ボブ"));
    struct Played {
        Copy *copy;
        const char *name;
        QStringList figures;  // score, correct characters, speed, accuracy
    };
    const Played played[] = {
        {&alice, "アリス", {"300", "120", "2", "98.5"}},
        {&bob, "ボブ", {"300", "150", "2.5", "97"}},  // the same score, later
        {&alice, "<b>アリス</b>", {"500", "100", "1.66", "99"}},
        {&bob, "ボブ", {"0", "10", "0.16", "50"}},  // never listed by score
        {&bob, "ボブ", {"200", "160", "2.66", "100"}},
    };
    for (const Played &p : played) {
        p.copy->Register(QString::fromUtf8(p.name), p.figures);
        ASSERT_TRUE(p.copy->ranking.WaitForIdle(10'000));
    }
    for (Copy *copy : {&alice, &bob}) {
        auto board = copy->Browse();
        const QStringList local = Names(*board);
        board->Option4->click();
        for (int field : {kPoints, kCorrectChars, kCharsPerSecond, kAccuracy}) {
            SCOPED_TRACE(field);
            board->SortButton_Click(field);
            ASSERT_TRUE(QTest::qWaitFor([&] { return board->windowTitle() == kFresh; }, 10'000))
                << board->windowTitle().toStdString();
            QStringList expected;
            for (int row : Copy::everything.SelectTopTen(field, 1, 60))
                expected << Copy::everything.row(row).fields[kPlayerName];
            EXPECT_EQ(Names(*board), expected);
            for (int k = 0; k < expected.size(); ++k)
                EXPECT_EQ(board->Text1[k]->font().bold(), expected[k] == copy->ranking.settings().player);
        }
        // この PC lists this copy's own results again, in plain type.
        board->Option3->click();
        EXPECT_EQ(board->windowTitle(), QStringLiteral("ハイスコア"));
        board->Command6_Click(2);
        EXPECT_EQ(Names(*board), local);
        EXPECT_FALSE(board->Text1[0]->font().bold());
    }
}

TEST_F(SharedBoard, AStoppedServerNeverHoldsUpTheLocalBoard)
{
    Copy alice(server.url(QStringLiteral("alice")), QStringLiteral("アリス"));
    ASSERT_TRUE(server.Stop());
    QElapsedTimer clock;
    clock.start();
    alice.Register(QStringLiteral("アリス"), {"300", "120", "2", "98.5"});
    EXPECT_LT(clock.elapsed(), 1000);
    auto board = alice.Browse();
    EXPECT_EQ(Names(*board), QStringList{QStringLiteral("アリス")});
    board->Option4->click();
    EXPECT_TRUE(Names(*board).isEmpty());
    EXPECT_TRUE(QTest::qWaitFor([&] { return board->windowTitle().contains(QStringLiteral("つながりません")); },
                                5000))
        << board->windowTitle().toStdString();
    EXPECT_EQ(alice.ranking.Queued().size(), 1u);

    // The ランキング dialog's try says so too, and the window stays live.
    frmRanking dialog(alice.ranking.settings());
    dialog.Command1_Click();
    EXPECT_FALSE(dialog.Command1->isEnabled());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog.testing(); }, 10'000));
    EXPECT_TRUE(dialog.Label4->text().startsWith(QStringLiteral("サーバーにつながりません。")))
        << dialog.Label4->text().toStdString();
    EXPECT_TRUE(dialog.Command1->isEnabled());
}

TEST_F(SharedBoard, ASlowServerLeavesTheBoardLiveAndSaysItsRowsAreOld)
{
    Copy alice(server.url(QStringLiteral("alice")), QStringLiteral("アリス"));
    alice.Register(QStringLiteral("アリス"), {"300", "120", "2", "98.5"});
    auto board = alice.Browse();
    board->Option4->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return board->windowTitle() == kFresh; }, 10'000));

    // The owner holds the table for 10 s: the server answers only then.
    QSqlDatabase owner = server.Connect(QStringLiteral("admin"), QStringLiteral("owner"));
    QSqlQuery hold(owner);
    ASSERT_TRUE(hold.exec(QStringLiteral("BEGIN")));
    ASSERT_TRUE(hold.exec(QStringLiteral("LOCK TABLE typetoki.scores IN ACCESS EXCLUSIVE MODE")));
    QElapsedTimer clock;
    clock.start();
    board->Command6_Click(2);  // the same group asked again
    qint64 longestPause = 0;
    for (qint64 last = 0; clock.elapsed() < 3000;) {
        QTest::qWait(20);
        longestPause = std::max(longestPause, clock.elapsed() - last);
        last = clock.elapsed();
    }
    EXPECT_LT(longestPause, 500);
    EXPECT_EQ(board->windowTitle(), kFresh + QStringLiteral(" 古い表示：サーバーの応答がありません"));
    EXPECT_EQ(Names(*board), QStringList{QStringLiteral("アリス")});  // the last answer meanwhile
    board->SortButton_Click(kAccuracy);  // the buttons still work
    EXPECT_EQ(board->Text7->text(), QStringLiteral("正解率"));
    QTest::qWait(int(10'000 - clock.elapsed()));
    ASSERT_TRUE(hold.exec(QStringLiteral("COMMIT")));
    EXPECT_TRUE(QTest::qWaitFor([&] { return board->windowTitle() == kFresh; }, 10'000));

    // A hostile server: a million characters where a name should be,
    // numbers where texts should be, thousands of rows.
    ASSERT_TRUE(hold.exec(QStringLiteral(
        "CREATE OR REPLACE VIEW typetoki.board AS SELECT n::bigint AS serial, '3年A組'::text AS group_name, "
        "1::smallint AS mode, 60::smallint AS time_limit, CASE WHEN n > 4990 THEN repeat('名', 1000000) ELSE 'x' END AS player, "
        "n::text AS points_text, NULL::text AS correct_text, 'x'::text AS speed_text, '1'::text AS accuracy_text, "
        "'<script>'::text AS played_at, n::double precision AS points, 1::double precision AS correct_chars, "
        "1::double precision AS chars_per_second, 1::double precision AS accuracy FROM generate_series(1, 5000) n")));
    board->SortButton_Click(kPoints);
    ASSERT_TRUE(QTest::qWaitFor([&] { return board->windowTitle() == kFresh; }, 10'000))
        << board->windowTitle().toStdString();
    EXPECT_EQ(board->Text1[0]->text(), QString(200, u'名'));
    EXPECT_EQ(board->Text2[9]->text(), QStringLiteral("4991"));
    EXPECT_EQ(board->Text6[0]->text(), QStringLiteral("<script>"));
    hold = QSqlQuery();
    owner = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("owner"));
}
