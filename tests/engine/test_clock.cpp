// The tick: seconds left, score, speed, peak speed and the end of a game.
#include "engine/numbers.h"
#include "engine/rank.h"
#include "support/fakes.h"
#include "support/text.h"

#include <QDateTime>
#include <gtest/gtest.h>
#include <vector>

using namespace typetoki;
using namespace typetoki::testing;

namespace {

struct TickingHarness : Harness {
    TickingHarness()
    {
        world.startTicks([this] { game.Timer1_Timer(); });
    }
    // Training lines are Japanese: their characters arrive composed and are
    // judged by Enter.
    void enterNextCharacter()
    {
        screen.setText(Box::Text1, box(Box::Text4).left(1));
        game.Command1_Click();
    }
};

}  // namespace

TEST(Clock, SixtySecondGameWithOneHundredFiftyHits)
{
    TickingHarness h;
    h.start();
    const double t0 = h.state.startTime;
    // 150 hits spread over the game, each followed by its 0.05 s pause.
    for (int i = 0; i < 150; ++i) {
        h.world.at(t0 + 0.3 * i + 0.01, [&h] { h.type(h.box(Box::Text4).at(0)); });
    }
    h.screen.label4History.clear();
    h.world.advance(62);
    EXPECT_EQ(h.state.gamePhase, kIdle);
    EXPECT_EQ(h.state.correctCount, 150);
    EXPECT_EQ(h.box(Box::Text2_6), "2.5");
    EXPECT_EQ(h.screen.messages, QStringList{"終了！"});
    EXPECT_EQ(h.state.scoreBoardFlag, 1);
    QStringList expected;
    for (int s = 59; s >= 0; --s)
        expected << QString::number(s);
    h.screen.label4History.removeDuplicates();
    EXPECT_EQ(h.screen.label4History, expected);
}

TEST(Clock, AGameAcrossMidnightEndsOnTime)
{
    // Seconds since midnight would wrap from 86399 to 0 in this game; the
    // monotonic clock does not.
    TickingHarness h;
    h.world.setTime(86390.0);
    h.world.startTicks([&h] { h.game.Timer1_Timer(); });
    h.state.timeLimitSeconds = 10;
    h.start();
    double ended = 0;
    h.screen.onMessage = [&] { ended = h.world.now() - h.state.startTime; };
    h.world.advance(30);
    EXPECT_DOUBLE_EQ(ended, 10.25);
}

TEST(Clock, TheFirstSecondOfPlayChangesNothing)
{
    TickingHarness h;
    h.start();
    h.screen.label4History.clear();
    h.world.advance(0.99);
    EXPECT_TRUE(h.screen.label4History.isEmpty());
    EXPECT_EQ(h.box(Box::Text2_6), "");
    h.world.advance(0.3);
    EXPECT_EQ(h.box(Box::Label4), "59");  // floor(60 - 1.25 + 1)
    EXPECT_EQ(h.box(Box::Text2_6), "0");
}

TEST(Clock, AGameWithoutKeysEndsWithEmptyBoxesAndZeroSpeed)
{
    TickingHarness h;
    h.state.timeLimitSeconds = 10;
    h.start();
    h.world.advance(11);
    EXPECT_EQ(h.state.gamePhase, kIdle);
    EXPECT_EQ(h.box(Box::Text2_6), "0");
    EXPECT_EQ(h.box(Box::Text2_7), "");
    EXPECT_EQ(h.box(Box::Text2_3), "");
    EXPECT_EQ(h.box(Box::Text2_5), "");
}

TEST(Clock, PeakSpeedCountsOnlyFromFiveSecondsOn)
{
    TickingHarness h;
    h.start();
    const double t0 = h.state.startTime;
    // Ten quick hits in the first second: the speed at two seconds is 5.
    for (int i = 0; i < 10; ++i)
        h.world.at(t0 + 0.06 * i + 0.001, [&h] { h.type(h.box(Box::Text4).at(0)); });
    h.world.advance(3.1);
    EXPECT_EQ(h.box(Box::Text2_6), "3.33");
    EXPECT_EQ(h.box(Box::Text2_7), "");
    EXPECT_EQ(h.state.peakSpeed, 0);
    h.world.advance(2.0);
    EXPECT_EQ(h.box(Box::Text2_6), "2");
    EXPECT_EQ(h.box(Box::Text2_7), "2");
    h.world.advance(3.0);
    EXPECT_EQ(h.box(Box::Text2_7), "2");  // slower now: the peak stays
}

TEST(Clock, ScoreIsCutToTwoDecimals)
{
    struct Case {
        double score;
        const char *shown;
    };
    for (const Case c : {Case{12.3456, "12.34"}, Case{0, "0"}, Case{2.2, "2.2"}, Case{99.999, "99.99"}}) {
        SCOPED_TRACE(c.shown);
        TickingHarness h;
        h.start();
        h.state.score = c.score;
        h.world.advance(1.5);
        EXPECT_EQ(h.box(Box::Text3), c.shown);
    }
}

TEST(Clock, TrainingPausesDoNotCountAgainstThePlayer)
{
    TickingHarness h;
    h.state.gameMode = GameMode::Training;
    h.state.timeLimitSeconds = 10;
    h.state.sliderValue = 0.5f;
    h.state.trainingTextPath = QStringLiteral(TYPETOKI_BIN_DIR "/test.txt");
    h.start();
    ASSERT_EQ(h.state.gamePhase, kPlaying);
    const double t0 = h.state.startTime;
    // Four hits: two seconds of pauses.
    for (int i = 0; i < 4; ++i)
        h.world.at(t0 + 1 + i, [&h] { h.enterNextCharacter(); });
    double ended = 0;
    h.screen.onMessage = [&] { ended = h.world.now() - t0; };
    h.world.advance(20);
    EXPECT_DOUBLE_EQ(h.state.pausedSeconds, 2.0);
    EXPECT_GT(ended, 12.0);
    EXPECT_LT(ended, 12.5);
}

TEST(Clock, PausesLongerThanThePlayLeaveTheSpeedAlone)
{
    TickingHarness h;
    h.state.gameMode = GameMode::Training;
    h.state.sliderValue = 3.0f;
    h.state.trainingTextPath = QStringLiteral(TYPETOKI_BIN_DIR "/test.txt");
    h.start();
    h.world.at(h.state.startTime + 0.1, [&h] { h.enterNextCharacter(); });
    h.world.advance(1.5);
    EXPECT_EQ(h.box(Box::Text2_6), "");  // no whole second of counted time yet
}

TEST(Clock, TheEndInsideAPauseStopsThePass)
{
    TickingHarness h;
    h.state.timeLimitSeconds = 10;
    h.state.sliderValue = 0.1f;
    h.startTraining({"ab"});
    const double t0 = h.state.startTime;
    // The last hit's pause spans the tick that ends the game.
    h.world.at(t0 + 10.23, [&h] { h.type('a'); });
    h.world.advance(12);
    EXPECT_EQ(h.screen.messages, QStringList{"終了！"});
    EXPECT_EQ(h.box(Box::Text4), "b");
    EXPECT_EQ(h.box(Box::Text2_6), "0.1");  // the final speed, not overwritten
}

TEST(Shutdown, ClosingDuringTheCountdownEndsItAtOnce)
{
    Harness h;
    h.world.at(h.world.now() + 1.2, [&h] { h.game.Shutdown(); });
    h.start();
    EXPECT_EQ(h.state.gamePhase, kIdle);
    EXPECT_EQ(h.world.cancels, 1);
    EXPECT_FALSE(h.screen.label4History.contains("60"));
    EXPECT_LT(h.world.now() - 1000.0, 1.3);
    // Nothing starts once the window is closing.
    h.start();
    EXPECT_EQ(h.state.gamePhase, kIdle);
}

TEST(Shutdown, ClosingDuringTheMissFlashUnlocksAndStops)
{
    Harness h;
    h.start();
    h.world.at(h.world.now() + 0.07, [&h] { h.game.Shutdown(); });
    const int waitsBefore = h.world.waits;
    h.type('X');
    EXPECT_EQ(h.state.inputLocked, 0);
    EXPECT_LE(h.world.waits - waitsBefore, 3);
    EXPECT_EQ(h.screen.backgrounds.back(), kGreenBackground);
}

TEST(EndOfGame, EveryGameEndsInOneResultOfTheFiguresAsShown)
{
    struct Case {
        const char *what;
        bool abandoned;
    };
    for (const Case c : {Case{"time up", false}, Case{"END", true}}) {
        SCOPED_TRACE(c.what);
        TickingHarness h;
        h.state.gameMode = GameMode::Rival;
        h.state.timeLimitSeconds = 10;
        std::vector<GameResult> results;
        QDateTime endedAt;
        h.game.setEndOfGameHandler([&](const GameResult &r) {
            results.push_back(r);
            endedAt = h.world.localDateTime();
        });
        h.start();
        const double t0 = h.state.startTime;
        for (int i = 0; i < 12; ++i)
            h.world.at(t0 + 0.4 * i + 0.01, [&h] { h.type(h.box(Box::Text4).at(0)); });
        h.world.at(t0 + 6.01, [&h] { h.type('X'); });
        if (c.abandoned)
            h.world.at(t0 + 7.6, [&h] { h.game.Command3_Click(); });
        h.world.advance(12);

        ASSERT_EQ(results.size(), 1u);
        const GameResult &r = results[0];
        EXPECT_EQ(r.abandoned, c.abandoned);
        EXPECT_EQ(r.gameMode, GameMode::Rival);
        EXPECT_EQ(r.timeLimitSeconds, 10);
        EXPECT_EQ((QStringList{r.judgedText, r.correctText, r.accuracyText, r.speedText, r.peakText,
                               r.scoreText}),
                  (QStringList{h.box(Box::Text2_3), h.box(Box::Text2_4), h.box(Box::Text2_5),
                               h.box(Box::Text2_6), h.box(Box::Text2_7), h.box(Box::Text3)}));
        EXPECT_EQ(r.judgedText, "13");
        EXPECT_EQ(r.accuracyText, "92.3");
        // The final speed is hits over the whole limit; END keeps the last tick's.
        EXPECT_EQ(r.speedText, c.abandoned ? "1.71" : "1.2");
        EXPECT_EQ(r.inputCount, 13);
        EXPECT_EQ(r.correctCount, 12);
        EXPECT_EQ(r.echoRecord, h.state.currentTarget);
        EXPECT_TRUE(r.echoRecord.startsWith(u"非苦非苦非苦"_qs));
        // Only a finished game is graded; it never reached the result screen.
        const int rank = RankIndex(ReadNumber(r.scoreText), GameMode::Rival, 10);
        EXPECT_EQ(r.rankIndex, c.abandoned ? 0 : rank);
        EXPECT_EQ(r.rankTitle, c.abandoned ? QString() : RankRowFor(rank).title);
        // Dated by the calendar the game was given, at its end.
        EXPECT_EQ(r.playedAt, endedAt);
        EXPECT_GT(r.playedAt, h.world.calendarStart);
        EXPECT_EQ(h.state.scoreBoardFlag, c.abandoned ? 0 : 1);
        EXPECT_EQ(h.screen.messages, c.abandoned ? QStringList() : QStringList{u"終了！"_qs});
    }
}
