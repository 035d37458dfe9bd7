#include "engine/rank.h"

#include "engine/numbers.h"

#include <cmath>
#include <limits>

namespace typetoki {

namespace {

constexpr int kTopGrade = 31;

}  // namespace

const std::array<RankRow, 18> &RankTable()
{
    static const std::array<RankRow, 18> table = {{
        {0, 0, QStringLiteral("雷堂鉄男"), QStringLiteral("雷堂剛助の父。いまだに出番がない。")},
        {1, 5, QStringLiteral("ガルム大佐の手下"),
         QStringLiteral(u"えっ？もう終わり？まだ準備運動のつもりだったんですけど\uFF5E\u3000大佐"
                        u"\uFF5E\uFF5E置いていかないでくださいよォ\uFF5E\uFF5E\u3000"
                        u"ちょっと休憩してから追いかけますんで\uFF5E\uFF5E")},
        {6, 8, QStringLiteral("靴みがきのサム"),
         QStringLiteral(u"道案内ならまかせてくれよ\u3000だんな！\u3000チップは弾んでくれよな")},
        {9, 10, QStringLiteral("占いのオババ"), QStringLiteral("水晶玉をよく落とす")},
        {11, 11, QStringLiteral("怪人ガマ男"), QStringLiteral("石にされた男")},
        {12, 12, QStringLiteral("解説屋のボブ"), QStringLiteral("説明が長い")},
        {13, 13, QStringLiteral("下宿のハナおばさん"), QStringLiteral("家賃の取り立てには厳しい！")},
        {14, 14, QStringLiteral("元拳法家ロウ"), QStringLiteral("むかしは師範代。いまは用心棒")},
        {15, 15, QStringLiteral("師匠カスミ"), QStringLiteral("気功使いの女")},
        {16, 16, QStringLiteral("ガルム大佐"),
         QStringLiteral(u"この鋼鉄の腕は百人力だァァァ\u2015\u2015\u2015\u2015\u2015\u2015\u2015ッ!!")},
        {17, 17, QStringLiteral("泥人形使い"), QStringLiteral("ケロ").repeated(30)},
        {18, 18, QStringLiteral("雷堂剛右衛門"), QStringLiteral("レクサ一族の祖先")},
        {19, 20, QStringLiteral("嵐のゼファー"), QStringLiteral("嵐の戦士")},
        {21, 22, QStringLiteral("雷堂剛一"),
         QStringLiteral(u"雷鳴双龍拳（サンダーツインドラゴン）ーっ!!左右からの同時攻撃\u3000"
                        u"奥義！天空落雷撃（スカイサンダーボルト）!!")},
        {23, 25, QStringLiteral("雷堂剛次"), QStringLiteral("勝負は最後の一秒まで終わっちゃいないぜ！")},
        {26, 28, QStringLiteral("Volg"), QStringLiteral("非苦").repeated(55)},
        {29, 30, QStringLiteral("雷堂剛助"), QStringLiteral("エヤ").repeated(77) + QStringLiteral("！！")},
        {kTopGrade, std::numeric_limits<std::int16_t>::max(), QStringLiteral("覇王ゼノン"),
         QStringLiteral("まさに、あなたは伝説の覇者です。作者もこんな点数は出したことがありません。")},
    }};
    return table;
}

std::int16_t RankIndex(double shownScore, GameMode mode, int timeLimitSeconds)
{
    const ModeRow *row = RowOf(mode);
    if (!row)
        return 0;
    const double s = std::floor(shownScore);
    // Division first, then the weight; a weight of 1 changes nothing.
    const double v = std::floor((s / timeLimitSeconds) * row->rankWeight);
    constexpr double lowest = std::numeric_limits<std::int16_t>::min();
    constexpr double highest = std::numeric_limits<std::int16_t>::max();
    // No sensible score gets near these ends; an absurd one still lands in
    // the top grade, which covers both sides of the range.
    if (std::isnan(v) || v > highest)
        return std::numeric_limits<std::int16_t>::max();
    if (v < lowest)
        return std::numeric_limits<std::int16_t>::min();
    return std::int16_t(v);
}

const RankRow &RankRowFor(int rankIndex)
{
    const auto &table = RankTable();
    for (const RankRow &row : table) {
        if (rankIndex >= row.low && rankIndex <= row.high)
            return row;
    }
    return table.back();
}

void Grade(GameResult &result)
{
    result.rankIndex = RankIndex(ReadNumber(result.scoreText), result.gameMode, result.timeLimitSeconds);
    result.rankTitle = RankRowFor(result.rankIndex).title;
}

}  // namespace typetoki
