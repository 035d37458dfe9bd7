// The grade of a finished game: the 18 rank rows and the score per second
// that chooses among them.
#include "engine/rank.h"
#include "support/text.h"

#include <gtest/gtest.h>

using namespace typetoki;

namespace {

const QChar kIdeographicSpace(0x3000);

}  // namespace

TEST(RankTable, EveryGradeWithItsRangeTitleAndComment)
{
    struct Grade {
        int low, high;
        QString title, comment;
    };
    const Grade grades[] = {
        {0, 0, u"雷堂鉄男"_qs, u"雷堂剛助の父。いまだに出番がない。"_qs},
        {1, 5, u"ガルム大佐の手下"_qs, u"えっ？もう終わり？まだ準備運動のつもりだったんですけど～\u3000大佐～～置いていかないでくださいよォ～～\u3000ちょっと休憩してから追いかけますんで～～"_qs},
        {6, 8, u"靴みがきのサム"_qs, u"道案内ならまかせてくれよ\u3000だんな！\u3000チップは弾んでくれよな"_qs},
        {9, 10, u"占いのオババ"_qs, u"水晶玉をよく落とす"_qs},
        {11, 11, u"怪人ガマ男"_qs, u"石にされた男"_qs},
        {12, 12, u"解説屋のボブ"_qs, u"説明が長い"_qs},
        {13, 13, u"下宿のハナおばさん"_qs, u"家賃の取り立てには厳しい！"_qs},
        {14, 14, u"元拳法家ロウ"_qs, u"むかしは師範代。いまは用心棒"_qs},
        {15, 15, u"師匠カスミ"_qs, u"気功使いの女"_qs},
        {16, 16, u"ガルム大佐"_qs, u"この鋼鉄の腕は百人力だァァァ―――――――ッ!!"_qs},
        {17, 17, u"泥人形使い"_qs, u"ケロケロケロケロケロケロケロケロケロケロケロケロケロケロケロケロケロケロケロケロケロケロケロケロケロケロケロケロケロケロ"_qs},
        {18, 18, u"雷堂剛右衛門"_qs, u"レクサ一族の祖先"_qs},
        {19, 20, u"嵐のゼファー"_qs, u"嵐の戦士"_qs},
        {21, 22, u"雷堂剛一"_qs, u"雷鳴双龍拳（サンダーツインドラゴン）ーっ!!左右からの同時攻撃\u3000奥義！天空落雷撃（スカイサンダーボルト）!!"_qs},
        {23, 25, u"雷堂剛次"_qs, u"勝負は最後の一秒まで終わっちゃいないぜ！"_qs},
        {26, 28, u"Volg"_qs, u"非苦"_qs.repeated(55)},
        {29, 30, u"雷堂剛助"_qs, u"エヤ"_qs.repeated(77) + u"！！"_qs},
    };
    const auto &table = RankTable();
    ASSERT_EQ(std::size(grades) + 1, table.size());
    for (std::size_t i = 0; i < std::size(grades); ++i) {
        const Grade &g = grades[i];
        SCOPED_TRACE(g.title.toStdString());
        EXPECT_EQ(table[i].title, g.title);
        EXPECT_EQ(table[i].comment, g.comment);
        // Every value of the range finds this row, and only this one.
        for (int v = g.low; v <= g.high; ++v)
            EXPECT_EQ(&RankRowFor(v), &table[i]) << v;
    }
    EXPECT_EQ(table.back().title, u"覇王ゼノン"_qs);
    EXPECT_EQ(table.back().comment,
              u"まさに、あなたは伝説の覇者です。作者もこんな点数は出したことがありません。"_qs);
    for (int v : {31, 32, 100, 32767, -1, -2, -32768})
        EXPECT_EQ(&RankRowFor(v), &table.back()) << v;
}

TEST(RankTable, LongCommentsAndBlanksAreExact)
{
    const auto &table = RankTable();
    struct Length {
        int rankIndex;
        int characters;
        int ideographicSpaces;
    };
    const Length lengths[] = {
        {3, 70, 2}, {7, 29, 2}, {16, 24, 0}, {17, 60, 0}, {22, 54, 1}, {27, 110, 0}, {30, 156, 0},
    };
    for (const Length &l : lengths) {
        const QString &comment = RankRowFor(l.rankIndex).comment;
        EXPECT_EQ(comment.size(), l.characters) << l.rankIndex;
        EXPECT_EQ(comment.count(kIdeographicSpace), l.ideographicSpaces) << l.rankIndex;
    }
    // No ordinary blank anywhere: every blank in the table is ideographic.
    for (const RankRow &row : table) {
        EXPECT_FALSE(row.title.contains(u' ')) << row.title.toStdString();
        EXPECT_FALSE(row.comment.contains(u' ')) << row.title.toStdString();
    }
    EXPECT_EQ(RankRowFor(17).comment.count(u"ケロ"_qs), 30);
    EXPECT_TRUE(RankRowFor(30).comment.endsWith(u"ヤ！！"_qs));
    EXPECT_EQ(RankRowFor(16).comment.count(QChar(0x2015)), 7);
    EXPECT_EQ(RankRowFor(3).comment.count(QChar(0xFF5E)), 7);
}

TEST(RankIndex, GradesTheDisplayedScorePerSecondInDoubles)
{
    struct Case {
        double shownScore;
        int mode, seconds;
        int rankIndex;
        QString title;
    };
    const Case cases[] = {
        // 775 / 30 * 1.2 is 30.999999999999996 in doubles, not 31.
        {775, 2, 30, 30, u"雷堂剛助"_qs},
        {775, 3, 30, 30, u"雷堂剛助"_qs},
        {275, 2, 30, 10, u"占いのオババ"_qs},
        // The fraction of the displayed score plays no part.
        {1234.56, 1, 60, 20, u"嵐のゼファー"_qs},
        {1234.56, 3, 60, 24, u"雷堂剛次"_qs},
        {1234.56, 4, 60, 205, u"覇王ゼノン"_qs},
        {59.99, 1, 60, 0, u"雷堂鉄男"_qs},
        {1860, 1, 60, 31, u"覇王ゼノン"_qs},
        {1859.99, 1, 60, 30, u"雷堂剛助"_qs},
        {0, 2, 3600, 0, u"雷堂鉄男"_qs},
        {306, 1, 10, 30, u"雷堂剛助"_qs},
        {175, 4, 120, 14, u"元拳法家ロウ"_qs},
        // Romaji practice is graded as the training it is played from.
        {1234.56, 5, 60, 205, u"覇王ゼノン"_qs},
        {175, 5, 120, 14, u"元拳法家ロウ"_qs},
        // A mode the game does not have grades 0 whatever the score.
        {99999, 0, 60, 0, u"雷堂鉄男"_qs},
        {99999, 6, 60, 0, u"雷堂鉄男"_qs},
        // Beyond 16 bits: held at the ends, where the top grade covers both.
        {1e12, 4, 10, 32767, u"覇王ゼノン"_qs},
        {327680, 1, 10, 32767, u"覇王ゼノン"_qs},
        {327670, 1, 10, 32767, u"覇王ゼノン"_qs},
        {-1e12, 1, 10, -32768, u"覇王ゼノン"_qs},
        {-5, 1, 10, -1, u"覇王ゼノン"_qs},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(::testing::Message() << c.shownScore << " points, mode " << c.mode << ", "
                                        << c.seconds << " s");
        const std::int16_t index = RankIndex(c.shownScore, GameMode(c.mode), c.seconds);
        EXPECT_EQ(index, c.rankIndex);
        EXPECT_EQ(RankRowFor(index).title, c.title);
    }
}
