#include "ui/frmhistory.h"

#include "persistence/historystore.h"
#include "persistence/practicefile.h"
#include "engine/gamemode.h"
#include "ui/historycharts.h"
#include "ui/layout.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QButtonGroup>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QDateTimeAxis>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QGridLayout>
#include <QProgressDialog>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QThread>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QLineSeries>
#include <QPainter>
#include <QPainterPath>
#include <QProgressDialog>
#include <QPushButton>
#include <QScatterSeries>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QToolTip>
#include <QValueAxis>
#include <QVBoxLayout>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <functional>
#include <thread>

namespace typetoki {

namespace {

// The modes are named as on the high-score board's buttons.
QString ModeCaption(GameMode mode)
{
    return ModeName(int(mode));
}

// Texts typed through the input method list their characters as well as
// the keys.
bool ListsCharacters(int gameMode)
{
    const ModeRow *row = RowOf(GameMode(gameMode));
    return row && row->typesText;
}

// ---- charts ----

QChart *NewChart(const QString &title)
{
    auto *chart = new QChart;
    chart->setTitle(title);
    chart->setTitleFont(JapaneseFont(10));
    chart->legend()->setFont(JapaneseFont(9));
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->setMargins(QMargins(4, 4, 4, 4));
    chart->setAnimationOptions(QChart::NoAnimation);
    return chart;
}

QChartView *NewChartView(QChart *chart)
{
    auto *view = new QChartView(chart);
    view->setRenderHint(QPainter::Antialiasing);
    return view;
}

void StyleAxis(QAbstractAxis *axis, const QString &title)
{
    axis->setTitleText(title);
    axis->setTitleFont(JapaneseFont(9));
    axis->setLabelsFont(JapaneseFont(8));
}

// Removes the axes and series a chart was last filled with.
void ClearChart(QChart *chart)
{
    chart->removeAllSeries();
    for (QAbstractAxis *axis : chart->axes()) {
        chart->removeAxis(axis);
        delete axis;
    }
}

QString Seconds(double s)
{
    return MillisText(s * 1000);
}

// "12 ゲーム（2026/9/1〜2026/12/6）", the games a figure comes from.
QString GamesSpan(qint64 games, const QDateTime &first, const QDateTime &last)
{
    const QString format = QStringLiteral("yyyy/M/d");
    return QStringLiteral("%1 ゲーム（%2〜%3）").arg(games).arg(first.toString(format), last.toString(format));
}

// A step that puts the spread of unit times in at most 18 bars, few enough
// for their labels to be read.
double BinWidth(double span)
{
    for (double step : {0.01, 0.02, 0.05, 0.1, 0.2, 0.5, 1.0, 2.0, 5.0}) {
        if (span / step <= 18)
            return step;
    }
    return 10;
}

}  // namespace

// ---- GamesModel ----

void GamesModel::setGames(std::vector<StoredGame> games)
{
    beginResetModel();
    games_ = std::move(games);
    endResetModel();
}

int GamesModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(games_.size());
}

int GamesModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : kColumns;
}

QVariant GamesModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const char16_t *const headers[kColumns] = {u"日時", u"得点", u"入力文字数", u"正解文字数", u"正解率",
                                                      u"秒速", u"瞬間最大秒速", u"レベル", u"文章", u"備考"};
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= kColumns)
        return QAbstractTableModel::headerData(section, orientation, role);
    return Text(headers[section]);
}

QVariant GamesModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= int(games_.size()))
        return {};
    const StoredGame &stored = games_[size_t(index.row())];
    const GameResult &g = stored.result;
    const int column = index.column();
    const QString *figure = nullptr;
    switch (column) {
    case kScore: figure = &g.scoreText; break;
    case kJudged: figure = &g.judgedText; break;
    case kCorrect: figure = &g.correctText; break;
    case kAccuracy: figure = &g.accuracyText; break;
    case kSpeed: figure = &g.speedText; break;
    case kPeak: figure = &g.peakText; break;
    default: break;
    }
    if (role == Qt::TextAlignmentRole && figure)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    if (role == Qt::UserRole) {
        // What the column sorts by: a figure as a number (an empty one
        // below every other), the time as itself, the rank by its index.
        if (figure) {
            bool ok = false;
            const double value = figure->toDouble(&ok);
            return ok ? value : -1.0;
        }
        if (column == kWhen)
            return g.playedAt.toMSecsSinceEpoch();
        if (column == kRank)
            return g.rankTitle.isEmpty() ? -1 : g.rankIndex;
    }
    if (role != Qt::DisplayRole && role != Qt::UserRole && role != Qt::ToolTipRole)
        return {};
    if (figure)
        return *figure;
    switch (column) {
    case kWhen: return g.playedAt.toString(QStringLiteral("yyyy/MM/dd HH:mm"));
    case kRank: return g.rankTitle;
    case kText:
        return role == Qt::ToolTipRole ? QDir::toNativeSeparators(g.trainingTextPath)
                                       : QFileInfo(g.trainingTextPath).fileName();
    case kNotes: {
        QStringList notes;
        if (g.abandoned)
            notes << QStringLiteral("中断");
        if (stored.unwritten)
            notes << QStringLiteral("未保存");
        return notes.join(QStringLiteral("・"));
    }
    default: return {};
    }
}

// ---- frmHistory ----

namespace {

// Waits for a read of the history with the window still painted: at once
// when it is quick; otherwise with the player's input held back, so that
// nothing starts a second read meanwhile, and past a tenth of a second
// with a busy indicator.
void WaitForRead(QWidget *window, const std::function<bool()> &done)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < 30)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (done())
        return;
    std::unique_ptr<QProgressDialog> busy;
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done()) {
            loop.quit();
        } else if (!busy && clock.elapsed() >= 100) {
            busy = std::make_unique<QProgressDialog>(QStringLiteral("成績の記録を読んでいます…"), QString(), 0, 0,
                                                     window);
            busy->setWindowTitle(QStringLiteral("成績の記録"));
            busy->setWindowModality(Qt::WindowModal);
            busy->setMinimumDuration(0);
            busy->show();
        }
    });
    poll.start();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

}  // namespace

frmHistory::frmHistory(HistoryStore &store, int gameMode, int timeLimitSeconds, Dialogs &dialogs,
                       QWidget *parent)
    : frmHistory(store.path(), [&store] {
          // A game just handed over is written in a moment; wait that long
          // rather than show it twice or not at all.
          store.WaitForIdle(200);
          return store.Unwritten();
      }(),
                 gameMode, timeLimitSeconds, dialogs, parent)
{
}

frmHistory::frmHistory(const QString &historyPath, const std::vector<GameResult> &unwritten, int gameMode,
                       int timeLimitSeconds, Dialogs &dialogs, QWidget *parent)
    : QDialog(parent), dialogs_(dialogs), historyPath_(historyPath), unwritten_(unwritten),
      reader_(std::make_unique<HistoryReaderThread>(
          historyPath, unwritten, [this](const std::function<bool()> &done) { WaitForRead(this, done); }))
{
    SetUpSizableDialog(this, QStringLiteral("成績の記録"));
    buildControls();
    problem->setText(reader_->problem());
    problem->setVisible(!reader_->problem().isEmpty());
    const PracticeFigures figures = ReadPracticeFigures(historyPath);
    unitStatus->setText(UnitStatusText(AssessUnits(KanaUnits(), figures.recent, figures.earlier)) + u'\n'
                        + PracticeRule());
    ShowGroup(gameMode, timeLimitSeconds);
}

frmHistory::~frmHistory() = default;

void frmHistory::buildControls()
{
    resize(920, 700);
    auto *layout = new QVBoxLayout(this);

    // The group, chosen as on the high-score board.
    auto *filters = new QHBoxLayout;
    filters->addWidget(new QLabel(QStringLiteral("種目"), this));
    modeGroup_ = new QButtonGroup(this);
    for (const ModeRow &m : kModes) {
        auto *button = new QPushButton(Text(m.boardButton), this);
        button->setCheckable(true);
        modeGroup_->addButton(button, int(m.mode));
        modeButtons.push_back(button);
        filters->addWidget(button);
    }
    filters->addSpacing(16);
    filters->addWidget(new QLabel(QStringLiteral("時間"), this));
    timeGroup_ = new QButtonGroup(this);
    for (int seconds : kTimeLimits) {
        auto *button = new QPushButton(TimeLimitText(seconds), this);
        button->setCheckable(true);
        timeGroup_->addButton(button, seconds);
        timeButtons.push_back(button);
        filters->addWidget(button);
    }
    filters->addStretch();
    layout->addLayout(filters);
    connect(modeGroup_, &QButtonGroup::idClicked, this,
            [this](int mode) { ShowGroup(mode, group_.timeLimitSeconds); });
    connect(timeGroup_, &QButtonGroup::idClicked, this,
            [this](int seconds) { ShowGroup(group_.gameMode, seconds); });

    withAbandoned = new QCheckBox(QStringLiteral("END で中断したゲームもグラフに入れる"), this);
    layout->addWidget(withAbandoned);
    connect(withAbandoned, &QCheckBox::toggled, this, [this](bool on) {
        group_.withAbandoned = on;
        ShowGroup(group_.gameMode, group_.timeLimitSeconds);
    });

    problem = new QLabel(this);
    problem->setWordWrap(true);
    SetColors(problem, kRed, kNoColor);
    layout->addWidget(problem);

    tabs = new QTabWidget(this);
    layout->addWidget(tabs, 1);

    // Speed and accuracy, and the score, game by game.
    auto *progress = new QWidget;
    auto *progressLayout = new QVBoxLayout(progress);
    auto *progressTop = new QHBoxLayout;
    progressSummary = new QLabel;
    progressSummary->setWordWrap(true);
    progressTop->addWidget(progressSummary, 1);
    byDate = new QCheckBox(QStringLiteral("横軸を日付にする"));
    progressTop->addWidget(byDate, 0, Qt::AlignTop);
    progressLayout->addLayout(progressTop);
    progressView = NewChartView(NewChart(QStringLiteral("秒速と正解率")));
    progressLayout->addWidget(progressView, 3);
    scoreView = NewChartView(NewChart(QStringLiteral("得点")));
    progressLayout->addWidget(scoreView, 2);
    tabs->addTab(progress, QStringLiteral("上達のようす"));
    connect(byDate, &QCheckBox::toggled, this, [this] { fillProgress(); });

    // Weak keys.
    auto *keys = new QWidget;
    auto *keysLayout = new QVBoxLayout(keys);
    keysLayout->addWidget(new QLabel(QStringLiteral(
        "キーの色はミスの多さ、キーにカーソルを合わせると打つまでの平均時間とよく打ち間違える文字が出ます。")));
    keysSources = new QLabel;
    keysSources->setWordWrap(true);
    keysLayout->addWidget(keysSources);
    keyboard = new KeyboardPicture;
    keysLayout->addWidget(keyboard, 3);
    missedView = NewChartView(NewChart(QStringLiteral("よく間違える文字（上位20）")));
    keysLayout->addWidget(missedView, 2);
    auto *practiceRow = new QHBoxLayout;
    unitStatus = new QLabel;
    unitStatus->setWordWrap(true);
    practice = new QPushButton(QStringLiteral("苦手を練習"));
    practiceRow->addWidget(unitStatus, 1);
    practiceRow->addWidget(practice, 0, Qt::AlignBottom);
    keysLayout->addLayout(practiceRow);
    connect(practice, &QPushButton::clicked, this, [this] {
        practiceAsked_ = true;
        accept();
    });
    tabs->addTab(keys, QStringLiteral("苦手なキー"));

    // Chant units.
    auto *units = new QWidget;
    auto *unitsLayout = new QVBoxLayout(units);
    unitsSummary = new QLabel;
    unitsSummary->setWordWrap(true);
    unitsLayout->addWidget(unitsSummary);
    unitsView = NewChartView(NewChart(QStringLiteral("ひと声ごとの時間の分布")));
    unitsLayout->addWidget(unitsView, 1);
    tabs->addTab(units, QStringLiteral("エヤ・非苦の時間"));

    // The games of the group, sorted by any column.
    gamesModel = new GamesModel(this);
    gamesProxy = new QSortFilterProxyModel(this);
    gamesProxy->setSourceModel(gamesModel);
    gamesProxy->setSortRole(Qt::UserRole);
    gamesView = new QTableView;
    gamesView->setModel(gamesProxy);
    gamesView->setSortingEnabled(true);
    gamesView->sortByColumn(GamesModel::kWhen, Qt::DescendingOrder);
    gamesView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    gamesView->setSelectionBehavior(QAbstractItemView::SelectRows);
    gamesView->setSelectionMode(QAbstractItemView::SingleSelection);
    gamesView->verticalHeader()->setVisible(false);
    gamesView->horizontalHeader()->setStretchLastSection(true);
    gamesView->setWordWrap(false);
    tabs->addTab(gamesView, QStringLiteral("ゲームの一覧"));
    connect(gamesView, &QTableView::doubleClicked, this, [this](const QModelIndex &index) {
        if (QDialog *detail = OpenGameDetail(index.row()))
            detail->show();
    });
    connect(tabs, &QTabWidget::currentChanged, this, &frmHistory::showTab);

    auto *buttons = new QHBoxLayout;
    saveCsv = new QPushButton(QStringLiteral("CSV で保存..."), this);
    csvDetail = new QCheckBox(QStringLiteral("キーごと・ひと声ごとの CSV も並べて保存"), this);
    auto *close = new QPushButton(QStringLiteral("閉じる"), this);
    close->setDefault(true);
    buttons->addWidget(saveCsv);
    buttons->addWidget(csvDetail);
    buttons->addStretch();
    buttons->addWidget(close);
    layout->addLayout(buttons);
    connect(saveCsv, &QPushButton::clicked, this, &frmHistory::chooseCsvFile);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
}

void frmHistory::ShowGroup(int gameMode, int timeLimitSeconds)
{
    group_.gameMode = gameMode;
    group_.timeLimitSeconds = timeLimitSeconds;
    // A mode or time limit without a button of its own (a mode the list
    // does not know yet) leaves every button up: an exclusive group would
    // keep the last one down.
    for (auto [buttons, id] : {std::pair{modeGroup_, gameMode}, std::pair{timeGroup_, timeLimitSeconds}}) {
        buttons->setExclusive(false);
        for (QAbstractButton *b : buttons->buttons())
            b->setChecked(buttons->id(b) == id);
        buttons->setExclusive(true);
    }
    // Only the tab in view is filled now; the others when they are shown.
    // The list has every game of the group, abandoned or not.
    const bool sameGames = gamesModel->rowCount() > 0 && fresh_[kGamesTab]
                           && gamesModel->game(0).result.gameMode == GameMode(gameMode)
                           && gamesModel->game(0).result.timeLimitSeconds == timeLimitSeconds;
    fresh_ = {false, false, false, sameGames};
    showTab(tabs->currentIndex());
}

void frmHistory::showTab(int tab)
{
    if (tab < 0 || tab >= int(fresh_.size()) || fresh_[size_t(tab)])
        return;
    fresh_[size_t(tab)] = true;
    switch (tab) {
    case kProgressTab: fillProgress(); break;
    case kKeysTab: fillKeys(); break;
    case kUnitsTab: fillUnits(); break;
    case kGamesTab: fillGames(); break;
    }
}

namespace {

// Where the charts put the games along x: their number (1 for the first
// finished game) or their time; an abandoned game between the finished
// games around it.
struct GameAxis {
    bool dates = false;
    std::vector<qint64> finishedAt;  // milliseconds, in order

    double finished(size_t index) const
    {
        return dates ? double(finishedAt[index]) : double(index + 1);
    }
    double abandoned(qint64 ms) const
    {
        if (dates)
            return double(ms);
        return double(std::upper_bound(finishedAt.begin(), finishedAt.end(), ms) - finishedAt.begin()) + 0.5;
    }
};

// The x-axis for the games: numbers with whole ticks, or dates with the
// year once the games span years, the hour within a few days.
QAbstractAxis *NewGameAxis(const GameAxis &axis, double first, double last)
{
    if (!axis.dates) {
        auto *numbers = new QValueAxis;
        const double span = std::max(last - first, 1.0);
        const double step = std::max(1.0, NiceStep(span, 8));
        numbers->setRange(std::min(first, 1.0) - 0.5, std::max(last, 1.0) + 0.5);
        numbers->setTickType(QValueAxis::TicksDynamic);
        numbers->setTickAnchor(0);
        numbers->setTickInterval(step);
        numbers->setLabelFormat(QStringLiteral("%d"));
        StyleAxis(numbers, QStringLiteral("ゲーム（古い順）"));
        return numbers;
    }
    auto *time = new QDateTimeAxis;
    QDateTime from = QDateTime::fromMSecsSinceEpoch(qint64(first));
    QDateTime to = QDateTime::fromMSecsSinceEpoch(qint64(last));
    if (last < first) {
        to = QDateTime::currentDateTime();
        from = to.addDays(-7);
    }
    const qint64 days = from.daysTo(to);
    // Some room either side, so one game is not a point on the axis' edge.
    const qint64 margin = std::max<qint64>(from.msecsTo(to) / 20, 30 * 60 * 1000);
    from = from.addMSecs(-margin);
    to = to.addMSecs(margin);
    time->setRange(from, to);
    time->setTickCount(days < 3 ? 5 : 7);
    time->setFormat(from.date().year() != to.date().year() ? QStringLiteral("yyyy/M/d")
                    : days < 7                               ? QStringLiteral("M/d H:mm")
                                                             : QStringLiteral("M/d"));
    StyleAxis(time, QStringLiteral("日付"));
    return time;
}

QValueAxis *NewValueAxis(const Ticks &ticks, const QString &title, const QString &unit = QString())
{
    auto *axis = new QValueAxis;
    axis->setRange(ticks.min, ticks.max);
    axis->setTickCount(ticks.intervals() + 1);
    axis->setLabelFormat(QStringLiteral("%.%1f").arg(ticks.decimals) + unit);
    StyleAxis(axis, title);
    return axis;
}

}  // namespace

void frmHistory::fillProgress()
{
    const Progress progress = reader_->ProgressOf(group_);
    QChart *chart = progressView->chart();
    QChart *scoreChart = scoreView->chart();
    ClearChart(chart);
    ClearChart(scoreChart);
    const QString group = ModeCaption(GameMode(group_.gameMode)) + QStringLiteral("・")
                          + TimeLimitText(group_.timeLimitSeconds);
    chart->setTitle(QStringLiteral("秒速と正解率（%1）").arg(group));
    scoreChart->setTitle(QStringLiteral("得点（%1）").arg(group));
    scoreChart->legend()->setVisible(false);

    auto *speed = new QLineSeries;
    auto *average = new QLineSeries;
    auto *best = new QLineSeries;
    auto *accuracy = new QLineSeries;
    auto *score = new QLineSeries;
    auto *abandoned = new QScatterSeries;
    speed->setName(QStringLiteral("秒速"));
    average->setName(QStringLiteral("直近10ゲームの平均"));
    best->setName(QStringLiteral("自己ベスト"));
    accuracy->setName(QStringLiteral("正解率"));
    score->setName(QStringLiteral("得点"));
    abandoned->setName(QStringLiteral("中断したゲーム"));
    speed->setPen(QPen(QColor(110, 160, 230), 1.2));
    average->setPen(QPen(QColor(20, 60, 170), 2.6));
    best->setPen(QPen(QColor(230, 120, 0), 1.8, Qt::DashLine));
    accuracy->setPen(QPen(QColor(40, 160, 70, 150), 1));
    score->setPen(QPen(QColor(150, 60, 160), 1.4));
    abandoned->setColor(QColor(150, 150, 150));
    abandoned->setBorderColor(QColor(110, 110, 110));
    abandoned->setMarkerSize(7);
    // Few games would be dots lost on a line: mark each one.
    const bool few = progress.finished.size() < 40;
    for (QXYSeries *s : {static_cast<QXYSeries *>(speed), static_cast<QXYSeries *>(accuracy),
                         static_cast<QXYSeries *>(score)}) {
        s->setPointsVisible(few);
        if (progress.finished.size() < 4)
            s->setMarkerSize(9);  // a lone point would be a speck
    }

    GameAxis axis;
    axis.dates = byDate->isChecked();
    for (const ProgressPoint &p : progress.finished)
        axis.finishedAt.push_back(p.playedAt);
    std::vector<QPointF> speeds, averages, bests, accuracies, scores;
    QList<QPointF> cut;
    double top = 0.1, lowAccuracy = 100, topScore = 1;
    double first = std::numeric_limits<double>::max(), last = std::numeric_limits<double>::lowest();
    for (size_t i = 0; i < progress.finished.size(); ++i) {
        const ProgressPoint &p = progress.finished[i];
        const double x = axis.finished(i);
        speeds.push_back({x, p.speed});
        averages.push_back({x, p.average10});
        bests.push_back({x, p.best});
        accuracies.push_back({x, p.accuracy});
        scores.push_back({x, p.score});
        top = std::max(top, p.speed);
        lowAccuracy = std::min(lowAccuracy, p.accuracy);
        topScore = std::max(topScore, p.score);
        first = std::min(first, x);
        last = std::max(last, x);
    }
    for (const ProgressPoint &p : progress.abandoned) {
        const double x = axis.abandoned(p.playedAt);
        cut.append({x, p.speed});
        top = std::max(top, p.speed);
        first = std::min(first, x);
        last = std::max(last, x);
    }
    // More games than columns of pixels: each column draws its lowest and
    // highest game, and the lines of means its mean.
    const int columns = std::max(100, progressView->width() - 140);
    // Each column draws up to two points: fewer games than that are drawn
    // as they are.
    const bool decimate = int(speeds.size()) > 2 * columns;
    auto extremes = [&](const std::vector<QPointF> &points) {
        return decimate ? ColumnExtremes(SummariseColumns(points, first, last, columns))
                        : QList<QPointF>(points.begin(), points.end());
    };
    auto means = [&](const std::vector<QPointF> &points) {
        return decimate ? ColumnMeans(SummariseColumns(points, first, last, columns))
                        : QList<QPointF>(points.begin(), points.end());
    };
    speed->replace(extremes(speeds));
    average->replace(means(averages));
    best->replace(extremes(bests));
    accuracy->replace(means(accuracies));
    score->replace(extremes(scores));
    if (cut.size() > 2 * columns)
        cut = ColumnExtremes(SummariseColumns(std::vector<QPointF>(cut.begin(), cut.end()), first, last, columns));
    abandoned->replace(cut);

    const auto [speedTicks, accuracyTicks] = SharedTicks(top * 1.02, lowAccuracy - 0.5);
    QAbstractAxis *games = NewGameAxis(axis, first, last);
    QAbstractAxis *scoreGames = NewGameAxis(axis, first, last);
    QValueAxis *speedAxis = NewValueAxis(speedTicks, QStringLiteral("秒速[文字/秒]"));
    QValueAxis *accuracyAxis = NewValueAxis(accuracyTicks, QStringLiteral("正解率[%]"), QStringLiteral("%%"));
    QValueAxis *scoreAxis = NewValueAxis(TicksFromZero(topScore * 1.02), QStringLiteral("得点"));
    chart->addAxis(games, Qt::AlignBottom);
    chart->addAxis(speedAxis, Qt::AlignLeft);
    chart->addAxis(accuracyAxis, Qt::AlignRight);
    // The accuracy's grid is the speed's: the ticks are chosen to meet.
    accuracyAxis->setGridLineVisible(false);
    for (QXYSeries *s : {static_cast<QXYSeries *>(accuracy), static_cast<QXYSeries *>(speed),
                         static_cast<QXYSeries *>(average), static_cast<QXYSeries *>(best)}) {
        chart->addSeries(s);
        s->attachAxis(games);
        s->attachAxis(s == accuracy ? accuracyAxis : speedAxis);
    }
    scoreChart->addAxis(scoreGames, Qt::AlignBottom);
    scoreChart->addAxis(scoreAxis, Qt::AlignLeft);
    scoreChart->addSeries(score);
    score->attachAxis(scoreGames);
    score->attachAxis(scoreAxis);
    if (group_.withAbandoned) {
        chart->addSeries(abandoned);
        abandoned->attachAxis(games);
        abandoned->attachAxis(speedAxis);
    } else {
        delete abandoned;
        abandoned = nullptr;
    }
    speedSeries = speed;
    averageSeries = average;
    bestSeries = best;
    accuracySeries = accuracy;
    scoreSeries = score;
    abandonedSeries = abandoned;

    if (progress.finished.empty()) {
        progressSummary->setText(
            QStringLiteral("%1 の記録はまだありません。").arg(group)
            + (progress.abandoned.empty() ? QString()
                                          : QStringLiteral("（中断したゲーム %1）").arg(progress.abandoned.size())));
        return;
    }
    const auto bestGame = std::max_element(progress.finished.begin(), progress.finished.end(),
                                           [](const ProgressPoint &a, const ProgressPoint &b) {
                                               return a.speed < b.speed;  // the first of equals
                                           });
    const ProgressPoint &latest = progress.finished.back();
    QString text = QStringLiteral("%1：%2 ゲーム").arg(group).arg(progress.finished.size());
    if (group_.withAbandoned)
        text += QStringLiteral("（ほかに中断 %1）").arg(progress.abandoned.size());
    text += QStringLiteral("　自己ベスト %1 文字/秒（%2）　直近10ゲームの平均 %3 文字/秒　最新の正解率 %4%")
                .arg(QString::number(bestGame->speed, 'g', 6),
                     QDateTime::fromMSecsSinceEpoch(bestGame->playedAt).toString(QStringLiteral("yyyy/M/d")),
                     QString::number(latest.average10, 'f', 2), QString::number(latest.accuracy, 'g', 6));
    if (decimate)
        text += QStringLiteral("\n（ゲームが多いため、グラフは横 1 ピクセルごとに最低・最高・平均で描いています）");
    progressSummary->setText(text);
}

void frmHistory::fillKeys()
{
    const std::vector<TargetFigures> targets = reader_->Targets(group_);
    keyboard->setTargets(targets);
    const TimeSources times = reader_->TimesOf(group_);
    QString sources = times.games == 0 ? QString()
                                       : QStringLiteral("この種目と時間の %1 の記録です。")
                                             .arg(GamesSpan(times.games, times.first, times.last));
    if (times.committedHits > 0) {
        // A phrase committed whole has one time for all its characters.
        sources += QStringLiteral("入力メソッドでまとめて確定した %1 文字（%2 ゲーム）は出題とミスだけ数え、"
                                  "打つまでの時間には入れていません（確定までの時間は 1 文字あたり平均 %3 秒）。")
                       .arg(times.committedHits)
                       .arg(times.committedGames)
                       .arg(Seconds(times.committedSeconds / double(times.committedHits)));
    }
    keysSources->setText(sources);
    keysSources->setVisible(!sources.isEmpty());

    const bool listed = ListsCharacters(group_.gameMode);
    missedView->setVisible(listed);
    if (!listed)
        return;
    QChart *chart = missedView->chart();
    ClearChart(chart);
    // Most missed first, left to right: one character a bar, its label
    // wide enough for any character.
    auto *set = new QBarSet(QStringLiteral("ミスの回数"));
    set->setColor(QColor(232, 96, 80));
    set->setLabelColor(QColor(32, 32, 40));
    set->setLabelFont(JapaneseFont(8));
    QStringList characters;
    double most = 1;
    for (const TargetFigures &t : targets) {
        if (t.missed == 0 || characters.size() == 20)
            break;
        *set << double(t.missed);
        characters << Shown(t.target);
        most = std::max(most, double(t.missed));
    }
    auto *series = new QBarSeries;
    series->append(set);
    series->setBarWidth(0.6);
    series->setLabelsVisible(true);
    series->setLabelsPosition(QAbstractBarSeries::LabelsOutsideEnd);
    series->setLabelsFormat(QStringLiteral("@value"));
    chart->addSeries(series);
    auto *names = new QBarCategoryAxis;
    names->append(characters);
    names->setLabelsFont(JapaneseFont(12));
    auto *counts = new QValueAxis;
    counts->setLabelFormat(QStringLiteral("%d"));
    counts->setRange(0, std::ceil(most * 1.2));
    counts->applyNiceNumbers();
    StyleAxis(counts, QStringLiteral("ミスの回数"));
    chart->addAxis(names, Qt::AlignBottom);
    chart->addAxis(counts, Qt::AlignLeft);
    series->attachAxis(names);
    series->attachAxis(counts);
    chart->legend()->setVisible(false);
}

void frmHistory::fillUnits()
{
    const UnitTimes units = reader_->Units(group_);
    QChart *chart = unitsView->chart();
    ClearChart(chart);
    if (units.hero.empty() && units.rival.empty()) {
        unitsSummary->setText(ListsCharacters(group_.gameMode)
                                  ? QStringLiteral("エヤ・非苦の時間は、詠唱の種目だけの記録です。")
                                  : QStringLiteral("この種目と時間のエヤ・非苦の記録はまだありません。"));
        unitsView->setVisible(false);
        return;
    }
    unitsView->setVisible(true);

    std::vector<float> all = units.hero;
    all.insert(all.end(), units.rival.begin(), units.rival.end());
    std::sort(all.begin(), all.end());
    // The slowest two percent (a pause, a look away) would squeeze the rest
    // into a few bars: they share the last one.
    const double low = all.front();
    const double high = all[size_t(double(all.size() - 1) * 0.98)];
    const double step = BinWidth(std::max(high - low, 0.01));
    const double start = std::floor(low / step) * step;
    const int bins = std::max(1, int(std::floor((high - start) / step)) + 1);
    auto histogram = [&](const std::vector<float> &values) {
        QList<qreal> counts(bins, 0);
        for (float v : values)
            counts[std::clamp(int(std::floor((v - start) / step)), 0, bins - 1)] += 1;
        return counts;
    };
    auto *hero = new QBarSet(QStringLiteral("eya（エヤ）"));
    auto *rival = new QBarSet(QStringLiteral("hiku（非苦）"));
    hero->setColor(QColor(220, 40, 40));
    rival->setColor(QColor(190, 40, 190));
    hero->append(histogram(units.hero));
    rival->append(histogram(units.rival));
    auto *series = new QBarSeries;
    if (!units.hero.empty())
        series->append(hero);
    else
        delete hero;
    if (!units.rival.empty())
        series->append(rival);
    else
        delete rival;
    chart->addSeries(series);
    QStringList labels;
    const int decimals = step < 0.1 ? 2 : 1;
    for (int i = 0; i < bins; ++i)
        labels << QString::number(start + i * step, 'f', decimals);
    labels.back() += QStringLiteral("〜");
    auto *times = new QBarCategoryAxis;
    times->append(labels);
    StyleAxis(times, QStringLiteral("ひと声の時間[秒]"));
    auto *counts = new QValueAxis;
    counts->setLabelFormat(QStringLiteral("%d"));
    StyleAxis(counts, QStringLiteral("回数"));
    chart->addAxis(times, Qt::AlignBottom);
    chart->addAxis(counts, Qt::AlignLeft);
    series->attachAxis(times);
    series->attachAxis(counts);
    counts->applyNiceNumbers();
    chart->legend()->setVisible(true);

    QStringList lines;
    for (const auto &[name, values] : {std::pair{QStringLiteral("eya（エヤ）"), &units.hero},
                                       std::pair{QStringLiteral("hiku（非苦）"), &units.rival}}) {
        if (values->empty())
            continue;
        lines << QStringLiteral("%1：%2 回　中央値 %3 秒　最速 %4 秒")
                     .arg(name)
                     .arg(values->size())
                     .arg(MillisText(MedianMillis(*values)), Seconds(*std::min_element(values->begin(), values->end())));
    }
    const TimeSources sources = reader_->TimesOf(group_);
    if (sources.unitGames > 0)
        lines.prepend(QStringLiteral("この種目と時間の %1 のうち、エヤ・非苦を打った %2 ゲームの記録です。")
                          .arg(GamesSpan(sources.games, sources.first, sources.last))
                          .arg(sources.unitGames));
    unitsSummary->setText(lines.join(u'\n'));
}

void frmHistory::fillGames()
{
    gamesModel->setGames(reader_->GamesOf(group_));
    gamesView->resizeColumnsToContents();
}

QDialog *frmHistory::OpenGameDetail(int row)
{
    if (row < 0 || row >= gamesProxy->rowCount())
        return nullptr;
    StoredGame game = gamesModel->game(gamesProxy->mapToSource(gamesProxy->index(row, 0)).row());
    reader_->AddDetail(game);
    const GameResult &g = game.result;

    auto *dialog = new QDialog(this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(QStringLiteral("ゲームの記録（%1）").arg(g.playedAt.toString(QStringLiteral("yyyy/M/d H:mm"))));
    dialog->resize(520, 520);
    auto *layout = new QVBoxLayout(dialog);
    auto *figures = new QGridLayout;
    const std::pair<const char16_t *, QString> rows[] = {
        {u"種目", ModeCaption(g.gameMode) + QStringLiteral("・") + TimeLimitText(g.timeLimitSeconds)
                      + (g.abandoned ? QStringLiteral("（中断）") : QString())},
        {u"得点", g.scoreText},
        {u"入力文字数", g.judgedText},
        {u"正解文字数", g.correctText},
        {u"正解率", g.accuracyText.isEmpty() ? QString() : g.accuracyText + u'%'},
        {u"秒速", g.speedText},
        {u"瞬間最大秒速", g.peakText},
        {u"レベル", g.rankTitle},
        {u"文章", QDir::toNativeSeparators(g.trainingTextPath)},
    };
    int at = 0;
    for (const auto &[name, value] : rows) {
        if (value.isEmpty())
            continue;
        figures->addWidget(new QLabel(Text(name)), at, 0);
        auto *label = new QLabel(value);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        figures->addWidget(label, at++, 1);
    }
    layout->addLayout(figures);

    // The characters missed, most first, with what was typed instead.
    std::vector<std::pair<QString, TargetStats>> missed;
    for (const auto &[ch, stats] : g.targets) {
        if (stats.missed > 0)
            missed.emplace_back(ch, stats);
    }
    std::stable_sort(missed.begin(), missed.end(),
                     [](const auto &a, const auto &b) { return a.second.missed > b.second.missed; });
    auto *table = new QTableWidget(int(missed.size()), 4);
    table->setObjectName(QStringLiteral("missed"));
    table->setHorizontalHeaderLabels({QStringLiteral("文字"), QStringLiteral("出題"), QStringLiteral("ミス"),
                                      QStringLiteral("打ち間違えた文字")});
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->verticalHeader()->setVisible(false);
    table->horizontalHeader()->setStretchLastSection(true);
    for (int r = 0; r < int(missed.size()); ++r) {
        const auto &[ch, stats] = missed[size_t(r)];
        std::vector<std::pair<QString, qint64>> typed(stats.typedInstead.begin(), stats.typedInstead.end());
        std::stable_sort(typed.begin(), typed.end(), [](const auto &a, const auto &b) { return a.second > b.second; });
        const QString cells[] = {Shown(ch), QString::number(stats.targeted), QString::number(stats.missed),
                                 TypedInstead(typed, typed.size())};
        for (int c = 0; c < 4; ++c)
            table->setItem(r, c, new QTableWidgetItem(cells[c]));
    }
    layout->addWidget(new QLabel(missed.empty() ? QStringLiteral("ミスはありません。")
                                                : QStringLiteral("ミスした文字")));
    layout->addWidget(table, 1);
    table->setVisible(!missed.empty());

    // The chant units' times, in the order typed.
    QStringList units;
    for (const auto &[name, values] : {std::pair{QStringLiteral("eya（エヤ）"), &g.heroUnitSeconds},
                                       std::pair{QStringLiteral("hiku（非苦）"), &g.rivalUnitSeconds}}) {
        if (values->empty())
            continue;
        QStringList times;
        for (float v : *values)
            times << Seconds(v);
        units << QStringLiteral("%1：%2 回、中央値 %3 秒\n%4")
                     .arg(name)
                     .arg(values->size())
                     .arg(MillisText(MedianMillis(*values)), times.join(QStringLiteral("  ")));
    }
    if (!units.isEmpty()) {
        auto *label = new QLabel(units.join(QStringLiteral("\n\n")));
        label->setObjectName(QStringLiteral("units"));
        label->setWordWrap(true);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        layout->addWidget(label);
    }
    auto *close = new QPushButton(QStringLiteral("閉じる"));
    connect(close, &QPushButton::clicked, dialog, &QDialog::accept);
    layout->addWidget(close, 0, Qt::AlignRight);
    return dialog;
}

QString frmHistory::DetailCsvPath(const QString &file)
{
    const QFileInfo info(file);
    const QString base = info.suffix().compare(QLatin1String("csv"), Qt::CaseInsensitive) == 0
                             ? info.completeBaseName()
                             : info.fileName();
    return info.dir().filePath(base + QStringLiteral("-keys.csv"));
}

bool frmHistory::SaveCsv(const QString &file)
{
    const QString detail = csvDetail->isChecked() ? DetailCsvPath(file) : QString();
    // The export reads on a thread of its own, through its own connection,
    // so that the window keeps painting and can be cancelled.
    QProgressDialog progress(QStringLiteral("成績の記録を CSV に書き出しています..."), QStringLiteral("中止"), 0, 0,
                             this);
    progress.setWindowTitle(kApplicationTitle);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(300);
    std::atomic<bool> cancelled{false};
    std::atomic<qint64> done{0}, total{0};
    bool ok = false;
    QString error;
    QEventLoop loop;
    QThread *worker = QThread::create([&] {
        HistoryReader reader(historyPath_, unwritten_);
        ok = reader.ExportCsv(file, &error, detail, [&](qint64 d, qint64 t) {
            done = d;
            total = t;
            return !cancelled.load();
        });
    });
    connect(worker, &QThread::finished, &loop, &QEventLoop::quit);
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, &progress, [&] {
        if (progress.wasCanceled())
            cancelled = true;
        if (total > 0) {
            progress.setMaximum(int(std::min<qint64>(total, INT_MAX)));
            progress.setValue(int(std::min<qint64>(done, INT_MAX)));
        }
    });
    ticker.start(50);
    worker->start();
    loop.exec();
    worker->wait();
    delete worker;
    progress.reset();
    if (ok || cancelled)
        return ok;
    dialogs_.message(this, kApplicationTitle,
                     QStringLiteral("%1 に保存できませんでした。\n%2").arg(QDir::toNativeSeparators(file), error),
                     Dialogs::Look::Warning);
    return false;
}

void frmHistory::chooseCsvFile()
{
    const QString file = dialogs_.saveFile(this, QStringLiteral("成績の記録を CSV で保存"),
                                           QDir::home().filePath(QStringLiteral("typetoki-history.csv")),
                                           QStringLiteral("CSV ファイル (*.csv)"));
    if (!file.isEmpty())
        SaveCsv(file);
}

}  // namespace typetoki
