// Training texts typed as romaji, key by key, through whole games.
#include "engine/numbers.h"
#include "engine/rank.h"
#include "support/fakereader.h"
#include "support/fakes.h"
#include "support/files.h"
#include "support/text.h"

#include <gtest/gtest.h>

using namespace typetoki;
using namespace typetoki::testing;

namespace {

// The dictionary of the run, or none at all (not installed).
class FakeSource final : public ReaderSource {
public:
    std::shared_ptr<const Reader> reader(QString *problem) override
    {
        ++asked;
        if (!dictionary && problem)
            *problem = QStringLiteral("辞書が開けません");
        return dictionary;
    }
    std::shared_ptr<FakeReader> dictionary;
    int asked = 0;
};

struct RomajiHarness : Harness {
    RomajiHarness()
    {
        source.dictionary = std::make_shared<FakeReader>();
        source.dictionary->teach({{"日本語", "ニホンゴ"}, {"を", "ヲ"}, {"打つ", "ウツ"}});
        game.setReaderSource(&source);
        state.romajiTyping = true;
    }
    FakeSource source;
};

int Count(const QStringList &list, const char *item)
{
    return int(list.count(QString::fromUtf8(item)));
}

}  // namespace

TEST(RomajiGame, EveryAcceptedSpellingFinishesTheLineKeyByKey)
{
    struct Case {
        const char *line;
        const char *keys;
    };
    const Case cases[] = {
        {"日本語を打つ", "nihongowoutu"},   {"日本語を打つ", "nihonngowoutsu"},
        {"日本語を打つ", "nihongowoutsu"},  {"しんぶん", "sinbunn"},
        {"しんぶん", "shinbunn"},           {"しんぶん", "sinnbuxn"},
        {"しんぶん", "cinbun'"},            {"シンブン", "shinbunn"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.line) + " by " + c.keys);
        RomajiHarness h;
        h.startTraining({U(c.line)});
        ASSERT_EQ(h.state.gamePhase, kPlaying);
        EXPECT_EQ(h.screen.inputMethod, InputMethod::Off);
        EXPECT_EQ(h.box(Box::Text4), U(c.line));
        const QString keys = QString::fromLatin1(c.keys);
        for (qsizetype i = 0; i < keys.size(); ++i) {
            h.type(keys[i]);
            // Judged the moment it is typed, and a hit.
            ASSERT_EQ(h.state.inputCount, i + 1) << keys.left(i + 1).toStdString();
            ASSERT_EQ(h.state.correctCount, i + 1) << keys.left(i + 1).toStdString();
            if (i + 1 < keys.size()) {
                EXPECT_EQ(h.box(Box::Text1), keys.left(i + 1));
                // What is shown and what is suggested always make a whole spelling.
                EXPECT_FALSE(h.screen.guide.isEmpty());
            }
        }
        // The line is done and comes again (it is the text's only one), fresh.
        EXPECT_EQ(h.box(Box::Text1), "");
        EXPECT_EQ(h.box(Box::Text4), U(c.line));
        EXPECT_EQ(h.game.romajiLine()->typed(), "");
        EXPECT_EQ(Count(h.world.sounds, "play miss"), 0);
        EXPECT_EQ(h.box(Box::Text2_5), "100");
        EXPECT_EQ(h.state.currentTarget, keys);
    }
}

TEST(RomajiGame, WhatTheBoxAndTheGuideShowAsTheLineIsTyped)
{
    struct Step {
        const char *keys;     // typed since the step before
        const char *box;      // Text1
        const char *guide;    // the grey rest after it
        const char *target;   // Text4
        int judged, correct;
    };
    // ん at the end of a line needs its whole spelling, as in an input
    // method; a wrong key is a miss that leaves the keys hit in place.
    const Step steps[] = {
        {"", "", "shinbunn", "しんぶん", 0, 0},
        {"sh", "sh", "inbunn", "しんぶん", 2, 2},
        {"q", "sh", "inbunn", "しんぶん", 3, 2},
        {"i", "shi", "nbunn", "んぶん", 4, 3},
        {"\b", "shi", "nbunn", "んぶん", 4, 3},
        {"\x16nbunn", "shi", "nbunn", "んぶん", 4, 3},  // pasted
        {"nbu", "shinbu", "nn", "ん", 7, 6},
        {"n", "shinbun", "n", "ん", 8, 7},
        {"b", "shinbun", "n", "ん", 9, 7},
        {"n", "", "shinbunn", "しんぶん", 10, 8},
    };
    RomajiHarness h;
    h.startTraining({U("しんぶん")});
    int misses = 0;
    for (const Step &s : steps) {
        SCOPED_TRACE(s.keys);
        const int judgedBefore = h.state.inputCount;
        const int correctBefore = h.state.correctCount;
        const QString keys = QString::fromLatin1(s.keys);
        if (keys.startsWith(u'\x16')) {
            h.game.Text1_KeyPress(0x16);  // Ctrl+V
            h.screen.setText(Box::Text1, h.box(Box::Text1) + keys.mid(1));
        } else {
            h.typeText(keys);
        }
        EXPECT_EQ(h.box(Box::Text1), s.box);
        EXPECT_EQ(h.screen.guide, s.guide);
        EXPECT_EQ(h.box(Box::Text4), U(s.target));
        EXPECT_EQ(h.state.inputCount, s.judged);
        EXPECT_EQ(h.state.correctCount, s.correct);
        misses += (s.judged - judgedBefore) - (s.correct - correctBefore);
        EXPECT_EQ(Count(h.world.sounds, "play miss"), misses);
        EXPECT_EQ(h.state.inputLocked, 0);
    }
    // Each miss flashed the window red twice, as on a chant line.
    EXPECT_EQ(std::count(h.screen.backgrounds.begin(), h.screen.backgrounds.end(), kFlashRed),
              2 * misses);
    EXPECT_EQ(h.box(Box::Text2_5), "80");
}

TEST(RomajiGame, EndsRankedAsItsOwnModeGradedAsTrainingWithTheKeysCounted)
{
    RomajiHarness h;
    h.world.startTicks([&h] { h.game.Timer1_Timer(); });
    h.state.timeLimitSeconds = 10;
    std::vector<GameResult> results;
    h.game.setEndOfGameHandler([&](const GameResult &r) { results.push_back(r); });
    h.startTraining({U("日本語を打つ")});
    const double t0 = h.state.startTime;
    const QString keys = QStringLiteral("nihongowoutu");
    for (int i = 0; i < 3; ++i) {
        for (qsizetype k = 0; k < keys.size(); ++k)
            h.world.at(t0 + 2.5 * i + 0.2 * double(k) + 0.01, [&h, key = keys[k]] { h.type(key); });
    }
    // A miss where the line asked for an n.
    h.world.at(t0 + 8, [&h] { h.type('q'); });
    h.world.advance(12);

    ASSERT_EQ(results.size(), 1u);
    const GameResult &r = results[0];
    EXPECT_EQ(r.gameMode, GameMode::Romaji);
    EXPECT_EQ(r.correctText, "36");
    EXPECT_EQ(r.judgedText, "37");
    const int rank = RankIndex(ReadNumber(r.scoreText), GameMode::Training, 10);
    EXPECT_EQ(r.rankIndex, rank);
    EXPECT_GT(r.rankIndex, 0);
    // The history keeps the keys the line asked for, not the characters.
    ASSERT_TRUE(r.targets.count("n"));
    EXPECT_EQ(r.targets.at("n").targeted, 3 * 2 + 1);
    EXPECT_EQ(r.targets.at("n").missed, 1);
    EXPECT_EQ(r.targets.at("u").targeted, 3 * 2);
    EXPECT_FALSE(r.targets.count(U("日")));
    // The mode played is still the training mode the player selected.
    EXPECT_EQ(h.state.gameMode, GameMode::Training);
}

TEST(RomajiGame, WithoutADictionaryKanjiAreSkippedAndThePlayerIsToldOnce)
{
    RomajiHarness h;
    h.source.dictionary.reset();
    h.startTraining({U("日本語を打つ")});
    ASSERT_EQ(h.screen.messages.size(), 1);
    EXPECT_TRUE(h.screen.messages[0].contains(u"辞書が開けません"_qs));
    EXPECT_EQ(h.screen.guide, u"日本語wo打tsu"_qs);  // the kanji shown passed over
    h.typeText("wotu");
    EXPECT_EQ(h.state.correctCount, 4);
    EXPECT_EQ(h.box(Box::Text1), "");
    h.game.Command3_Click();

    // The next game says nothing more; a text with nothing to type at all
    // is refused before the countdown.
    h.startTraining({U("日本語を打つ")});
    EXPECT_EQ(h.screen.messages.size(), 1);
    h.game.Command3_Click();
    h.startTraining({U("漢字"), U("打つ")});
    EXPECT_EQ(h.screen.messages.size(), 1);
    EXPECT_EQ(h.screen.guide, u"打tsu"_qs);  // the line of kanji alone gives way
    h.game.Command3_Click();
    h.startTraining({U("漢字"), U("★")});
    EXPECT_EQ(h.state.gamePhase, kIdle);
    ASSERT_EQ(h.screen.messages.size(), 2);
    EXPECT_TRUE(h.screen.messages[1].contains(u"ローマ字で打てる文字がありません"_qs));
}

// A text's ruby is what is typed, and is never shown; with romaji off the
// same file is typed as it is shown.
TEST(RomajiGame, ATextsRubyIsTypedAndNotShown)
{
    for (const bool romaji : {true, false}) {
        SCOPED_TRACE(romaji ? "romaji" : "as shown");
        RomajiHarness h;
        h.state.romajiTyping = romaji;
        h.startTraining({U("｜今日《こんにち》は［＃傍点］")});
        ASSERT_EQ(h.state.gamePhase, kPlaying);
        EXPECT_EQ(h.box(Box::Text4), U("今日は"));
        if (romaji) {
            EXPECT_EQ(h.screen.guide, U("konnnichiha"));
            h.typeText("ky");
            EXPECT_EQ(h.state.correctCount, 1);  // the k only
            h.typeText("onnnitiha");
            EXPECT_EQ(h.state.correctCount, 10);
        } else {
            // As an input method commits them, after a key of its own.
            for (const QChar c : U("今日は")) {
                h.game.Text1_KeyPress('a');
                h.screen.setText(Box::Text1, h.box(Box::Text1) + c);
            }
            EXPECT_EQ(h.state.correctCount, 3);
        }
        EXPECT_EQ(h.box(Box::Text4), U("今日は"));  // done, and the only line again
        h.game.Command3_Click();

        // A text of notes alone is refused as one with nothing to type.
        h.startTraining({U("［＃改ページ］"), U("［＃ここで字下げ終わり］")});
        EXPECT_EQ(h.state.gamePhase, kIdle);
        EXPECT_EQ(h.screen.messages.size(), 1);
    }
}

// A line the dictionary reads as nothing is passed over like a blank one;
// a text of nothing else is refused before the countdown.
TEST(RomajiGame, ALineThatReadsAsNothingIsPassedOver)
{
    RomajiHarness h;
    h.source.dictionary->teach({{"檸檬", ""}});
    h.startTraining({U("檸檬"), U("かな")});
    ASSERT_EQ(h.state.gamePhase, kPlaying);
    for (int line = 0; line < 3; ++line) {
        EXPECT_EQ(h.box(Box::Text4), U("かな"));
        h.typeText("kana");
    }
    EXPECT_EQ(h.state.correctCount, 12);
    h.game.Command3_Click();

    h.startTraining({U("檸檬")});
    EXPECT_EQ(h.state.gamePhase, kIdle);
    ASSERT_EQ(h.screen.messages.size(), 1);
    EXPECT_TRUE(h.screen.messages[0].contains(u"ローマ字で打てる文字がありません"_qs));
}

// Code page 932 has no hiragana ゔ: such texts write う゛, which is typed vu.
TEST(RomajiGame, AVoicingMarkInACodePage932TextVoicesTheKanaBeforeIt)
{
    RomajiHarness h;
    const QString path = h.texts.filePath(QStringLiteral("sjis.txt"));
    // う゛ぁいおりん
    WriteRaw(path, QByteArray::fromHex("82a4814a829f82a282a882e882f1"));
    h.state.gameMode = GameMode::Training;
    h.state.trainingTextPath = path;
    h.start();
    ASSERT_EQ(h.state.gamePhase, kPlaying);
    EXPECT_EQ(h.box(Box::Text4), U("う゛ぁいおりん"));
    h.typeText("vaiorinn");
    EXPECT_EQ(h.state.correctCount, 8);
    EXPECT_EQ(h.state.inputCount, 8);
    EXPECT_EQ(h.game.romajiLine()->typed(), "");  // finished, and begun again
}
TEST(RomajiGame, TheScreenIsToldTheNextKeyAndTheKeyAMissWanted)
{
    struct Case {
        const char *name;
        GameMode mode;
        bool romaji;
        const char *line;   // a training text's one line
        const char *keys;   // typed after the start
        char16_t next;      // then the key told, 0 for none
        const char *missed;
    };
    const Case cases[] = {
        {"hero chant", GameMode::Hero, false, "", "", u'e', ""},
        {"hero chant, a miss", GameMode::Hero, false, "", "ex", u'y', "y"},
        {"rival chant", GameMode::Rival, false, "", "hik", u'u', ""},
        {"a chant line of a training text", GameMode::Training, false, "eyaeya", "ey", u'a', ""},
        {"a line through the input method", GameMode::Training, false, "しんぶん", "", 0, ""},
        {"romaji, the guide's spelling", GameMode::Training, true, "しんぶん", "s", u'h', ""},
        {"romaji, the player's spelling", GameMode::Training, true, "しんぶん", "si", u'n', ""},
        {"romaji, a miss", GameMode::Training, true, "しんぶん", "sx", u'h', "h"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        RomajiHarness h;
        h.state.romajiTyping = c.romaji;
        if (c.mode == GameMode::Training) {
            h.startTraining({U(c.line)});
        } else {
            h.state.gameMode = c.mode;
            h.start();
        }
        ASSERT_EQ(h.state.gamePhase, kPlaying);
        for (const char *k = c.keys; *k; ++k) {
            h.type(QChar::fromLatin1(*k));
            h.world.advance(0.3);
        }
        EXPECT_EQ(h.screen.nextKey, QChar(c.next));
        EXPECT_EQ(h.screen.missedKeys, QString::fromLatin1(c.missed));
        // Between games no key is lit.
        h.game.Command3_Click();
        EXPECT_TRUE(h.screen.nextKey.isNull());
    }
}
