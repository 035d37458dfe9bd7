#pragma once
// The statistics window's reader on a thread of its own: a history handed
// over by someone else, or years of games, never freezes the window. Each
// read is run there and waited for through a waiter the window gives, which
// keeps the window painted (and shows that it is reading) while it waits.

#include "persistence/historyreader.h"

#include <QString>
#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace typetoki {

class HistoryReaderThread {
public:
    // Returns once the read is done; given a function that tells whether it
    // is. The default just waits.
    using Waiter = std::function<void(const std::function<bool()> &done)>;

    // Opens the file on the thread, through the waiter.
    HistoryReaderThread(const QString &path, std::vector<GameResult> unwritten, Waiter waiter = {});
    // Stops a read under way at once and ends the thread.
    ~HistoryReaderThread();
    HistoryReaderThread(const HistoryReaderThread &) = delete;
    HistoryReaderThread &operator=(const HistoryReaderThread &) = delete;

    // Runs read(reader) on the thread and returns what it returns.
    template <class Read>
    auto Run(Read read) -> decltype(read(std::declval<HistoryReader &>()))
    {
        using Result = decltype(read(std::declval<HistoryReader &>()));
        auto task = std::make_shared<std::packaged_task<Result()>>([this, read] { return read(*reader_); });
        std::future<Result> result = task->get_future();
        Post([task] { (*task)(); });
        Wait([&result] { return result.wait_for(std::chrono::seconds(0)) == std::future_status::ready; });
        return result.get();
    }

    // As HistoryReader's, each on the thread.
    const QString &problem() const { return problem_; }
    int GameCount() { return Run([](HistoryReader &r) { return r.GameCount(); }); }
    Progress ProgressOf(const HistoryGroup &g) { return Run([g](HistoryReader &r) { return r.ProgressOf(g); }); }
    std::vector<TargetFigures> Targets(const HistoryGroup &g)
    {
        return Run([g](HistoryReader &r) { return r.Targets(g); });
    }
    UnitTimes Units(const HistoryGroup &g) { return Run([g](HistoryReader &r) { return r.Units(g); }); }
    std::vector<StoredGame> RecentGames(int count, bool withDetail = false)
    {
        return Run([=](HistoryReader &r) { return r.RecentGames(count, withDetail); });
    }
    TimeSources TimesOf(const HistoryGroup &g) { return Run([g](HistoryReader &r) { return r.TimesOf(g); }); }
    std::vector<StoredGame> GamesOf(const HistoryGroup &g)
    {
        return Run([g](HistoryReader &r) { return r.GamesOf(g); });
    }
    void AddDetail(StoredGame &game) { Run([&game](HistoryReader &r) { r.AddDetail(game); }); }
    bool ExportCsv(const QString &file, QString *error = nullptr);

private:
    void Post(std::function<void()> task);
    void Wait(const std::function<bool()> &done);

    Waiter waiter_;
    QString problem_;
    std::unique_ptr<HistoryReader> reader_;  // made, used and ended on the thread

    std::mutex mutex_;
    std::condition_variable posted_;
    std::deque<std::function<void()>> tasks_;
    bool stopping_ = false;
    HistoryReader *running_ = nullptr;  // to stop, from the window's thread
    std::thread worker_;
};

}  // namespace typetoki
