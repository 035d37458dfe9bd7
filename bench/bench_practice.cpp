// Practice texts: what starting a practice costs, on the worker thread it
// runs on. Run alone with build/bench/bench_practice (scripts/bench.sh runs
// it with the others).
//
// - read_words: the dictionary's word lists read and decoded, once a run.
// - generate_100: a practice text of 100 lines from words already read: the
//   words indexed by unit, drawn, and each checked with MeCab to be read as
//   listed. Goal: under 200 ms. `open_ms` is opening the dictionary, done
//   once a run and shared with romaji games.
#include "engine/practice.h"
#include "persistence/practicefile.h"
#include "platform/mecabreader.h"

#include <benchmark/benchmark.h>

#include <chrono>

using namespace typetoki;

namespace {

using Clock = std::chrono::steady_clock;

double Millis(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

void ReadWords(benchmark::State &state)
{
    std::size_t count = 0;
    for (auto _ : state)
        count = ReadDictionaryWords().size();
    state.counters["words"] = double(count);
}

void Generate100(benchmark::State &state)
{
    const auto words = std::make_shared<const std::vector<PracticeWord>>(ReadDictionaryWords());
    QString problem;
    const Clock::time_point opening = Clock::now();
    std::shared_ptr<const Reader> reader = MecabReader::open(&problem);
    state.counters["open_ms"] = Millis(Clock::now() - opening);
    if (words->empty() || !reader) {
        state.SkipWithError("mecab-ipadic or mecab-ipadic-utf8 is missing");
        return;
    }
    std::uint32_t seed = 1;
    for (auto _ : state) {
        PracticeGenerator generator(words, reader);
        benchmark::DoNotOptimize(generator.Generate({}, 100, seed++));
    }
}

}  // namespace

BENCHMARK(ReadWords)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(Generate100)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK_MAIN();
