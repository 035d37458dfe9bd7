#include "persistence/historystore.h"

#include "persistence/historydatabase.h"
#include "persistence/historyreader.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QtDebug>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <limits>
#include <span>
#include <system_error>

namespace typetoki {

HistoryStore::HistoryStore(const QString &dataFolder, QObject *parent)
    : HistoryStore(dataFolder, Options{}, parent)
{
}

HistoryStore::HistoryStore(const QString &dataFolder, Options options, QObject *parent)
    : QObject(parent), path_(HistoryPath(dataFolder)), pendingPath_(PendingHistoryPath(path_)),
      options_(options)
{
    busy_ = true;  // until the file has been opened
    try {
        worker_ = std::thread([this] { Run(); });
    } catch (const std::system_error &) {
        // No thread to spare: the games stay in memory, shown but never
        // written, and the game goes on.
        busy_ = false;
        notices_.append(QStringLiteral("成績の記録を書き込めません。ゲームの記録は、タイプ闘記を終えるまでメモリーに残します。"));
    }
}

HistoryStore::~HistoryStore()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    // The player has closed the game: whatever a statement or a lock is
    // doing now gets 1.2 s more, the rest goes to the pending file.
    guard_.StopBy(StatementGuard::Clock::now() + std::chrono::milliseconds(1200));
    changed_.notify_all();
    if (worker_.joinable())
        worker_.join();
}

void HistoryStore::Record(GameResult game)
{
    if (!game.playedAt.isValid())
        game.playedAt = QDateTime::currentDateTime();
    {
        std::lock_guard lock(mutex_);
        queued_.push_back(std::move(game));
    }
    changed_.notify_all();
}

bool HistoryStore::WaitForIdle(int msecs) const
{
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(msecs),
                             [this] { return queued_.empty() && !busy_; });
}

std::vector<GameResult> HistoryStore::Unwritten() const
{
    std::lock_guard lock(mutex_);
    std::vector<GameResult> games = waiting_;
    games.insert(games.end(), queued_.begin(), queued_.end());
    return games;
}

QStringList HistoryStore::TakeNotices()
{
    std::lock_guard lock(mutex_);
    return std::exchange(notices_, {});
}

void HistoryStore::Tell(Trouble trouble, const QString &message)
{
    {
        std::lock_guard lock(mutex_);
        if (told_[int(trouble)])
            return;
        told_[int(trouble)] = true;
        notices_.append(message);
    }
    emit noticeReady();
}

std::vector<GameResult> HistoryStore::ReadPending() const
{
    std::vector<GameResult> games;
    if (!QFileInfo(pendingPath_).isFile())
        return games;
    // Written by an earlier version of the game, it is brought up to date
    // first; one that is damaged or not ours stays unread.
    if (HistoryDatabase(pendingPath_).Open() != HistoryFault::None)
        return games;
    HistoryReader reader(pendingPath_);
    if (!reader.problem().isEmpty())
        return games;  // left where it is, for whoever wants to look
    for (StoredGame &game : reader.RecentGames(std::numeric_limits<int>::max(), true))
        games.insert(games.begin(), std::move(game.result));
    return games;
}

bool HistoryStore::WritePending(const std::vector<GameResult> &games) const
{
    // Made whole beside, then renamed over the last one: a crash meanwhile
    // leaves the earlier pending file as it was.
    const QString fresh = pendingPath_ + QStringLiteral(".new");
    // A pending file this run could not read holds games too: it is kept
    // aside rather than replaced.
    if (fromPending_ == 0 && QFileInfo::exists(pendingPath_))
        HistoryDatabase(pendingPath_).MoveAside(QDate::currentDate());
    QFile::remove(fresh);
    bool written = false;
    {
        ScopedConnection connection(fresh, QString());
        QSqlDatabase db = connection.db();
        QSqlQuery q(db);
        if (db.open() && !UpgradeHistory(db).isValid() && q.exec(QStringLiteral("BEGIN"))) {
            GameInserter inserter(db, QStringLiteral("main"));
            written = std::all_of(games.begin(), games.end(),
                                  [&](const GameResult &game) { return inserter.Insert(game); });
        }
        written = written && q.exec(QStringLiteral("COMMIT"));
    }
    written = written && ::rename(QFile::encodeName(fresh).constData(), QFile::encodeName(pendingPath_).constData()) == 0;
    if (!written) {
        QFile::remove(fresh);
        qWarning("typetoki: %d games could not be kept in %s", int(games.size()), qPrintable(pendingPath_));
    }
    return written;
}

void HistoryStore::Run()
{
    HistoryDatabase db(path_, options_.busyTimeoutMs, &guard_);
    const QString name = QFileInfo(path_).fileName();

    // Writes the games (none: only opens the file) and says whether they
    // are in the file now.
    auto attempt = [&](std::span<const GameResult> games) {
        auto tryOnce = [&] { return games.empty() && db.isOpen() ? HistoryFault::None
                                    : games.empty()              ? db.Open()
                                                                 : db.Write(games); };
        HistoryFault fault = tryOnce();
        if (fault == HistoryFault::Broken) {
            const bool foreign = db.foreign();
            const QString moved = db.MoveAside(QDate::currentDate());
            if (!moved.isEmpty()) {
                Tell(Trouble::MovedAside,
                     (foreign ? QStringLiteral("成績の記録 %1 はタイプ闘記の記録の形をしていないため、"
                                               "%2 に移して新しい記録を始めました。")
                              : QStringLiteral("成績の記録 %1 が壊れていたため、%2 に移して新しい記録を始めました。"))
                         .arg(name, QFileInfo(moved).fileName()));
                fault = tryOnce();
            }
        }
        if (fault == HistoryFault::None)
            return true;
        if (fault == HistoryFault::Busy)
            return false;  // the other copy lets go soon; the connection stays
        db.Close();  // the next attempt opens afresh: the folder may be writable by then
        if (games.empty())
            return false;  // nothing lost yet, so nothing to tell
        if (fault == HistoryFault::Newer)
            Tell(Trouble::Newer,
                 QStringLiteral("成績の記録 %1 は新しい版のタイプ闘記で作られたため、この版では書き込みません。"
                                "ゲームの記録は、タイプ闘記を終えるまでメモリーに残します。")
                     .arg(path_));
        else
            Tell(Trouble::Unwritable,
                 QStringLiteral("成績の記録 %1 に書き込めません。%2。"
                                "ゲームの記録はメモリーに残し、書き込めるようになれば次のゲームの終わりに、"
                                "それまでにタイプ闘記を終えたときは次に起動したときに書き込みます。")
                     .arg(path_, db.lastError()));
        return false;
    };

    std::vector<GameResult> pending = ReadPending();
    attempt({});
    std::unique_lock lock(mutex_);
    fromPending_ = pending.size();
    queued_.insert(queued_.begin(), std::make_move_iterator(pending.begin()),
                   std::make_move_iterator(pending.end()));
    busy_ = false;
    changed_.notify_all();
    for (;;) {
        changed_.wait(lock, [this] { return stopping_ || !queued_.empty(); });
        const bool stopping = stopping_;
        if (queued_.empty() && waiting_.empty())
            break;  // stopping, with nothing left
        for (GameResult &game : queued_)
            waiting_.push_back(std::move(game));
        queued_.clear();
        busy_ = true;
        // Only this thread adds to waiting_, so the games tried are its
        // first ones whatever Record does meanwhile.
        const std::vector<GameResult> batch = waiting_;
        lock.unlock();
        // The player is closing the game: one more try, but a short one.
        if (stopping)
            db.SetBusyTimeout(std::min(options_.busyTimeoutMs, 1000));
        const bool written = attempt(batch);
        if (written && fromPending_ > 0) {
            QFile::remove(pendingPath_);
            Tell(Trouble::Merged,
                 QStringLiteral("前回タイプ闘記を終えたときに書き込めなかった %1 ゲームを、成績の記録 %2 に加えました。")
                     .arg(fromPending_)
                     .arg(name));
        }
        lock.lock();
        if (written) {
            waiting_.erase(waiting_.begin(), waiting_.begin() + qsizetype(batch.size()));
            fromPending_ = 0;
        }
        busy_ = false;
        changed_.notify_all();
        if (stopping)
            break;
    }
    // Nothing of this run is lost when the history cannot take it: the next
    // start adds it from the pending file (the games that came from there
    // are in waiting_ again, so the file is written whole).
    std::vector<GameResult> left = waiting_;
    left.insert(left.end(), queued_.begin(), queued_.end());
    lock.unlock();
    if (!left.empty())
        WritePending(left);
}

}  // namespace typetoki
