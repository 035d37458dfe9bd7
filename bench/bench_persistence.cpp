// The settings and high-score files at their largest: a board of a thousand
// records saved (pruned) and loaded, and the settings read and written as at
// start-up and shut-down. Goals: SaveScores under 10 ms, LoadScores under
// 5 ms, LoadSettings + SaveSettings under 1 ms.

#include "persistence/scorefile.h"
#include "persistence/settingsfile.h"

#include "persistence/textfile.h"

#include <benchmark/benchmark.h>

#include <QFile>
#include <QTemporaryDir>

#include <cstdlib>
#include <random>

using namespace typetoki;

namespace {

constexpr int kRecords = 1000;
constexpr int kModes[] = {1, 2, 3, 4};
constexpr int kTimeLimits[] = {10, 30, 60, 120, 180, 3600};

QTemporaryDir &Folder()
{
    static QTemporaryDir dir;
    if (!dir.isValid())
        std::abort();
    return dir;
}

// Results as the board writes them: a Japanese name, cut figures, the date.
// The figures spread widely, so pruning keeps few records, as it would in a
// board used for years.
ScoreTable MakeTable(bool allGroups)
{
    std::mt19937 rng(2024);
    std::uniform_int_distribution<int> chars(0, 900);
    std::uniform_int_distribution<int> hundredths(0, 10000);
    ScoreTable table;
    for (int i = 0; i < kRecords; ++i) {
        const int group = allGroups ? i % 24 : 2;
        const int correct = chars(rng);
        ScoreRecord record;
        record.fields = {QString::number(i + 1),
                         QStringLiteral("プレイヤー%1").arg(i % 37),
                         QString::number(correct * 10 + hundredths(rng) / 100.0),
                         QString::number(correct),
                         QString::number(hundredths(rng) / 1000.0),
                         QString::number(hundredths(rng) / 100.0),
                         QStringLiteral("2024/05/%1  12:34:56").arg(1 + i % 28, 2, 10, QChar(u'0')),
                         QString::number(kModes[group / 6]),
                         QString::number(kTimeLimits[group % 6])};
        table.append(record);
    }
    return table;
}

void SaveScores(benchmark::State &state, bool allGroups)
{
    const ScoreTable full = MakeTable(allGroups);
    const QString path = Folder().filePath(QStringLiteral("save.ini"));
    for (auto _ : state) {
        state.PauseTiming();
        ScoreTable table = full;  // a save prunes the table it is given
        state.ResumeTiming();
        if (!table.SaveScores(path)) {
            state.SkipWithError("SaveScores failed");
            break;
        }
        benchmark::DoNotOptimize(table.scoreCount());
    }
    ScoreTable kept = full;
    kept.SaveScores(path);
    state.counters["kept"] = kept.scoreCount();
}

void BM_SaveScoresOneGroup(benchmark::State &state)
{
    SaveScores(state, false);
}
BENCHMARK(BM_SaveScoresOneGroup)->Unit(benchmark::kMillisecond);

void BM_SaveScoresAllGroups(benchmark::State &state)
{
    SaveScores(state, true);
}
BENCHMARK(BM_SaveScoresAllGroups)->Unit(benchmark::kMillisecond);

void BM_LoadScores(benchmark::State &state)
{
    // A thousand lines as a hand-edited or old file can hold them: nothing
    // has pruned them.
    const QString path = Folder().filePath(QStringLiteral("load.ini"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            std::abort();
        const ScoreTable table = MakeTable(true);
        QStringList lines;
        for (int r = 1; r <= table.scoreCount(); ++r) {
            const auto &fields = table.row(r).fields;
            lines << QStringList(fields.begin(), fields.end()).join(u',');
        }
        file.write(EncodeLines(lines));
    }
    for (auto _ : state) {
        ScoreTable table;
        table.LoadScores(path);
        if (table.scoreCount() != kRecords) {
            state.SkipWithError("LoadScores read the wrong number of lines");
            break;
        }
    }
}
BENCHMARK(BM_LoadScores)->Unit(benchmark::kMillisecond);

void BM_LoadAndSaveSettings(benchmark::State &state)
{
    Module1 game;
    game.setProgramFolder(Folder().path());
    game.trainingTextPath = game.inProgramFolder(QStringLiteral("練習テキスト.txt"));
    if (!SaveSettings(game, game))
        std::abort();
    for (auto _ : state) {
        LoadSettings(game, game);
        if (!SaveSettings(game, game)) {
            state.SkipWithError("SaveSettings failed");
            break;
        }
    }
}
BENCHMARK(BM_LoadAndSaveSettings)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
