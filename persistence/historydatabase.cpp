#include "persistence/historydatabase.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QtEndian>
#include <QVariant>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <initializer_list>

namespace typetoki {

namespace {

// The SQLite result codes that decide what happens to a game (the driver
// reports the extended code; its low byte is the primary one).
enum SqliteCode {
    kBusy = 5,
    kLocked = 6,
    kCorrupt = 11,
    kNotADb = 26,
};

// Each step takes the tables from one version to the next; %1 is the schema.
// A step once released is never changed: files out there were made by it.
const char *const kStepTo1[] = {
    // The first layout: the figures as the player saw them, as text, so not
    // a digit changes; numbers for charts come from them in the queries.
    "CREATE TABLE %1.game ("
    " id INTEGER PRIMARY KEY,"
    " played_at INTEGER NOT NULL,"  // milliseconds since 1970 UTC
    " mode INTEGER NOT NULL,"
    " time_limit INTEGER NOT NULL,"
    " abandoned INTEGER NOT NULL,"
    " text_path TEXT NOT NULL,"
    " text_hash TEXT NOT NULL,"
    " judged TEXT NOT NULL,"
    " correct TEXT NOT NULL,"
    " accuracy TEXT NOT NULL,"
    " speed TEXT NOT NULL,"
    " peak TEXT NOT NULL,"
    " score TEXT NOT NULL,"
    " rank_index INTEGER NOT NULL,"
    " rank_title TEXT NOT NULL,"
    " hero_units BLOB,"
    " rival_units BLOB)",
    // Without a rowid the key is the row: no second b-tree per game.
    "CREATE TABLE %1.target ("
    " game_id INTEGER NOT NULL,"
    " ch TEXT NOT NULL,"
    " targeted INTEGER NOT NULL,"
    " missed INTEGER NOT NULL,"
    " hit_ms INTEGER NOT NULL,"
    " timed_hits INTEGER NOT NULL,"
    " PRIMARY KEY (game_id, ch)) WITHOUT ROWID",
    "CREATE INDEX %1.game_by_group ON game (mode, time_limit, played_at)",
};

const char *const kStepTo2[] = {
    // A training text's path and hash once, not again in every game of it.
    "CREATE TABLE %1.training_text ("
    " id INTEGER PRIMARY KEY,"
    " path TEXT NOT NULL,"
    " hash TEXT NOT NULL,"
    " UNIQUE (path, hash))",
    "INSERT INTO %1.training_text (path, hash)"
    " SELECT DISTINCT text_path, text_hash FROM %1.game"
    " WHERE text_path <> '' OR text_hash <> ''",
    "ALTER TABLE %1.game ADD COLUMN text_id INTEGER REFERENCES training_text (id)",
    ("UPDATE %1.game SET text_id = (SELECT t.id FROM %1.training_text t"
     " WHERE t.path = game.text_path AND t.hash = game.text_hash)"),
    "ALTER TABLE %1.game DROP COLUMN text_path",
    "ALTER TABLE %1.game DROP COLUMN text_hash",
};

const char *const kStepTo3[] = {
    // What was typed instead on each miss, per game and target character.
    "CREATE TABLE %1.miss ("
    " game_id INTEGER NOT NULL,"
    " ch TEXT NOT NULL,"
    " typed TEXT NOT NULL,"
    " times INTEGER NOT NULL,"
    " PRIMARY KEY (game_id, ch, typed)) WITHOUT ROWID",
    // Characters hit in phrases committed whole, and the time those took:
    // none of them has a time of its own in target. Games before this knew
    // no such thing and count none.
    "ALTER TABLE %1.game ADD COLUMN committed_hits INTEGER NOT NULL DEFAULT 0",
    "ALTER TABLE %1.game ADD COLUMN committed_ms INTEGER NOT NULL DEFAULT 0",
    // The progress chart reads these of every game in a group: from the
    // index alone, without a row's unit times and texts.
    "CREATE INDEX %1.game_progress ON game (mode, time_limit, abandoned, played_at, speed, accuracy, score)",
    // Each group's sums, kept as games are added: the keys of ten thousand
    // training games are a million rows, too many to sum as a window opens.
    "CREATE TABLE %1.group_total ("
    " mode INTEGER NOT NULL,"
    " time_limit INTEGER NOT NULL,"
    " abandoned INTEGER NOT NULL,"
    " games INTEGER NOT NULL,"
    " first_at INTEGER NOT NULL,"
    " last_at INTEGER NOT NULL,"
    " committed_games INTEGER NOT NULL,"
    " committed_hits INTEGER NOT NULL,"
    " committed_ms INTEGER NOT NULL,"
    " unit_games INTEGER NOT NULL,"
    " PRIMARY KEY (mode, time_limit, abandoned)) WITHOUT ROWID",
    "CREATE TABLE %1.target_total ("
    " mode INTEGER NOT NULL,"
    " time_limit INTEGER NOT NULL,"
    " abandoned INTEGER NOT NULL,"
    " ch TEXT NOT NULL,"
    " targeted INTEGER NOT NULL,"
    " missed INTEGER NOT NULL,"
    " hit_ms INTEGER NOT NULL,"
    " timed_hits INTEGER NOT NULL,"
    " PRIMARY KEY (mode, time_limit, abandoned, ch)) WITHOUT ROWID",
    "CREATE TABLE %1.miss_total ("
    " mode INTEGER NOT NULL,"
    " time_limit INTEGER NOT NULL,"
    " abandoned INTEGER NOT NULL,"
    " ch TEXT NOT NULL,"
    " typed TEXT NOT NULL,"
    " times INTEGER NOT NULL,"
    " PRIMARY KEY (mode, time_limit, abandoned, ch, typed)) WITHOUT ROWID",
    "INSERT INTO %1.group_total SELECT mode, time_limit, abandoned, COUNT(*), MIN(played_at), MAX(played_at),"
    " 0, 0, 0, SUM(hero_units IS NOT NULL OR rival_units IS NOT NULL) FROM %1.game"
    " GROUP BY mode, time_limit, abandoned",
    "INSERT INTO %1.target_total SELECT g.mode, g.time_limit, g.abandoned, x.ch, SUM(x.targeted),"
    " SUM(x.missed), SUM(x.hit_ms), SUM(x.timed_hits) FROM %1.game g JOIN %1.target x ON x.game_id = g.id"
    " GROUP BY g.mode, g.time_limit, g.abandoned, x.ch",
};

struct Step {
    std::span<const char *const> statements;
};
const Step kSteps[] = {{kStepTo1}, {kStepTo2}, {kStepTo3}};
static_assert(std::size(kSteps) == kHistoryVersion);

QString Sql(const char *statement, const QString &schema)
{
    return QString::fromLatin1(statement).arg(schema);
}

int PrimaryCode(const QSqlError &error)
{
    return error.nativeErrorCode().toInt() & 0xFF;
}

std::atomic<int> connectionCount{0};

}  // namespace

QString HistoryPath(const QString &dataFolder)
{
    return dataFolder + u'/' + kHistoryFileName;
}

HistoryFault FaultOf(const QSqlError &error)
{
    if (error.type() == QSqlError::NoError)
        return HistoryFault::None;
    switch (PrimaryCode(error)) {
    case kBusy:
    case kLocked:
        return HistoryFault::Busy;
    case kCorrupt:
    case kNotADb:
        return HistoryFault::Broken;
    default:
        // Anything else, our own mistakes included, keeps the file as it is:
        // moving a good history aside would hide every game in it.
        return HistoryFault::Unwritable;
    }
}

QByteArray PackUnitSeconds(std::span<const float> seconds)
{
    QByteArray blob(qsizetype(seconds.size() * 2), Qt::Uninitialized);
    char *out = blob.data();
    for (float s : seconds) {
        const double ms = std::isfinite(s) ? std::round(double(s) * 1000) : 0;
        qToLittleEndian(quint16(std::clamp(ms, 0.0, 65535.0)), out);
        out += 2;
    }
    return blob;
}

std::vector<float> UnpackUnitSeconds(const QByteArray &blob)
{
    std::vector<float> seconds(size_t(blob.size() / 2));
    const char *in = blob.constData();
    for (float &s : seconds) {
        s = float(qFromLittleEndian<quint16>(in)) / 1000.0f;
        in += 2;
    }
    return seconds;
}

int HistoryVersion(const QSqlDatabase &db, const QString &schema, QSqlError *error)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("PRAGMA %1.user_version").arg(schema)) || !q.next()) {
        if (error)
            *error = q.lastError();
        return -1;
    }
    return q.value(0).toInt();
}

QSqlError UpgradeHistory(const QSqlDatabase &db, const QString &schema, int toVersion)
{
    QSqlQuery q(db);
    // Immediate: two copies starting at once must not both upgrade.
    if (!q.exec(QStringLiteral("BEGIN IMMEDIATE")))
        return q.lastError();
    QSqlError error;
    const int from = HistoryVersion(db, schema, &error);
    for (int v = std::max(from, 0); error.type() == QSqlError::NoError && v < toVersion; ++v) {
        for (const char *statement : kSteps[v].statements) {
            if (!q.exec(Sql(statement, schema))) {
                error = q.lastError();
                break;
            }
        }
    }
    if (error.type() == QSqlError::NoError && from >= 0 && from < toVersion
        && !q.exec(QStringLiteral("PRAGMA %1.user_version = %2").arg(schema).arg(toVersion)))
        error = q.lastError();
    if (error.type() == QSqlError::NoError && !q.exec(QStringLiteral("COMMIT")))
        error = q.lastError();
    if (error.type() != QSqlError::NoError)
        q.exec(QStringLiteral("ROLLBACK"));
    return error;
}

GameInserter::GameInserter(const QSqlDatabase &db, const QString &schema)
    : game_(db), text_(db), textId_(db), target_(db), miss_(db), groupTotal_(db), targetTotal_(db),
      missTotal_(db)
{
    // A null text is stored as an empty one: a game with no key typed has
    // empty figures, and a null path would never match itself.
    game_.prepare(Sql("INSERT INTO %1.game (played_at, mode, time_limit, abandoned, text_id,"
                      " judged, correct, accuracy, speed, peak, score, rank_index, rank_title,"
                      " hero_units, rival_units, committed_hits, committed_ms)"
                      " VALUES (?, ?, ?, ?, ?, COALESCE(?, ''),"
                      " COALESCE(?, ''), COALESCE(?, ''), COALESCE(?, ''), COALESCE(?, ''),"
                      " COALESCE(?, ''), ?, COALESCE(?, ''), ?, ?, ?, ?)",
                      schema));
    text_.prepare(Sql("INSERT INTO %1.training_text (path, hash)"
                      " VALUES (COALESCE(?, ''), COALESCE(?, '')) ON CONFLICT DO NOTHING",
                      schema));
    textId_.prepare(Sql("SELECT id FROM %1.training_text"
                        " WHERE path = COALESCE(?, '') AND hash = COALESCE(?, '')",
                        schema));
    target_.prepare(Sql("INSERT INTO %1.target VALUES (?, ?, ?, ?, ?, ?)", schema));
    miss_.prepare(Sql("INSERT INTO %1.miss VALUES (?, ?, ?, ?)", schema));
    groupTotal_.prepare(Sql("INSERT INTO %1.group_total VALUES (?, ?, ?, 1, ?, ?, ?, ?, ?, ?)"
                            " ON CONFLICT DO UPDATE SET games = games + 1,"
                            " first_at = MIN(first_at, excluded.first_at), last_at = MAX(last_at, excluded.last_at),"
                            " committed_games = committed_games + excluded.committed_games,"
                            " committed_hits = committed_hits + excluded.committed_hits,"
                            " committed_ms = committed_ms + excluded.committed_ms,"
                            " unit_games = unit_games + excluded.unit_games",
                            schema));
    targetTotal_.prepare(Sql("INSERT INTO %1.target_total VALUES (?, ?, ?, ?, ?, ?, ?, ?)"
                             " ON CONFLICT DO UPDATE SET targeted = targeted + excluded.targeted,"
                             " missed = missed + excluded.missed, hit_ms = hit_ms + excluded.hit_ms,"
                             " timed_hits = timed_hits + excluded.timed_hits",
                             schema));
    missTotal_.prepare(Sql("INSERT INTO %1.miss_total VALUES (?, ?, ?, ?, ?, ?)"
                           " ON CONFLICT DO UPDATE SET times = times + excluded.times",
                           schema));
}

bool GameInserter::Exec(QSqlQuery &query)
{
    if (query.exec())
        return true;
    lastError_ = query.lastError().text();
    lastFault_ = FaultOf(query.lastError());
    return false;
}

bool GameInserter::Insert(const GameResult &game)
{
    lastError_.clear();
    lastFault_ = HistoryFault::None;

    QVariant textId(QMetaType::fromType<qint64>());
    if (!game.trainingTextPath.isEmpty() || !game.trainingTextHash.isEmpty()) {
        text_.addBindValue(game.trainingTextPath);
        text_.addBindValue(game.trainingTextHash);
        if (!Exec(text_))
            return false;
        textId_.addBindValue(game.trainingTextPath);
        textId_.addBindValue(game.trainingTextHash);
        if (!Exec(textId_))
            return false;
        if (textId_.next())
            textId = textId_.value(0);
        textId_.finish();
    }

    game_.addBindValue(game.playedAt.toMSecsSinceEpoch());
    game_.addBindValue(int(game.gameMode));
    game_.addBindValue(int(game.timeLimitSeconds));
    game_.addBindValue(game.abandoned ? 1 : 0);
    game_.addBindValue(textId);
    game_.addBindValue(game.judgedText);
    game_.addBindValue(game.correctText);
    game_.addBindValue(game.accuracyText);
    game_.addBindValue(game.speedText);
    game_.addBindValue(game.peakText);
    game_.addBindValue(game.scoreText);
    game_.addBindValue(game.rankIndex);
    game_.addBindValue(game.rankTitle);
    const auto units = [](const std::vector<float> &seconds) {
        return seconds.empty() ? QVariant(QMetaType::fromType<QByteArray>())
                               : QVariant(PackUnitSeconds(seconds));
    };
    game_.addBindValue(units(game.heroUnitSeconds));
    game_.addBindValue(units(game.rivalUnitSeconds));
    game_.addBindValue(game.committedHits);
    game_.addBindValue(qint64(std::llround(game.committedSeconds * 1000)));
    if (!Exec(game_))
        return false;
    const qint64 gameId = game_.lastInsertId().toLongLong();
    // Bound just before each statement runs, so that one that fails leaves
    // nothing bound for the next game.
    const auto run = [this](QSqlQuery &q, std::initializer_list<QVariant> values) {
        for (const QVariant &v : values)
            q.addBindValue(v);
        return Exec(q);
    };
    const int mode = int(game.gameMode), limit = game.timeLimitSeconds, abandoned = game.abandoned ? 1 : 0;
    const qint64 at = game.playedAt.toMSecsSinceEpoch();
    if (!run(groupTotal_, {mode, limit, abandoned, at, at, game.committedHits > 0 ? 1 : 0, game.committedHits,
                           qint64(std::llround(game.committedSeconds * 1000)),
                           game.heroUnitSeconds.empty() && game.rivalUnitSeconds.empty() ? 0 : 1}))
        return false;
    for (const auto &[ch, stats] : game.targets) {
        const qint64 hitMs = std::llround(stats.hitSeconds * 1000);
        if (!run(target_, {gameId, ch, stats.targeted, stats.missed, hitMs, stats.timedHits})
            || !run(targetTotal_, {mode, limit, abandoned, ch, stats.targeted, stats.missed, hitMs, stats.timedHits}))
            return false;
        for (const auto &[typed, times] : stats.typedInstead) {
            if (!run(miss_, {gameId, ch, typed, times}) || !run(missTotal_, {mode, limit, abandoned, ch, typed, times}))
                return false;
        }
    }
    return true;
}

ScopedConnection::ScopedConnection(const QString &path, const QString &options)
    : name_(QStringLiteral("typetoki-history-%1").arg(++connectionCount))
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name_);
    db.setDatabaseName(path);
    db.setConnectOptions(options);
}

ScopedConnection::~ScopedConnection()
{
    {
        QSqlDatabase db = QSqlDatabase::database(name_, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(name_);
}

QSqlDatabase ScopedConnection::db() const
{
    return QSqlDatabase::database(name_, false);
}

HistoryDatabase::HistoryDatabase(QString path, int busyTimeoutMs)
    : path_(std::move(path)), busyTimeoutMs_(busyTimeoutMs)
{
}

HistoryDatabase::~HistoryDatabase()
{
    Close();
}

void HistoryDatabase::Close()
{
    inserter_.reset();
    connection_.reset();
    open_ = false;
}

void HistoryDatabase::SetBusyTimeout(int ms)
{
    busyTimeoutMs_ = ms;
    if (connection_)
        QSqlQuery(connection_->db()).exec(QStringLiteral("PRAGMA busy_timeout = %1").arg(ms));
}

HistoryFault HistoryDatabase::Fail(const QSqlError &error)
{
    lastError_ = error.text();
    return FaultOf(error);
}

HistoryFault HistoryDatabase::Open()
{
    Close();
    lastError_.clear();
    const QFileInfo info(path_);
    // A folder or a pipe by that name would stall or fail every open.
    if (info.exists() && !info.isFile()) {
        lastError_ = QStringLiteral("not a regular file");
        return HistoryFault::Broken;
    }
    connection_.emplace(path_, QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(busyTimeoutMs_));
    QSqlDatabase db = connection_->db();
    if (!db.open())
        return Fail(db.lastError());

    QSqlError error;
    const int version = HistoryVersion(db, QStringLiteral("main"), &error);
    if (version < 0)
        return Fail(error);
    if (version > kHistoryVersion) {
        lastError_ = QStringLiteral("version %1 is newer than %2").arg(version).arg(kHistoryVersion);
        return HistoryFault::Newer;
    }
    QSqlQuery q(db);
    // WAL: the statistics window, or another copy, reads while a game is
    // written. Every commit is synced, so a game once written survives a
    // power cut; it costs the writing thread a fraction of a millisecond.
    if (!q.exec(QStringLiteral("PRAGMA journal_mode = WAL")) || !q.exec(QStringLiteral("PRAGMA synchronous = FULL")))
        return Fail(q.lastError());
    if (version < kHistoryVersion) {
        error = UpgradeHistory(db);
        if (error.type() != QSqlError::NoError)
            return Fail(error);
    }
    inserter_.emplace(db, QStringLiteral("main"));
    open_ = true;
    return HistoryFault::None;
}

HistoryFault HistoryDatabase::Write(std::span<const GameResult> games)
{
    if (!open_) {
        const HistoryFault fault = Open();
        if (fault != HistoryFault::None)
            return fault;
    }
    QSqlQuery q(connection_->db());
    if (!q.exec(QStringLiteral("BEGIN IMMEDIATE")))
        return Fail(q.lastError());
    for (const GameResult &game : games) {
        if (!inserter_->Insert(game)) {
            q.exec(QStringLiteral("ROLLBACK"));
            lastError_ = inserter_->lastError();
            return inserter_->lastFault();
        }
    }
    if (!q.exec(QStringLiteral("COMMIT"))) {
        const HistoryFault fault = Fail(q.lastError());
        q.exec(QStringLiteral("ROLLBACK"));
        return fault;
    }
    return HistoryFault::None;
}

QString HistoryDatabase::MoveAside(const QDate &today)
{
    Close();
    const QString base = path_ + QStringLiteral(".broken-") + today.toString(Qt::ISODate);
    QString target = base;
    for (int n = 2; QFileInfo::exists(target) || QFileInfo(target).isSymLink(); ++n)
        target = base + u'-' + QString::number(n);
    QDir dir;
    if (!dir.rename(path_, target))
        return {};
    // The journal holds the last games written; they belong with the file.
    for (const QString &suffix : {QStringLiteral("-wal"), QStringLiteral("-shm"), QStringLiteral("-journal")}) {
        if (QFileInfo::exists(path_ + suffix))
            dir.rename(path_ + suffix, target + suffix);
    }
    return target;
}

}  // namespace typetoki
