#include "persistence/historyreader.h"

#include <QFileInfo>
#include <QSaveFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <algorithm>
#include <initializer_list>

namespace typetoki {

namespace {

// The games of the file and those still in memory (in the temp schema), as
// one. src tells them apart: ids are only unique within each.
const char *const kViews[] = {
    "CREATE TEMP VIEW history_game AS"
    " SELECT 0 AS src, g.id, g.played_at, g.mode, g.time_limit, g.abandoned, g.judged, g.correct,"
    " g.accuracy, g.speed, g.peak, g.score, g.rank_index, g.rank_title, g.hero_units,"
    " g.rival_units, t.path AS text_path, t.hash AS text_hash"
    " FROM main.game g LEFT JOIN main.training_text t ON t.id = g.text_id"
    " UNION ALL"
    " SELECT 1, g.id, g.played_at, g.mode, g.time_limit, g.abandoned, g.judged, g.correct,"
    " g.accuracy, g.speed, g.peak, g.score, g.rank_index, g.rank_title, g.hero_units,"
    " g.rival_units, t.path, t.hash"
    " FROM temp.game g LEFT JOIN temp.training_text t ON t.id = g.text_id",
    "CREATE TEMP VIEW history_target AS"
    " SELECT g.mode, g.time_limit, g.abandoned, x.ch, x.targeted, x.missed, x.hit_ms, x.timed_hits"
    " FROM main.game g JOIN main.target x ON x.game_id = g.id"
    " UNION ALL"
    " SELECT g.mode, g.time_limit, g.abandoned, x.ch, x.targeted, x.missed, x.hit_ms, x.timed_hits"
    " FROM temp.game g JOIN temp.target x ON x.game_id = g.id",
};

// The columns StoredGameAt reads, in its order.
const char kGameColumns[] =
    "src, id, played_at, mode, time_limit, abandoned, judged, correct, accuracy, speed, peak, score,"
    " rank_index, rank_title, hero_units, rival_units, text_path, text_hash";

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
    return g;
}

QString CsvField(QString text)
{
    if (text.contains(u',') || text.contains(u'"') || text.contains(u'\n') || text.contains(u'\r'))
        return u'"' + text.replace(u'"', QStringLiteral("\"\"")) + u'"';
    return text;
}

QString SecondsText(double seconds)
{
    return QString::number(seconds, 'f', 3);
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
    QSqlQuery q = Select(
        QStringLiteral(
            "SELECT played_at, CAST(speed AS REAL) AS s, CAST(accuracy AS REAL),"
            " AVG(CAST(speed AS REAL)) OVER (ORDER BY played_at, src, id ROWS 9 PRECEDING),"
            " MAX(CAST(speed AS REAL)) OVER (ORDER BY played_at, src, id ROWS UNBOUNDED PRECEDING)"
            " FROM history_game WHERE mode = ? AND time_limit = ? AND abandoned = 0"
            " ORDER BY played_at, src, id"),
        {group.gameMode, group.timeLimitSeconds});
    while (q.next()) {
        progress.finished.push_back({QDateTime::fromMSecsSinceEpoch(q.value(0).toLongLong()),
                                     q.value(1).toDouble(), q.value(2).toDouble(), q.value(3).toDouble(),
                                     q.value(4).toDouble()});
    }
    if (!group.withAbandoned)
        return progress;
    q = Select(QStringLiteral("SELECT played_at, CAST(speed AS REAL), CAST(accuracy AS REAL)"
                              " FROM history_game WHERE mode = ? AND time_limit = ? AND abandoned = 1"
                              " ORDER BY played_at, src, id"),
               {group.gameMode, group.timeLimitSeconds});
    while (q.next()) {
        progress.abandoned.push_back({QDateTime::fromMSecsSinceEpoch(q.value(0).toLongLong()),
                                      q.value(1).toDouble(), q.value(2).toDouble(), 0, 0});
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
                           q.value(3).toLongLong(), q.value(4).toDouble() / 1000});
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

std::vector<StoredGame> HistoryReader::RecentGames(int count, bool withDetail)
{
    std::vector<StoredGame> games;
    QSqlQuery q = Select(          QStringLiteral("SELECT %1 FROM history_game ORDER BY played_at DESC, src DESC, id DESC"
                                        " LIMIT ?")
                             .arg(QLatin1String(kGameColumns)),
                         {count});
    while (q.next())
        games.push_back(StoredGameAt(q));
    if (!withDetail)
        return games;
    for (StoredGame &game : games) {
        QSqlQuery t = Select(QStringLiteral("SELECT ch, targeted, missed, hit_ms, timed_hits FROM %1.target"
                                            " WHERE game_id = ?")
                                 .arg(game.unwritten ? QLatin1String("temp") : QLatin1String("main")),
                             {game.id});
        while (t.next()) {
            game.result.targets[t.value(0).toString()] = {t.value(1).toInt(), t.value(2).toInt(),
                                                          t.value(3).toDouble() / 1000, t.value(4).toInt()};
        }
    }
    return games;
}

bool HistoryReader::ExportCsv(const QString &file, QString *error)
{
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly)) {
        if (error)
            *error = out.errorString();
        return false;
    }
    QStringList header = {
        QStringLiteral("日時"),         QStringLiteral("種目"),
        QStringLiteral("制限時間[秒]"), QStringLiteral("中断"),
        QStringLiteral("入力文字数"),   QStringLiteral("正解文字数"),
        QStringLiteral("文字正解率"),   QStringLiteral("秒速[文字/秒]"),
        QStringLiteral("瞬間最大秒速"), QStringLiteral("得点"),
        QStringLiteral("レベル"),       QStringLiteral("文章"),
        QStringLiteral("文章のハッシュ"), QStringLiteral("eyaの数"),
        QStringLiteral("eyaの中央値[秒]"), QStringLiteral("hikuの数"),
        QStringLiteral("hikuの中央値[秒]"),
    };
    QByteArray bytes = "\xEF\xBB\xBF" + header.join(u',').toUtf8() + "\r\n";
    QSqlQuery q = Select(QStringLiteral("SELECT %1 FROM history_game ORDER BY played_at, src, id")
                             .arg(QLatin1String(kGameColumns)),
                         {});
    while (q.next()) {
        const GameResult g = StoredGameAt(q).result;
        const QStringList fields = {
            g.playedAt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
            QString::number(int(g.gameMode)),
            QString::number(g.timeLimitSeconds),
            g.abandoned ? QStringLiteral("1") : QStringLiteral("0"),
            g.judgedText,
            g.correctText,
            g.accuracyText,
            g.speedText,
            g.peakText,
            g.scoreText,
            g.rankTitle,
            g.trainingTextPath,
            g.trainingTextHash,
            QString::number(g.heroUnitSeconds.size()),
            g.heroUnitSeconds.empty() ? QString() : SecondsText(Median(g.heroUnitSeconds)),
            QString::number(g.rivalUnitSeconds.size()),
            g.rivalUnitSeconds.empty() ? QString() : SecondsText(Median(g.rivalUnitSeconds)),
        };
        QStringList quoted;
        for (const QString &field : fields)
            quoted.append(CsvField(field));
        bytes += quoted.join(u',').toUtf8() + "\r\n";
    }
    if (out.write(bytes) != bytes.size() || !out.commit()) {
        if (error)
            *error = out.errorString();
        return false;
    }
    return true;
}

}  // namespace typetoki
