// Practice made from the history: which units count as weak, improving or
// mastered, and lines of dictionary words that bring in the weak ones.
#include "engine/practice.h"
#include "engine/romaji.h"
#include "persistence/historydatabase.h"
#include "persistence/practicefile.h"
#include "platform/mecabreader.h"
#include "support/text.h"

#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace typetoki;
using namespace typetoki::testing;

namespace {

TargetStats Stats(int targeted, int missed, double meanSeconds = 0.2)
{
    return {targeted, missed, meanSeconds * targeted, targeted};
}

// Every unit's characters and keys, typed often, cleanly and fast.
TargetMap AllMastered(const QStringList &units)
{
    TargetMap figures;
    for (const QString &unit : units) {
        for (const QChar c : unit)
            figures[QString(c)] = Stats(200, 1, 0.3);
        for (const QChar k : UnitKeys(unit))
            figures[QString(k)] = Stats(400, 2);
    }
    return figures;
}

}  // namespace

TEST(PracticeUnits, StatusAndWeightFromTheFigures)
{
    struct Case {
        const char *name;
        const char *unit;
        TargetMap recent, earlier;
        UnitStatus status;
        double weight;
    };
    const Case cases[] = {
        {"no figures at all", "ぢ", {}, {}, UnitStatus::Untried, 1},
        {"too few keys to tell", "ぢ", {{U("ぢ"), Stats(9, 9)}}, {}, UnitStatus::Untried, 1},
        {"clean and fast", "ぢ", {{U("ぢ"), Stats(40, 1, 0.5)}, {"d", Stats(40, 0)}, {"i", Stats(40, 0)}}, {},
         UnitStatus::Mastered, kMasteredWeight},
        {"its character missed", "ぢ", {{U("ぢ"), Stats(40, 12)}}, {}, UnitStatus::Weak, kWeakestWeight},
        {"written in katakana in the text", "ぢ", {{U("ヂ"), Stats(40, 12)}}, {}, UnitStatus::Weak,
         kWeakestWeight},
        {"one of its keys missed", "きゃ", {{"k", Stats(100, 0)}, {"y", Stats(100, 30)}, {"a", Stats(100, 0)}},
         {}, UnitStatus::Weak, kWeakestWeight},
        {"the key counted in either case", "や", {{"Y", Stats(50, 3)}, {"y", Stats(50, 0)}}, {},
         UnitStatus::Weak, 1},
        {"clean but slow", "か", {{"k", Stats(50, 0, 0.7)}}, {}, UnitStatus::Weak, 2},
        {"fewer misses than before", "や", {{"y", Stats(100, 6)}}, {{"y", Stats(100, 20)}},
         UnitStatus::Improving, 2},
        {"as many misses as before", "や", {{"y", Stats(100, 6)}}, {{"y", Stats(100, 6)}}, UnitStatus::Weak, 2},
        {"not met lately", "や", {}, {{"y", Stats(100, 0)}, {"a", Stats(100, 0)}}, UnitStatus::Mastered,
         kMasteredWeight},
        {"one key clean, the other never typed", "き", {{"k", Stats(100, 0)}}, {}, UnitStatus::Untried, 1},
        {"its character clean, no keys typed", "き", {{U("き"), Stats(100, 0)}}, {}, UnitStatus::Mastered,
         kMasteredWeight},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<UnitAssessment> a = AssessUnits({U(c.unit)}, c.recent, c.earlier);
        ASSERT_EQ(a.size(), 1u);
        EXPECT_EQ(int(a[0].status), int(c.status));
        EXPECT_NEAR(a[0].weight, c.weight, 1e-9);
    }
}

TEST(PracticeUnits, FiguresOfTheLastGamesAndOfThoseBefore)
{
    QTemporaryDir dir;
    const QString path = HistoryPath(dir.path());
    std::vector<GameResult> games;
    // 25 romaji games, oldest first, the y key missed once in the i-th;
    // a chant game in between and the newest of all count for nothing.
    for (int i = 1; i <= 25; ++i) {
        GameResult g;
        g.gameMode = i % 2 ? GameMode::Romaji : GameMode::Training;
        g.playedAt = QDateTime(QDate(2026, 1, 1), QTime(0, 0)).addSecs(60 * i);
        g.targets["y"] = {10, 1, 2.0, 9};
        games.push_back(g);
    }
    GameResult chant;
    chant.gameMode = GameMode::Hero;
    chant.playedAt = QDateTime(QDate(2026, 2, 1), QTime(0, 0));
    chant.targets["y"] = {1000, 1000, 0, 0};
    games.push_back(chant);
    {
        HistoryDatabase db(path);
        ASSERT_EQ(db.Open(), HistoryFault::None);
        ASSERT_EQ(db.Write(games), HistoryFault::None);
    }
    const PracticeFigures f = ReadPracticeFigures(path, 20);
    EXPECT_EQ(f.recent.at("y").targeted, 200);
    EXPECT_EQ(f.recent.at("y").missed, 20);
    EXPECT_EQ(f.recent.at("y").timedHits, 180);
    EXPECT_NEAR(f.recent.at("y").hitSeconds, 40.0, 1e-6);
    EXPECT_EQ(f.earlier.at("y").targeted, 50);
    EXPECT_TRUE(ReadPracticeFigures(dir.filePath("none.sqlite")).recent.empty());
}

// The real word list and dictionary, read once for the tests below.
class PracticeLines : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        words = std::make_shared<const std::vector<PracticeWord>>(ReadDictionaryWords());
        QString problem;
        reader = MecabReader::open(&problem);
    }
    static void TearDownTestSuite()
    {
        words.reset();
        reader.reset();
    }
    void SetUp() override
    {
        if (words->empty() || !reader)
            GTEST_SKIP() << "mecab-ipadic or mecab-ipadic-utf8 is not installed";
    }

    // Each unit's share of the units of these lines, as the game reads them.
    static std::map<QString, double> Shares(const QStringList &lines)
    {
        std::map<QString, double> shares;
        double all = 0;
        for (const QString &line : lines) {
            for (const QString &unit : SplitUnits(ReadLine(line, reader.get()).kana)) {
                shares[unit] += 1;
                all += 1;
            }
        }
        for (auto &[unit, share] : shares)
            share /= all;
        return shares;
    }

    static double YShare(const std::map<QString, double> &shares)
    {
        double sum = 0;
        for (const auto &[unit, share] : shares)
            sum += UnitKeys(unit).contains(u'y') ? share : 0;
        return sum;
    }

    static inline std::shared_ptr<const std::vector<PracticeWord>> words;
    static inline std::shared_ptr<const Reader> reader;
};

TEST_F(PracticeLines, WeakUnitsComeThreeTimesAsOftenAsInOrdinaryText)
{
    PracticeGenerator generator(words, reader);
    // Ordinary text: the same words, drawn by their frequency alone.
    std::map<QString, double> ordinary;
    double all = 0;
    for (const PracticeWord &w : *words) {
        for (const QString &unit : SplitUnits(w.reading)) {
            ordinary[unit] += w.frequency;
            all += w.frequency;
        }
    }
    for (auto &[unit, share] : ordinary)
        share /= all;

    TargetMap figures = AllMastered(generator.units());
    figures[U("ぢ")] = Stats(200, 60);
    figures["y"] = Stats(400, 120);
    std::map<QString, double> weights;
    for (const UnitAssessment &a : AssessUnits(generator.units(), figures, {}))
        weights[a.unit] = a.weight;
    EXPECT_EQ(weights[U("ぢ")], kWeakestWeight);
    EXPECT_EQ(weights[U("か")], kMasteredWeight);

    const QStringList lines = generator.Generate(weights, 1000, 7);
    ASSERT_EQ(lines.size(), 1000);
    const std::map<QString, double> practised = Shares(lines);
    EXPECT_GE(practised.at(U("ぢ")), 3 * ordinary[U("ぢ")]);
    EXPECT_GE(YShare(practised), 3 * YShare(ordinary));
}

TEST_F(PracticeLines, LinesOfListedWordsThatTheRomajiGameAccepts)
{
    QSet<QString> listed;
    for (const PracticeWord &w : *words)
        listed.insert(w.written);
    PracticeGenerator generator(words, reader);
    const QStringList lines = generator.Generate({}, 200, 3);
    ASSERT_EQ(lines.size(), 200);
    for (const QString &line : lines) {
        SCOPED_TRACE(line.toStdString());
        EXPECT_GE(line.size(), 20);
        EXPECT_LE(line.size(), 40);
        for (const QString &word : line.split(u'\u3000'))
            EXPECT_TRUE(listed.contains(word)) << word.toStdString();
        // Typed key by key in the guide's spelling, the line is finished.
        RomajiLine typing(ReadLine(line, reader.get()));
        EXPECT_TRUE(typing.reading().skipped.isEmpty());
        for (int keys = 0; !typing.finished() && keys < 200; ++keys)
            ASSERT_TRUE(typing.type(typing.nextKey()).hit);
        EXPECT_TRUE(typing.finished());
    }
}

TEST_F(PracticeLines, WithoutAHistoryEveryKanaComesAboutEvenly)
{
    PracticeGenerator generator(words, reader);
    const QStringList lines = generator.Generate({}, 1000, 11);
    std::map<QString, int> counts;
    qsizetype drawn = 0;
    for (const QString &line : lines) {
        drawn += line.count(u'\u3000') + 1;
        for (const QString &unit : SplitUnits(ReadLine(line, reader.get()).kana))
            ++counts[unit];
    }
    // Each word was drawn for a unit picked evenly, so each unit stands in
    // at least its even part of the words (and in many more besides).
    const double even = double(drawn) / double(generator.units().size());
    QStringList rare;
    for (const QString &unit : generator.units()) {
        if (counts[unit] < even / 2)
            rare << unit;
    }
    EXPECT_LE(rare.size(), generator.units().size() / 20) << rare.join(u' ').toStdString();
    for (const char *kana : {"あ", "ぢ", "ぬ", "ゆ", "ぴ", "ぎょ", "ん"})
        EXPECT_GE(counts[U(kana)], even / 2) << kana;
}
