// The history of games at the size of years of play (10,000 realistic games
// over three years, all modes and time limits):
// - record: one game written, the commit (synced to disk) included, as the
//   store's thread writes it after "終了！". Goal: under 20 ms.
// - hand_over: what the game's own thread pays to hand a game to the store.
// - open_window: the statistics window made, shown and painted for the first
//   time, on the progress tab (the one it opens on) or the keys tab of the
//   training texts. Goal: under 300 ms.
// - bytes: the file's size over its games once written and checkpointed.
//   Goal: under 4 KB a game.
// And on ten years of daily play, 100,000 games of every mode and time limit
// (generated once, about 25 s, unless TYPETOKI_LARGE_HISTORY names a folder
// that already holds such a file):
// - large_open: the window made and shown, the progress chart painted.
//   Goal: under 300 ms.
// - large_change: a click on another time limit or mode (abandoned=0), or
//   on the abandoned-games box (abandoned=1), until the chart of that group
//   is painted; or on another time limit or mode with the keys tab or the
//   units tab in view (abandoned=2 and 3, as it is only the tab). Goal:
//   under 150 ms.
// - large_csv: the whole history with the keys and units file, exported on
//   its thread; longest_stall_ms is the longest the window's event loop went
//   without turning meanwhile (a repaint waits that long at most).
#include "qtbench.h"
#include "persistence/historydatabase.h"
#include "persistence/historystore.h"
#include "support/samplehistory.h"
#include "ui/frmhistory.h"

#include "percentiles.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QChartView>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTabWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <chrono>
#include <cstdlib>

using namespace typetoki;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kGames = 10000;

QTemporaryDir &Folder()
{
    static QTemporaryDir dir;
    if (!dir.isValid())
        std::abort();
    return dir;
}

const std::vector<GameResult> &YearsOfGames()
{
    static const std::vector<GameResult> games = [] {
        testing::SampleHistoryOptions options;
        options.games = kGames;
        options.days = 3 * 365;
        return testing::RealisticHistory(options);
    }();
    return games;
}

// A folder holding the 10,000 games, made once; each benchmark that writes
// gets a copy of its own.
QString FilledFolder()
{
    static const QString folder = [] {
        const QString f = Folder().filePath(QStringLiteral("years"));
        QDir().mkpath(f);
        if (!testing::WriteHistory(f, YearsOfGames()))
            std::abort();
        return f;
    }();
    return folder;
}

QString CopyOfHistory(const QString &name)
{
    const QString folder = Folder().filePath(name);
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    if (!QFile::copy(HistoryPath(FilledFolder()), HistoryPath(folder)))
        std::abort();
    return folder;
}

double Millis(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

// mode, time limit: a one-minute chant, a one-minute training text (the
// most target characters), a one-hour chant (the longest unit times).
void Record(benchmark::State &state)
{
    const int mode = int(state.range(0));
    const int limit = int(state.range(1));
    const GameResult game = testing::RealisticGame(mode, limit, QDateTime::currentDateTime(),
                                                   mode == 4 ? 1.4 : 5.2, 95, 7);
    HistoryDatabase db(HistoryPath(CopyOfHistory(QStringLiteral("record"))));
    if (db.Open() != HistoryFault::None) {
        state.SkipWithError("the history did not open");
        return;
    }
    std::vector<double> micros;
    for (auto _ : state) {
        const auto start = Clock::now();
        const HistoryFault fault = db.Write({&game, 1});
        const auto took = Clock::now() - start;
        if (fault != HistoryFault::None) {
            state.SkipWithError("a game was not written");
            return;
        }
        state.SetIterationTime(std::chrono::duration<double>(took).count());
        micros.push_back(Millis(took) * 1000);
    }
    state.counters["targets"] = double(game.targets.size());
    state.counters["units"] = double(game.heroUnitSeconds.size() + game.rivalUnitSeconds.size());
    bench::ReportPercentiles(state, "", micros);
}

void HandOver(benchmark::State &state)
{
    const GameResult game = testing::RealisticGame(1, 60, QDateTime::currentDateTime(), 5.2, 95, 7);
    HistoryStore store(CopyOfHistory(QStringLiteral("hand-over")));
    std::vector<double> micros;
    for (auto _ : state) {
        if (!store.WaitForIdle(10000)) {  // the previous game is written
            state.SkipWithError("the store did not finish");
            return;
        }
        const auto start = Clock::now();
        store.Record(game);
        const auto took = Clock::now() - start;
        state.SetIterationTime(std::chrono::duration<double>(took).count());
        micros.push_back(Millis(took) * 1000);
    }
    bench::ReportPercentiles(state, "", micros);
}

// Sees the first paint of the chart, or of the keyboard, as it begins; the
// paint is done when the event loop gives control back.
class PaintWatch : public QObject {
public:
    bool painted = false;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            painted = true;
        return false;
    }
};

// mode, time limit, tab
void OpenWindow(benchmark::State &state)
{
    const QString path = HistoryPath(FilledFolder());
    std::vector<double> micros;
    for (auto _ : state) {
        PaintWatch watch;
        const auto start = Clock::now();
        {
            frmHistory window(path, {}, int(state.range(0)), int(state.range(1)));
            const int tab = int(state.range(2));
            window.tabs->setCurrentIndex(tab);
            QWidget *watched = tab == frmHistory::kKeysTab ? static_cast<QWidget *>(window.keyboard)
                                                           : window.progressView->viewport();
            watched->installEventFilter(&watch);
            window.show();
            while (!watch.painted)
                QCoreApplication::processEvents();
            const auto took = Clock::now() - start;
            state.SetIterationTime(std::chrono::duration<double>(took).count());
            micros.push_back(Millis(took) * 1000);
        }
        QCoreApplication::processEvents();
    }
    state.counters["games"] = kGames;
    bench::ReportPercentiles(state, "", micros);
}

QString LargeHistory()
{
    static QTemporaryDir dir;
    static const QString path = [] {
        const QString given = qEnvironmentVariable("TYPETOKI_LARGE_HISTORY");
        if (!given.isEmpty())
            return HistoryPath(given);
        testing::SampleHistoryOptions options;
        options.games = 100000;
        options.days = 3650;
        if (!dir.isValid() || !testing::WriteHistory(dir.path(), testing::RealisticHistory(options)))
            std::abort();
        return HistoryPath(dir.path());
    }();
    return path;
}

// Runs act, then the event loop until the tab in view (the progress chart
// or the keyboard) has painted.
double UntilPainted(frmHistory &window, const std::function<void()> &act)
{
    const int tab = window.tabs->currentIndex();
    QWidget *watched = tab == frmHistory::kKeysTab    ? static_cast<QWidget *>(window.keyboard)
                       // the chart is hidden for groups without units
                       : tab == frmHistory::kUnitsTab ? window.tabs->currentWidget()
                                                      : window.progressView->viewport();
    PaintWatch watch;
    watched->installEventFilter(&watch);
    const auto start = Clock::now();
    act();
    watched->update();
    while (!watch.painted)
        QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    watched->removeEventFilter(&watch);
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void LargeOpen(benchmark::State &state)
{
    const QString path = LargeHistory();
    std::vector<double> micros;
    for (auto _ : state) {
        PaintWatch watch;
        const auto start = Clock::now();
        {
            frmHistory window(path, {}, 1, 60);
            window.progressView->viewport()->installEventFilter(&watch);
            window.show();
            while (!watch.painted)
                QCoreApplication::processEvents();
            QCoreApplication::processEvents();
            const auto took = Clock::now() - start;
            state.SetIterationTime(std::chrono::duration<double>(took).count());
            micros.push_back(std::chrono::duration<double, std::micro>(took).count());
        }
        QCoreApplication::processEvents();
    }
    bench::ReportPercentiles(state, "", micros);
}

// 0: time limits and modes in turn; 1: the abandoned-games box; 2 and 3:
// time limits and modes in turn on the keys tab and the units tab.
void LargeChange(benchmark::State &state)
{
    frmHistory window(LargeHistory(), {}, 1, 60);
    if (state.range(0) >= 2)
        window.tabs->setCurrentIndex(state.range(0) == 2 ? frmHistory::kKeysTab : frmHistory::kUnitsTab);
    window.show();
    UntilPainted(window, [] {});
    std::vector<double> micros;
    int turn = 0;
    for (auto _ : state) {
        const double ms = UntilPainted(window, [&] {
            if (state.range(0) == 1)
                window.withAbandoned->click();
            else if (turn % 2 == 0)
                window.timeButtons[size_t(turn / 2 % window.timeButtons.size())]->click();
            else
                window.modeButtons[size_t(turn / 2 % window.modeButtons.size())]->click();
        });
        ++turn;
        state.SetIterationTime(ms / 1000);
        micros.push_back(ms * 1000);
    }
    bench::ReportPercentiles(state, "", micros);
}

void LargeCsv(benchmark::State &state)
{
    QTemporaryDir out;
    frmHistory window(LargeHistory(), {}, 1, 60);
    window.csvDetail->setChecked(true);
    window.show();
    UntilPainted(window, [] {});
    double stall = 0;
    for (auto _ : state) {
        QElapsedTimer since;
        since.start();
        QTimer beat;
        QObject::connect(&beat, &QTimer::timeout, [&] {
            stall = std::max(stall, double(since.restart()));
        });
        beat.start(5);
        const auto start = Clock::now();
        if (!window.SaveCsv(out.filePath(QStringLiteral("h.csv")))) {
            state.SkipWithError("the export failed");
            return;
        }
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    }
    state.counters["longest_stall_ms"] = stall;
    state.counters["detail_MB"] = double(QFileInfo(frmHistory::DetailCsvPath(out.filePath(QStringLiteral("h.csv")))).size()) / 1e6;
}

// What a game costs on disk: 10,000 of a kind written to a fresh file, which
// is closed (so its journal is folded in) and measured.
void Bytes(benchmark::State &state)
{
    const int mode = int(state.range(0));
    const int limit = int(state.range(1));
    std::vector<GameResult> games;
    if (mode == 0) {
        games = YearsOfGames();
    } else {
        for (int i = 0; i < kGames; ++i) {
            games.push_back(testing::RealisticGame(mode, limit, QDateTime::currentDateTime().addSecs(i * 120),
                                                   mode == 4 ? 1.4 : 5.2, 95, unsigned(i)));
        }
    }
    const QString folder = Folder().filePath(QStringLiteral("bytes"));
    for (auto _ : state) {
        QDir(folder).removeRecursively();
        QDir().mkpath(folder);
        if (!testing::WriteHistory(folder, games)) {
            state.SkipWithError("the games were not written");
            return;
        }
    }
    state.counters["bytes_per_game"] = double(QFileInfo(HistoryPath(folder)).size()) / double(games.size());
    state.counters["games"] = double(games.size());
}

}  // namespace

BENCHMARK(Record)
    ->ArgNames({"mode", "seconds"})
    ->Args({1, 60})
    ->Args({4, 60})
    ->Args({2, 3600})
    ->Iterations(200)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(LargeOpen)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(LargeChange)
    ->ArgName("abandoned")
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Arg(3)
    ->Iterations(12)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(LargeCsv)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(HandOver)->Iterations(200)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(OpenWindow)
    ->ArgNames({"mode", "seconds", "tab"})
    ->Args({1, 60, frmHistory::kProgressTab})
    ->Args({4, 60, frmHistory::kKeysTab})
    ->Iterations(10)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
// Mode 0: the realistic mix of all modes and time limits.
BENCHMARK(Bytes)
    ->ArgNames({"mode", "seconds"})
    ->Args({0, 0})
    ->Args({1, 60})
    ->Args({4, 60})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    return typetoki::bench::RunOffscreen(argc, argv);
}
