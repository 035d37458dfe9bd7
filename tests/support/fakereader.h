#pragma once
// A dictionary that knows only the lines a test teaches it, written as the
// words with their readings, and keeps count of what it was asked.

#include "engine/reading.h"

#include <QHash>
#include <QStringList>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <utility>

namespace typetoki::testing {

class FakeReader final : public Reader {
public:
    // The line is the words joined; a word with an empty reading is one the
    // dictionary does not know. A line taught again is read that way too,
    // less likely than the ways taught before.
    void teach(std::initializer_list<std::pair<const char *, const char *>> words)
    {
        QString line;
        QList<Word> found;
        for (const auto &[written, reading] : words) {
            const QString text = QString::fromUtf8(written);
            found.append(Word{line.size(), text.size(), QString::fromUtf8(reading)});
            line += text;
        }
        known_[line].append(found);
    }

    // Asking for this line blocks until release(), as a slow dictionary would.
    void holdOn(const QString &line) { held_ = line; }
    void release()
    {
        const std::lock_guard lock(mutex_);
        released_ = true;
        wake_.notify_all();
    }

    QList<Word> words(const QString &line) const override
    {
        ++calls;
        if (!held_.isEmpty() && line == held_) {
            std::unique_lock lock(mutex_);
            ++waiting;
            wake_.wait(lock, [this] { return released_; });
        }
        return known_.value(line).value(0);
    }

    QList<QList<Word>> analyses(const QString &line) const override
    {
        const QList<Word> first = words(line);
        return known_.contains(line) ? known_.value(line) : QList<QList<Word>>{first};
    }

    mutable std::atomic<int> calls{0};
    mutable std::atomic<int> waiting{0};

private:
    QHash<QString, QList<QList<Word>>> known_;
    QString held_;
    mutable std::mutex mutex_;
    mutable std::condition_variable wake_;
    bool released_ = false;
};

}  // namespace typetoki::testing
