// The engine's own cost of one keystroke: the key press, the judging pass it
// sets off and the boxes it writes, against a screen of plain strings. The
// fake clock makes the pause after every hit free, so only work is timed.
//
// Every key typed is the one the target line asks for next. A keystroke costs
// more the more of the line is left, so each run has a fixed number of keys:
// either one-minute games (480 keys at eight a second, then a new game, so
// every key falls near the start of a fresh line where real games are
// played) or the whole line typed through once.
#include "percentiles.h"
#include "support/fakes.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <vector>

using namespace typetoki;
using namespace typetoki::bench;
using namespace typetoki::testing;

namespace {

void TypeKeys(benchmark::State &state, int gameMode, int keysPerGame)
{
    Harness h;
    h.state.gameMode = GameMode(gameMode);
    h.start();
    if (h.state.gamePhase != kPlaying) {
        state.SkipWithError("the game did not start");
        return;
    }
    const auto lineLetters = h.box(Box::Text4).size();

    std::vector<double> micros;
    micros.reserve(std::size_t(state.max_iterations));
    int misses = 0;
    for (auto _ : state) {
        const QChar next = h.box(Box::Text4).at(0);
        const auto t0 = std::chrono::steady_clock::now();
        h.type(next);
        const auto t1 = std::chrono::steady_clock::now();
        const std::chrono::duration<double> took = t1 - t0;
        state.SetIterationTime(took.count());
        micros.push_back(took.count() * 1e6);
        // The fake sound device keeps a note of every cue; that list is the
        // double's cost, not the game's, and is emptied between keys.
        h.world.sounds.clear();
        if (keysPerGame > 0 && h.state.inputCount >= keysPerGame) {
            misses += h.state.inputCount - h.state.correctCount;
            h.game.Command3_Click();  // END, then START: outside the timed part
            h.start();
        }
    }

    misses += h.state.inputCount - h.state.correctCount;
    if (misses != 0) {
        state.SkipWithError("a key meant as a hit was judged a miss");
        return;
    }
    state.counters["line_letters"] = double(lineLetters);
    ReportPercentiles(state, "", micros);
}

constexpr int kHero = 1;
constexpr int kRival = 2;
constexpr int kOneMinuteGame = 480;
constexpr int kWholeLine = 0;

}  // namespace

// The hero's line has 2,400 letters, the rival's 12,000.
BENCHMARK_CAPTURE(TypeKeys, hero_one_minute_games, kHero, kOneMinuteGame)
    ->Iterations(10 * kOneMinuteGame)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(TypeKeys, hero_whole_line, kHero, kWholeLine)
    ->Iterations(2400)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(TypeKeys, rival_one_minute_games, kRival, kOneMinuteGame)
    ->Iterations(10 * kOneMinuteGame)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(TypeKeys, rival_whole_line, kRival, kWholeLine)
    ->Iterations(12000)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);
// One game of 36,000 keys (an hour at ten a second): the record of typed
// characters grows all game long.
BENCHMARK_CAPTURE(TypeKeys, rival_one_hour_game, kRival, kWholeLine)
    ->Iterations(36000)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
