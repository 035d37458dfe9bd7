#include "persistence/historyreaderthread.h"

namespace typetoki {

HistoryReaderThread::HistoryReaderThread(const QString &path, std::vector<GameResult> unwritten,
                                         Waiter waiter)
    : waiter_(std::move(waiter))
{
    worker_ = std::thread([this] {
        std::unique_lock lock(mutex_);
        for (;;) {
            posted_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
            if (stopping_)
                break;
            std::function<void()> task = std::move(tasks_.front());
            tasks_.pop_front();
            lock.unlock();
            task();
            lock.lock();
        }
        lock.unlock();
        // The connection goes on the thread that made it.
        reader_.reset();
    });
    std::promise<QString> opened;
    std::future<QString> problem = opened.get_future();
    Post([&] {
        auto reader = std::make_unique<HistoryReader>(path, unwritten);
        const QString said = reader->problem();
        {
            std::lock_guard lock(mutex_);
            reader_ = std::move(reader);
            running_ = reader_.get();
        }
        opened.set_value(said);
    });
    Wait([&problem] { return problem.wait_for(std::chrono::seconds(0)) == std::future_status::ready; });
    problem_ = problem.get();
}

HistoryReaderThread::~HistoryReaderThread()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        if (running_)
            running_->Stop();
    }
    posted_.notify_all();
    worker_.join();
}

bool HistoryReaderThread::ExportCsv(const QString &file, QString *error)
{
    QString why;
    const bool written = Run([&file, &why](HistoryReader &r) { return r.ExportCsv(file, &why); });
    if (error)
        *error = why;
    return written;
}

void HistoryReaderThread::Post(std::function<void()> task)
{
    {
        std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
    }
    posted_.notify_all();
}

void HistoryReaderThread::Wait(const std::function<bool()> &done)
{
    if (waiter_) {
        waiter_(done);
        return;
    }
    while (!done())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

}  // namespace typetoki
