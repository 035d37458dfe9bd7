#include "platform/soundcues.h"

#include "engine/gamelog.h"

#include <QFile>
#include <sys/stat.h>

namespace typetoki {

namespace {

// A file that failed to read and has not changed is tried again no sooner
// than this: the same bytes would only fail again, at the cost of a read.
constexpr auto kRetryFailed = std::chrono::seconds(1);

}  // namespace

FileStamp StampOf(const QString &path)
{
    struct stat info {};
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &info) != 0)
        return {};
    return {true, info.st_dev, info.st_ino, info.st_size,
            info.st_mtim.tv_sec * 1000000000LL + info.st_mtim.tv_nsec};
}

void SoundCues::close()
{
    {
        std::lock_guard lock(mutex_);
        quitting_ = true;
        jobs_.clear();
    }
    changed_.notify_all();
    if (loader_.joinable())
        loader_.join();
    output_.close();
}

void SoundCues::setCueFiles(const QString &hero, const QString &rival, const QString &miss)
{
    const std::array<QString, 3> paths{hero, rival, miss};
    const Time now = std::chrono::steady_clock::now();
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const FileStamp stamp = StampOf(paths[i]);
        std::lock_guard lock(mutex_);
        Slot &slot = slots_[i];
        if (slot.path != paths[i]) {
            // Another file: the last one's sound is no stand-in for it.
            slot = Slot{paths[i], {}, {}, false, false, {}, slot.generation + 1};
            load(i);
        } else {
            slot.triedAt = {};  // a new game tries a failed file again
            reloadIfStale(i, stamp, now);
        }
    }
}

void SoundCues::reloadIfStale(std::size_t index, const FileStamp &now, Time at)
{
    Slot &slot = slots_[index];
    if (slot.loading || slot.path.isEmpty())
        return;
    if (now != slot.stamp || (slot.failed && at - slot.triedAt >= kRetryFailed))
        load(index);
}

void SoundCues::load(std::size_t index)
{
    if (quitting_)
        return;
    slots_[index].loading = true;
    jobs_.push_back(index);
    if (!loader_.joinable())
        loader_ = std::thread([this] { work(); });
    changed_.notify_all();
}

void SoundCues::work()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return quitting_ || !jobs_.empty(); });
        if (quitting_)
            return;
        const std::size_t index = jobs_.front();
        jobs_.pop_front();
        const QString path = slots_[index].path;
        const unsigned generation = slots_[index].generation;
        working_ = true;
        lock.unlock();
        // Stamped before reading: a change during the read is seen next time.
        const FileStamp stamp = StampOf(path);
        LoadedCue cue = LoadCue(path);
        lock.lock();
        working_ = false;
        Slot &slot = slots_[index];
        if (slot.generation == generation) {
            // A file that no longer plays is silent, not its old sound.
            slot.samples = std::move(cue.samples);
            slot.failed = cue.problem != SoundProblem::None;
            slot.stamp = stamp;
            slot.triedAt = std::chrono::steady_clock::now();
            slot.loading = false;
        }
        changed_.notify_all();
    }
}

void SoundCues::waitForLoads()
{
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return quitting_ || (jobs_.empty() && !working_); });
}

CueSamples SoundCues::samplesOf(Cue cue)
{
    std::lock_guard lock(mutex_);
    return slots_[std::size_t(cue)].samples;
}

void SoundCues::play(Cue cue)
{
    if (muted_)
        return;
    const std::size_t index = std::size_t(cue);
    CueSamples samples;
    {
        // Only this thread changes a path, so it may be read unlocked.
        const FileStamp stamp = StampOf(slots_[index].path);
        std::lock_guard lock(mutex_);
        reloadIfStale(index, stamp, std::chrono::steady_clock::now());
        samples = slots_[index].samples;
    }
    if (samples)
        output_.start(std::move(samples));
}

SoundProblem SoundCues::preview(const QString &path)
{
    // Always the file as it is now, whatever a cue holds.
    LoadedCue cue = LoadCue(path);
    if (cue.samples)
        output_.start(std::move(cue.samples));
    return cue.problem;
}

void SoundCues::setMuted(bool muted)
{
    qCInfo(lcSound, muted ? "cues off" : "cues on");
    muted_ = muted;
    if (muted)
        output_.stop();
}

}  // namespace typetoki
