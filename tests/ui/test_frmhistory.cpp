#include "ui/frmhistory.h"
#include "ui/historycharts.h"

#include "persistence/historystore.h"
#include "support/samplehistory.h"
#include "support/text.h"

#include <gtest/gtest.h>

#include <QChartView>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTableWidget>
#include <QDateTimeAxis>
#include <QFile>
#include <QValueAxis>
#include <QTemporaryDir>
#include <QTest>
#include <QXYSeries>

using namespace typetoki;
using namespace typetoki::testing;

namespace {

const QDateTime kFirstDay(QDate(2026, 11, 2), QTime(20, 15));

QStringList Column(const QAbstractItemModel *model, int column)
{
    QStringList cells;
    for (int row = 0; row < model->rowCount(); ++row)
        cells << model->index(row, column).data().toString();
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

    // The chart: one point a game, counted or at its date, abandoned games
    // left out; the score beside it.
    for (bool dates : {true, false}) {
        window.byDate->setChecked(dates);
        ASSERT_EQ(window.speedSeries->count(), 2);
        for (int i = 0; i < 2; ++i) {
            const QPointF p = window.speedSeries->at(i);
            EXPECT_EQ(qint64(p.x()), dates ? games[size_t(i)].playedAt.toMSecsSinceEpoch() : i + 1);
            EXPECT_DOUBLE_EQ(p.y(), games[size_t(i)].speedText.toDouble());
            EXPECT_DOUBLE_EQ(window.scoreSeries->at(i).y(), games[size_t(i)].scoreText.toDouble());
        }
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
    const QAbstractItemModel *list = window.gamesView->model();
    ASSERT_EQ(list->rowCount(), 3);
    EXPECT_EQ(Column(list, GamesModel::kSpeed), QStringList({cut.speedText, games[1].speedText, games[0].speedText}));
    EXPECT_EQ(Column(list, GamesModel::kRank), QStringList({QString(), games[1].rankTitle, games[0].rankTitle}));
    EXPECT_EQ(Column(list, GamesModel::kNotes), QStringList({U("中断"), QString(), QString()}));

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

    // Another group has none of them, in the list neither.
    window.modeButtons[1]->click();
    window.tabs->setCurrentIndex(frmHistory::kGamesTab);
    EXPECT_EQ(list->rowCount(), 0);
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

// Numbers sort as numbers (10.5 after 9.75, an empty peak first), and a
// double-click shows the game with what was typed on its misses.
TEST(frmHistoryTest, TheListSortsEachColumnByItsValueAndOpensAGame)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    std::vector<GameResult> games;
    for (const auto &[speed, peak, rank] : {std::tuple{"9.75", "", 3}, std::tuple{"10.5", "12", 30},
                                            std::tuple{"2", "9.5", 12}}) {
        GameResult g = RealisticGame(4, 60, kFirstDay.addDays(qint64(games.size())), 2, 95, 1);
        g.speedText = QString::fromLatin1(speed);
        g.peakText = QString::fromLatin1(peak);
        g.rankIndex = rank;
        g.rankTitle = QStringLiteral("R%1").arg(rank);
        g.trainingTextPath = dir.filePath(QStringLiteral("稽古%1.txt").arg(games.size()));
        games.push_back(g);
    }
    games[1].targets[U("稽")] = {60, 50, 1.0, 2, {{U("経"), 49}, {U("計"), 1}}};
    ASSERT_TRUE(WriteHistory(dir.path(), games));
    frmHistory window(HistoryPath(dir.path()), {}, 4, 60);
    window.tabs->setCurrentIndex(frmHistory::kGamesTab);
    struct Sort {
        int column;
        Qt::SortOrder order;
        QStringList speeds;
    };
    for (const Sort &c : {Sort{GamesModel::kSpeed, Qt::AscendingOrder, {"2", "9.75", "10.5"}},
                          Sort{GamesModel::kSpeed, Qt::DescendingOrder, {"10.5", "9.75", "2"}},
                          Sort{GamesModel::kPeak, Qt::AscendingOrder, {"9.75", "2", "10.5"}},
                          Sort{GamesModel::kRank, Qt::AscendingOrder, {"9.75", "2", "10.5"}},
                          Sort{GamesModel::kWhen, Qt::DescendingOrder, {"2", "10.5", "9.75"}}}) {
        SCOPED_TRACE(c.column);
        window.gamesView->sortByColumn(c.column, c.order);
        EXPECT_EQ(Column(window.gamesProxy, GamesModel::kSpeed), c.speeds);
    }
    EXPECT_EQ(Column(window.gamesProxy, GamesModel::kText), QStringList({U("稽古2.txt"), U("稽古1.txt"), U("稽古0.txt")}));

    std::unique_ptr<QDialog> detail(window.OpenGameDetail(1));
    ASSERT_TRUE(detail);
    const auto *missed = detail->findChild<QTableWidget *>(QStringLiteral("missed"));
    ASSERT_TRUE(missed);
    ASSERT_GE(missed->rowCount(), 1);
    EXPECT_EQ(missed->item(0, 0)->text(), U("稽"));
    EXPECT_EQ(missed->item(0, 3)->text(), U("経 49 回、計 1 回"));

    // Saved from its thread, the keys' file beside the games' when asked.
    window.csvDetail->setChecked(true);
    const QString csv = dir.filePath(QStringLiteral("games.csv"));
    ASSERT_TRUE(window.SaveCsv(csv));
    EXPECT_EQ(frmHistory::DetailCsvPath(csv), dir.filePath(QStringLiteral("games-keys.csv")));
    QFile keys(frmHistory::DetailCsvPath(csv));
    ASSERT_TRUE(keys.open(QIODevice::ReadOnly));
    EXPECT_TRUE(QString::fromUtf8(keys.readAll()).contains(U(",修行,60,キー,稽,60,50,")));
}

TEST(HistoryChartsTest, ColumnsKeepEveryPeakAndDipAndTheMean)
{
    std::vector<QPointF> points;
    unsigned seed = 5;
    for (int i = 0; i < 100000; ++i) {
        seed = seed * 1103515245u + 12345u;
        points.push_back({double(i + 1), double((seed >> 16) % 1000) / 100});
    }
    points[4321].ry() = 55;  // one fast game among thousands
    points[77777].ry() = -1;
    for (int columns : {1, 7, 640}) {
        SCOPED_TRACE(columns);
        const std::vector<ChartColumn> summary = SummariseColumns(points, 1, 100000, columns);
        ASSERT_EQ(int(summary.size()), columns);
        const QList<QPointF> drawn = ColumnExtremes(summary);
        const auto [low, high] = std::minmax_element(drawn.begin(), drawn.end(),
                                                     [](QPointF a, QPointF b) { return a.y() < b.y(); });
        EXPECT_EQ(*high, points[4321]);
        EXPECT_EQ(*low, points[77777]);
        int counted = 0;
        double sum = 0;
        for (const ChartColumn &c : summary) {
            counted += c.count;
            sum += c.mean * c.count;
            EXPECT_LE(c.low.y(), c.mean);
            EXPECT_GE(c.high.y(), c.mean);
        }
        EXPECT_EQ(counted, 100000);
        double all = 0;
        for (const QPointF &p : points)
            all += p.y();
        EXPECT_NEAR(sum, all, 1e-6 * std::abs(all));
        EXPECT_TRUE(std::is_sorted(drawn.begin(), drawn.end(), [](QPointF a, QPointF b) { return a.x() < b.x(); }));
    }
}

TEST(HistoryChartsTest, SpeedAndAccuracyShareTheirGridWithExactLabels)
{
    struct Case {
        double top, low;
        double speedMax, accuracyMin;
        int decimals;  // of the accuracy's labels
    };
    for (const Case &c : {Case{5.3, 92.5, 8, 92, 0}, Case{0.4, 0, 0.4, 0, 0}, Case{12, 97.1, 12, 97, 1},
                          Case{3.9, 100, 4, 99, 2}}) {
        SCOPED_TRACE(c.top);
        const auto [speed, accuracy] = SharedTicks(c.top, c.low);
        EXPECT_EQ(speed.intervals(), accuracy.intervals());
        EXPECT_DOUBLE_EQ(speed.min, 0);
        EXPECT_DOUBLE_EQ(accuracy.max, 100);
        EXPECT_NEAR(speed.max, c.speedMax, 1e-9);
        EXPECT_NEAR(accuracy.min, c.accuracyMin, 1e-9);
        EXPECT_GE(accuracy.min, 0);
        EXPECT_EQ(accuracy.decimals, c.decimals);
        // Each label printed with its decimals is the tick's value.
        for (const Ticks &t : {speed, accuracy}) {
            for (int i = 0; i <= t.intervals(); ++i) {
                const double tick = t.min + i * t.step;
                EXPECT_DOUBLE_EQ(QString::number(tick, 'f', t.decimals).toDouble(), std::round(tick * 1e6) / 1e6);
            }
        }
    }
}

// By date, the labels never repeat one day for games of one sitting, and
// carry the year once the games span years; by number, the first game is 1.
TEST(frmHistoryTest, TheDateAxisLabelsSayWhatTellsTheGamesApart)
{
    struct Case {
        qint64 apartSeconds;
        const char *format;
    };
    for (const Case &c : {Case{120, "M/d H:mm"}, Case{10 * 86400, "M/d"}, Case{400 * 86400, "yyyy/M/d"}}) {
        SCOPED_TRACE(c.format);
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        std::vector<GameResult> games;
        for (int i = 0; i < 3; ++i)
            games.push_back(RealisticGame(1, 60, kFirstDay.addSecs(c.apartSeconds * i), 4, 95, unsigned(i)));
        ASSERT_TRUE(WriteHistory(dir.path(), games));
        frmHistory window(HistoryPath(dir.path()), {}, 1, 60);
        const auto *numbers = qobject_cast<QValueAxis *>(window.progressView->chart()->axes(Qt::Horizontal).value(0));
        ASSERT_TRUE(numbers);
        EXPECT_LT(numbers->min(), 1);
        EXPECT_GT(numbers->max(), 3);
        window.byDate->setChecked(true);
        const auto *dates = qobject_cast<QDateTimeAxis *>(window.progressView->chart()->axes(Qt::Horizontal).value(0));
        ASSERT_TRUE(dates);
        EXPECT_EQ(dates->format(), QString::fromLatin1(c.format));
        EXPECT_LT(dates->min(), games.front().playedAt);
        EXPECT_GT(dates->max(), games.back().playedAt);
    }
}

}  // namespace
