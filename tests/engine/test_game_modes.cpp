// Picking a mode, starting, the countdown, abandoning, and the target lines.
#include "engine/cp932.h"
#include "support/fakes.h"
#include "support/text.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace typetoki;
using namespace typetoki::testing;

TEST(Select, CyclesTheFourModesWithTheirCaptionsAndColours)
{
    struct Step {
        int mode;
        const char *caption;
        Rgb color;
    };
    const Step steps[] = {
        {2, "ヴォルグ\u3000+\u3000ダーク・ゲート", MakeRgb(255, 0, 255)},
        {3, "雷堂剛介(ブロンズガード) vs ヴォルグ(ダーク・ゲート)", MakeRgb(255, 128, 0)},
        {4, "修行モード【一般テキスト】", MakeRgb(255, 255, 0)},
        {1, "雷堂剛介\u3000+\u3000ブロンズガード", MakeRgb(255, 0, 0)},
    };
    Harness h;
    for (const Step &step : steps) {
        SCOPED_TRACE(step.mode);
        h.game.Command5_Click();
        EXPECT_EQ(h.state.gameMode, GameMode(step.mode));
        EXPECT_EQ(h.screen.modeCaption, QString::fromUtf8(step.caption));
        EXPECT_EQ(h.screen.modeColor, step.color);
    }
}

TEST(Select, FromAModeOutsideTheRangeComesBackToOne)
{
    Harness h;
    h.state.gameMode = GameMode(9);
    h.game.Command5_Click();
    EXPECT_EQ(h.state.gameMode, GameMode::Hero);
}

TEST(Select, StepsOnlyThroughTheSelectableModesOfTheTable)
{
    // From each mode of the table SELECT goes to a mode it may show, and
    // from the first selectable one it comes round through all of them.
    std::vector<GameMode> selectable;
    for (const ModeRow &row : kModes) {
        if (row.selectable)
            selectable.push_back(row.mode);
        const ModeRow *next = RowOf(NextSelectableMode(row.mode));
        ASSERT_NE(next, nullptr) << int(row.mode);
        EXPECT_TRUE(next->selectable) << int(row.mode);
    }
    ASSERT_FALSE(selectable.empty());
    GameMode mode = selectable.front();
    for (std::size_t i = 1; i <= selectable.size(); ++i) {
        mode = NextSelectableMode(mode);
        EXPECT_EQ(mode, selectable[i % selectable.size()]);
    }
    // Numbers no mode has: past the last a hand-edited file goes back to the
    // first; below the first it steps up one at a time, as it always did.
    struct Case {
        int from, to;
    };
    for (const Case c : {Case{9, 1}, Case{32767, 1}, Case{0, 1}, Case{-3, -2}})
        EXPECT_EQ(NextSelectableMode(GameMode(c.from)), GameMode(c.to)) << c.from;
}

TEST(StartGame, CountsDownThreeTwoOneThenShowsTheTimeLimit)
{
    Harness h;
    h.state.timeLimitSeconds = 30;
    const double before = h.world.now();
    h.start();
    EXPECT_EQ(h.screen.label4History, (QStringList{"3", "2", "1", "0", "30"}));
    EXPECT_EQ(h.screen.label4Color, MakeRgb(255, 0, 0));
    EXPECT_EQ(h.state.gamePhase, kPlaying);
    EXPECT_NEAR(h.state.startTime - before, 3.0, 1e-9);
    EXPECT_EQ(h.box(Box::Text4).size(), 2400);
    EXPECT_EQ(h.screen.inputMethod, InputMethod::Off);
    EXPECT_EQ(h.world.reseeds, 1);
    EXPECT_TRUE(h.world.preloaded.contains("/game/eya.wav"));
}

TEST(StartGame, ResetsCountersAndBoxesButKeepsTheEchoRecordFromTheMenu)
{
    Harness h;
    h.start();
    h.typeText("ey");
    h.game.Command3_Click();
    ASSERT_EQ(h.box(Box::Text2_3), "2");
    EXPECT_EQ(h.box(Box::Label4), "0");

    h.game.StartGame();  // the menu's way: the record runs on
    EXPECT_EQ(h.state.currentTarget, "エy");
    EXPECT_EQ(h.state.inputCount, 0);
    EXPECT_EQ(h.box(Box::Text2_3), "");
    EXPECT_EQ(h.box(Box::Text3), "0");
    EXPECT_EQ(h.box(Box::Text5_0), "");

    h.game.Command3_Click();
    h.start();  // START empties it
    EXPECT_EQ(h.state.currentTarget, "");
}

TEST(Guards, EachButtonActsOnlyInItsPhase)
{
    Harness h;
    // END while idle does nothing.
    h.game.Command3_Click();
    EXPECT_TRUE(h.screen.label4History.isEmpty());

    // During the countdown: START, SELECT, END and typing are ignored.
    h.world.at(h.world.now() + 1.5, [&] {
        EXPECT_EQ(h.state.gamePhase, kCountdown);
        h.game.Command2_Click();
        h.game.Command5_Click();
        h.game.Command3_Click();
        h.typeText("eya");
        h.game.Command1_Click();
    });
    h.start();
    EXPECT_EQ(h.state.gameMode, GameMode::Hero);
    EXPECT_EQ(h.screen.label4History.count("3"), 1);
    // What was typed during the countdown is discarded, never judged.
    EXPECT_EQ(h.box(Box::Text1), "");
    EXPECT_EQ(h.state.inputCount, 0);

    // While playing: START and SELECT are ignored.
    h.game.Command2_Click();
    h.game.Command5_Click();
    EXPECT_EQ(h.state.gameMode, GameMode::Hero);
    EXPECT_EQ(h.screen.label4History.count("3"), 1);
}

TEST(Guards, EndDuringPlayKeepsTheFiguresAndOpensNothing)
{
    Harness h;
    h.start();
    h.typeText("eyaX");
    const QString accuracy = h.box(Box::Text2_5);
    h.game.Command3_Click();
    EXPECT_EQ(h.state.gamePhase, kIdle);
    EXPECT_EQ(h.box(Box::Label4), "0");
    EXPECT_EQ(h.box(Box::Text2_5), accuracy);
    EXPECT_EQ(h.state.scoreBoardFlag, 0);
    EXPECT_TRUE(h.screen.messages.isEmpty());
}

TEST(Guards, BadModeOrTimeLimitRefusesToStartWithAMessage)
{
    struct Case {
        int mode;
        int limit;
    };
    for (const Case c : {Case{0, 60}, Case{5, 60}, Case{-3, 60}, Case{1, 0}, Case{2, -10}}) {
        SCOPED_TRACE(QString("mode %1 limit %2").arg(c.mode).arg(c.limit).toStdString());
        Harness h;
        h.state.gameMode = GameMode(c.mode);
        h.state.timeLimitSeconds = std::int16_t(c.limit);
        h.start();
        EXPECT_EQ(h.state.gamePhase, kIdle);
        EXPECT_EQ(h.screen.messages.size(), 1);
        EXPECT_TRUE(h.screen.label4History.isEmpty());
    }
}

TEST(Guards, ARefusedStartLeavesTheLastGameOnShow)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString blank = dir.filePath("blank.txt");
    {
        QFile f(blank);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("  \r\n\t\r\n\x81\x40\r\n");
    }
    struct Case {
        const char *what;
        std::int16_t mode;
        std::int16_t limit;
        QString training;
    };
    const Case cases[] = {
        {"missing training text", 4, 60, dir.filePath("missing.txt")},
        {"blank training text", 4, 60, blank},
        {"mode outside 1 to 4", 9, 60, blank},
        {"no time limit", 1, 0, blank},
    };
    const Box shown[] = {Box::Text2_3, Box::Text2_4, Box::Text2_5, Box::Text2_6, Box::Text2_7,
                         Box::Text3,   Box::Text5_0, Box::Text5_1, Box::Label4};
    for (const Case &c : cases) {
        for (const bool fromMenu : {false, true}) {
            SCOPED_TRACE(std::string(c.what) + (fromMenu ? ", from the menu" : ", by START"));
            Harness h;
            h.start();
            h.typeText("eyaeyXhi");
            h.world.advance(2);
            h.game.Command3_Click();
            QMap<Box, QString> before;
            for (Box b : shown)
                before[b] = h.box(b);
            const QString record = h.state.currentTarget;
            ASSERT_FALSE(before[Box::Text2_4].isEmpty());
            ASSERT_FALSE(before[Box::Text5_0].isEmpty());

            h.state.gameMode = GameMode(c.mode);
            h.state.timeLimitSeconds = c.limit;
            h.state.trainingTextPath = c.training;
            if (fromMenu)
                h.game.StartGame();
            else
                h.game.Command2_Click();
            EXPECT_EQ(h.state.gamePhase, kIdle);
            EXPECT_EQ(h.screen.messages.size(), 1);
            for (Box b : shown)
                EXPECT_EQ(h.box(b), before[b]) << int(b);
            EXPECT_EQ(h.state.currentTarget, record);
        }
    }
}

TEST(Lines, EachChantModeBuildsItsLines)
{
    Harness h;
    h.start();
    ASSERT_EQ(h.game.lines().size(), 2u);
    EXPECT_EQ(h.game.lines()[1], QString("eya").repeated(800));
    h.game.Command3_Click();
    h.state.gameMode = GameMode::Rival;
    h.start();
    ASSERT_EQ(h.game.lines().size(), 2u);
    EXPECT_EQ(h.game.lines()[1], QString("hiku").repeated(3000));

    h.game.Command3_Click();
    h.state.gameMode = GameMode::Vs;
    h.start();
    ASSERT_EQ(h.game.lines().size(), 11u);
    for (int k = 1; k <= 5; ++k) {
        EXPECT_EQ(h.game.lines()[k], QString("eya").repeated(8 * k));
        EXPECT_EQ(h.game.lines()[5 + k], QString("hiku").repeated(6 * k));
    }
}

TEST(Lines, NextLineDrawsUniformlyAndClassifiesTheLine)
{
    Harness h;
    h.state.gameMode = GameMode::Vs;
    struct Draw {
        double r;
        int length;
        LineKind kind;
        InputMethod method;
    };
    const Draw draws[] = {
        {0.0, 24, LineKind::Hero, InputMethod::Off},            // entry 1
        {0.45, 120, LineKind::Hero, InputMethod::Off},          // entry 5
        {0.5, 24, LineKind::Rival, InputMethod::Off},           // entry 6
        {0.9999999999, 120, LineKind::Rival, InputMethod::Off}, // entry 10
    };
    for (const Draw &d : draws) {
        SCOPED_TRACE(d.r);
        h.world.queueRandom({d.r});
        h.start();  // the first line of a game is drawn as every other
        h.game.Command3_Click();
        EXPECT_EQ(h.box(Box::Text4).size(), d.length);
        EXPECT_EQ(h.game.lineKind(), d.kind);
        EXPECT_EQ(h.screen.inputMethod, d.method);
    }
}

class TrainingText : public ::testing::Test {
protected:
    void write(const QByteArray &bytes)
    {
        QFile f(dir.filePath("test.txt"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QTemporaryDir dir;
    Harness h;
};

TEST_F(TrainingText, BlankLinesVanishAndBlanksAreTrimmed)
{
    h.state.setProgramFolder(dir.path());
    // "　" (U+3000) in code page 932 is 81 40.
    write("  abc  \r\n\r\n   \r\n\x81\x40" "def\x81\x40\r\n\t\t\r\n\tg\th\t\r\neyaX\r\nhiku");
    h.state.gameMode = GameMode::Training;
    h.start();
    ASSERT_EQ(h.state.gamePhase, kPlaying);
    EXPECT_EQ(h.game.lines().all(), (std::vector<QString>{"", "abc", "def", "g\th", "eyaX", "hiku"}));
    // An empty path means the file beside the program, and it is kept.
    EXPECT_EQ(h.state.trainingTextPath, dir.filePath("test.txt"));
}

TEST_F(TrainingText, EitherEncodingAndNoEndOfFileMark)
{
    // UTF-8 as Linux editors write it, code page 932 otherwise, even when
    // the first byte that is not UTF-8 comes a long way in; a final 0x1A
    // of MS-DOS editors is no line, one inside the text stays.
    const QByteArray ascii = QByteArray("abc\r\n").repeated(300000);  // past the first piece
    struct Case {
        const char *name;
        QByteArray bytes;
        std::vector<QString> lines;  // without the shared ASCII lines
        bool afterAscii;
    };
    const Case cases[] = {
        {"UTF-8", U("日本\n語").toUtf8(), {"", U("日本"), U("語")}, false},
        {"code page 932", "\x93\xfa\x96\x7b\r\n", {"", U("日本")}, false},
        {"code page 932 after a megabyte of ASCII", "\x93\xfa\x96\x7b\r\n", {"", U("日本")}, true},
        {"UTF-8 after a megabyte of ASCII", U("日本").toUtf8(), {"", U("日本")}, true},
        {"marked UTF-8 with a stray byte", "\xEF\xBB\xBF" + U("日").toUtf8() + "\xFF",
         {"", U("日") + QChar(EscapedByte(0xFF))}, false},
        {"end-of-file mark after the last line", "abc\r\n\x1A", {"", "abc"}, false},
        {"end-of-file mark ending the last line", "abc\x1A", {"", "abc"}, false},
        {"0x1A inside the text", "a\x1A" "b\r\n", {"", "a\x1A" "b"}, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        write(c.afterAscii ? ascii + c.bytes : c.bytes);
        h.state.gameMode = GameMode::Training;
        h.state.trainingTextPath = dir.filePath("test.txt");
        h.start();
        ASSERT_EQ(h.state.gamePhase, kPlaying);
        h.game.Command3_Click();
        std::vector<QString> lines = h.game.lines().all();
        if (c.afterAscii) {
            ASSERT_EQ(lines.size(), 300002u);
            EXPECT_EQ(lines[1], "abc");
            lines.erase(lines.begin() + 1, lines.begin() + 300001);
        }
        EXPECT_EQ(lines, c.lines);
    }
}

TEST_F(TrainingText, ALineStartingWithTheChantIsAChantLine)
{
    write("eya and more\r\n");
    h.state.trainingTextPath = dir.filePath("test.txt");
    h.state.gameMode = GameMode::Training;
    h.start();
    EXPECT_EQ(h.box(Box::Text4), "eya and more");
    EXPECT_EQ(h.game.lineKind(), LineKind::Hero);
    EXPECT_EQ(h.screen.inputMethod, InputMethod::Off);
    h.typeText("eyX");
    // A miss on a chant line empties the input box.
    EXPECT_EQ(h.box(Box::Text1), "");
}

TEST_F(TrainingText, AnOrdinaryLineAsksForJapaneseEntry)
{
    write("\xe6\x97\xa5\xe6\x9c\xac\r\n");  // UTF-8 text of a Linux user
    h.state.trainingTextPath = dir.filePath("test.txt");
    h.state.gameMode = GameMode::Training;
    h.start();
    EXPECT_EQ(h.box(Box::Text4), "日本");
    EXPECT_EQ(h.game.lineKind(), LineKind::Other);
    EXPECT_EQ(h.screen.inputMethod, InputMethod::Hiragana);
}

TEST_F(TrainingText, MissingOrBlankFileRefusesToStart)
{
    const QByteArray contents[] = {QByteArray(), QByteArray("  \r\n\r\n\x81\x40\r\n")};
    h.state.gameMode = GameMode::Training;
    h.state.trainingTextPath = dir.filePath("missing.txt");
    h.start();
    EXPECT_EQ(h.state.gamePhase, kIdle);
    EXPECT_EQ(h.screen.messages, QStringList{kTrainingTextError});
    EXPECT_TRUE(h.screen.label4History.isEmpty());

    h.state.trainingTextPath = dir.filePath("test.txt");
    for (const QByteArray &bytes : contents) {
        write(bytes);
        h.screen.messages.clear();
        h.start();
        EXPECT_EQ(h.state.gamePhase, kIdle);
        EXPECT_EQ(h.screen.messages, QStringList{kTrainingTextError});
    }
}
