#pragma once
// The readings of a whole training text. A long text with kanji takes the
// dictionary a while, so its lines are read on a worker thread from the
// moment the text is loaded, and the game never waits for them.

#include "engine/romaji.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace typetoki {

class RomajiText {
public:
    // Starts reading at once and returns. Without a reader (no dictionary)
    // kanji are skipped; the caller has told the player why.
    RomajiText(QStringList lines, std::shared_ptr<const Reader> reader,
               const RomajiTable &table = RomajiTable::standard());
    // Stops the worker after the line it is on.
    ~RomajiText();
    RomajiText(const RomajiText &) = delete;
    RomajiText &operator=(const RomajiText &) = delete;

    qsizetype size() const { return lines_.size(); }
    // The reading of line index (from 0). Never waits for the worker: a line
    // it has not reached yet is read here, which for one line takes far less
    // than a key's time. An index out of range gives an empty reading.
    LineReading reading(qsizetype index);
    // Every line has been read (by the worker or on demand).
    bool complete() const { return remaining_.load() == 0; }
    // For tests and benchmarks: returns when the worker has finished.
    void waitForWorker();

private:
    void readAll();
    void store(qsizetype index, LineReading reading);

    const QStringList lines_;
    const std::shared_ptr<const Reader> reader_;
    const RomajiTable &table_;
    std::mutex mutex_;
    std::vector<std::optional<LineReading>> readings_;
    std::atomic<qsizetype> remaining_;
    std::atomic<bool> stopping_{false};
    std::thread worker_;
};

}  // namespace typetoki
