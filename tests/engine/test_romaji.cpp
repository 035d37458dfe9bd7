#include "engine/romaji.h"

#include "support/fakereader.h"
#include "support/text.h"

#include <gtest/gtest.h>

#include <QFile>

#include <string>
#include <vector>

using namespace typetoki;
using namespace typetoki::testing;

namespace {

struct Typed {
    int misses = 0;
    int firstMiss = -1;  // index of the first key judged a miss
    bool finished = false;
};

Typed TypeKeys(RomajiLine &line, const QString &keys)
{
    Typed result;
    for (qsizetype i = 0; i < keys.size(); ++i) {
        if (!line.type(keys[i]).hit) {
            if (result.misses++ == 0)
                result.firstMiss = int(i);
        }
    }
    result.finished = line.finished();
    return result;
}

RomajiLine LineOf(const QString &text, const Reader *reader = nullptr)
{
    return RomajiLine(ReadLine(text, reader));
}

std::string Name(const QString &text)
{
    return text.toStdString();
}

QString Katakana(const QString &hiragana)
{
    QString katakana;
    for (const QChar c : hiragana)
        katakana += c.unicode() >= 0x3041 && c.unicode() <= 0x3096 ? QChar(c.unicode() + 0x60) : c;
    return katakana;
}

// A dictionary that knows the lines of these tests.
const FakeReader &Dictionary()
{
    static FakeReader reader;
    static const bool taught = [] {
        reader.teach({{"日本語", "ニホンゴ"}, {"を", "ヲ"}, {"打つ", "ウツ"}});
        reader.teach({{"打つ", "ウツ"}});
        reader.teach({{"取り扱い", "トリアツカイ"}});
        reader.teach({{"お茶", "オチャ"}});
        reader.teach({{"お茶", "オチャ"}, {"を", "ヲ"}, {"飲む", "ノム"}});
        reader.teach({{"一", "イチ"}, {"ヶ月", "カゲツ"}});
        reader.teach({{"Ｘ線", "エックスセン"}});
        reader.teach({{"鬱", ""}, {"だ", "ダ"}});
        return true;
    }();
    (void)taught;
    return reader;
}

// ------------------------------------------------------------------ table

TEST(RomajiTableTest, TheBuiltInTableIsSound)
{
    QFile file(QStringLiteral(":/typetoki/romaji.tsv"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QStringList problems;
    const RomajiTable parsed = RomajiTable::parse(QString::fromUtf8(file.readAll()), &problems);
    EXPECT_EQ(problems, QStringList());
    EXPECT_EQ(parsed.entries().size(), RomajiTable::standard().entries().size());

    // Every kana spelling must be readable one way only: a spelling shared by
    // two entries, or one that begins another, would let the game accept keys
    // an input method turns into other kana. (Signs may share a key: ― and ‐
    // are both typed as -.)
    QHash<QString, QString> owner;
    for (const RomajiTable::Entry &entry : parsed.entries()) {
        if (!std::all_of(entry.kana.begin(), entry.kana.end(),
                         [](QChar c) { return c.unicode() >= 0x3041 && c.unicode() <= 0x3096; }))
            continue;
        for (const QString &spelling : entry.spellings) {
            EXPECT_FALSE(owner.contains(spelling))
                << Name(spelling) << " spells " << Name(owner.value(spelling)) << " and " << Name(entry.kana);
            owner.insert(spelling, entry.kana);
        }
    }
    for (auto a = owner.cbegin(); a != owner.cend(); ++a) {
        for (auto b = owner.cbegin(); b != owner.cend(); ++b) {
            EXPECT_FALSE(a.key() != b.key() && b.key().startsWith(a.key()))
                << Name(a.key()) << " (" << Name(a.value()) << ") begins " << Name(b.key()) << " ("
                << Name(b.value()) << ")";
        }
    }
}

// Every spelling of the table, through the matcher the game judges with: on
// its own, in katakana, after a doubled consonant for っ and after a single
// n for ん wherever those apply.
TEST(RomajiTableTest, EverySpellingTypesItsKana)
{
    int checked = 0;
    for (const RomajiTable::Entry &entry : RomajiTable::standard().entries()) {
        for (const QString &spelling : entry.spellings) {
            struct Case {
                QString line;
                QString keys;
            };
            std::vector<Case> cases{{entry.kana, spelling}, {Katakana(entry.kana), spelling}};
            const char first = char(spelling[0].unicode());
            if (QByteArray("bcdfghjklmpqrstvwxyz").contains(first))
                cases.push_back({U("っ") + entry.kana, QString(QChar(first)) + spelling});
            if (!QByteArray("aiueony'").contains(first))
                cases.push_back({U("ん") + entry.kana, U("n") + spelling});
            for (const Case &c : cases) {
                RomajiLine line = LineOf(c.line);
                const Typed typed = TypeKeys(line, c.keys);
                EXPECT_EQ(typed.misses, 0) << Name(c.line) << " by " << Name(c.keys);
                EXPECT_TRUE(typed.finished) << Name(c.line) << " by " << Name(c.keys);
                ++checked;
            }
        }
    }
    EXPECT_GT(checked, 1000);
}

// The romaji tables of an input method as installed: spelling → kana.
QHash<QString, QString> InstalledTable(const QString &style)
{
    QHash<QString, QString> table;
    QFile file(QStringLiteral("/usr/share/fcitx5/anthy/%1.sty").arg(style));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return table;
    bool romaji = false;
    for (const QString &line : QString::fromUtf8(file.readAll()).split(u'\n')) {
        if (line.startsWith(u'['))
            romaji = line.startsWith(QStringLiteral("[RomajiTable/"));
        const qsizetype equals = line.indexOf(u'=');
        if (romaji && !line.startsWith(u'#') && equals > 0)
            table.insert(line.left(equals).trimmed(), line.mid(equals + 1).trimmed());
    }
    return table;
}

// Every spelling the MS-IME and ATOK styles of Anthy both take for the same
// kana, alone, after っ and after ん, as a player used to either would type.
TEST(RomajiTableTest, TakesEverySpellingBothInputMethodsShare)
{
    const QHash<QString, QString> msime = InstalledTable(QStringLiteral("msime"));
    const QHash<QString, QString> atok = InstalledTable(QStringLiteral("atok"));
    if (msime.isEmpty() || atok.isEmpty()) {
        if (qEnvironmentVariable("CI") == QStringLiteral("true"))
            FAIL() << "fcitx5-anthy's msime.sty and atok.sty are not installed";
        GTEST_SKIP() << "fcitx5-anthy is not installed";
    }
    int checked = 0;
    for (auto entry = msime.cbegin(); entry != msime.cend(); ++entry) {
        const QString &keys = entry.key();
        const QString &kana = entry.value();
        // A single n is ん only before some keys, which the typing cases test.
        if (atok.value(keys) != kana || keys == QStringLiteral("n"))
            continue;
        const char first = char(keys[0].unicode());
        std::vector<std::pair<QString, QString>> cases{{kana, keys},
                                                       {U("っ") + kana, U("xtu") + keys},
                                                       {U("ん") + kana, U("nn") + keys}};
        if (QByteArray("bcdfghjklmpqrstvwxyz").contains(first))
            cases.emplace_back(U("っ") + kana, QString(QChar(first)) + keys);
        if (!QByteArray("aiueony'").contains(first))
            cases.emplace_back(U("ん") + kana, U("n") + keys);
        for (const auto &[line, typed] : cases) {
            RomajiLine romaji = LineOf(line);
            const Typed result = TypeKeys(romaji, typed);
            EXPECT_EQ(result.misses, 0) << Name(line) << " by " << Name(typed);
            EXPECT_TRUE(result.finished) << Name(line) << " by " << Name(typed);
            ++checked;
        }
    }
    EXPECT_GT(checked, 600);
}

// ----------------------------------------------------------------- typing

TEST(RomajiLineTest, AnyMixOfSpellingsFinishesTheLine)
{
    // 日本語を打つ in every combination of the spellings of ん, う and つ.
    for (const char *n : {"n", "nn", "xn", "n'"}) {
        for (const char *u : {"u", "wu", "whu"}) {
            for (const char *tsu : {"tu", "tsu"}) {
                const QString keys = QStringLiteral("niho%1gowo%2%3").arg(n, u, tsu);
                RomajiLine line = LineOf(U("日本語を打つ"), &Dictionary());
                const Typed typed = TypeKeys(line, keys);
                EXPECT_EQ(typed.misses, 0) << Name(keys);
                EXPECT_TRUE(typed.finished) << Name(keys);
                EXPECT_EQ(line.typed(), keys);
            }
        }
    }
}

// Each key judged at once: where the first miss falls (-1 for none) and
// whether the keys finish the line.
TEST(RomajiLineTest, KeysAreJudgedAsAnInputMethodReadsThem)
{
    const struct {
        const char *line;
        const char *keys;
        int firstMiss;
        bool finished;
    } cases[] = {
        {"しんぶん", "sinbunn", -1, true},
        {"しんぶん", "shinbunn", -1, true},
        {"しんぶん", "sinnbuxn", -1, true},
        {"しんぶん", "cinbun'", -1, true},
        // A final ん needs nn, xn or n'; a single n only before a consonant
        // other than n and y.
        {"しんぶん", "sinbun", -1, false},
        {"ほん", "hox", -1, false},
        {"かんぱい、", "kanpai,", -1, true},
        {"しんや", "sinya", 3, false},
        {"きんえん", "kinen", 3, false},
        {"ほんの", "honno", 4, false},
        {"ほんの", "honnno", -1, true},
        {"ほんい", "hon'i", -1, true},
        {"ん", "m", 0, false},
        // っ: the next consonant doubled, or on its own.
        {"がっこう", "gakkou", -1, true},
        {"がっこう", "galtsukou", -1, true},
        {"がっこう", "gakkkou", 4, true},
        {"まっちゃ", "maccha", -1, true},
        {"まっちゃ", "mattya", -1, true},
        {"まっちゃ", "matcha", 3, false},
        {"ざっし", "zacci", -1, true},
        {"あっ", "axtu", -1, true},
        {"あっ", "att", 1, false},
        {"っっか", "kkka", -1, true},
        {"んっか", "nkka", -1, true},
        {"うぉっ", "wholtsu", -1, true},
        // Youon whole, or as the kana and its small kana.
        {"いっしょ", "isshixyo", -1, true},
        {"ちょっと", "tixyotto", -1, true},
        {"ヴァイオリン", "vuxaiorinn", -1, true},
        {"じゃ", "jaxya", 2, true},
        // Kanji with kana inside their words, and words nobody knows.
        {"取り扱い", "toriatukai", -1, true},
        {"お茶を飲む", "ocyawonomu", -1, true},
        {"一ヶ月", "ichikagetsu", -1, true},
        {"Ｘ線", "ekkususenn", -1, true},
        {"鬱だ", "da", -1, true},
        // Letters keep their case; signs are their keys; blanks and
        // characters with no key are passed over.
        {"し", "Shi", 0, false},
        {"ＡＢｃ１２ xyz", "ABc12xyz", -1, true},
        {"Ａ", "a", 0, false},
        {"「はい、そう。」", "[hai,sou.]", -1, true},
        {"ー～〜・！？", "-~~/!?", -1, true},
        {"『…』", "z[z.z]", -1, true},
        {"あ い　う\tえ", "aiue", -1, true},
        {"ｶﾞｯﾂ", "gattsu", -1, true},
        {"ﾃﾞｨｰﾌﾟ", "dhi-pu", -1, true},
        {"あ※い😀う", "aiu", -1, true},
        {"※", "", -1, true},
    };
    for (const auto &c : cases) {
        RomajiLine line = LineOf(U(c.line), &Dictionary());
        const Typed typed = TypeKeys(line, U(c.keys));
        EXPECT_EQ(typed.firstMiss, c.firstMiss) << c.line << " by " << c.keys;
        EXPECT_EQ(typed.finished, c.finished) << c.line << " by " << c.keys;
    }
}

// What a text writes beside its words: ruby, notes, voicing and repeat
// marks. Whether the keys finish the line with no miss, and the line shown.
TEST(RomajiLineTest, RubyAndMarksAreTypedAsTheyRead)
{
    const struct {
        const char *line;
        const char *keys;
        bool finishes;
        const char *shown;
    } cases[] = {
        {"｜今日《こんにち》は", "konnnitiha", true, "今日は"},
        {"｜今日《こんにち》は", "kyouha", false, "今日は"},
        {"檸檬《れもん》", "remonn", true, "檸檬"},
        {"かの檸檬《レモン》だ", "kanoremonnda", true, "かの檸檬だ"},
        {"｜かな《カナ》", "kana", true, "かな"},
        {"昔［＃「昔」に傍点］の檸檬《れもん》", "noremonn", true, "昔の檸檬"},
        {"あ［＃改ページ］い", "ai", true, "あい"},
        {"ふ《ふ", "fufu", true, "ふ《ふ"},    // no closing mark: no ruby
        {"《あ》", "a", true, "《あ》"},       // nothing to read it for
        {"あ｜い", "a|i", true, "あ｜い"},
        {"う゛ぁいおりん", "vaiorinn", true, "う゛ぁいおりん"},
        {"う\u3099ぁいおりん", "vaiorinn", true, "う\u3099ぁいおりん"},
        {"か\u3099っこう", "gakkou", true, "か\u3099っこう"},
        {"は\u309Aん", "pann", true, "は\u309Aん"},
        {"あ゛", "a", true, "あ゛"},           // no such kana: the mark is passed over
        {"こゝろ", "kokoro", true, "こゝろ"},
        {"いすゞ", "isuzu", true, "いすゞ"},
        {"バナヽ", "banana", true, "バナヽ"},
        {"ぶヾ", "bubu", true, "ぶヾ"},
        {"ゝあ", "a", true, "ゝあ"},           // nothing before it to repeat
    };
    for (const auto &c : cases) {
        RomajiLine line = LineOf(U(c.line), &Dictionary());
        const Typed typed = TypeKeys(line, U(c.keys));
        EXPECT_EQ(typed.misses == 0 && typed.finished, c.finishes) << c.line << " by " << c.keys;
        EXPECT_EQ(line.reading().line, U(c.shown)) << c.line;
        EXPECT_EQ(WithoutRuby(U(c.line)), U(c.shown)) << c.line;
    }
}

// A key on a very long line looks no further than the guide's window.
TEST(RomajiLineTest, TheGuideOfALongLineIsAWindowThatMoves)
{
    QString text;
    while (text.size() < 100000)
        text += U("しんぶんを※よむ。");
    RomajiLine line = LineOf(text);
    for (int key = 0; key < 3000; ++key) {
        const QString guide = line.guide();
        ASSERT_LE(guide.size(), RomajiLine::kGuideLength + 4);
        ASSERT_TRUE(line.type(line.nextKey()).hit) << key;
    }
    EXPECT_EQ(line.typed().left(18), U("shinbunwoyomu.shin"));
    EXPECT_GT(line.doneUpTo(), 1000);
}

TEST(RomajiLineTest, AWrongKeyLeavesEverythingAsItWas)
{
    RomajiLine line = LineOf(U("しんぶん"));
    ASSERT_EQ(TypeKeys(line, U("sh")).misses, 0);
    for (const QChar key : {QChar(u'k'), QChar(u'I'), QChar(u'\u3042'), QChar(u' ')}) {
        EXPECT_EQ(line.type(key), (KeyResult{false, LineSpan{0, 1}}));
        EXPECT_EQ(line.typed() + line.guide(), U("shinbunn"));
        EXPECT_EQ(line.doneUpTo(), 0);
    }
    EXPECT_EQ(TypeKeys(line, U("inbunn")).misses, 0);
    EXPECT_TRUE(line.finished());
    EXPECT_FALSE(line.type(u'n').hit);
    EXPECT_EQ(line.typed(), U("shinbunn"));
    EXPECT_EQ(line.doneUpTo(), 4);
}

TEST(RomajiLineTest, TheGuideFollowsThePlayersChoices)
{
    const struct {
        const char *line;
        const char *keys;
        const char *shown;  // typed, then the guide
    } cases[] = {
        {"しんぶん", "", "shinbunn"},
        {"しんぶん", "s", "shinbunn"},
        {"しんぶん", "sh", "shinbunn"},
        {"しんぶん", "si", "sinbunn"},
        {"しんぶん", "sin", "sinbunn"},
        {"しんぶん", "sinn", "sinnbunn"},
        {"ほんや", "hon", "honnya"},
        {"ちゃ", "t", "tya"},
        {"ちゃ", "c", "cha"},
        {"ちゃ", "cy", "cya"},
        {"きゃ", "ki", "kixya"},
        {"まっちゃ", "", "maccha"},
        {"まっちゃ", "mat", "mattya"},
        {"がっこう", "gax", "gaxtukou"},
        {"っっか", "", "kkka"},
        {"あっ、", "", "axtu,"},
        {"日本語を打つ", "", "nihongowoutsu"},
        {"日本語を打つ", "nihonn", "nihonngowoutsu"},
        {"「ＯＫ」です。", "", "[OK]desu."},
        // A character with no key stands in the guide, passed over by the
        // keys around it.
        {"※", "", "※"},
        {"あ※い", "a", "a※i"},
        {"かな※です", "kana", "kana※desu"},
    };
    for (const auto &c : cases) {
        RomajiLine line = LineOf(U(c.line), &Dictionary());
        ASSERT_EQ(TypeKeys(line, U(c.keys)).misses, 0) << c.line << " by " << c.keys;
        EXPECT_EQ(line.typed() + line.guide(), U(c.shown)) << c.line << " after " << c.keys;
    }
}

// Where the dictionary knows several readings, any is typed; the guide
// shows the likeliest one the keys typed still agree with.
TEST(RomajiLineTest, TheGuideFollowsTheReadingTheKeysChose)
{
    FakeReader reader;
    reader.teach({{"日本", "ニッポン"}, {"の", "ノ"}, {"一", "イチ"}, {"本", "ホン"}});
    reader.teach({{"日本", "ニホン"}, {"の", "ノ"}, {"一", "イチ"}, {"本", "ホン"}});
    reader.teach({{"日", "ヒ"}, {"本", "モト"}, {"の", "ノ"}, {"一", "ハジメ"}, {"本", "ホン"}});
    const struct {
        const char *keys;
        const char *shown;  // typed, then the guide
    } cases[] = {
        {"", "nipponnnoipponn"},
        {"nih", "nihonnnoipponn"},
        {"nip", "nipponnnoipponn"},
        {"nihonnnoic", "nihonnnoichihonn"},
        {"himotonohaji", "himotonohajimehonn"},
        {"nihonnnoichihonn", "nihonnnoichihonn"},
        {"nipponnnohajimehonn", "nipponnnohajimehonn"},
    };
    for (const auto &c : cases) {
        RomajiLine line = LineOf(U("日本の一本"), &reader);
        ASSERT_EQ(TypeKeys(line, U(c.keys)).misses, 0) << c.keys;
        EXPECT_EQ(line.typed() + line.guide(), U(c.shown)) << c.keys;
    }
    RomajiLine line = LineOf(U("日本の一本"), &reader);
    EXPECT_EQ(TypeKeys(line, U("nihhonn")).firstMiss, 3);  // one reading at a time

    // A way that leaves a kanji unread gives way to one that reads it.
    FakeReader partly;
    partly.teach({{"一", "イチ"}, {"閃", ""}});
    partly.teach({{"一閃", "イッセン"}});
    RomajiLine flash = LineOf(U("一閃"), &partly);
    EXPECT_EQ(TypeKeys(flash, U("itissenn")).firstMiss, 1);
    EXPECT_TRUE(flash.finished());
}

// Whatever has been typed, the guide is a way to the end the judge accepts.
TEST(RomajiLineTest, FollowingTheGuideAlwaysFinishes)
{
    const struct {
        const char *line;
        const char *start;
    } cases[] = {
        {"日本語を打つ", ""},     {"日本語を打つ", "nihon'"}, {"しんぶん", "cin"},
        {"まっちゃ", "mac"},      {"っっか", "k"},            {"んっか", "n"},
        {"ヴァイオリン", "vux"},  {"ﾃﾞｨｰﾌﾟ", ""},            {"あ※い😀う", ""},
        {"こんにちは、世界！", ""}, {"ぁぃぅぇぉゃゅょゎゕゖ", ""}, {"ゐゑをんー", "wyiwyewon"},
    };
    for (const auto &c : cases) {
        RomajiLine line = LineOf(U(c.line), &Dictionary());
        ASSERT_EQ(TypeKeys(line, U(c.start)).misses, 0) << c.line;
        QString planned = line.typed() + line.guide();
        planned.removeIf([](QChar c) { return c.unicode() >= 128; });  // skipped, not typed
        for (int keys = 0; !line.finished() && keys < 200; ++keys) {
            const QChar key = line.nextKey();
            ASSERT_FALSE(key.isNull()) << c.line << " after " << Name(line.typed());
            ASSERT_TRUE(line.type(key).hit) << c.line << " after " << Name(line.typed());
        }
        EXPECT_TRUE(line.finished()) << c.line;
        EXPECT_EQ(line.typed(), planned) << c.line;
    }
}

TEST(RomajiLineTest, EachKeyNamesTheCharactersItWasTypedFor)
{
    const struct {
        const char *line;
        const char *keys;
        std::vector<LineSpan> targets;
    } cases[] = {
        {"がっこう", "gakkou", {{0, 1}, {0, 1}, {1, 1}, {2, 1}, {2, 1}, {3, 1}}},
        {"きゃ", "kixya", {{0, 1}, {0, 1}, {1, 1}, {1, 1}, {1, 1}}},
        {"打つ", "utu", {{0, 1}, {1, 1}, {1, 1}}},
        {"お茶", "ocha", {{0, 1}, {1, 1}, {1, 1}, {1, 1}}},
        {"一ヶ月", "itik", {{0, 1}, {0, 1}, {0, 1}, {1, 2}}},
        {"ｶﾞ ん", "gann", {{0, 2}, {0, 2}, {3, 1}, {3, 1}}},
        // A miss names the character still waiting.
        {"しん", "sxin", {{0, 1}, {0, 1}, {0, 1}, {1, 1}}},
    };
    for (const auto &c : cases) {
        RomajiLine line = LineOf(U(c.line), &Dictionary());
        std::vector<LineSpan> targets;
        for (const QChar key : U(c.keys))
            targets.push_back(line.type(key).target);
        EXPECT_EQ(targets, c.targets) << c.line << " by " << c.keys;
    }
}

// ---------------------------------------------------------------- reading

TEST(ReadLineTest, WhatEachCharacterIsTypedAs)
{
    const struct {
        const char *line;
        const char *kana;
        std::vector<LineSpan> source;
        std::vector<LineSpan> skipped;
    } cases[] = {
        {"カタカナ", "かたかな", {{0, 1}, {1, 1}, {2, 1}, {3, 1}}, {}},
        {"ｶﾞｯﾂ", "がっつ", {{0, 2}, {2, 1}, {3, 1}}, {}},
        {"ＡＢ　c", "ABc", {{0, 1}, {1, 1}, {3, 1}}, {}},
        {"あ※😀", "あ", {{0, 1}}, {{1, 1}, {2, 2}}},
        {"漢字", "", {}, {{0, 1}, {1, 1}}},  // no dictionary here
        {"取り扱い", "とりあつかい", {{0, 1}, {1, 1}, {2, 1}, {2, 1}, {2, 1}, {3, 1}}, {}},
        // The written ヶ is not in the reading: the word is typed as a whole.
        {"ヶ月", "かげつ", {{0, 2}, {0, 2}, {0, 2}}, {}},
        {"鬱だ", "だ", {{1, 1}}, {{0, 1}}},
        {"Ｘ線", "えっくすせん", {{0, 2}, {0, 2}, {0, 2}, {0, 2}, {0, 2}, {0, 2}}, {}},
    };
    FakeReader reader;
    reader.teach({{"取り扱い", "トリアツカイ"}});
    reader.teach({{"ヶ月", "カゲツ"}});
    reader.teach({{"鬱", ""}, {"だ", "ダ"}});
    reader.teach({{"Ｘ線", "エックスセン"}});
    for (const auto &c : cases) {
        const LineReading r = ReadLine(U(c.line), U(c.line) == U("漢字") ? nullptr : &reader);
        EXPECT_EQ(r.kana, U(c.kana)) << c.line;
        EXPECT_EQ(std::vector<LineSpan>(r.source.begin(), r.source.end()), c.source) << c.line;
        EXPECT_EQ(std::vector<LineSpan>(r.skipped.begin(), r.skipped.end()), c.skipped) << c.line;
    }
}

TEST(ReadLineTest, OnlyLinesWithKanjiAskTheDictionary)
{
    const struct {
        const char *line;
        bool needs;
    } cases[] = {{"ひらがなとカタカナ", false}, {"ＡＢＣ、。！ｶﾞ😀※", false}, {"々", true}, {"かな𠮷", true}};
    for (const auto &c : cases) {
        EXPECT_EQ(NeedsDictionary(U(c.line)), c.needs) << c.line;
        FakeReader reader;
        ReadLine(U(c.line), &reader);
        EXPECT_EQ(reader.calls.load(), c.needs ? 1 : 0) << c.line;
    }
}

TEST(ReadLineTest, WordsOutsideTheLineAreIgnored)
{
    class BrokenReader final : public Reader {
    public:
        QList<Word> words(const QString &) const override
        {
            return {Word{-1, 2, U("ア")}, Word{0, 0, U("ア")}, Word{0, 1, U("カン")},
                    Word{0, 1, U("カ")}, Word{1, 99, U("イ")}, Word{1, 1, U("ジ!")}};
        }
    } reader;
    const LineReading r = ReadLine(U("漢字"), &reader);
    EXPECT_EQ(r.kana, U("かん"));
    EXPECT_EQ(std::vector<LineSpan>(r.skipped.begin(), r.skipped.end()), std::vector<LineSpan>({{1, 1}}));
}

}  // namespace
