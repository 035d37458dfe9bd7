// The chant glyphs in the echo boxes and in the echo record.
#include "support/fakes.h"

#include <gtest/gtest.h>

using namespace typetoki;
using namespace typetoki::testing;

TEST(BreakEchoLine, AddsALineEndAfterEveryThreeUnits)
{
    struct Case {
        int length;
        bool breaks;
    };
    for (const Case c : {Case{6, true}, Case{14, true}, Case{22, true}, Case{5, false},
                         Case{7, false}, Case{0, false}, Case{8, false}}) {
        SCOPED_TRACE(c.length);
        const QString text(c.length, u'エ');
        EXPECT_EQ(BreakEchoLine(text, 3), c.breaks ? text + "\r\n" : text);
    }
}

TEST(Echo, HeroUnitsStepByStep)
{
    Harness h;
    h.start();
    struct Step {
        char key;
        const char *box;
        const char *record;
    };
    const Step steps[] = {
        {'e', "エ", "エ"},
        {'y', "エy", "エy"},
        {'a', "エヤ", "エヤ"},
        {'e', "エヤエ", "エヤエ"},
        {'y', "エヤエy", "エヤエy"},
        {'a', "エヤエヤ", "エヤエヤ"},
        {'e', "エヤエヤエ", "エヤエヤエ"},
        {'y', "エヤエヤエy", "エヤエヤエy"},
        {'a', "エヤエヤエヤ\r\n", "エヤエヤエヤ"},
        {'e', "エヤエヤエヤ\r\nエ", "エヤエヤエヤエ"},
    };
    for (const Step &s : steps) {
        SCOPED_TRACE(s.record);
        h.type(QChar(s.key));
        EXPECT_EQ(h.box(Box::Text5_0), QString::fromUtf8(s.box));
        EXPECT_EQ(h.state.currentTarget, QString::fromUtf8(s.record));
    }
    EXPECT_EQ(h.box(Box::Text5_1), "");
}

TEST(Echo, HeroBoxStartsAfreshOnlyAtAUnitPastFiftyNineCharacters)
{
    Harness h;
    h.start();
    // Seven full lines and one unit: 58 characters.
    h.typeText(QString("eya").repeated(22));
    ASSERT_EQ(h.box(Box::Text5_0).size(), 58);
    h.typeText("eya");
    EXPECT_EQ(h.box(Box::Text5_0).size(), 60);
    h.type('e');
    EXPECT_EQ(h.box(Box::Text5_0), "エ");
}

TEST(Echo, RivalUnitsAndAMissInsideAUnit)
{
    Harness h;
    h.state.gameMode = GameMode::Rival;
    h.start();
    h.typeText("hikuhi");
    EXPECT_EQ(h.box(Box::Text5_1), "非苦非");
    EXPECT_EQ(h.state.currentTarget, "非苦非");
    EXPECT_EQ(h.box(Box::Text5_0), "");

    // h, a wrong letter, then i: the record keeps what was typed, the box
    // still turns the pending h into its glyph.
    Harness g;
    g.state.gameMode = GameMode::Rival;
    g.start();
    g.typeText("hXi");
    EXPECT_EQ(g.state.currentTarget, "hXi");
    EXPECT_EQ(g.box(Box::Text5_1), "非");
    g.typeText("ku");
    EXPECT_EQ(g.state.currentTarget, "hXi苦");
    EXPECT_EQ(g.box(Box::Text5_1), "非苦");
}

TEST(Echo, RivalBoxBreaksAndStartsAfresh)
{
    Harness h;
    h.state.gameMode = GameMode::Rival;
    h.start();
    h.typeText(QString("hiku").repeated(3));
    EXPECT_EQ(h.box(Box::Text5_1), "非苦非苦非苦\r\n");
    h.typeText(QString("hiku").repeated(20));
    EXPECT_EQ(h.box(Box::Text5_1).size(), 60);
    h.type('h');
    EXPECT_EQ(h.box(Box::Text5_1), "h");
}

TEST(Echo, OrdinaryLinesEchoNothing)
{
    Harness h;
    h.startTraining({"heya"});
    h.typeText("heya");
    EXPECT_EQ(h.box(Box::Text5_0), "");
    EXPECT_EQ(h.box(Box::Text5_1), "");
    EXPECT_EQ(h.state.currentTarget, "heya");
}

TEST(Echo, VsModeKeepsEachChantInItsOwnBox)
{
    Harness h;
    h.state.gameMode = GameMode::Vs;
    h.world.queueRandom({0.0});  // first line: one hero block
    h.start();
    h.world.queueRandom({0.5});  // next: one rival block
    h.typeText(QString("eya").repeated(8));
    EXPECT_EQ(h.box(Box::Text4), QString("hiku").repeated(6));
    h.typeText("hiku");
    EXPECT_EQ(h.box(Box::Text5_0).size(), 8 * 2 + 2 * 2);
    EXPECT_EQ(h.box(Box::Text5_1), "非苦");
}
