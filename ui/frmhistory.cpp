#include "ui/frmhistory.h"

#include "persistence/historystore.h"
#include "persistence/practicefile.h"
#include "engine/gamemode.h"
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
#include <chrono>
#include <cmath>
#include <functional>
#include <thread>

namespace typetoki {

namespace {

// The modes are named as on the high-score board's buttons.
QString ModeCaption(GameMode mode)
{
    const ModeRow *row = RowOf(mode);
    return row ? Text(row->boardButton) : QString::number(int(mode));
}

// Texts typed through the input method list their characters as well as
// the keys.
bool ListsCharacters(int gameMode)
{
    const ModeRow *row = RowOf(GameMode(gameMode));
    return row && row->typesText;
}

constexpr int kRecentGames = 100;

// A target as a label: blanks would not show.
QString Shown(const QString &target)
{
    if (target == QLatin1String(" "))
        return QStringLiteral("␣");
    if (target == QStringLiteral("\u3000"))
        return QStringLiteral("全␣");
    return target;
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
    return QString::number(s, 'f', 3);
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
    : QDialog(parent), dialogs_(dialogs),
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
    resize(920, 660);
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

    // Speed and accuracy over time.
    auto *progress = new QWidget;
    auto *progressLayout = new QVBoxLayout(progress);
    progressSummary = new QLabel;
    progressSummary->setWordWrap(true);
    progressLayout->addWidget(progressSummary);
    progressView = NewChartView(NewChart(QStringLiteral("秒速と正解率")));
    progressLayout->addWidget(progressView, 1);
    tabs->addTab(progress, QStringLiteral("上達のようす"));

    // Weak keys.
    auto *keys = new QWidget;
    auto *keysLayout = new QVBoxLayout(keys);
    keysLayout->addWidget(new QLabel(
        QStringLiteral("キーの色はミスの多さ、キーにカーソルを合わせると打つまでの平均時間が出ます。")));
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

    // The last games of every mode.
    gamesTable = new QTableWidget;
    const QStringList headers = {
        QStringLiteral("日時"),   QStringLiteral("種目"),     QStringLiteral("時間"),
        QStringLiteral("得点"),   QStringLiteral("入力文字数"), QStringLiteral("正解文字数"),
        QStringLiteral("正解率"), QStringLiteral("秒速"),     QStringLiteral("瞬間最大秒速"),
        QStringLiteral("レベル"), QStringLiteral("備考"),
    };
    gamesTable->setColumnCount(int(headers.size()));
    gamesTable->setHorizontalHeaderLabels(headers);
    gamesTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    gamesTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    gamesTable->verticalHeader()->setVisible(false);
    gamesTable->horizontalHeader()->setStretchLastSection(true);
    tabs->addTab(gamesTable, QStringLiteral("最近のゲーム"));
    connect(tabs, &QTabWidget::currentChanged, this, &frmHistory::showTab);

    auto *buttons = new QHBoxLayout;
    saveCsv = new QPushButton(QStringLiteral("CSV で保存..."), this);
    auto *close = new QPushButton(QStringLiteral("閉じる"), this);
    close->setDefault(true);
    buttons->addWidget(saveCsv);
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
    fresh_ = {false, false, false, fresh_[kGamesTab]};
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

void frmHistory::fillProgress()
{
    const Progress progress = reader_->ProgressOf(group_);
    QChart *chart = progressView->chart();
    ClearChart(chart);
    const QString group = ModeCaption(GameMode(group_.gameMode)) + QStringLiteral("・")
                          + TimeLimitText(group_.timeLimitSeconds);
    chart->setTitle(QStringLiteral("秒速と正解率（%1）").arg(group));

    auto *speed = new QLineSeries;
    auto *average = new QLineSeries;
    auto *best = new QLineSeries;
    auto *accuracy = new QLineSeries;
    auto *abandoned = new QScatterSeries;
    speed->setName(QStringLiteral("秒速"));
    average->setName(QStringLiteral("直近10ゲームの平均"));
    best->setName(QStringLiteral("自己ベスト"));
    accuracy->setName(QStringLiteral("正解率"));
    abandoned->setName(QStringLiteral("中断したゲーム"));
    speed->setPen(QPen(QColor(110, 160, 230), 1.2));
    average->setPen(QPen(QColor(20, 60, 170), 2.6));
    best->setPen(QPen(QColor(230, 120, 0), 1.8, Qt::DashLine));
    accuracy->setPen(QPen(QColor(40, 160, 70, 150), 1));
    abandoned->setColor(QColor(150, 150, 150));
    abandoned->setBorderColor(QColor(110, 110, 110));
    abandoned->setMarkerSize(7);
    // Few games would be dots lost on a line: mark each one.
    const bool few = progress.finished.size() < 40;
    speed->setPointsVisible(few);
    accuracy->setPointsVisible(few);

    QList<QPointF> speeds, averages, bests, accuracies, cut;
    double top = 1, lowAccuracy = 100;
    for (const ProgressPoint &p : progress.finished) {
        const double x = double(p.playedAt.toMSecsSinceEpoch());
        speeds.append({x, p.speed});
        averages.append({x, p.average10});
        bests.append({x, p.best});
        accuracies.append({x, p.accuracy});
        top = std::max(top, p.speed);
        lowAccuracy = std::min(lowAccuracy, p.accuracy);
    }
    for (const ProgressPoint &p : progress.abandoned) {
        cut.append({double(p.playedAt.toMSecsSinceEpoch()), p.speed});
        top = std::max(top, p.speed);
    }
    speed->replace(speeds);
    average->replace(averages);
    best->replace(bests);
    accuracy->replace(accuracies);
    abandoned->replace(cut);

    auto *time = new QDateTimeAxis;
    time->setFormat(QStringLiteral("M/d"));
    time->setTickCount(7);
    StyleAxis(time, QStringLiteral("日付"));
    std::vector<qint64> xs;
    for (const QPointF &p : speeds + cut)
        xs.push_back(qint64(p.x()));
    if (!xs.empty()) {
        const auto [first, last] = std::minmax_element(xs.begin(), xs.end());
        // A day either side, so one game is not a point on the axis' edge.
        time->setRange(QDateTime::fromMSecsSinceEpoch(*first).addDays(-1),
                       QDateTime::fromMSecsSinceEpoch(*last).addDays(1));
    } else {
        time->setRange(QDateTime::currentDateTime().addDays(-7), QDateTime::currentDateTime());
    }
    auto *speedAxis = new QValueAxis;
    speedAxis->setRange(0, std::ceil(top * 1.05));
    speedAxis->applyNiceNumbers();
    speedAxis->setLabelFormat(QStringLiteral("%.1f"));
    StyleAxis(speedAxis, QStringLiteral("秒速[文字/秒]"));
    auto *accuracyAxis = new QValueAxis;
    accuracyAxis->setRange(std::max(0.0, std::floor(lowAccuracy / 10 - 0.01) * 10), 100);
    accuracyAxis->setLabelFormat(QStringLiteral("%d%%"));
    StyleAxis(accuracyAxis, QStringLiteral("正解率[%]"));
    chart->addAxis(time, Qt::AlignBottom);
    chart->addAxis(speedAxis, Qt::AlignLeft);
    chart->addAxis(accuracyAxis, Qt::AlignRight);
    for (QXYSeries *s : {static_cast<QXYSeries *>(accuracy), static_cast<QXYSeries *>(speed),
                         static_cast<QXYSeries *>(average), static_cast<QXYSeries *>(best)}) {
        chart->addSeries(s);
        s->attachAxis(time);
        s->attachAxis(s == accuracy ? accuracyAxis : speedAxis);
    }
    if (group_.withAbandoned) {
        chart->addSeries(abandoned);
        abandoned->attachAxis(time);
        abandoned->attachAxis(speedAxis);
    } else {
        delete abandoned;
        abandoned = nullptr;
    }
    speedSeries = speed;
    averageSeries = average;
    bestSeries = best;
    accuracySeries = accuracy;
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
                     bestGame->playedAt.toString(QStringLiteral("yyyy/M/d")),
                     QString::number(latest.average10, 'f', 2), QString::number(latest.accuracy, 'g', 6));
    progressSummary->setText(text);
}

void frmHistory::fillKeys()
{
    const std::vector<TargetFigures> targets = reader_->Targets(group_);
    keyboard->setTargets(targets);

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
                     .arg(Seconds(Median(*values)), Seconds(*std::min_element(values->begin(), values->end())));
    }
    unitsSummary->setText(lines.join(u'\n'));
}

void frmHistory::fillGames()
{
    const std::vector<StoredGame> games = reader_->RecentGames(kRecentGames);
    gamesTable->setRowCount(int(games.size()));
    for (int row = 0; row < int(games.size()); ++row) {
        const StoredGame &stored = games[size_t(row)];
        const GameResult &g = stored.result;
        QStringList notes;
        if (g.abandoned)
            notes << QStringLiteral("中断");
        if (stored.unwritten)
            notes << QStringLiteral("未保存");
        const QString cells[] = {
            g.playedAt.toString(QStringLiteral("yyyy/MM/dd HH:mm")),
            ModeCaption(g.gameMode),
            TimeLimitText(g.timeLimitSeconds),
            g.scoreText,
            g.judgedText,
            g.correctText,
            g.accuracyText,
            g.speedText,
            g.peakText,
            g.rankTitle,
            notes.join(QStringLiteral("・")),
        };
        for (int column = 0; column < int(std::size(cells)); ++column) {
            auto *item = new QTableWidgetItem(cells[column]);
            if (column >= 3 && column <= 8)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            gamesTable->setItem(row, column, item);
        }
    }
    gamesTable->resizeColumnsToContents();
    gamesTable->resizeRowsToContents();
}

bool frmHistory::SaveCsv(const QString &file)
{
    QString error;
    if (reader_->ExportCsv(file, &error))
        return true;
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
