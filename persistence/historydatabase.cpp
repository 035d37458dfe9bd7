#include "persistence/historydatabase.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDriver>
#include <QtEndian>
#include <QVariant>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <initializer_list>
#include <sqlite3.h>
#include <sys/stat.h>
#include <thread>

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

// Writing a game takes milliseconds; a statement still running after this
// does what no history of ours makes it do.
constexpr int kWriteLimitMs = 5000;

sqlite3 *HandleOf(const QSqlDatabase &db)
{
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3 *const *>(handle.constData());
}

int SystemErrorOf(const QSqlDatabase &db)
{
    sqlite3 *handle = HandleOf(db);
    return handle ? sqlite3_system_errno(handle) : 0;
}

// The failures a player can meet, by SQLite's primary result code; an error
// number of the system, where there is one, says more than SQLite's code
// (a full disk reported as an I/O error).
struct FailurePhrase {
    int code;
    const char *japanese;
};
const FailurePhrase kSystemPhrases[] = {
    {ENOSPC, "ディスクの空きが足りません"},
    {EDQUOT, "ディスクの使用量の上限に達しています"},
    {EFBIG, "ファイルが大きすぎます"},
    {EROFS, "読み取り専用の場所です"},
    {EACCES, "書き込む権限がありません"},
    {EPERM, "書き込む権限がありません"},
};
const FailurePhrase kSqlitePhrases[] = {
    {SQLITE_BUSY, "ほかのプログラムが成績の記録を使用中です"},
    {SQLITE_LOCKED, "ほかのプログラムが成績の記録を使用中です"},
    {SQLITE_READONLY, "読み取り専用のため書き込めません"},
    {SQLITE_FULL, "ディスクの空きが足りません"},
    {SQLITE_IOERR, "ディスクの読み書きでエラーが起きました"},
    {SQLITE_NOTADB, "成績の記録のファイルではありません"},
    {SQLITE_CORRUPT, "ファイルが壊れています"},
    {SQLITE_CANTOPEN, "ファイルを開けません"},
    {SQLITE_PERM, "書き込む権限がありません"},
    {SQLITE_AUTH, "書き込む権限がありません"},
    {SQLITE_NOMEM, "メモリーが足りません"},
    {SQLITE_INTERRUPT, "時間がかかりすぎるため中断しました"},
};

}  // namespace

QString HistoryErrorText(const QSqlError &error, int systemError)
{
    QString japanese = QStringLiteral("予期しないエラーが起きました");
    const int code = PrimaryCode(error);
    // The system's number is the one of SQLite's last call into it, which
    // may be long past: it counts only for failures of the disk.
    const bool disk = code == SQLITE_IOERR || code == SQLITE_FULL || code == SQLITE_CANTOPEN;
    bool found = false;
    for (const FailurePhrase &phrase : kSystemPhrases) {
        if (disk && phrase.code == systemError) {
            japanese = QString::fromUtf8(phrase.japanese);
            found = true;
            break;
        }
    }
    for (const FailurePhrase &phrase : kSqlitePhrases) {
        if (!found && phrase.code == code) {
            japanese = QString::fromUtf8(phrase.japanese);
            break;
        }
    }
    QString words = error.databaseText().trimmed();
    if (words.isEmpty())
        words = error.driverText().trimmed();
    return words.isEmpty() ? japanese : japanese + QStringLiteral("（") + words + QStringLiteral("）");
}

bool StatementGuard::Attach(const QSqlDatabase &db)
{
    sqlite3 *handle = HandleOf(db);
    if (!handle)
        return false;
    sqlite3_db_config(handle, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_progress_handler(handle, 1000, &StatementGuard::OnProgress, this);
    sqlite3_busy_handler(handle, &StatementGuard::OnBusy, this);
    // Each statement's time counts from its own start; a trigger's
    // statements are part of the one that fired them.
    sqlite3_trace_v2(
        handle, SQLITE_TRACE_STMT,
        [](unsigned, void *guard, void *, void *sql) {
            if (qstrncmp(static_cast<const char *>(sql), "--", 2) != 0)
                static_cast<StatementGuard *>(guard)->Start();
            return 0;
        },
        this);
    return QSqlQuery(db).exec(QStringLiteral("PRAGMA trusted_schema = OFF"));
}

bool StatementGuard::Expired() const
{
    const qint64 now = Now();
    const qint64 limit = std::chrono::duration_cast<Clock::duration>(std::chrono::milliseconds(limitMs_)).count();
    return now >= stopAt_ || now - startedAt_ >= limit;
}

int StatementGuard::OnProgress(void *guard)
{
    return static_cast<StatementGuard *>(guard)->Expired() ? 1 : 0;
}

int StatementGuard::OnBusy(void *guard, int count)
{
    auto *g = static_cast<StatementGuard *>(guard);
    constexpr int kStepMs = 10;
    if (count * kStepMs >= g->busyMs_ || Now() >= g->stopAt_)
        return 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(kStepMs));
    return 1;
}

QString ForeignSchema(const QSqlDatabase &db, int version)
{
    // Every object with its kind and table, every column with its type,
    // constraints and default, every index with its keys: what the planner
    // and the inserts meet. Statistics left by ANALYZE are only numbers.
    static const QString kLayout = QStringLiteral(
        "SELECT m.type || ' ' || m.name || ' on ' || m.tbl_name FROM main.sqlite_master m"
        " WHERE NOT (m.type = 'table' AND m.name LIKE 'sqlite^_stat%' ESCAPE '^')"
        " UNION ALL SELECT 'column ' || m.name || '.' || c.name || ' ' || c.cid || ' ' || c.type || ' '"
        " || c.\"notnull\" || ' ' || IFNULL(c.dflt_value, '-') || ' ' || c.pk || ' ' || c.hidden"
        " FROM main.sqlite_master m, pragma_table_xinfo(m.name, 'main') c WHERE m.type = 'table'"
        " UNION ALL SELECT 'index ' || l.name || ' ' || l.\"unique\" || ' ' || l.origin || ' ' || l.partial"
        " FROM main.sqlite_master m, pragma_index_list(m.name, 'main') l WHERE m.type = 'table'"
        " UNION ALL SELECT 'key ' || m.name || ' ' || k.seqno || ' ' || k.cid || ' ' || IFNULL(k.name, '-')"
        " || ' ' || k.\"desc\" || ' ' || IFNULL(k.coll, '-') || ' ' || k.\"key\""
        " FROM main.sqlite_master m, pragma_index_xinfo(m.name, 'main') k WHERE m.type = 'index'"
        " ORDER BY 1");
    const auto layoutOf = [](const QSqlDatabase &of, QString *error) {
        QStringList lines;
        QSqlQuery q(of);
        q.setForwardOnly(true);
        if (!q.exec(kLayout)) {
            *error = HistoryErrorText(q.lastError());
            return lines;
        }
        while (q.next())
            lines << q.value(0).toString();
        return lines;
    };
    // The game's own layout, made by the very steps that make a new file.
    ScopedConnection own(QStringLiteral(":memory:"), QString());
    QString error;
    if (!own.db().open() || UpgradeHistory(own.db(), QStringLiteral("main"), version).isValid())
        return QStringLiteral("no layout for version %1").arg(version);
    const QStringList want = layoutOf(own.db(), &error);
    const QStringList got = layoutOf(db, &error);
    if (!error.isEmpty())
        return error;
    if (got == want)
        return {};
    for (qsizetype i = 0; i < std::max(got.size(), want.size()); ++i) {
        if (i >= got.size() || i >= want.size() || got[i] != want[i])
            return QStringLiteral("unexpected %1").arg(i < got.size() ? got[i] : QStringLiteral("end, missing ") + want[i]);
    }
    return {};
}

QString HistoryPath(const QString &dataFolder)
{
    return dataFolder + u'/' + kHistoryFileName;
}

QString PendingHistoryPath(const QString &historyPath)
{
    const QFileInfo history(historyPath);
    return history.path() + u'/' + history.completeBaseName() + QStringLiteral("-pending.sqlite");
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
    : db_(db), game_(db), text_(db), textId_(db), target_(db), known_(db), miss_(db), groupTotal_(db),
      targetTotal_(db), missTotal_(db)
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
    known_.prepare(Sql("SELECT 1 FROM %1.game WHERE mode = ? AND time_limit = ? AND played_at = ?", schema));
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

bool GameInserter::Known(const GameResult &game)
{
    known_.addBindValue(int(game.gameMode));
    known_.addBindValue(int(game.timeLimitSeconds));
    known_.addBindValue(game.playedAt.toMSecsSinceEpoch());
    const bool known = Exec(known_) && known_.next();
    known_.finish();
    return known;
}

bool GameInserter::Exec(QSqlQuery &query)
{
    if (query.exec())
        return true;
    lastError_ = HistoryErrorText(query.lastError(), SystemErrorOf(db_));
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

HistoryDatabase::HistoryDatabase(QString path, int busyTimeoutMs, StatementGuard *guard)
    : path_(std::move(path)), guard_(guard ? *guard : ownGuard_)
{
    guard_.SetBusyTimeout(busyTimeoutMs);
    guard_.LimitEachStatement(kWriteLimitMs);
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
    guard_.SetBusyTimeout(ms);
}

HistoryFault HistoryDatabase::Fail(const QSqlError &error)
{
    lastError_ = HistoryErrorText(error, connection_ ? SystemErrorOf(connection_->db()) : 0);
    return FaultOf(error);
}

bool HistoryDatabase::StillAtPath() const
{
    struct stat now = {};
    return ::stat(QFile::encodeName(path_).constData(), &now) == 0 && now.st_dev == device_
           && now.st_ino == inode_;
}

HistoryFault HistoryDatabase::Open()
{
    Close();
    lastError_.clear();
    foreign_ = false;
    const QFileInfo info(path_);
    // A folder or a pipe by that name would stall or fail every open.
    if (info.exists() && !info.isFile()) {
        lastError_ = QStringLiteral("not a regular file");
        return HistoryFault::Broken;
    }
    connection_.emplace(path_, QString());
    QSqlDatabase db = connection_->db();
    if (!db.open())
        return Fail(db.lastError());
    if (!guard_.Attach(db)) {
        lastError_ = QStringLiteral("no SQLite connection");
        return HistoryFault::Unwritable;
    }
    // The file opened now is the one later writes must find at the path.
    struct stat opened = {};
    if (::stat(QFile::encodeName(path_).constData(), &opened) == 0) {
        device_ = opened.st_dev;
        inode_ = opened.st_ino;
    }

    QSqlError error;
    const int version = HistoryVersion(db, QStringLiteral("main"), &error);
    if (version < 0)
        return Fail(error);
    if (version > kHistoryVersion) {
        lastError_ = QStringLiteral("version %1 is newer than %2").arg(version).arg(kHistoryVersion);
        return HistoryFault::Newer;
    }
    const QString foreign = ForeignSchema(db, version);
    if (!foreign.isEmpty()) {
        lastError_ = foreign;
        foreign_ = true;
        return HistoryFault::Broken;
    }
    QSqlQuery q(db);
    // WAL: the statistics window, or another copy, reads while a game is
    // written. Every commit is synced, so a game once written survives a
    // power cut; it costs the writing thread a fraction of a millisecond.
    if (!q.exec(QStringLiteral("PRAGMA journal_mode = WAL")) || !q.exec(QStringLiteral("PRAGMA synchronous = FULL")))
        return Fail(q.lastError());
    if (version < kHistoryVersion) {
        // The steps are ours and run on tables just found to be ours: on
        // years of games they may take longer than any write, and only
        // closing the game stops them.
        guard_.LimitEachStatement(std::numeric_limits<int>::max());
        error = UpgradeHistory(db);
        guard_.LimitEachStatement(kWriteLimitMs);
        if (error.type() != QSqlError::NoError)
            return Fail(error);
    }
    inserter_.emplace(db, QStringLiteral("main"));
    open_ = true;
    return HistoryFault::None;
}

HistoryFault HistoryDatabase::Write(std::span<const GameResult> games)
{
    if (open_ && !StillAtPath())
        Close();  // deleted or moved aside: a new file at the path takes the games
    if (!open_) {
        const HistoryFault fault = Open();
        if (fault != HistoryFault::None)
            return fault;
    }
    QSqlQuery q(connection_->db());
    if (!q.exec(QStringLiteral("BEGIN IMMEDIATE")))
        return Fail(q.lastError());
    for (const GameResult &game : games) {
        // A game kept for later may be in the file already: its commit was
        // reported as failed, or the pending file was merged before.
        if (inserter_->Known(game))
            continue;
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
