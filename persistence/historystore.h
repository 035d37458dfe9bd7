#pragma once
// The history of every game, kept by a thread of its own: the game hands
// over its GameResult and goes on at once, whatever the disk or another copy
// of the game is doing. What cannot be written now stays in memory and goes
// with the next game, and what is still unwritten when the game ends goes
// into a small pending file beside the history, which the next start adds
// to it. A damaged file, or one not laid out as the game's own, is moved
// aside and a new one started; the player hears about a trouble once,
// through notices the window shows.

#include "engine/gameresult.h"
#include "persistence/historydatabase.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace typetoki {

class HistoryStore : public QObject {
    Q_OBJECT
public:
    struct Options {
        // How long a write waits for another copy of the game that holds
        // the file before the game is kept in memory for the next try.
        int busyTimeoutMs = 3000;
    };

    // Opens (or starts) typetoki-history.sqlite in dataFolder on the store's
    // thread; the caller never waits for it.
    explicit HistoryStore(const QString &dataFolder, QObject *parent = nullptr);
    HistoryStore(const QString &dataFolder, Options options, QObject *parent = nullptr);
    // Makes one last attempt at what is still unwritten, waiting at most a
    // second (or the busy timeout, if shorter) for a copy of the game that
    // holds the file, and puts what is left into the pending file. Returns
    // within two seconds whatever the file does.
    ~HistoryStore() override;

    const QString &path() const { return path_; }

    // Keeps a finished or abandoned game. Returns at once: the copy is
    // written on the store's thread, together with every game still waiting.
    // A game without a date gets the present one.
    void Record(GameResult game);

    // True when every game handed over has been tried; waits at most msecs.
    bool WaitForIdle(int msecs) const;

    // The games not (yet) in the file, oldest first: those waiting for their
    // turn and those kept after a failed attempt.
    std::vector<GameResult> Unwritten() const;

    // Messages for the player, in Japanese, each kind of trouble once per
    // run; taking them empties the list.
    QStringList TakeNotices();

signals:
    // Something was added to the notices; emitted on the store's thread,
    // so a window's connection is queued.
    void noticeReady();

private:
    enum class Trouble { MovedAside, Unwritable, Newer, Merged, Count };
    void Run();
    // The games of the pending file, oldest first; none when there is no
    // such file or it cannot be read.
    std::vector<GameResult> ReadPending() const;
    bool WritePending(const std::vector<GameResult> &games) const;
    void Tell(Trouble trouble, const QString &message);

    QString path_;
    QString pendingPath_;
    Options options_;
    StatementGuard guard_;
    // How many of the first waiting games came from the pending file, which
    // goes once they are in the history.
    size_t fromPending_ = 0;

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::deque<GameResult> queued_;    // handed over, not yet tried
    std::vector<GameResult> waiting_;  // tried and kept, or being tried now
    bool busy_ = false;
    bool stopping_ = false;
    QStringList notices_;
    bool told_[int(Trouble::Count)] = {};

    std::thread worker_;
};

}  // namespace typetoki
