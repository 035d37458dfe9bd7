// What a game keeps of every judged key for the history: each target
// character's count, misses and the time its hits took, the time of every
// chant unit, and which training text was played.
#include "engine/texthash.h"
#include "support/fakes.h"
#include "support/text.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <vector>

using namespace typetoki;
using namespace typetoki::testing;

namespace {

// A key at a moment of the game, in seconds after the clock started; Enter
// judges what the input method composed.
struct Key {
    double at;
    const char *keys;
    bool enter = false;
};

struct DetailCase {
    const char *what;
    int mode;
    QStringList trainingLines;
    std::vector<Key> script;
    std::optional<double> endAt;  // END then; otherwise the 10 s run out
    std::map<QString, TargetStats> targets;
    std::vector<float> heroUnits, rivalUnits;
    // Characters of phrases committed whole, and the phrases' time.
    int committedHits = 0;
    double committedSeconds = 0;
};

void PrintTo(const DetailCase &c, std::ostream *os)
{
    *os << c.what;
}

GameResult Play(Harness &h, const DetailCase &c)
{
    std::optional<GameResult> ended;
    h.game.setEndOfGameHandler([&](const GameResult &result) { ended = result; });
    h.world.startTicks([&h] { h.game.Timer1_Timer(); });
    h.state.timeLimitSeconds = 10;
    h.state.sliderValue = 0.1f;
    h.state.gameMode = GameMode(c.mode);
    if (c.mode == 4)
        h.startTraining(c.trainingLines);
    else
        h.start();
    const double t0 = h.state.startTime;
    for (const Key &k : c.script) {
        h.world.at(t0 + k.at, [&h, k] {
            if (!k.enter) {
                h.typeText(U(k.keys));
                return;
            }
            h.screen.setText(Box::Text1, U(k.keys));
            h.game.Command1_Click();
        });
    }
    if (c.endAt)
        h.world.at(t0 + *c.endAt, [&h] { h.game.Command3_Click(); });
    h.world.advance(12);
    EXPECT_TRUE(ended.has_value());
    return ended.value_or(GameResult());
}

void ExpectTargets(const GameResult &got, const std::map<QString, TargetStats> &want)
{
    ASSERT_EQ(got.targets.size(), want.size());
    for (const auto &[target, stats] : want) {
        SCOPED_TRACE(target.toStdString());
        ASSERT_TRUE(got.targets.count(target));
        const TargetStats &g = got.targets.at(target);
        EXPECT_EQ(g.targeted, stats.targeted);
        EXPECT_EQ(g.missed, stats.missed);
        EXPECT_EQ(g.timedHits, stats.timedHits);
        EXPECT_NEAR(g.hitSeconds, stats.hitSeconds, 1e-6);  // the pause is a float
        EXPECT_EQ(g.typedInstead, stats.typedInstead);
    }
}

void ExpectUnits(const std::vector<float> &got, const std::vector<float> &want)
{
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i)
        EXPECT_NEAR(got[i], want[i], 1e-5) << "unit " << i;
}

class KeyDetailTest : public ::testing::TestWithParam<DetailCase> {};

}  // namespace

TEST_P(KeyDetailTest, EveryJudgedKeyIsCountedAgainstItsTarget)
{
    const DetailCase &c = GetParam();
    Harness h;
    // Twice in one window: nothing of the first game leaks into the second.
    for (int game = 1; game <= 2; ++game) {
        SCOPED_TRACE(game);
        const GameResult result = Play(h, c);
        EXPECT_EQ(result.abandoned, c.endAt.has_value());
        ExpectTargets(result, c.targets);
        ExpectUnits(result.heroUnitSeconds, c.heroUnits);
        ExpectUnits(result.rivalUnitSeconds, c.rivalUnits);
        EXPECT_EQ(result.committedHits, c.committedHits);
        EXPECT_NEAR(result.committedSeconds, c.committedSeconds, 1e-6);
        int judged = 0;
        for (const auto &[target, stats] : result.targets)
            judged += stats.targeted;
        EXPECT_LE(judged, result.inputCount);
        if (c.mode == 4) {
            EXPECT_EQ(result.trainingTextPath, h.state.trainingTextPath);
            EXPECT_EQ(result.trainingTextHash, TrainingTextHash(c.trainingLines));
        } else {
            EXPECT_EQ(result.trainingTextPath, "");
            EXPECT_EQ(result.trainingTextHash, "");
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, KeyDetailTest,
    ::testing::Values(
        // A key every 0.35 s: the miss's flash (0.2 s) is over before the
        // next. The first key has no key before it; the miss is a key before
        // the y that follows it, and its unit lasts one key longer.
        DetailCase{"hero, one miss",
                   1,
                   {},
                   {{0.5, "e"}, {0.85, "y"}, {1.2, "a"}, {1.55, "e"}, {1.9, "y"}, {2.25, "a"},
                    {2.6, "e"}, {2.95, "X"}, {3.3, "y"}, {3.65, "a"}},
                   {},
                   {{"e", {3, 0, 0.7, 2}}, {"y", {4, 1, 1.05, 3, {{"X", 1}}}}, {"a", {3, 0, 1.05, 3}}},
                   {0.7f, 0.7f, 1.05f},
                   {}},
        DetailCase{"rival, uneven keys",
                   2,
                   {},
                   {{0.5, "h"}, {0.7, "i"}, {1.0, "k"}, {1.4, "u"}, {2.0, "h"}, {2.1, "i"},
                    {2.3, "k"}, {2.6, "u"}},
                   {},
                   {{"h", {2, 0, 0.6, 1}}, {"i", {2, 0, 0.3, 2}}, {"k", {2, 0, 0.5, 2}},
                    {"u", {2, 0, 0.7, 2}}},
                   {},
                   {0.9f, 0.6f}},
        // END: the detail so far, and a unit cut short is no unit.
        DetailCase{"hero abandoned inside a unit",
                   1,
                   {},
                   {{0.5, "e"}, {0.75, "y"}, {1.0, "a"}, {1.5, "e"}, {1.75, "y"}},
                   2.0,
                   {{"e", {2, 0, 0.5, 1}}, {"y", {2, 0, 0.5, 2}}, {"a", {1, 0, 0.25, 1}}},
                   {0.5f},
                   {}},
        // The pause after each hit (0.1 s) is not the player's time. The
        // wrong x stays in the box until Backspace takes it out.
        DetailCase{"training text with a miss",
                   4,
                   {"ab"},
                   {{0.5, "a"}, {1.0, "b"}, {1.5, "x"}, {1.9, "\b"}, {2.0, "a"}},
                   {},
                   {{"a", {3, 1, 0.5, 1, {{"x", 1}}}}, {"b", {1, 0, 0.4, 1}}},
                   {},
                   {}},
        // b comes during a's pause: no time of the player's own, never less.
        DetailCase{"training key typed during the pause",
                   4,
                   {"abc"},
                   {{0.5, "a"}, {0.55, "b"}, {1.0, "c"}},
                   {},
                   {{"a", {1, 0, 0, 0}}, {"b", {1, 0, 0, 1}}, {"c", {1, 0, 0.3, 1}}},
                   {},
                   {}},
        // Composed text judged by Enter: 𠮷 is two keys of the game, one
        // character of the history, and alone a commit of one character,
        // timed; 𠮷野 at once is a phrase, none of it timed.
        DetailCase{"training character beyond U+FFFF",
                   4,
                   {"𠮷野"},
                   {{0.5, "𠮷野", true}, {1.5, "𠮷", true}},
                   {},
                   {{"𠮷", {2, 0, 0.7, 1}}, {"野", {1, 0, 0, 0}}},
                   {},
                   {},
                   2,
                   0},
        // The phrase took 1.9 s of the player's (2.5 less the first key and
        // its pause): kept whole, none of it given to な.
        DetailCase{"training phrase committed through the input method",
                   4,
                   {"かな漢字"},
                   {{0.5, "か", true}, {2.5, "な漢字", true}, {3.5, "x"}, {3.9, "\b"}},
                   {},
                   {{"か", {2, 1, 0, 0, {{"x", 1}}}}, {"な", {1, 0, 0, 0}}, {"漢", {1, 0, 0, 0}},
                    {"字", {1, 0, 0, 0}}},
                   {},
                   {},
                   3,
                   1.9}),
    [](const auto &info) { return "case" + std::to_string(info.index); });

TEST(KeyDetail, VsKeepsEachChantsUnitsApart)
{
    Harness h;
    h.state.gameMode = GameMode::Vs;
    h.state.timeLimitSeconds = 10;
    // The one-block hero line first, then a rival line.
    h.world.queueRandom({0.0, 0.65});
    std::optional<GameResult> ended;
    h.game.setEndOfGameHandler([&](const GameResult &result) { ended = result; });
    h.world.startTicks([&h] { h.game.Timer1_Timer(); });
    h.start();
    const QString keys = QString("eya").repeated(8) + "hiku";
    for (int i = 0; i < keys.size(); ++i)
        h.world.at(h.state.startTime + 0.5 + 0.1 * i, [&h, key = keys[i]] { h.type(key); });
    h.world.advance(12);
    ASSERT_TRUE(ended);
    EXPECT_EQ(ended->correctCount, keys.size());
    ExpectUnits(ended->heroUnitSeconds, std::vector<float>(8, 0.2f));
    ExpectUnits(ended->rivalUnitSeconds, {0.3f});
}
