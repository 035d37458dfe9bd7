#include "persistence/sharedranking.h"

#include "engine/numbers.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QSaveFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUrl>
#include <QUrlQuery>

#include <atomic>
#include <chrono>
#include <cmath>
#include <set>
#include <system_error>
#include <thread>

namespace typetoki {

namespace {

const QString kSection = QStringLiteral("ranking");
const QString kServerKey = QStringLiteral("server");
const QString kGroupKey = QStringLiteral("group");
const QString kPlayerKey = QStringLiteral("player");

// The lengths the server's table takes; what the local board holds beyond
// them is cut, so that no result is refused for its length and stuck in
// the queue for ever.
constexpr int kLongestName = 100;
constexpr int kLongestFigure = 40;
// What a board shows of a field at most, whatever a server sends.
constexpr int kShownLength = 200;
constexpr qint64 kQueueFileLimit = 4 * 1024 * 1024;

// The columns of the table for the record's fields, and what each ranked
// field is ranked by.
struct Column {
    int field;
    const char *text;
    const char *number;  // nullptr: not ranked
    int longest;
};
const Column kColumns[] = {
    {kPlayerName, "player", nullptr, kLongestName},
    {kPoints, "points_text", "points", kLongestFigure},
    {kCorrectChars, "correct_text", "correct_chars", kLongestFigure},
    {kCharsPerSecond, "speed_text", "chars_per_second", kLongestFigure},
    {kAccuracy, "accuracy_text", "accuracy", kLongestFigure},
    {kPlayedAt, "played_at", nullptr, kLongestName},
};

const Column *RankedColumn(int field)
{
    for (const Column &c : kColumns)
        if (c.field == field && c.number)
            return &c;
    return nullptr;
}

QString BoardQuery(const Column &ranked)
{
    QStringList shown;
    for (const Column &c : kColumns)
        shown << QLatin1String(c.text);
    // The column name comes from the table above, never from a player or a
    // server; the values are bound.
    return QStringLiteral("SELECT %1 FROM typetoki.board WHERE group_name = ? AND mode = ? AND time_limit = ? "
                          "AND %2 > 0 ORDER BY %2 DESC, serial LIMIT 10")
        .arg(shown.join(QStringLiteral(", ")), QLatin1String(ranked.number));
}

QString InsertQuery()
{
    QStringList names{QStringLiteral("result_id"), QStringLiteral("group_name"), QStringLiteral("mode"),
                      QStringLiteral("time_limit")};
    for (const Column &c : kColumns)
        names << QLatin1String(c.text);
    for (const Column &c : kColumns)
        if (c.number)
            names << QLatin1String(c.number);
    const QStringList marks(names.size(), QStringLiteral("?"));
    // A result the server has already got (sent by this copy before its
    // queue file was rewritten, or by another copy sharing the folder) is
    // left alone: the id is unique.
    return QStringLiteral("INSERT INTO typetoki.scores (%1) VALUES (%2) ON CONFLICT DO NOTHING")
        .arg(names.join(QStringLiteral(", ")), marks.join(QStringLiteral(", ")));
}

// ---- The queue file -----------------------------------------------------------

QJsonObject ToJson(const QueuedScore &score)
{
    QJsonArray fields;
    for (const QString &f : score.record.fields)
        fields.append(f);
    return {{QStringLiteral("id"), score.id.toString(QUuid::WithoutBraces)},
            {QStringLiteral("group"), score.group},
            {QStringLiteral("fields"), fields}};
}

std::optional<QueuedScore> FromJson(const QJsonValue &value)
{
    const QJsonObject o = value.toObject();
    QueuedScore score;
    score.id = QUuid::fromString(o.value(QStringLiteral("id")).toString());
    score.group = o.value(QStringLiteral("group")).toString();
    const QJsonArray fields = o.value(QStringLiteral("fields")).toArray();
    if (score.id.isNull() || score.group.isEmpty() || fields.size() != kScoreFieldCount)
        return std::nullopt;
    for (int i = 0; i < kScoreFieldCount; ++i)
        score.record.fields[i] = fields[i].toString();
    return score;
}

std::vector<QueuedScore> LoadQueue(const QString &path)
{
    std::vector<QueuedScore> queue;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kQueueFileLimit)
        return queue;
    for (const QJsonValue &v : QJsonDocument::fromJson(file.readAll()).array())
        if (auto score = FromJson(v))
            queue.push_back(*score);
    return queue;
}

bool SaveQueue(const QString &path, const std::vector<QueuedScore> &queue)
{
    if (queue.empty())
        return !QFile::exists(path) || QFile::remove(path);
    QJsonArray array;
    for (std::size_t i = queue.size() > kMostQueuedScores ? queue.size() - kMostQueuedScores : 0;
         i < queue.size(); ++i)
        array.append(ToJson(queue[i]));
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(QJsonDocument(array).toJson()) >= 0
           && file.commit();
}

// Changes the queue file under a lock, as another copy of the game using
// the same data folder may be changing it too.
template <typename Change>
void EditQueue(const QString &path, Change change)
{
    QLockFile lock(path + QStringLiteral(".lock"));
    lock.setStaleLockTime(10'000);
    lock.tryLock(2000);  // a lock that cannot be had still leaves the change to be made
    std::vector<QueuedScore> queue = LoadQueue(path);
    change(queue);
    SaveQueue(path, queue);
}

// ---- The connection --------------------------------------------------------------

bool OpenServer(QSqlDatabase &db, const RankingSettings &settings, RankingProblem *problem, QString *detail,
                const QString &password = {})
{
    QString error;
    const auto address = ParseServerAddress(settings.server, &error);
    if (!address) {
        *problem = RankingProblem::Address;
        if (detail)
            *detail = error;
        return false;
    }
    if (!db.isValid()) {
        *problem = RankingProblem::NoDriver;
        return false;
    }
    db.setHostName(address->host);
    db.setPort(address->port);
    db.setUserName(address->user);
    db.setDatabaseName(address->database);
    db.setConnectOptions(address->connectOptions);
    db.setPassword(password);
    if (!db.open()) {
        *problem = ClassifyRankingError(db.lastError());
        if (detail)
            *detail = db.lastError().text();
        return false;
    }
    return true;
}

// The layout version, or a problem.
int LayoutVersion(const QSqlDatabase &db, RankingProblem *problem, QString *detail)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (q.prepare(QStringLiteral("SELECT version FROM typetoki.layout_version")) && q.exec() && q.next()) {
        bool ok = false;
        const int version = q.value(0).toInt(&ok);
        if (ok && version >= 1)
            return version;
    }
    *problem = q.lastError().isValid() ? ClassifyRankingError(q.lastError()) : RankingProblem::NoBoards;
    if (detail)
        *detail = q.lastError().text();
    return 0;
}

bool Unanswered(const QSqlError &error)
{
    // No SQLSTATE: the server never answered (the connection broke).
    return error.nativeErrorCode().isEmpty();
}

bool RefusedForItsData(const QSqlError &error)
{
    // Data exceptions and broken constraints: this result will never be
    // taken, and must not hold up the ones after it.
    const QString code = error.nativeErrorCode();
    return code.startsWith(QLatin1String("22")) || code.startsWith(QLatin1String("23"));
}

QString Cut(const QString &text, int longest)
{
    return text.size() > longest ? text.left(longest) : text;
}

double RankValue(const QString &text)
{
    const double v = ReadNumber(text);
    return std::isfinite(v) ? v : 0;
}

}  // namespace

// ---- Settings, addresses and problems ----------------------------------------------

RankingSettings ReadRankingSettings(const Options &options)
{
    const auto text = [&options](const QString &key) { return options.text(kSection, key).value_or(QString()); };
    return {text(kServerKey).trimmed(), text(kGroupKey).trimmed(), text(kPlayerKey)};
}

bool WriteRankingSettings(Options &options, const RankingSettings &ranking)
{
    const bool server = options.set(kSection, kServerKey, ranking.server.trimmed());
    const bool group = options.set(kSection, kGroupKey, ranking.group.trimmed());
    return options.set(kSection, kPlayerKey, ranking.player) && server && group;
}

std::optional<ServerAddress> ParseServerAddress(const QString &url, QString *error)
{
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return std::nullopt;
    };
    const QUrl u(url.trimmed(), QUrl::StrictMode);
    if (!u.isValid() || (u.scheme() != QLatin1String("postgresql") && u.scheme() != QLatin1String("postgres")))
        return fail(QStringLiteral("postgresql:// で始まる URL ではありません"));
    if (!u.password().isEmpty())
        return fail(QStringLiteral("パスワードは URL に書かず、~/.pgpass に書いてください"));
    ServerAddress a;
    a.host = u.host();
    a.port = u.port(-1);
    a.user = u.userName();
    a.database = u.path().mid(1);
    QStringList options{QStringLiteral("connect_timeout=2"), QStringLiteral("application_name=typetoki")};
    const QUrlQuery query(u);
    for (const auto &[key, value] : query.queryItems(QUrl::FullyDecoded)) {
        static const QStringList kSslModes{QStringLiteral("disable"), QStringLiteral("allow"),
                                           QStringLiteral("prefer"), QStringLiteral("require"),
                                           QStringLiteral("verify-ca"), QStringLiteral("verify-full")};
        if (key == QLatin1String("sslmode") && kSslModes.contains(value))
            options << QStringLiteral("sslmode=") + value;
        else if (key == QLatin1String("host") && value.startsWith(u'/') && !value.contains(u';'))
            a.host = value;
        else
            return fail(QStringLiteral("URL の %1=%2 はわかりません").arg(key, value));
    }
    if (a.host.isEmpty() || a.database.isEmpty() || a.database.contains(u'/'))
        return fail(QStringLiteral("サーバーとデータベースの名前が要ります"));
    a.connectOptions = options.join(u';');
    return a;
}

QString RankingProblemText(RankingProblem problem)
{
    switch (problem) {
    case RankingProblem::None:
        return QStringLiteral("サーバーにつながりました。");
    case RankingProblem::Address:
        return QStringLiteral("サーバーの指定が正しくありません（postgresql://ユーザー@ホスト/データベース の形で）。");
    case RankingProblem::NoDriver:
        return QStringLiteral("PostgreSQL のドライバー（Debian の libqt6sql6-psql）が入っていません。");
    case RankingProblem::Unreachable:
        return QStringLiteral("サーバーにつながりません。");
    case RankingProblem::Password:
        return QStringLiteral("パスワードが違うか、ありません（~/.pgpass を確かめてください）。");
    case RankingProblem::Rights:
        return QStringLiteral("このユーザーにはランキングを使う権限がありません。");
    case RankingProblem::Tls:
        return QStringLiteral("暗号化（TLS）の設定がサーバーと合いません（sslmode を確かめてください）。");
    case RankingProblem::NoDatabase:
        return QStringLiteral("そのデータベースはサーバーにありません。");
    case RankingProblem::NoBoards:
        return QStringLiteral("サーバーにランキングの表がありません（管理者に server/ranking.sql を流してもらってください）。");
    case RankingProblem::Newer:
        return QStringLiteral("サーバーのランキングは新しい版のタイプ闘記のものです。結果は送らずに残します。");
    case RankingProblem::Other:
        break;
    }
    return QStringLiteral("サーバーがエラーを返しました。");
}

RankingProblem ClassifyRankingError(const QSqlError &error)
{
    const QString code = error.nativeErrorCode();
    const QString text = (error.driverText() + u' ' + error.databaseText()).toLower();
    // libpq's own words follow the player's language and the server's its
    // own; both English and Japanese are looked for.
    auto says = [&text](const char *words) { return text.contains(QString::fromUtf8(words)); };
    const bool missing = says("does not exist") || says("存在しません");
    if (code == QLatin1String("28P01") || says("password") || says("パスワード"))
        return RankingProblem::Password;
    if (says("ssl") || says("no encryption") || says("暗号化") || says("gssapi"))
        return RankingProblem::Tls;
    if (code == QLatin1String("3D000") || ((says("database") || says("データベース")) && missing))
        return RankingProblem::NoDatabase;
    if (code == QLatin1String("42501") || code.startsWith(QLatin1String("28")) || says("permission denied")
        || says("権限がありません") || says("pg_hba.conf") || ((says("role") || says("ロール")) && missing))
        return RankingProblem::Rights;
    if (code == QLatin1String("42P01") || code == QLatin1String("3F000"))
        return RankingProblem::NoBoards;
    if (code.isEmpty())
        return RankingProblem::Unreachable;
    return RankingProblem::Other;
}

RankingProblem TestRankingServer(const RankingSettings &settings, QString *detail, const QString &password)
{
    static std::atomic<int> tried{0};
    const QString name = QStringLiteral("typetoki-ranking-test-%1").arg(++tried);
    RankingProblem problem = RankingProblem::None;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        if (OpenServer(db, settings, &problem, detail, password)) {
            const int version = LayoutVersion(db, &problem, detail);
            QSqlQuery q(db);
            if (version > kRankingLayout) {
                problem = RankingProblem::Newer;
            } else if (version > 0) {
                const bool asked = q.prepare(QStringLiteral(
                                       "SELECT has_column_privilege('typetoki.scores', 'result_id', 'INSERT')"))
                                   && q.exec() && q.next();
                if (!asked)
                    problem = ClassifyRankingError(q.lastError());
                else if (!q.value(0).toBool())
                    problem = RankingProblem::Rights;
            }
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return problem;
}

QString PasswordFilePath()
{
    const QString named = qEnvironmentVariable("PGPASSFILE");
    return named.isEmpty() ? QDir::home().filePath(QStringLiteral(".pgpass")) : named;
}

bool StorePassword(const QString &path, const ServerAddress &address, const QString &password, QString *error)
{
    auto field = [](QString text) {
        return text.replace(u'\\', QStringLiteral("\\\\")).replace(u':', QStringLiteral("\\:"));
    };
    if (password.contains(u'\n') || password.contains(u'\r')) {
        if (error)
            *error = QStringLiteral("パスワードに改行は使えません");
        return false;
    }
    const QString key = QStringList{field(address.host),
                                    address.port > 0 ? QString::number(address.port) : QStringLiteral("5432"),
                                    field(address.database), field(address.user)}
                            .join(u':')
                        + u':';
    QStringList lines;
    QFile old(path);
    if (old.open(QIODevice::ReadOnly))
        lines = QString::fromUtf8(old.readAll()).split(u'\n');
    old.close();
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    lines.removeIf([&key](const QString &line) { return line.startsWith(key); });
    lines << key + field(password);
    QSaveFile file(path);
    const bool saved = file.open(QIODevice::WriteOnly)
                       && file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)
                       && file.write((lines.join(u'\n') + u'\n').toUtf8()) >= 0 && file.commit();
    if (!saved && error)
        *error = file.errorString();
    return saved;
}

QString RankingQueuePath(const QString &dataFolder)
{
    return dataFolder.isEmpty() ? QString() : QDir(dataFolder).filePath(QStringLiteral("typetoki-ranking-queue.json"));
}

// ---- The client --------------------------------------------------------------------

struct SharedRanking::Shared {
    RankingSettings settings;
    QString queuePath;  // empty: memory only

    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Job> jobs;
    bool busy = false;
    bool stopping = false;
    bool done = false;  // the thread has ended
    quint64 lastTicket = 0;
    std::vector<QueuedScore> memoryQueue;
    std::map<quint64, Board> answers;
    std::map<std::tuple<int, int, int>, std::vector<ScoreRecord>> lastBoards;

    std::mutex ownerMutex;
    SharedRanking *owner = nullptr;

    template <typename Change>
    void editQueue(Change change)
    {
        if (!queuePath.isEmpty())
            return EditQueue(queuePath, change);
        std::lock_guard lock(mutex);
        change(memoryQueue);
    }
    std::vector<QueuedScore> queue()
    {
        if (!queuePath.isEmpty())
            return LoadQueue(queuePath);
        std::lock_guard lock(mutex);
        return memoryQueue;
    }
};

SharedRanking::SharedRanking(const RankingSettings &settings, const QString &dataFolder, QObject *parent)
    : QObject(parent), settings_(settings), shared_(std::make_shared<Shared>())
{
    shared_->settings = settings;
    shared_->queuePath = RankingQueuePath(dataFolder);
    shared_->owner = this;
    shared_->jobs.push_back({});  // what earlier runs left unsent
    try {
        std::thread(&SharedRanking::Run, shared_).detach();
    } catch (const std::system_error &) {
        // No thread to spare: results stay in the queue file for a later run.
        shared_->done = true;
    }
}

SharedRanking::~SharedRanking()
{
    {
        std::lock_guard owner(shared_->ownerMutex);
        shared_->owner = nullptr;
    }
    std::unique_lock lock(shared_->mutex);
    shared_->stopping = true;
    shared_->changed.notify_all();
    shared_->changed.wait_for(lock, std::chrono::seconds(1), [this] { return shared_->done; });
}

void SharedRanking::Register(const ScoreRecord &record)
{
    QueuedScore score{QUuid::createUuid(), settings_.group, record};
    shared_->editQueue([&score](std::vector<QueuedScore> &queue) { queue.push_back(score); });
    std::lock_guard lock(shared_->mutex);
    shared_->jobs.push_back({});
    shared_->changed.notify_all();
}

quint64 SharedRanking::ReadBoard(int field, int mode, int timeLimit)
{
    std::lock_guard lock(shared_->mutex);
    const quint64 ticket = ++shared_->lastTicket;
    shared_->jobs.push_back({ticket, field, mode, timeLimit});
    shared_->changed.notify_all();
    return ticket;
}

std::optional<SharedRanking::Board> SharedRanking::TakeBoard(quint64 ticket)
{
    std::lock_guard lock(shared_->mutex);
    const auto found = shared_->answers.find(ticket);
    if (found == shared_->answers.end())
        return std::nullopt;
    Board board = std::move(found->second);
    shared_->answers.erase(found);
    return board;
}

std::optional<std::vector<ScoreRecord>> SharedRanking::LastBoard(int field, int mode, int timeLimit) const
{
    std::lock_guard lock(shared_->mutex);
    const auto found = shared_->lastBoards.find({field, mode, timeLimit});
    if (found == shared_->lastBoards.end())
        return std::nullopt;
    return found->second;
}

bool SharedRanking::WaitForIdle(int msecs) const
{
    std::unique_lock lock(shared_->mutex);
    return shared_->changed.wait_for(lock, std::chrono::milliseconds(msecs), [this] {
        return shared_->done || (shared_->jobs.empty() && !shared_->busy);
    });
}

std::vector<QueuedScore> SharedRanking::Queued() const
{
    return shared_->queue();
}

void SharedRanking::Run(std::shared_ptr<Shared> s)
{
    const QString name = QStringLiteral("typetoki-ranking-%1").arg(quintptr(s.get()));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        RankingProblem problem = RankingProblem::None;
        int layout = 0;
        // Runs work on an open connection; a connection the server dropped
        // since (a restart) is opened afresh once.
        auto withServer = [&](auto work) {
            for (int attempt = 0; attempt < 2; ++attempt) {
                if (!db.isOpen()) {
                    problem = RankingProblem::None;
                    if (!OpenServer(db, s->settings, &problem, nullptr))
                        return false;
                    layout = LayoutVersion(db, &problem, nullptr);
                    if (layout == 0) {
                        db.close();
                        return false;
                    }
                }
                QSqlError error;
                if (work(&error))
                    return true;
                problem = ClassifyRankingError(error);
                db.close();
                if (!Unanswered(error))
                    return false;
            }
            return false;
        };

        auto sendQueue = [&] {
            const std::vector<QueuedScore> queue = s->queue();
            if (queue.empty())
                return;
            std::set<QUuid> done;
            withServer([&](QSqlError *error) {
                if (layout > kRankingLayout) {
                    problem = RankingProblem::Newer;
                    return true;
                }
                QSqlQuery q(db);
                if (!q.prepare(InsertQuery())) {
                    *error = q.lastError();
                    return false;
                }
                for (const QueuedScore &score : queue) {
                    if (done.count(score.id))
                        continue;
                    const auto &f = score.record.fields;
                    q.addBindValue(score.id.toString(QUuid::WithoutBraces));
                    q.addBindValue(Cut(score.group, kLongestName));
                    q.addBindValue(int(RankValue(f[kModeNumber])));
                    q.addBindValue(int(RankValue(f[kTimeLimit])));
                    for (const Column &c : kColumns)
                        q.addBindValue(Cut(f[c.field], c.longest));
                    for (const Column &c : kColumns)
                        if (c.number)
                            q.addBindValue(RankValue(f[c.field]));
                    if (!q.exec() && !RefusedForItsData(q.lastError())) {
                        *error = q.lastError();
                        return false;
                    }
                    done.insert(score.id);
                }
                return true;
            });
            if (!done.empty())
                s->editQueue([&done](std::vector<QueuedScore> &queue) {
                    std::erase_if(queue, [&done](const QueuedScore &q) { return done.count(q.id) > 0; });
                });
        };

        auto readBoard = [&](const Job &job) {
            Board board;
            const Column *ranked = RankedColumn(job.field);
            board.ok = ranked && withServer([&](QSqlError *error) {
                board.rows.clear();
                QSqlQuery q(db);
                q.setForwardOnly(true);
                q.prepare(BoardQuery(*ranked));
                q.addBindValue(s->settings.group);
                q.addBindValue(job.mode);
                q.addBindValue(job.timeLimit);
                if (!q.exec()) {
                    *error = q.lastError();
                    return false;
                }
                // Whatever a server sends, a board takes ten rows of six
                // texts, each cut to what a box can show.
                const int columns = std::min<int>(q.record().count(), std::size(kColumns));
                while (q.next() && board.rows.size() < 10) {
                    ScoreRecord row;
                    for (int i = 0; i < columns; ++i)
                        row.fields[kColumns[i].field] = Cut(q.value(i).toString(), kShownLength);
                    board.rows.push_back(std::move(row));
                }
                return true;
            });
            board.problem = board.ok ? RankingProblem::None : problem;
            std::lock_guard lock(s->mutex);
            if (board.ok)
                s->lastBoards[{job.field, job.mode, job.timeLimit}] = board.rows;
            s->answers[job.ticket] = std::move(board);
            // Answers nobody took (their board closed first) go, oldest first.
            while (s->answers.size() > 16)
                s->answers.erase(s->answers.begin());
        };

        std::unique_lock lock(s->mutex);
        for (;;) {
            s->changed.wait(lock, [&s] { return s->stopping || !s->jobs.empty(); });
            if (s->stopping)
                break;
            const Job job = s->jobs.front();
            s->jobs.pop_front();
            // Sending twice in a row does nothing the first did not.
            while (job.ticket == 0 && !s->jobs.empty() && s->jobs.front().ticket == 0)
                s->jobs.pop_front();
            s->busy = true;
            lock.unlock();
            if (job.ticket == 0) {
                sendQueue();
            } else {
                readBoard(job);
                std::lock_guard owner(s->ownerMutex);
                if (s->owner)
                    emit s->owner->boardRead(job.ticket);
            }
            lock.lock();
            s->busy = false;
            s->changed.notify_all();
        }
        lock.unlock();
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    std::lock_guard lock(s->mutex);
    s->done = true;
    s->changed.notify_all();
}

}  // namespace typetoki
