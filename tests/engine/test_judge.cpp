// Judging every typed character: hits, misses, score, sounds and pauses, and
// the passes that run nested inside a pause.
#include "support/fakes.h"

#include <gtest/gtest.h>

using namespace typetoki;
using namespace typetoki::testing;

TEST(Judge, FirstAndSecondHitOnAHeroLine)
{
    Harness h;
    h.start();
    h.world.sounds.clear();
    h.type('e');
    EXPECT_EQ(h.box(Box::Text1), "");
    EXPECT_TRUE(h.box(Box::Text4).startsWith("yaeya"));
    EXPECT_EQ(h.box(Box::Text2_3), "1");
    EXPECT_EQ(h.box(Box::Text2_4), "1");
    EXPECT_EQ(h.box(Box::Text2_5), "100");
    EXPECT_EQ(h.state.score, 0);  // the accuracy box was still empty
    EXPECT_EQ(h.world.sounds, (QStringList{"stop", "play hero"}));

    h.type('y');
    EXPECT_DOUBLE_EQ(h.state.score, 2.2);
}

TEST(Judge, AMissIsCaseSensitiveEmptiesAChantLineAndFlashesTwice)
{
    Harness h;
    h.start();
    h.type('e');
    h.world.sounds.clear();
    const QString target = h.box(Box::Text4);
    h.type('Y');
    EXPECT_EQ(h.box(Box::Text1), "");
    EXPECT_EQ(h.box(Box::Text4), target);
    EXPECT_EQ(h.box(Box::Text2_5), "50");
    EXPECT_EQ(h.world.sounds, (QStringList{"stop", "play miss"}));
    const Rgb red = MakeRgb(255, 0, 0), green = MakeRgb(0, 64, 0);
    EXPECT_EQ(h.screen.backgrounds, (std::vector<Rgb>{red, green, red, green}));
    EXPECT_EQ(h.state.inputLocked, 0);
}

TEST(Judge, AccuracyIsCutNotRounded)
{
    struct Case {
        const char *keys;
        const char *accuracy;
    };
    // Two hits in three: 66.66, never 66.67.
    for (const Case c : {Case{"eXy", "66.66"}, Case{"eyaeXX", "66.66"}, Case{"eXXy", "50"},
                         Case{"eyaeyaX", "85.71"}}) {
        SCOPED_TRACE(c.keys);
        Harness h;
        h.start();
        h.typeText(c.keys);
        EXPECT_EQ(h.box(Box::Text2_5), c.accuracy);
    }
}

TEST(Judge, TrainingLineSkipsInnerBlanksAndKeepsAWrongCharacter)
{
    Harness h;
    h.state.sliderValue = 0.1f;
    h.startTraining({"ab cd"});
    h.typeText("abcd");
    EXPECT_EQ(h.state.correctCount, 4);
    EXPECT_EQ(h.state.inputCount, 4);
    EXPECT_DOUBLE_EQ(h.state.pausedSeconds, 4 * double(0.1f));
}

TEST(Judge, ALookAlikeTypedOnLinuxIsTheTrainingTextsOwnCharacter)
{
    // Anthy and Mozc type 〜 where a code page 932 text has ～, and so on
    // for seven marks; those pairs hit either way round, nothing else does.
    struct Case {
        const char *target;
        const char *typed;
        bool hit;
    };
    const Case cases[] = {
        {"～", "〜", true}, {"－", "−", true}, {"∥", "‖", true}, {"―", "—", true},
        {"￠", "¢", true},  {"￡", "£", true}, {"￢", "¬", true}, {"〜", "～", true},
        {"～", "~", false},  // ASCII tilde
        {"－", "-", false},  // ASCII hyphen
        {"ー", "−", false},  // the long vowel mark
        {"―", "－", false},
        {"〜", "−", false},
        {"Ａ", "A", false},  // no width folding
        {"a", "A", false},
        {"¥", "\\", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.target) + " typed as " + c.typed);
        Harness h;
        h.startTraining({QString::fromUtf8(c.target) + "x"});
        h.screen.setText(Box::Text1, QString::fromUtf8(c.typed));
        h.game.Command1_Click();
        EXPECT_EQ(h.state.correctCount, c.hit ? 1 : 0);
        EXPECT_EQ(h.box(Box::Text4), c.hit ? "x" : QString::fromUtf8(c.target) + "x");
    }
}

TEST(Judge, TabsInATrainingLineAreSkippedLikeBlanks)
{
    Harness h;
    // The file's line loses its outer tabs as it is read; the inner ones
    // stay in the line.
    h.startTraining({"\ta\tb\u3000\tc\t"});
    h.typeText("abc");
    EXPECT_EQ(h.state.correctCount, 3);
    EXPECT_EQ(h.state.inputCount, 3);
    EXPECT_NE(h.box(Box::Text4), "\t");  // used up; the next line is shown
}

TEST(Judge, ComposedInputJudgedByEnterStopsAtTheFirstMiss)
{
    Harness h;
    h.startTraining({"日本語"});
    // Text composed by the input method arrives without a printable key.
    h.screen.setText(Box::Text1, "日x語");
    EXPECT_EQ(h.state.inputCount, 0);
    h.game.Command1_Click();
    EXPECT_EQ(h.state.inputCount, 2);
    EXPECT_EQ(h.state.correctCount, 1);
    EXPECT_EQ(h.box(Box::Text1), "x語");
    EXPECT_EQ(h.box(Box::Text4), "本語");
    EXPECT_EQ(h.state.currentTarget, "日x");
}

TEST(Judge, EnterWithNothingTypedOnlyRefreshesAndShowsTheNextLine)
{
    // The line's last character hit leaves an empty target line for the
    // pause after it; an Enter pressed in that pause, with nothing typed,
    // judges nothing and brings the next line in at once.
    Harness h;
    h.state.sliderValue = 0.5f;
    h.startTraining({"a"});
    bool pressed = false;
    h.world.at(h.world.now() + 0.2, [&h, &pressed] {
        ASSERT_EQ(h.box(Box::Text4), "");
        h.game.Command1_Click();
        pressed = true;
        EXPECT_EQ(h.state.inputCount, 1);
        EXPECT_EQ(h.box(Box::Text2_3), "1");
        EXPECT_EQ(h.box(Box::Text2_5), "100");
        EXPECT_EQ(h.box(Box::Text4), "a");
    });
    h.screen.setText(Box::Text1, "a");
    h.game.Command1_Click();
    EXPECT_TRUE(pressed);
    EXPECT_EQ(h.state.inputCount, 1);
    EXPECT_EQ(h.box(Box::Text4), "a");
}

TEST(Judge, BackspaceEmptiesTheBoxOnlyInTheChantModes)
{
    for (int mode : {1, 4}) {
        SCOPED_TRACE(mode);
        Harness h;
        if (mode == 4)
            h.startTraining({"zzz"});
        else
            h.start();
        h.screen.boxes[Box::Text1] = "日本";
        h.type(QChar(8));
        EXPECT_EQ(h.box(Box::Text1), mode == 1 ? "" : "日");
        EXPECT_EQ(h.state.inputCount, 0);
    }
}

TEST(Judge, OrdinaryLinesDrawAChantSoundForEachRunOfSixHits)
{
    Harness h;
    h.startTraining({"abcdefghijkl"});
    h.world.queueRandom({0.7, 0.2});  // rival for six hits, then hero
    h.typeText("abcdefghijkl");
    QStringList plays = h.world.sounds.filter("play");
    ASSERT_EQ(plays.size(), 12);
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(plays[i], i < 6 ? "play rival" : "play hero") << i;
}

TEST(Judge, ChantPauseCountsAndTrainingPauseDoesNot)
{
    Harness h;
    h.start();
    const double before = h.world.now();
    h.type('e');
    EXPECT_NEAR(h.world.now() - before, 0.05, 1e-9);
    EXPECT_EQ(h.state.pausedSeconds, 0);
}

TEST(Judge, NegativeTrainingPauseWaitsForNothingAndAddsNothing)
{
    Harness h;
    h.state.sliderValue = -2.5f;
    h.startTraining({"ab"});
    const double before = h.world.now();
    h.typeText("ab");
    EXPECT_EQ(h.state.correctCount, 2);
    EXPECT_EQ(h.state.pausedSeconds, 0);
    EXPECT_EQ(h.world.now(), before);
}

TEST(Judge, APauseFarBeyondTheSliderEndsWithTheGame)
{
    Harness h;
    h.state.sliderValue = 1e30f;
    h.startTraining({"ab"});
    const double ended = h.world.now() + 2;
    h.world.at(ended, [&] { h.game.Command3_Click(); });
    h.type('a');
    EXPECT_EQ(h.state.gamePhase, kIdle);
    EXPECT_LT(h.world.now() - ended, 0.5);
}

TEST(Nested, AKeyTypedDuringThePauseIsJudgedAtOnce)
{
    Harness h;
    h.start();
    h.world.at(h.world.now() + 0.02, [&] { h.type('y'); });
    h.type('e');
    EXPECT_EQ(h.state.correctCount, 2);
    EXPECT_TRUE(h.box(Box::Text4).startsWith("aeya"));
    EXPECT_EQ(h.box(Box::Text2_3), "2");
}

TEST(Nested, AKeyAfterTheLastCharacterOfALineIsAMiss)
{
    Harness h;
    h.state.sliderValue = 0.1f;
    h.startTraining({"a", QString("eya").repeated(8)});
    // The hit's sound, then the line after it: the chant line.
    h.world.queueRandom({0.0, 0.9});
    h.world.at(h.world.now() + 0.05, [&] { h.type('e'); });
    h.type('a');
    // The nested key met the emptied target line: a miss, and on an ordinary
    // line the wrong character stays in the box. The nested pass then showed
    // a chant line, and the resumed outer pass judged the waiting "e" on it.
    EXPECT_EQ(h.state.inputCount, 3);
    EXPECT_EQ(h.state.correctCount, 2);
    EXPECT_EQ(h.state.currentTarget, "aeエ");
    EXPECT_EQ(h.box(Box::Text1), "");
    EXPECT_TRUE(h.box(Box::Text4).startsWith("yaeya"));
}

TEST(Nested, KeysDuringTheMissFlashLandButAreNotJudgedUntilLater)
{
    Harness h;
    h.start();
    h.world.at(h.world.now() + 0.03, [&] { h.type('e'); });
    h.type('X');
    EXPECT_EQ(h.state.inputCount, 1);
    EXPECT_EQ(h.box(Box::Text1), "e");
    h.game.Command1_Click();
    EXPECT_EQ(h.state.inputCount, 2);
    EXPECT_EQ(h.state.correctCount, 1);
}

TEST(Nested, APassResumedAfterTheGameEndedJudgesNoMore)
{
    Harness h;
    h.state.sliderValue = 0.5f;
    h.startTraining({"abc"});
    h.screen.setText(Box::Text1, "ab");  // composed text, judged by Enter
    h.world.at(h.world.now() + 0.01, [&] { h.game.Command3_Click(); });
    h.game.Command1_Click();
    EXPECT_EQ(h.state.inputCount, 1);
    EXPECT_EQ(h.state.correctCount, 1);
    EXPECT_EQ(h.box(Box::Text1), "b");
    EXPECT_EQ(h.box(Box::Text2_3), "");
}

TEST(Nested, APassResumedAfterTheGameEndedShowsNoNewLine)
{
    Harness h;
    h.startTraining({"a"});
    h.world.at(h.world.now() + 0.01, [&] { h.game.Command3_Click(); });
    h.type('a');
    EXPECT_EQ(h.state.correctCount, 1);
    EXPECT_EQ(h.box(Box::Text4), "");
}

TEST(Nested, AMissFlashCutShortByTheEndLeavesTheWindowGreenAndUnlocked)
{
    Harness h;
    h.start();
    h.world.at(h.world.now() + 0.02, [&] { h.game.Command3_Click(); });
    h.type('X');
    EXPECT_EQ(h.state.inputLocked, 0);
    EXPECT_EQ(h.screen.backgrounds.back(), kGreenBackground);
    EXPECT_EQ(h.screen.backgrounds.size(), 2u);  // the second flash never came
}

TEST(Counters, PassThirtyTwoThousandWithoutWrapping)
{
    Harness h;
    h.start();
    h.state.inputCount = 32767;
    h.state.correctCount = 32767;
    h.type('e');
    EXPECT_EQ(h.box(Box::Text2_3), "32768");
    EXPECT_EQ(h.box(Box::Text2_5), "100");
}
