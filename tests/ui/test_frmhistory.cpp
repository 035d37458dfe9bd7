#include "ui/frmhistory.h"

#include "persistence/historystore.h"
#include "support/samplehistory.h"
#include "support/text.h"

#include <gtest/gtest.h>

#include <QChartView>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QXYSeries>

using namespace typetoki;
using namespace typetoki::testing;

namespace {

const QDateTime kFirstDay(QDate(2026, 11, 2), QTime(20, 15));

QStringList Column(const QTableWidget *table, int column)
{
    QStringList cells;
    for (int row = 0; row < table->rowCount(); ++row)
        cells << table->item(row, column)->text();
    return cells;
}

qint64 Targeted(const std::vector<GameResult> &games, const QString &ch)
{
    qint64 sum = 0;
    for (const GameResult &g : games)
        sum += g.targets.count(ch) ? g.targets.at(ch).targeted : 0;
    return sum;
}

TEST(frmHistoryTest, ShowsBothGamesOfTheStoreInTheChartsAndTheTable)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::vector<GameResult> games = {
        RealisticGame(1, 60, kFirstDay, 3.5, 93, 1),
        RealisticGame(1, 60, kFirstDay.addDays(3), 4.25, 95, 2),
    };
    GameResult cut = RealisticGame(1, 60, kFirstDay.addDays(4), 6, 96, 3);
    cut.abandoned = true;
    cut.rankTitle.clear();  // END leaves no grade
    HistoryStore store(dir.path());
    for (const GameResult &g : games)
        store.Record(g);
    store.Record(cut);
    ASSERT_TRUE(store.WaitForIdle(5000));

    frmHistory window(store, 1, 60);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(window.windowTitle(), U("成績の記録"));
    EXPECT_TRUE(window.modeButtons[0]->isChecked());
    EXPECT_EQ(window.modeButtons[0]->text(), QStringLiteral("Rexa"));

    // The chart: one point a game at its date, abandoned games left out.
    ASSERT_EQ(window.speedSeries->count(), 2);
    for (int i = 0; i < 2; ++i) {
        const QPointF p = window.speedSeries->at(i);
        EXPECT_EQ(qint64(p.x()), games[size_t(i)].playedAt.toMSecsSinceEpoch());
        EXPECT_DOUBLE_EQ(p.y(), games[size_t(i)].speedText.toDouble());
    }
    EXPECT_EQ(window.averageSeries->at(1).y(), (games[0].speedText.toDouble() + games[1].speedText.toDouble()) / 2);
    EXPECT_EQ(window.bestSeries->at(1).y(), 4.25);
    EXPECT_EQ(window.abandonedSeries, nullptr);
    EXPECT_TRUE(window.progressSummary->text().contains(U("2 ゲーム"))) << window.progressSummary->text().toStdString();
    window.withAbandoned->setChecked(true);
    ASSERT_NE(window.abandonedSeries, nullptr);
    EXPECT_EQ(window.abandonedSeries->count(), 1);
    EXPECT_EQ(window.speedSeries->count(), 2) << "an abandoned game is no step of progress";

    // The table: the newest first, the abandoned game marked.
    window.tabs->setCurrentIndex(frmHistory::kGamesTab);
    ASSERT_EQ(window.gamesTable->rowCount(), 3);
    EXPECT_EQ(Column(window.gamesTable, 7), QStringList({cut.speedText, games[1].speedText, games[0].speedText}));
    EXPECT_EQ(Column(window.gamesTable, 9), QStringList({QString(), games[1].rankTitle, games[0].rankTitle}));
    EXPECT_EQ(Column(window.gamesTable, 10), QStringList({U("中断"), QString(), QString()}));

    // Weak keys and unit times of both games (and, now asked for, the
    // abandoned one).
    window.tabs->setCurrentIndex(frmHistory::kKeysTab);
    const QString y = window.keyboard->figuresAt(window.keyboard->keyRect("Y").center().toPoint());
    EXPECT_TRUE(y.contains(QStringLiteral("出題 %1 回").arg(Targeted({games[0], games[1], cut}, "y"))))
        << y.toStdString();
    EXPECT_TRUE(y.contains(U("平均"))) << y.toStdString();
    EXPECT_TRUE(window.missedView->isHidden()) << "the chant has no characters to list";
    window.tabs->setCurrentIndex(frmHistory::kUnitsTab);
    const size_t units = games[0].heroUnitSeconds.size() + games[1].heroUnitSeconds.size() + cut.heroUnitSeconds.size();
    EXPECT_TRUE(window.unitsSummary->text().contains(QStringLiteral("%1 回").arg(units)))
        << window.unitsSummary->text().toStdString();

    // Another group has none of them.
    window.modeButtons[1]->click();
    EXPECT_EQ(window.gameMode(), 2);
    window.tabs->setCurrentIndex(frmHistory::kProgressTab);
    EXPECT_EQ(window.speedSeries->count(), 0);
    EXPECT_TRUE(window.progressSummary->text().contains(U("まだありません")));

    // A mode the buttons do not list yet leaves none of them down.
    window.ShowGroup(9, 60);
    for (const QPushButton *b : window.modeButtons)
        EXPECT_FALSE(b->isChecked()) << b->text().toStdString();
    EXPECT_TRUE(window.timeButtons[2]->isChecked());
}

TEST(frmHistoryTest, RomajiGamesAreAModeOfTheirOwnWithTheirKeys)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    GameResult training = RealisticGame(4, 60, kFirstDay, 2, 95, 1);
    GameResult romaji = RealisticGame(4, 60, kFirstDay.addDays(1), 5, 97, 2);
    romaji.gameMode = GameMode::Romaji;
    romaji.targets = {{"n", {9, 4, 1.8, 5}}, {"u", {6, 0, 0.9, 6}}, {".", {1, 0, 0.2, 1}}};
    HistoryStore store(dir.path());
    store.Record(training);
    store.Record(romaji);
    ASSERT_TRUE(store.WaitForIdle(5000));

    frmHistory window(store, 5, 60);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ASSERT_EQ(window.modeButtons.size(), 5u);
    EXPECT_EQ(window.modeButtons[4]->text(), U("ﾛｰﾏ字"));
    EXPECT_TRUE(window.modeButtons[4]->isChecked());
    ASSERT_EQ(window.speedSeries->count(), 1);
    EXPECT_DOUBLE_EQ(window.speedSeries->at(0).y(), romaji.speedText.toDouble());

    // The keys the lines asked for, on the keyboard and in the list of misses.
    window.tabs->setCurrentIndex(frmHistory::kKeysTab);
    const QString n = window.keyboard->figuresAt(window.keyboard->keyRect("N").center().toPoint());
    EXPECT_TRUE(n.contains(U("出題 9 回"))) << n.toStdString();
    EXPECT_FALSE(window.missedView->isHidden());

    // The training game stays with its own mode.
    window.modeButtons[3]->click();
    EXPECT_EQ(window.gameMode(), 4);
    window.tabs->setCurrentIndex(frmHistory::kProgressTab);
    ASSERT_EQ(window.speedSeries->count(), 1);
    EXPECT_DOUBLE_EQ(window.speedSeries->at(0).y(), training.speedText.toDouble());
}

}  // namespace
