// The statistics window's part in practice: each kana judged from the last
// training games, and the button that asks for a practice.
#include "persistence/historydatabase.h"
#include "support/fakedialogs.h"
#include "support/text.h"
#include "ui/frmhistory.h"

#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace typetoki;
using namespace typetoki::testing;

TEST(PracticeWindow, ListsWeakImprovingAndMasteredKanaAndAsksForAPractice)
{
    QTemporaryDir dir;
    const QString path = HistoryPath(dir.path());
    // Forty romaji games, oldest first: k and a clean and quick all along,
    // y missed in three keys of ten before and in one of ten lately, r
    // missed often all along; a chant game, whose y is missed always,
    // counts for nothing.
    std::vector<GameResult> games;
    for (int i = 0; i < 40; ++i) {
        GameResult g;
        g.gameMode = GameMode::Romaji;
        g.playedAt = QDateTime(QDate(2026, 3, 1), QTime(9, 0)).addSecs(600 * i);
        g.targets["k"] = {20, 0, 4.0, 20};
        g.targets["a"] = {20, 0, 4.0, 20};
        g.targets["y"] = {10, i < 20 ? 3 : 1, 2.0, 10};
        g.targets["r"] = {10, 4, 2.0, 10};
        games.push_back(g);
    }
    GameResult chant;
    chant.playedAt = QDateTime(QDate(2026, 3, 2), QTime(9, 0));
    chant.targets["k"] = {100, 100, 0, 0};
    games.push_back(chant);
    {
        HistoryDatabase db(path);
        ASSERT_EQ(db.Open(), HistoryFault::None);
        ASSERT_EQ(db.Write(games), HistoryFault::None);
    }

    FakeDialogs dialogs;
    frmHistory window(path, {}, int(GameMode::Romaji), 60, dialogs);
    const QStringList lines = window.unitStatus->text().split(u'\n');
    ASSERT_GE(lines.size(), 4);
    EXPECT_TRUE(lines[0].startsWith(U("苦手：ら(ra)"))) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].contains(U("や(ya)"))) << lines[1].toStdString();
    EXPECT_FALSE(lines[1].contains(U("ら(ra)"))) << lines[1].toStdString();
    EXPECT_TRUE(lines[2].contains(U("か(ka)"))) << lines[2].toStdString();
    EXPECT_TRUE(lines[2].contains(U("あ(a)"))) << lines[2].toStdString();
    EXPECT_FALSE(lines[2].contains(U("き(ki)"))) << "i was never typed";

    EXPECT_FALSE(window.practiceAsked());
    QTest::mouseClick(window.practice, Qt::LeftButton);
    EXPECT_TRUE(window.practiceAsked());
    EXPECT_EQ(window.result(), QDialog::Accepted);
}
