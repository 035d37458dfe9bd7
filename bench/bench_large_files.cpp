// The game's files far larger than the game ever makes them, but legal: a
// 50 MB settings file (eight values, then a long tail), a 50 MB high-score
// file, and a training text near its 32 MB limit. Each is read the way the
// game reads it: the settings at start-up, the board opening (read and the
// first list), a result registered on that board, and START in training
// mode. Goals: the board opens in under a second, and no run's peak memory
// passes three times its file's size plus 50 MB (goal_MB).
//
// peak_MB is the process's peak resident size during the run (the kernel's
// high-water mark, reset when the run starts), the process's own libraries
// included.

#include "persistence/textfile.h"
#include "persistence/scorefile.h"
#include "persistence/settingsfile.h"
#include "support/fakes.h"

#include <benchmark/benchmark.h>

#include <QFile>
#include <QTemporaryDir>

#include <cstdlib>

using namespace typetoki;
using namespace typetoki::testing;

namespace {

constexpr qint64 kMegabyte = 1024 * 1024;
constexpr qint64 kSettingsBytes = 50 * kMegabyte;
constexpr qint64 kScoreBytes = 50 * kMegabyte;
constexpr qint64 kTrainingBytes = 30 * kMegabyte;

QTemporaryDir &Folder()
{
    static QTemporaryDir dir;
    if (!dir.isValid())
        std::abort();
    return dir;
}

// Starts the peak resident size over from what the process holds now.
void ResetPeak()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

double PeakMegabytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly | QIODevice::Text))
        return 0;
    for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine()) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;  // kB
    }
    return 0;
}

// Writes a file of about `bytes` from lines made one at a time, so that
// making it never holds more than one line: the peak stays the reader's.
template <typename NextLine>
void WriteLargeFile(const QString &path, qint64 bytes, NextLine nextLine)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        std::abort();
    for (qint64 n = 0; file.size() < bytes; ++n) {
        if (file.write(nextLine(n)) < 0)
            std::abort();
    }
}

void Report(benchmark::State &state, qint64 fileBytes)
{
    state.counters["file_MB"] = double(fileBytes) / kMegabyte;
    state.counters["peak_MB"] = PeakMegabytes();
    state.counters["goal_MB"] = 3.0 * double(fileBytes) / kMegabyte + 50;
}

// ---- tatak.ini -----------------------------------------------------------------

void BM_LoadSettingsFromLargeFile(benchmark::State &state)
{
    Module1 game;
    game.setProgramFolder(Folder().path());
    const QStringList values{"4", "30", "/home/player/練習.txt", "/a/eya.wav", "/a/hiku.wav",
                             "/a/ahh.wav", "/home/player/練習.txt", "0.2"};
    const QByteArray head = EncodeLines(values);
    const QByteArray tail = EncodeLines({QStringLiteral("<<未使用領域>>")});
    WriteLargeFile(SettingsPath(game), kSettingsBytes,
                   [&](qint64 n) { return n == 0 ? head : tail; });
    ResetPeak();
    for (auto _ : state) {
        if (!LoadSettings(game, game) || game.gameMode != GameMode::Training) {
            state.SkipWithError("the eight values were not read");
            break;
        }
    }
    Report(state, QFile(SettingsPath(game)).size());
}
BENCHMARK(BM_LoadSettingsFromLargeFile)->Unit(benchmark::kMillisecond)->Iterations(5);

// ---- tkscore.ini ---------------------------------------------------------------

// Records as the board writes them, spread over the 24 groups.
QString ScoresFile()
{
    const QString path = Folder().filePath(QStringLiteral("large-tkscore.ini"));
    if (QFile::exists(path))
        return path;
    const int modes[] = {1, 2, 3, 4};
    const int limits[] = {10, 30, 60, 120, 180, 3600};
    WriteLargeFile(path, kScoreBytes, [&](qint64 n) {
        const int group = int(n % 24);
        const int correct = int((n * 7919) % 900);
        const QString line = QStringLiteral("%1,プレイヤー%2,%3,%4,%5,%6,2024/05/%7  12:34:56,%8,%9")
                                 .arg(n + 1)
                                 .arg(n % 37)
                                 .arg(correct * 10 + double(n % 100) / 100.0)
                                 .arg(correct)
                                 .arg(double((n * 31) % 10000) / 1000.0)
                                 .arg(double((n * 17) % 10000) / 100.0)
                                 .arg(1 + n % 28, 2, 10, QChar(u'0'))
                                 .arg(modes[group / 6])
                                 .arg(limits[group % 6]);
        return EncodeLines({line});
    });
    return path;
}

void BM_OpenBoardOnLargeFile(benchmark::State &state)
{
    const QString path = ScoresFile();
    ResetPeak();
    for (auto _ : state) {
        ScoreTable table;
        if (!table.LoadScores(path) || table.SelectTopTen(kPoints, 1, 60).size() != 10) {
            state.SkipWithError("the board did not list its ten best");
            break;
        }
        benchmark::DoNotOptimize(table.scoreCount());
    }
    Report(state, QFile(path).size());
}
BENCHMARK(BM_OpenBoardOnLargeFile)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_RegisterOnLargeFile(benchmark::State &state)
{
    const QString source = ScoresFile();
    const QString path = Folder().filePath(QStringLiteral("register-tkscore.ini"));
    ScoreRecord record;
    record.fields = {"", QStringLiteral("新人"), "99999", "900", "15", "100",
                     "2024/06/01  09:00:00", "1", "60"};
    ResetPeak();
    for (auto _ : state) {
        state.PauseTiming();
        QFile::remove(path);
        if (!QFile::copy(source, path))
            std::abort();
        state.ResumeTiming();
        // The board opens, then registers: the file is read again under
        // the lock, the record added, pruned and saved.
        ScoreTable table;
        table.LoadScores(path);
        if (!table.Register(record, path, path)) {
            state.SkipWithError("Register failed");
            break;
        }
    }
    Report(state, QFile(source).size());
}
BENCHMARK(BM_RegisterOnLargeFile)->Unit(benchmark::kMillisecond)->Iterations(3);

// ---- the training text ---------------------------------------------------------

void BM_LoadLargeTrainingText(benchmark::State &state)
{
    // UTF-8 as Linux editors write it: Japanese lines, short ASCII lines and
    // blank ones.
    const QString path = Folder().filePath(QStringLiteral("large-training.txt"));
    const QByteArray lines[] = {
        QStringLiteral("　吾輩は猫である。名前はまだ無い。どこで生れたかとんと見当がつかぬ。\n").toUtf8(),
        QByteArray("The quick brown fox jumps over the lazy dog.\n"),
        QByteArray("  \n"),
        QByteArray("eyaeyaeya hikuhiku\n"),
    };
    WriteLargeFile(path, kTrainingBytes, [&](qint64 n) { return lines[n % 4]; });

    // START, the countdown on the fake clock, and END at once: the reading
    // is all the time there is.
    Harness h;
    h.state.gameMode = GameMode::Training;
    h.state.trainingTextPath = path;
    ResetPeak();
    for (auto _ : state) {
        h.start();
        if (h.state.gamePhase != kPlaying || h.game.lines().count() < 1) {
            state.SkipWithError("the training text was not read");
            break;
        }
        h.game.Command3_Click();
    }
    Report(state, QFile(path).size());
}
BENCHMARK(BM_LoadLargeTrainingText)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
