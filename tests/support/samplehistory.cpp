#include "support/samplehistory.h"

#include "engine/numbers.h"
#include "engine/rank.h"
#include "engine/texthash.h"
#include "persistence/historydatabase.h"

#include <QStringList>
#include <algorithm>
#include <cmath>
#include <random>
#include <span>

namespace typetoki::testing {

namespace {

// How one key sits under the player's fingers: how much slower than the
// average key it comes, and how much more often it slips.
struct KeyHabit {
    double slowness;
    double slips;
};

KeyHabit ChantHabit(QChar key)
{
    switch (key.unicode()) {
    case u'e': return {0.95, 0.8};
    case u'y': return {1.35, 1.9};  // the reach from the home row
    case u'a': return {0.85, 0.5};
    case u'h': return {1.0, 0.9};
    case u'i': return {0.85, 0.7};
    case u'k': return {1.2, 1.5};
    default: return {1.05, 1.2};
    }
}

// Characters committed through the input method: kanji take the longest
// and slip the most; each character keeps a quirk of its own.
KeyHabit TextHabit(QChar c)
{
    const double quirk = 0.6 + double((c.unicode() * 2654435761u) % 1000) / 1000.0 * 1.2;
    if (c.unicode() < 0x80)
        return {0.5 * quirk, 0.7 * quirk};
    if (c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF)
        return {1.5 * quirk, 1.8 * quirk};
    if (c.unicode() >= 0x30A0 && c.unicode() <= 0x30FF)
        return {1.2 * quirk, 1.3 * quirk};
    return {0.9 * quirk, 0.8 * quirk};
}

// Lines of the training text that comes with the game.
const char *const kTrainingLines[] = {
    "打鍵一閃、指先に魂を込めよ。",
    "毎朝の稽古が、明日の速さを作る。",
    "The quick brown fox jumps over the lazy dog.",
    "焦らず、正確に、そして速く。",
    "一打ごとに、昨日の自分を超えていく。",
    "構えは軽く、手首は柔らかく。",
    "誤字を恐れるな、恐れるべきは怠け心だ。",
    "千里の道も一打から。",
};

QStringList TrainingLines()
{
    QStringList lines;
    for (const char *line : kTrainingLines)
        lines.append(QString::fromUtf8(line));
    return lines;
}

const int kTimeLimits[] = {10, 30, 60, 120, 180, 3600};
const double kTimeLimitShare[] = {8, 20, 55, 10, 5, 1};
const double kModeShare[] = {35, 25, 15, 25};

}  // namespace

namespace {

// What a slip types instead: a letter's neighbour on its row of keys, now
// left now right; for other characters, the one that comes next.
QString SlipOf(QChar c, int hit, const QString &line, qsizetype at)
{
    static const QString rows[] = {QStringLiteral("qwertyuiop"), QStringLiteral("asdfghjkl"),
                                   QStringLiteral("zxcvbnm")};
    for (const QString &row : rows) {
        const qsizetype i = row.indexOf(c.toLower());
        if (i >= 0) {
            const qsizetype j = (hit % 2 == 0 && i > 0) || i + 1 == row.size() ? i - 1 : i + 1;
            return QString(row[j]);
        }
    }
    return QString(line[at < line.size() ? at : 0]);
}

}  // namespace

GameResult RealisticGame(int gameMode, int timeLimitSeconds, const QDateTime &playedAt,
                         double keysPerSecond, double accuracyPercent, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> uniform(0, 1);
    std::lognormal_distribution<double> spread(-0.06, 0.35);  // mean about 1

    GameResult game;
    game.playedAt = playedAt;
    game.gameMode = GameMode(gameMode);
    game.timeLimitSeconds = std::int16_t(timeLimitSeconds);

    const QStringList lines = TrainingLines();
    const bool text = gameMode == 4;
    if (text) {
        game.trainingTextPath = QStringLiteral("/home/player/typetoki/test.txt");
        game.trainingTextHash = TrainingTextHash(lines);
    }
    const double baseSlip = std::clamp((100 - accuracyPercent) / 100, 0.0, 0.5);
    const int hits = std::max(0, int(std::lround(keysPerSecond * timeLimitSeconds)));

    // The keys in the order the game asks for them: whole units of the
    // chant, or the training text's characters line after line.
    QString line;
    qsizetype at = 0;
    int lineNumber = 0;
    bool heroLine = true;
    auto nextLine = [&] {
        if (text) {
            line = lines[lineNumber++ % lines.size()];
            return;
        }
        heroLine = gameMode == 1 || (gameMode == 3 && uniform(rng) < 0.5);
        line = (heroLine ? QStringLiteral("eya") : QStringLiteral("hiku")).repeated(8);
    };
    nextLine();

    int misses = 0;
    double unitSeconds = 0;
    double score = 0;
    for (int hit = 0; hit < hits; ++hit) {
        if (at == line.size()) {
            nextLine();
            at = 0;
        }
        const QChar c = line[at++];
        const KeyHabit habit = text ? TextHabit(c) : ChantHabit(c);
        int slipped = 0;
        while (slipped < 3 && uniform(rng) < std::min(0.9, baseSlip * habit.slips))
            ++slipped;
        const double seconds = habit.slowness / keysPerSecond * spread(rng) * (1 + 0.6 * slipped);
        TargetStats &stats = game.targets[QString(c)];
        stats.targeted += 1 + slipped;
        stats.missed += slipped;
        if (slipped > 0)
            stats.typedInstead[SlipOf(c, hit, line, at)] += slipped;
        if (hit > 0) {
            stats.hitSeconds += seconds;
            ++stats.timedHits;
        }
        misses += slipped;
        // A hit adds the accuracy shown at that moment, as the score box did.
        score += 100.0 * (hit + 1) / (hit + 1 + misses) * 2.2 / 100;

        unitSeconds += seconds;
        const bool unitEnds = !text && (heroLine ? at % 3 == 0 : at % 4 == 0);
        if (unitEnds) {
            (heroLine ? game.heroUnitSeconds : game.rivalUnitSeconds).push_back(float(unitSeconds));
            unitSeconds = 0;
        }
    }

    game.inputCount = hits + misses;
    game.correctCount = hits;
    if (game.inputCount > 0) {
        game.judgedText = QString::number(game.inputCount);
        game.correctText = QString::number(hits);
        game.accuracyText = CutText(100.0 * hits / game.inputCount);
    }
    game.speedText = CutText(double(hits) / timeLimitSeconds);
    if (timeLimitSeconds >= 5 && hits > 0)
        game.peakText = CutText(keysPerSecond * (1.15 + 0.2 * uniform(rng)));
    game.scoreText = CutText(score);
    Grade(game);
    return game;
}

std::vector<GameResult> RealisticHistory(const SampleHistoryOptions &options)
{
    std::mt19937 rng(options.seed);
    std::uniform_real_distribution<double> uniform(0, 1);
    std::normal_distribution<double> noise(0, 1);
    std::discrete_distribution<int> modeOf(std::begin(kModeShare), std::end(kModeShare));
    std::discrete_distribution<int> limitOf(std::begin(kTimeLimitShare), std::end(kTimeLimitShare));

    // Most evenings see a session; every game falls on one of them.
    std::vector<int> playDays;
    for (int day = 0; day < options.days; ++day) {
        if (uniform(rng) < 0.7)
            playDays.push_back(day);
    }
    if (playDays.empty())
        playDays.push_back(options.days - 1);
    std::vector<int> gameDays(size_t(std::max(options.games, 0)));
    for (int &day : gameDays)
        day = playDays[size_t(uniform(rng) * double(playDays.size()))];
    std::sort(gameDays.begin(), gameDays.end());

    const QDateTime first = options.end.addDays(1 - options.days);
    std::vector<GameResult> games;
    games.reserve(gameDays.size());
    QDateTime clock;
    int sessionDay = -1;
    for (int day : gameDays) {
        if (day != sessionDay) {
            sessionDay = day;
            clock = QDateTime(first.date().addDays(day), QTime(19, 0))
                        .addSecs(qint64(uniform(rng) * 3 * 3600));
        }
        const int mode = modeOf(rng) + 1;
        const int limit = kTimeLimits[limitOf(rng)];
        clock = clock.addSecs(limit + 40 + qint64(uniform(rng) * 120));

        // A learning curve: fast gains in the first weeks, slower later.
        const double t = double(day) / std::max(1, options.days - 1);
        const double learnt = (1 - std::exp(-2.5 * t)) / (1 - std::exp(-2.5));
        const double stamina = limit >= 60 ? 1 - 0.04 * std::log2(limit / 60.0) : 1.03;
        const double modePace = mode == 2 ? 0.95 : mode == 3 ? 0.9 : 1.0;
        const double speed = mode == 4 ? (0.8 + 0.7 * learnt + 0.12 * noise(rng)) * stamina
                                       : (3.0 + 2.4 * learnt + 0.3 * noise(rng)) * stamina * modePace;
        const double accuracy = std::clamp(89 + 7 * learnt + 1.5 * noise(rng), 70.0, 99.5);

        const bool abandoned = uniform(rng) < 0.05;
        // END cuts the game short: the figures stand as at that moment.
        const int played = abandoned ? std::max(1, int(limit * (0.2 + 0.6 * uniform(rng)))) : limit;
        GameResult game = RealisticGame(mode, played, clock, std::max(0.2, speed),
                                        accuracy, unsigned(rng()));
        game.timeLimitSeconds = std::int16_t(limit);
        if (abandoned) {
            game.abandoned = true;
            game.rankIndex = 0;
            game.rankTitle.clear();
        }
        games.push_back(std::move(game));
    }
    return games;
}

bool WriteHistory(const QString &folder, const std::vector<GameResult> &games, QString *error)
{
    HistoryDatabase db(HistoryPath(folder));
    const std::span<const GameResult> all(games);
    HistoryFault fault = db.Open();
    for (size_t from = 0; fault == HistoryFault::None && from < all.size(); from += 1000)
        fault = db.Write(all.subspan(from, std::min<size_t>(1000, all.size() - from)));
    if (fault != HistoryFault::None) {
        if (error)
            *error = db.lastError();
        return false;
    }
    return true;
}

}  // namespace typetoki::testing
