#pragma once
// The game's cues: three files read ahead and converted in a thread of their
// own, played through the one output stream. Before each cue one stat of its
// file tells whether it changed since it was read (or failed to read); if so
// the file is read again in the background while the sound read before
// still plays, so a file replaced or put in place during a game is heard
// from the next cue or so on, and the key never waits for the disk.

#include "engine/interfaces.h"
#include "platform/cuefile.h"
#include "platform/pulseoutput.h"

#include <array>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace typetoki {

// What a stat tells of a file, enough to see that it changed.
struct FileStamp {
    bool exists = false;
    unsigned long long device = 0, inode = 0;
    long long size = 0, modifiedNs = 0;
    bool operator==(const FileStamp &) const = default;
};
FileStamp StampOf(const QString &path);

class SoundCues final : public Sound {
public:
    SoundCues() = default;
    ~SoundCues() override { close(); }

    // Opens the output stream and keeps it; returns at once.
    void open() { output_.open(); }
    // The loads in progress end, then the output closes: everything that
    // runs in other threads is over when this returns.
    void close();

    void setCueFiles(const QString &hero, const QString &rival, const QString &miss) override;
    void stop() override { output_.stop(); }
    void play(Cue cue) override;
    SoundProblem preview(const QString &path) override;
    void setMuted(bool muted) override;
    void setVolume(int percent) override { output_.setVolume(percent); }

    // Returns once every load asked for so far has ended.
    void waitForLoads();
    // The samples a cue plays now; null while it is silent.
    CueSamples samplesOf(Cue cue);
    const PulseOutput &output() const { return output_; }

private:
    using Time = std::chrono::steady_clock::time_point;
    struct Slot {
        QString path;
        CueSamples samples;
        FileStamp stamp;  // of the version last read, or tried
        bool failed = false;
        bool loading = false;
        Time triedAt;
        unsigned generation = 0;
    };
    // With mutex_ held.
    void reloadIfStale(std::size_t index, const FileStamp &now, Time at);
    void load(std::size_t index);
    void work();

    PulseOutput output_;
    bool muted_ = false;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::array<Slot, 3> slots_;
    std::deque<std::size_t> jobs_;
    bool working_ = false;
    bool quitting_ = false;
    std::thread loader_;
};

}  // namespace typetoki
