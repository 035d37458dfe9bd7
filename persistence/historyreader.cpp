#include "persistence/historyreader.h"

#include "engine/gamemode.h"

#include <QFileInfo>
#include <QSaveFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <algorithm>
#include <cmath>
#include <initializer_list>

namespace typetoki {

namespace {

// The games of the file and those still in memory (in the temp schema), as
// one. src tells them apart: ids are only unique within each.
const char *const kViews[] = {
    "CREATE TEMP VIEW history_game AS"
    " SELECT 0 AS src, g.id, g.played_at, g.mode, g.time_limit, g.abandoned, g.judged, g.correct,"
    " g.accuracy, g.speed, g.peak, g.score, g.rank_index, g.rank_title, g.hero_units,"
    " g.rival_units, t.path AS text_path, t.hash AS text_hash, g.committed_hits, g.committed_ms"
    " FROM main.game g LEFT JOIN main.training_text t ON t.id = g.text_id"
    " UNION ALL"
    " SELECT 1, g.id, g.played_at, g.mode, g.time_limit, g.abandoned, g.judged, g.correct,"
    " g.accuracy, g.speed, g.peak, g.score, g.rank_index, g.rank_title, g.hero_units,"
    " g.rival_units, t.path, t.hash, g.committed_hits, g.committed_ms"
    " FROM temp.game g LEFT JOIN temp.training_text t ON t.id = g.text_id",
    // The file's sums per group, and the few games in memory one by one
    // (their own sums would count a game the file already has).
    "CREATE TEMP VIEW history_target AS"
    " SELECT mode, time_limit, abandoned, ch, targeted, missed, hit_ms, timed_hits FROM main.target_total"
    " UNION ALL"
    " SELECT g.mode, g.time_limit, g.abandoned, x.ch, x.targeted, x.missed, x.hit_ms, x.timed_hits"
    " FROM temp.game g JOIN temp.target x ON x.game_id = g.id",
    "CREATE TEMP VIEW history_miss AS"
    " SELECT mode, time_limit, abandoned, ch, typed, times FROM main.miss_total"
    " UNION ALL"
    " SELECT g.mode, g.time_limit, g.abandoned, m.ch, m.typed, m.times"
    " FROM temp.game g JOIN temp.miss m ON m.game_id = g.id",
    "CREATE TEMP VIEW history_group AS"
    " SELECT mode, time_limit, abandoned, games, first_at, last_at, committed_games, committed_hits,"
    " committed_ms, unit_games FROM main.group_total"
    " UNION ALL"
    " SELECT mode, time_limit, abandoned, COUNT(*), MIN(played_at), MAX(played_at), SUM(committed_hits > 0),"
    " SUM(committed_hits), SUM(committed_ms), SUM(hero_units IS NOT NULL OR rival_units IS NOT NULL)"
    " FROM temp.game GROUP BY mode, time_limit, abandoned",
    // Each game's targets with their misses in one text, for the export.
    "CREATE TEMP VIEW history_target_detail AS"
    " SELECT 0 AS src, x.game_id, x.ch, x.targeted, x.missed, x.hit_ms, x.timed_hits,"
    " (SELECT group_concat(m.typed || '×' || m.times, '、') FROM main.miss m"
    "  WHERE m.game_id = x.game_id AND m.ch = x.ch) AS instead"
    " FROM main.target x"
    " UNION ALL"
    " SELECT 1, x.game_id, x.ch, x.targeted, x.missed, x.hit_ms, x.timed_hits,"
    " (SELECT group_concat(m.typed || '×' || m.times, '、') FROM temp.miss m"
    "  WHERE m.game_id = x.game_id AND m.ch = x.ch)"
    " FROM temp.target x",
};

// The columns StoredGameAt reads, in its order.
const char kGameColumns[] =
    "src, id, played_at, mode, time_limit, abandoned, judged, correct, accuracy, speed, peak, score,"
    " rank_index, rank_title, hero_units, rival_units, text_path, text_hash, committed_hits, committed_ms";

const char kInGroup[] = " mode = ? AND time_limit = ? AND (abandoned = 0 OR ?)";

// A row of kGameColumns. The counts are not stored apart from the texts
// that show them.
StoredGame StoredGameAt(const QSqlQuery &q)
{
    StoredGame g;
    g.unwritten = q.value(0).toInt() != 0;
    g.id = q.value(1).toLongLong();
    GameResult &r = g.result;
    r.playedAt = QDateTime::fromMSecsSinceEpoch(q.value(2).toLongLong());
    r.gameMode = GameMode(q.value(3).toInt());
    r.timeLimitSeconds = std::int16_t(q.value(4).toInt());
    r.abandoned = q.value(5).toInt() != 0;
    r.judgedText = q.value(6).toString();
    r.correctText = q.value(7).toString();
    r.accuracyText = q.value(8).toString();
    r.speedText = q.value(9).toString();
    r.peakText = q.value(10).toString();
    r.scoreText = q.value(11).toString();
    r.inputCount = r.judgedText.toInt();
    r.correctCount = r.correctText.toInt();
    r.rankIndex = q.value(12).toInt();
    r.rankTitle = q.value(13).toString();
    r.heroUnitSeconds = UnpackUnitSeconds(q.value(14).toByteArray());
    r.rivalUnitSeconds = UnpackUnitSeconds(q.value(15).toByteArray());
    r.trainingTextPath = q.value(16).toString();
    r.trainingTextHash = q.value(17).toString();
    r.committedHits = q.value(18).toInt();
    r.committedSeconds = q.value(19).toDouble() / 1000;
    return g;
}

QString CsvField(QString text)
{
    if (text.contains(u',') || text.contains(u'"') || text.contains(u'\n') || text.contains(u'\r'))
        return u'"' + text.replace(u'"', QStringLiteral("\"\"")) + u'"';
    return text;
}

}  // namespace

double Median(std::vector<float> values)
{
    if (values.empty())
        return 0;
    const auto middle = values.begin() + qsizetype(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    if (values.size() % 2 == 1)
        return *middle;
    const float below = *std::max_element(values.begin(), middle);
    return (double(below) + double(*middle)) / 2;
}

double MedianMillis(const std::vector<float> &seconds)
{
    std::vector<float> millis;
    millis.reserve(seconds.size());
    for (float s : seconds)
        millis.push_back(float(std::llround(double(s) * 1000)));
    return Median(std::move(millis));
}

QString MillisText(double millis)
{
    const qint64 ms = std::llround(millis);
    return QStringLiteral("%1%2.%3")
        .arg(ms < 0 ? QStringLiteral("-") : QString())
        .arg(std::abs(ms) / 1000)
        .arg(std::abs(ms) % 1000, 3, 10, QLatin1Char('0'));
}

QString ModeName(int gameMode)
{
    const ModeRow *row = RowOf(GameMode(gameMode));
    return row ? Text(row->boardButton) : QString::number(gameMode);
}

HistoryReader::HistoryReader(const QString &path, const std::vector<GameResult> &unwritten)
{
    Open(path);
    AddUnwritten(unwritten);
}

HistoryReader::~HistoryReader() = default;

void HistoryReader::Open(const QString &path)
{
    const QFileInfo info(path);
    if (info.isFile()) {
        // Read-only, and short of patience: the window waits for this.
        connection_.emplace(path, QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=500"));
        // A statement of ours takes a fraction of this even on years of
        // games (the time between its rows counts too: the CSV of 100,000
        // games is one statement); one that takes longer is running
        // something of the file's.
        guard_.LimitEachStatement(10000);
        guard_.SetBusyTimeout(500);
        QSqlDatabase db = connection_->db();
        const int version = db.open() && guard_.Attach(db) ? HistoryVersion(db, QStringLiteral("main")) : -1;
        const bool own = version >= 0 && version <= kHistoryVersion && ForeignSchema(db, version).isEmpty();
        if (version == kHistoryVersion && own)
            return;
        // 0: made by a store that has not laid out its tables yet.
        if (version != 0 || !own) {
            problem_ = version > kHistoryVersion
                           ? QStringLiteral("成績の記録は新しい版のタイプ闘記で作られたため、読めません。")
                       : version >= 0 && !own
                           ? QStringLiteral("成績の記録 %1 はタイプ闘記の記録の形をしていないため、読めません。").arg(path)
                           : QStringLiteral("成績の記録 %1 を読めません。").arg(path);
        }
        db = QSqlDatabase();
        connection_.reset();
    } else if (info.exists()) {
        problem_ = QStringLiteral("成績の記録 %1 を読めません。").arg(path);
    }
    // No file (yet): empty tables of the present layout.
    connection_.emplace(QStringLiteral(":memory:"), QString());
    QSqlDatabase db = connection_->db();
    db.open();
    guard_.Attach(db);
    UpgradeHistory(db);
}

void HistoryReader::AddUnwritten(const std::vector<GameResult> &games)
{
    QSqlDatabase db = connection_->db();
    UpgradeHistory(db, QStringLiteral("temp"));
    QSqlQuery q(db);
    for (const char *view : kViews)
        q.exec(QString::fromLatin1(view));
    if (games.empty())
        return;
    q.exec(QStringLiteral("BEGIN"));
    {
        GameInserter inserter(db, QStringLiteral("temp"));
        for (const GameResult &game : games)
            inserter.Insert(game);
    }
    // A game written while the window opened is in both; the file's copy
    // is the one to show.
    q.exec(QStringLiteral("DELETE FROM temp.game WHERE EXISTS (SELECT 1 FROM main.game m"
                          " WHERE m.mode = temp.game.mode AND m.time_limit = temp.game.time_limit"
                          " AND m.played_at = temp.game.played_at)"));
    q.exec(QStringLiteral("DELETE FROM temp.target WHERE game_id NOT IN (SELECT id FROM temp.game)"));
    q.exec(QStringLiteral("DELETE FROM temp.miss WHERE game_id NOT IN (SELECT id FROM temp.game)"));
    q.exec(QStringLiteral("COMMIT"));
}

QSqlQuery HistoryReader::Select(const QString &sql, std::initializer_list<QVariant> values)
{
    QSqlQuery q(connection_->db());
    q.setForwardOnly(true);
    q.prepare(sql);
    for (const QVariant &v : values)
        q.addBindValue(v);
    // A damage deep in the file shows only when a query reaches it.
    if (!q.exec() && problem_.isEmpty())
        problem_ = QStringLiteral("成績の記録の一部を読めません。%1。").arg(HistoryErrorText(q.lastError()));
    return q;
}

QSqlQuery HistoryReader::SelectInGroup(const QString &sql, const HistoryGroup &group)
{
    return Select(sql, {group.gameMode, group.timeLimitSeconds, group.withAbandoned ? 1 : 0});
}

int HistoryReader::GameCount()
{
    QSqlQuery q = Select(QStringLiteral("SELECT COUNT(*) FROM history_game"), {});
    return q.next() ? q.value(0).toInt() : 0;
}

Progress HistoryReader::ProgressOf(const HistoryGroup &group)
{
    Progress progress;
    for (int abandoned = 0; abandoned <= (group.withAbandoned ? 1 : 0); ++abandoned) {
        // Straight from the tables, not through the view: then the columns
        // asked for are all in an index, and the rows are never read.
        const QString select = QStringLiteral("SELECT played_at, CAST(speed AS REAL) AS s, CAST(accuracy AS REAL) AS a,"
                                              " CAST(score AS REAL) AS p, %2 AS src, id FROM %1.game"
                                              " WHERE mode = ? AND time_limit = ? AND abandoned = ?");
        QSqlQuery q = Select(select.arg(QLatin1String("main")).arg(0) + QStringLiteral(" UNION ALL ")
                                 + select.arg(QLatin1String("temp")).arg(1)
                                 + QStringLiteral(" ORDER BY played_at, src, id"),
                             {group.gameMode, group.timeLimitSeconds, abandoned, group.gameMode,
                              group.timeLimitSeconds, abandoned});
        std::vector<ProgressPoint> &points = abandoned ? progress.abandoned : progress.finished;
        while (q.next()) {
            points.push_back({q.value(0).toLongLong(), q.value(1).toDouble(),
                              q.value(2).toDouble(), 0, 0, q.value(3).toDouble()});
        }
    }
    // The running figures of finished games, in the order played.
    double best = 0;
    std::vector<ProgressPoint> &finished = progress.finished;
    for (size_t i = 0; i < finished.size(); ++i) {
        // Summed afresh, not kept running: no rounding carried along.
        const size_t from = i >= 9 ? i - 9 : 0;
        double sum10 = 0;
        for (size_t k = from; k <= i; ++k)
            sum10 += finished[k].speed;
        finished[i].average10 = sum10 / double(i + 1 - from);
        best = i == 0 ? finished[i].speed : std::max(best, finished[i].speed);
        finished[i].best = best;
    }
    return progress;
}

std::vector<TargetFigures> HistoryReader::Targets(const HistoryGroup &group)
{
    std::vector<TargetFigures> targets;
    QSqlQuery q = SelectInGroup(
        QStringLiteral("SELECT ch, SUM(targeted), SUM(missed), SUM(timed_hits), SUM(hit_ms)"
                       " FROM history_target WHERE")
            + QLatin1String(kInGroup)
            + QStringLiteral(" GROUP BY ch ORDER BY SUM(missed) DESC, SUM(targeted) DESC, ch"),
        group);
    while (q.next()) {
        targets.push_back({q.value(0).toString(), q.value(1).toLongLong(), q.value(2).toLongLong(),
                           q.value(3).toLongLong(), q.value(4).toDouble() / 1000, {}});
    }
    std::map<QString, size_t> at;
    for (size_t i = 0; i < targets.size(); ++i)
        at[targets[i].target] = i;
    q = SelectInGroup(QStringLiteral("SELECT ch, typed, SUM(times) FROM history_miss WHERE")
                          + QLatin1String(kInGroup)
                          + QStringLiteral(" GROUP BY ch, typed ORDER BY SUM(times) DESC, typed"),
                      group);
    while (q.next()) {
        const auto it = at.find(q.value(0).toString());
        if (it != at.end())
            targets[it->second].typedInstead.emplace_back(q.value(1).toString(), q.value(2).toLongLong());
    }
    return targets;
}

UnitTimes HistoryReader::Units(const HistoryGroup &group)
{
    UnitTimes units;
    QSqlQuery q = SelectInGroup(
        QStringLiteral("SELECT hero_units, rival_units FROM history_game WHERE") + QLatin1String(kInGroup)
            + QStringLiteral(" AND (hero_units IS NOT NULL OR rival_units IS NOT NULL)"),
        group);
    while (q.next()) {
        for (auto [column, into] : {std::pair{0, &units.hero}, std::pair{1, &units.rival}}) {
            const std::vector<float> seconds = UnpackUnitSeconds(q.value(column).toByteArray());
            into->insert(into->end(), seconds.begin(), seconds.end());
        }
    }
    return units;
}

TimeSources HistoryReader::TimesOf(const HistoryGroup &group)
{
    TimeSources times;
    QSqlQuery q = SelectInGroup(
        QStringLiteral("SELECT SUM(games), MIN(first_at), MAX(last_at), SUM(committed_games),"
                       " SUM(committed_hits), SUM(committed_ms), SUM(unit_games) FROM history_group WHERE")
            + QLatin1String(kInGroup),
        group);
    if (q.next() && q.value(0).toLongLong() > 0) {
        times.games = q.value(0).toLongLong();
        times.first = QDateTime::fromMSecsSinceEpoch(q.value(1).toLongLong());
        times.last = QDateTime::fromMSecsSinceEpoch(q.value(2).toLongLong());
        times.committedGames = q.value(3).toLongLong();
        times.committedHits = q.value(4).toLongLong();
        times.committedSeconds = q.value(5).toDouble() / 1000;
        times.unitGames = q.value(6).toLongLong();
    }
    return times;
}

std::vector<StoredGame> HistoryReader::RecentGames(int count, bool withDetail)
{
    std::vector<StoredGame> games;
    QSqlQuery q = Select(QStringLiteral("SELECT %1 FROM history_game ORDER BY played_at DESC, src DESC, id DESC"
                                        " LIMIT ?")
                             .arg(QLatin1String(kGameColumns)),
                         {count});
    while (q.next())
        games.push_back(StoredGameAt(q));
    if (withDetail) {
        for (StoredGame &game : games)
            AddDetail(game);
    }
    return games;
}

std::vector<StoredGame> HistoryReader::GamesOf(const HistoryGroup &group)
{
    std::vector<StoredGame> games;
    QSqlQuery q = Select(QStringLiteral("SELECT %1 FROM history_game WHERE mode = ? AND time_limit = ?"
                                        " ORDER BY played_at DESC, src DESC, id DESC")
                             .arg(QLatin1String(kGameColumns)),
                         {group.gameMode, group.timeLimitSeconds});
    while (q.next())
        games.push_back(StoredGameAt(q));
    return games;
}

void HistoryReader::AddDetail(StoredGame &game)
{
    const QLatin1String schema = game.unwritten ? QLatin1String("temp") : QLatin1String("main");
    std::map<QString, TargetStats> &targets = game.result.targets;
    QSqlQuery t = Select(QStringLiteral("SELECT ch, targeted, missed, hit_ms, timed_hits FROM %1.target"
                                        " WHERE game_id = ?")
                             .arg(schema),
                         {game.id});
    while (t.next()) {
        targets[t.value(0).toString()] = {t.value(1).toInt(), t.value(2).toInt(), t.value(3).toDouble() / 1000,
                                          t.value(4).toInt(), {}};
    }
    t = Select(QStringLiteral("SELECT ch, typed, times FROM %1.miss WHERE game_id = ?").arg(schema), {game.id});
    while (t.next())
        targets[t.value(0).toString()].typedInstead[t.value(1).toString()] = t.value(2).toInt();
}

namespace {

// A CSV file written line by line: a failure is kept until the end.
class CsvOut {
public:
    explicit CsvOut(const QString &file) : out_(file) {}
    bool open(const QStringList &header)
    {
        if (!out_.open(QIODevice::WriteOnly))
            return false;
        out_.write("\xEF\xBB\xBF");
        line(header);
        return true;
    }
    void line(const QStringList &fields)
    {
        QStringList quoted;
        for (const QString &field : fields)
            quoted.append(CsvField(field));
        bytes_ += quoted.join(u',').toUtf8() + "\r\n";
        if (bytes_.size() > (1 << 20))
            flush();
    }
    bool commit(QString *error)
    {
        flush();
        if (!failed_ && out_.commit())
            return true;
        if (error && error->isEmpty())
            *error = out_.errorString();
        out_.cancelWriting();
        return false;
    }
    void cancel() { out_.cancelWriting(); }
    QString errorString() const { return out_.errorString(); }

private:
    void flush()
    {
        if (out_.write(bytes_) != bytes_.size())
            failed_ = true;
        bytes_.clear();
    }
    QSaveFile out_;
    QByteArray bytes_;
    bool failed_ = false;
};

}  // namespace

bool HistoryReader::ExportCsv(const QString &file, QString *error, const QString &detailFile,
                              const ExportProgress &progress)
{
    CsvOut out(file);
    if (!out.open({QStringLiteral("日時"), QStringLiteral("種目"), QStringLiteral("制限時間[秒]"),
                   QStringLiteral("中断"), QStringLiteral("入力文字数"), QStringLiteral("正解文字数"),
                   QStringLiteral("文字正解率"), QStringLiteral("秒速[文字/秒]"), QStringLiteral("瞬間最大秒速"),
                   QStringLiteral("得点"), QStringLiteral("レベル"), QStringLiteral("文章"),
                   QStringLiteral("文章のハッシュ"), QStringLiteral("eyaの数"), QStringLiteral("eyaの中央値[秒]"),
                   QStringLiteral("hikuの数"), QStringLiteral("hikuの中央値[秒]")})) {
        if (error)
            *error = out.errorString();
        return false;
    }
    std::optional<CsvOut> detail;
    if (!detailFile.isEmpty()) {
        detail.emplace(detailFile);
        if (!detail->open({QStringLiteral("日時"), QStringLiteral("種目"), QStringLiteral("制限時間[秒]"),
                           QStringLiteral("種別"), QStringLiteral("文字・番号"), QStringLiteral("出題"),
                           QStringLiteral("ミス"), QStringLiteral("時間[秒]"),
                           QStringLiteral("打ち間違えた文字")})) {
            if (error)
                *error = detail->errorString();
            out.cancel();
            return false;
        }
    }
    qint64 total = 0;
    if (progress) {
        QSqlQuery count = Select(QStringLiteral("SELECT COUNT(*) FROM history_game"), {});
        total = count.next() ? count.value(0).toLongLong() : 0;
    }
    // Each game's targets, with what was typed instead on their misses.
    QSqlQuery targets[2] = {QSqlQuery(connection_->db()), QSqlQuery(connection_->db())};
    for (int src = 0; src < 2; ++src) {
        targets[src].setForwardOnly(true);
        targets[src].prepare(QStringLiteral("SELECT ch, targeted, missed, hit_ms, timed_hits,"
                                            " (SELECT group_concat(m.typed || '×' || m.times, '、')"
                                            "  FROM %1.miss m WHERE m.game_id = x.game_id AND m.ch = x.ch)"
                                            " FROM %1.target x WHERE game_id = ? ORDER BY ch")
                                 .arg(src == 0 ? QLatin1String("main") : QLatin1String("temp")));
    }
    QSqlQuery q = Select(QStringLiteral("SELECT %1 FROM history_game ORDER BY played_at, src, id")
                             .arg(QLatin1String(kGameColumns)),
                         {});
    qint64 done = 0;
    while (q.next()) {
        const StoredGame stored = StoredGameAt(q);
        const GameResult &g = stored.result;
        const QString when = g.playedAt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        const QString mode = ModeName(int(g.gameMode));
        const QString limit = QString::number(g.timeLimitSeconds);
        const auto median = [](const std::vector<float> &units) {
            return units.empty() ? QString() : MillisText(MedianMillis(units));
        };
        out.line({when, mode, limit, g.abandoned ? QStringLiteral("1") : QStringLiteral("0"), g.judgedText,
                  g.correctText, g.accuracyText, g.speedText, g.peakText, g.scoreText, g.rankTitle,
                  g.trainingTextPath, g.trainingTextHash, QString::number(g.heroUnitSeconds.size()),
                  median(g.heroUnitSeconds), QString::number(g.rivalUnitSeconds.size()),
                  median(g.rivalUnitSeconds)});
        if (detail) {
            QSqlQuery &t = targets[stored.unwritten ? 1 : 0];
            t.addBindValue(stored.id);
            t.exec();
            while (t.next()) {
                const qint64 timed = t.value(4).toLongLong();
                detail->line({when, mode, limit, QStringLiteral("キー"), t.value(0).toString(),
                              t.value(1).toString(), t.value(2).toString(),
                              timed > 0 ? MillisText(t.value(3).toDouble() / double(timed)) : QString(),
                              t.value(5).toString()});
            }
            t.finish();
            for (const auto &[kind, units] : {std::pair{QStringLiteral("eya"), &g.heroUnitSeconds},
                                              std::pair{QStringLiteral("hiku"), &g.rivalUnitSeconds}}) {
                for (size_t i = 0; i < units->size(); ++i) {
                    detail->line({when, mode, limit, kind, QString::number(i + 1), QString(), QString(),
                                  MillisText(std::round(double((*units)[i]) * 1000)), QString()});
                }
            }
        }
        ++done;
        if (progress && done % 500 == 0 && !progress(done, total))
            break;
    }
    if (progress && !progress(done, total)) {
        out.cancel();
        if (detail)
            detail->cancel();
        if (error)
            *error = QStringLiteral("中止しました");
        return false;
    }
    if (!out.commit(error)) {
        if (detail)
            detail->cancel();
        return false;
    }
    return !detail || detail->commit(error);
}

}  // namespace typetoki
