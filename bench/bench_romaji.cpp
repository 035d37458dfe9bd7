// Romaji practice: the cost of judging one key, and of reading a whole text
// with MeCab. Run alone with build/bench/bench_romaji (scripts/bench.sh runs
// it with the others).
//
// - judge_key: one key against a 200-character line, every key the one the
//   guide asks for next, each timed on its own; a fresh line when one is
//   typed through. `with_guide` also builds the guide the screen shows after
//   every key. Goal: median under 20 µs.
//   `long_line` does the same on a 100,000-character line, with characters
//   that have no key among the kana: the same goal, since only the units
//   around the cursor and the guide's window ahead are looked at.
// - game_key: the same key through the whole game, as bench_judge times
//   the chant modes: the key press, the judging pass, the guide and the
//   boxes written to the string screen of tests/support/fakes.h, in a
//   training game on a text of that one line with romaji typing on; the
//   fake clock makes the pause after each hit free. Goal: median under 20 µs.
//   `long_line` on a text of the 100,000-character line.
// - new_line: setting up the typing of a 200-character line, as each new
//   line of a game does.
// - read_text_mecab: a 1,000-line text with kanji read by MeCab, from
//   handing the lines over to the last line read, on the worker thread the
//   game leaves them to, each phrase in its few likeliest ways. Goal: under
//   1 s. `open_ms` is opening the
//   dictionary, done once.
#include "percentiles.h"

#include "engine/romaji.h"
#include "engine/romajitext.h"
#include "platform/mecabreader.h"
#include "support/fakes.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <vector>

using namespace typetoki;
using namespace typetoki::bench;

namespace {

using Clock = std::chrono::steady_clock;

double Micros(Clock::duration d)
{
    return std::chrono::duration<double, std::micro>(d).count();
}

// Sentences of our own, with kanji, kana, signs and letters, as a training
// text has them.
const char *const kSentences[] = {
    "打鍵一閃、指先に魂を込めよ。",
    "毎朝の稽古が、明日の速さを作る。",
    "心を静め、画面の文字だけを見よ。",
    "焦らず、正確に、そして速く。",
    "一打ごとに、昨日の自分を超えていく。",
    "構えは軽く、手首は柔らかく。",
    "誤字を恐れるな、恐れるべきは怠け心だ。",
    "千里の道も一打から。",
    "礼に始まり、礼に終わる。",
    "今日は東京へ行って、新しいキーボードを買いました。",
    "雨の日には図書館で本を読みながら、静かに練習する。",
    "ヴァイオリンの音がコンピューターから流れてきた。",
    "「しっかり休んでから、また始めよう」と先生は言った。",
    "駅前の喫茶店で抹茶ラテを飲み、日記をつけた。",
    "春になると、川沿いの桜並木が一斉に咲きそろう。",
    "第３章では、ＵＴＦ－８とShift_JISの違いを説明する。",
    "彼女は毎晩十時に寝て、朝は六時に起きるそうだ。",
    "山の頂上から見た景色は、言葉にできないほど美しかった。",
    "電車が遅れたので、会議には十五分ほど遅刻してしまった。",
    "この問題を解くには、まず全体の流れをつかむことが大切です。",
};

QStringList ThousandLines()
{
    QStringList lines;
    const int count = int(std::size(kSentences));
    for (int i = 0; lines.size() < 1000; ++i) {
        // Pairs of sentences, so that lines differ and vary in length.
        QString line = QString::fromUtf8(kSentences[i % count]);
        if (i % 3 != 0)
            line += QString::fromUtf8(kSentences[(i * 7 + 3) % count]);
        lines << line;
    }
    return lines;
}

// A line of kana, signs and (in a long one) characters with no key.
LineReading LineOf(qsizetype length)
{
    QString kana = QString::fromUtf8(
        "きょうはとてもいいてんきですね、しんぶんをよみながらまっちゃをのみました。"
        "ヴァイオリンのおとがきこえる。ちょっとまって、いっしょにいこう！");
    if (length > 200)
        kana += QString::fromUtf8("※★");
    QString line;
    while (line.size() < length)
        line += kana;
    line.truncate(length);
    return ReadLine(line, nullptr);
}

LineReading TwoHundredCharacters()
{
    return LineOf(200);
}

void JudgeKey(benchmark::State &state, bool withGuide, qsizetype length)
{
    const LineReading reading = LineOf(length);
    RomajiLine line(reading);
    std::vector<double> micros;
    micros.reserve(std::size_t(state.max_iterations));
    int misses = 0;
    qsizetype guideLength = 0;
    for (auto _ : state) {
        const QChar key = line.nextKey();  // untimed: the key the player types
        const auto t0 = Clock::now();
        const KeyResult result = line.type(key);
        if (withGuide) {
            const QString guide = line.guide();
            guideLength += guide.size();
            benchmark::DoNotOptimize(guide);
        }
        const auto t1 = Clock::now();
        benchmark::DoNotOptimize(result);
        state.SetIterationTime(std::chrono::duration<double>(t1 - t0).count());
        micros.push_back(Micros(t1 - t0));
        misses += result.hit ? 0 : 1;
        if (line.finished())
            line = RomajiLine(reading);
    }
    if (misses != 0) {
        state.SkipWithError("a key the guide asked for was judged a miss");
        return;
    }
    state.counters["line_chars"] = double(reading.line.size());
    state.counters["guide_chars"] = double(RomajiLine(reading).guide().size());
    ReportPercentiles(state, "", micros);
}

void GameKey(benchmark::State &state, qsizetype length)
{
    testing::Harness h;
    h.state.romajiTyping = true;
    h.startTraining({LineOf(length).line});
    if (h.state.gamePhase != kPlaying || !h.game.romajiLine()) {
        state.SkipWithError("the romaji game did not start");
        return;
    }
    std::vector<double> micros;
    micros.reserve(std::size_t(state.max_iterations));
    for (auto _ : state) {
        const QChar key = h.game.romajiLine()->nextKey();
        const auto t0 = Clock::now();
        h.type(key);
        const auto t1 = Clock::now();
        state.SetIterationTime(std::chrono::duration<double>(t1 - t0).count());
        micros.push_back(Micros(t1 - t0));
        // The double's note of every cue is its cost, not the game's.
        h.world.sounds.clear();
    }
    if (h.state.inputCount != h.state.correctCount) {
        state.SkipWithError("a key the guide asked for was judged a miss");
        return;
    }
    ReportPercentiles(state, "", micros);
}

void NewLine(benchmark::State &state)
{
    const LineReading reading = TwoHundredCharacters();
    std::vector<double> micros;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        RomajiLine line(reading);
        benchmark::DoNotOptimize(line);
        const auto t1 = Clock::now();
        state.SetIterationTime(std::chrono::duration<double>(t1 - t0).count());
        micros.push_back(Micros(t1 - t0));
    }
    ReportPercentiles(state, "", micros);
}

void ReadTextMecab(benchmark::State &state)
{
    QString problem;
    const auto t0 = Clock::now();
    std::shared_ptr<const Reader> reader = MecabReader::open(&problem);
    const auto t1 = Clock::now();
    if (!reader) {
        state.SkipWithError(problem.toStdString().c_str());
        return;
    }
    const QStringList lines = ThousandLines();
    qsizetype kana = 0;
    std::vector<double> micros;
    for (auto _ : state) {
        const auto start = Clock::now();
        RomajiText text(lines, reader);
        text.waitForWorker();
        const auto end = Clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
        micros.push_back(Micros(end - start));
        if (!text.complete()) {
            state.SkipWithError("lines were left unread");
            return;
        }
        kana = 0;
        for (qsizetype i = 0; i < text.size(); ++i)
            kana += text.reading(i).kana.size();
    }
    qsizetype characters = 0;
    for (const QString &line : lines)
        characters += line.size();
    state.counters["lines"] = double(lines.size());
    state.counters["chars"] = double(characters);
    state.counters["kana"] = double(kana);
    state.counters["open_ms"] = Micros(t1 - t0) / 1000;
    ReportPercentiles(state, "", micros);
}

}  // namespace

BENCHMARK_CAPTURE(JudgeKey, judge_key, false, 200)
    ->Iterations(20000)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(JudgeKey, judge_key_with_guide, true, 200)
    ->Iterations(20000)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(JudgeKey, judge_key_with_guide_long_line, true, 100000)
    ->Iterations(20000)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(GameKey, game_key, 200)->Iterations(20000)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(GameKey, game_key_long_line, 100000)
    ->Iterations(20000)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(NewLine)->Iterations(2000)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(ReadTextMecab)
    ->Iterations(10)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
