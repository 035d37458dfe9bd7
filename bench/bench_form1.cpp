// From a key press to the boxes showing its result, in the real main window:
// the key event, the window's event filter, the input box, the engine's
// judging pass and every widget it writes. The waits go to a fake clock, so
// the pause after a hit costs nothing and only work is timed.
//
// And from the end of a game being announced to its result screen: what
// handing the game to the history adds there.
//
// Runs on Qt's offscreen platform (chosen here when nothing else is set).
#include "percentiles.h"
#include "qtbench.h"
#include "persistence/historystore.h"
#include "support/fakedialogs.h"
#include "support/fakes.h"
#include "ui/form1.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>
#include <vector>

using namespace typetoki;
using namespace typetoki::bench;
using namespace typetoki::testing;

namespace {

class BenchForm1 final : public Form1 {
public:
    BenchForm1(Module1 &state, FakeWorld &world, Dialogs &dialogs)
        : Form1(state, {world, world, world, world}, dialogs)
    {
        Timer1->stop();  // no clock ticks: the game never ends under the benchmark
    }
};

// keysPerGame: a new game after this many keys (0: one game throughout).
// repaint: also let the window paint what changed before the clock stops,
// as the event loop would right after the key.
void TypeKeys(benchmark::State &state, int gameMode, int keysPerGame, bool repaint)
{
    // A program folder of its own: the window reads its settings file from
    // there, and one left by a real game must not choose the mode.
    QTemporaryDir folder;
    Module1 m;
    m.setProgramFolder(folder.path());
    FakeWorld world;
    FakeDialogs dialogs;
    BenchForm1 form(m, world, dialogs);
    m.gameMode = GameMode(gameMode);
    form.show();
    form.activateWindow();
    QTest::mouseClick(form.Command2, Qt::LeftButton);
    if (m.gamePhase != kPlaying || m.gameMode != GameMode(gameMode)) {
        state.SkipWithError("the game did not start in the mode asked for");
        return;
    }
    const auto lineLetters = form.game().targetLine().size();
    QCoreApplication::processEvents();  // the first paint is not a keystroke's

    std::vector<double> micros, cpuMicros;
    micros.reserve(std::size_t(state.max_iterations));
    cpuMicros.reserve(std::size_t(state.max_iterations));
    int misses = 0;
    for (auto _ : state) {
        const QString target = form.game().targetLine();
        if (target.isEmpty()) {
            state.SkipWithError("no target line");
            return;
        }
        const char key = target.at(0).toLatin1();
        const double c0 = ThreadCpuMicros();
        const auto t0 = std::chrono::steady_clock::now();
        QTest::keyClick(form.Text1, key);
        if (repaint)
            QCoreApplication::processEvents();
        const auto t1 = std::chrono::steady_clock::now();
        const double c1 = ThreadCpuMicros();
        const std::chrono::duration<double> took = t1 - t0;
        state.SetIterationTime(took.count());
        micros.push_back(took.count() * 1e6);
        cpuMicros.push_back(c1 - c0);
        world.sounds.clear();  // the fake sound device's notes
        if (keysPerGame > 0 && m.inputCount >= keysPerGame) {
            misses += m.inputCount - m.correctCount;
            // END, then START: outside the timed part.
            QTest::mouseClick(form.Command3, Qt::LeftButton);
            QTest::mouseClick(form.Command2, Qt::LeftButton);
            QCoreApplication::processEvents();
        }
    }

    misses += m.inputCount - m.correctCount;
    if (misses != 0) {
        state.SkipWithError("a key meant as a hit was judged a miss");
        return;
    }
    state.counters["line_letters"] = double(lineLetters);
    ReportPercentiles(state, "", micros);
    ReportPercentiles(state, "cpu_", cpuMicros);
}

constexpr int kHero = 1;
constexpr int kRival = 2;
constexpr int kTraining = 4;
constexpr int kOneMinuteGame = 480;  // a minute at eight keys a second
constexpr int kWholeLine = 0;

// Notes when the result screen was asked for, and opens none.
class EndOfGameForm final : public Form1 {
public:
    EndOfGameForm(Module1 &state, FakeWorld &world, Dialogs &dialogs)
        : Form1(state, {world, world, world, world}, dialogs)
    {
        Timer1->stop();  // the fake world ticks
    }
    void openResultScreen(const GameResult &result) override
    {
        resultAsked = std::chrono::steady_clock::now();
        targets = result.targets.size();
    }
    std::chrono::steady_clock::time_point resultAsked;
    std::size_t targets = 0;
};

// One-minute games typed at eight keys a second, each ended by time: from
// the moment "終了！" is closed to the moment the result screen is asked for.
// The store writes each game on its own thread meanwhile, as in play.
void EndOfGame(benchmark::State &state, int gameMode)
{
    Module1 m;
    TempProgramFolder folder(m);  // holds the training text
    FakeWorld world;
    FakeDialogs dialogs;
    HistoryStore history(m.dataFolder);
    EndOfGameForm form(m, world, dialogs);
    form.setHistoryStore(&history);
    m.gameMode = GameMode(gameMode);
    m.timeLimitSeconds = 60;
    form.show();
    world.startTicks([&form] { form.game().Timer1_Timer(); });
    std::chrono::steady_clock::time_point announced;
    dialogs.onMessage = [&announced] { announced = std::chrono::steady_clock::now(); };

    std::vector<double> micros;
    std::size_t unwritten = 0;
    for (auto _ : state) {
        QTest::mouseClick(form.Command2, Qt::LeftButton);
        if (m.gamePhase != kPlaying) {
            state.SkipWithError("the game did not start");
            return;
        }
        for (int i = 0; i < 480; ++i) {
            world.at(m.startTime + 0.125 * i + 0.01, [&form, gameMode] {
                const QString next = form.game().targetLine().left(1);
                if (gameMode != kTraining) {
                    QTest::keyClick(form.Text1, next.at(0).toLatin1());
                    return;
                }
                form.Text1->insert(next);  // as the input method commits it
                QTest::keyClick(form.Text1, Qt::Key_Return);
            });
        }
        world.advance(120);  // the training pauses lengthen the game
        const std::chrono::duration<double> took = form.resultAsked - announced;
        state.SetIterationTime(took.count());
        micros.push_back(took.count() * 1e6);
        if (!history.WaitForIdle(10000)) {
            state.SkipWithError("the history did not write the game");
            return;
        }
        unwritten = history.Unwritten().size();
    }
    if (unwritten != 0) {
        state.SkipWithError("a game was left unwritten");
        return;
    }
    state.counters["targets"] = double(form.targets);
    ReportPercentiles(state, "", micros);
}

}  // namespace

// One-minute games keep every key near the start of a fresh 12,000-letter
// line, where real games are played and the line box holds the most text;
// the whole line typed through once averages over every length.
BENCHMARK_CAPTURE(TypeKeys, rival_one_minute_games, kRival, kOneMinuteGame, false)
    ->Iterations(10 * kOneMinuteGame)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(TypeKeys, rival_whole_line, kRival, kWholeLine, false)
    ->Iterations(12000)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(TypeKeys, rival_one_minute_games_painted, kRival, kOneMinuteGame, true)
    ->Iterations(10 * kOneMinuteGame)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

BENCHMARK_CAPTURE(EndOfGame, hero, kHero)->Iterations(20)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(EndOfGame, training, kTraining)->Iterations(20)->UseManualTime()->Unit(benchmark::kMicrosecond);

int main(int argc, char **argv)
{
    return typetoki::bench::RunOffscreen(argc, argv);
}
