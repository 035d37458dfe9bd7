// How often the cue stream's thread wakes, on a PulseAudio server of the
// test's own with a null sink: each wake-up costs the game processor time
// whether or not anything is heard, so it must sleep while nothing sounds and
// wake seldom while cues follow each other at a typist's pace. Skipped where
// PulseAudio is not installed.
#include "platform/pulseoutput.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

using namespace typetoki;

namespace {

// The voluntary context switches of the thread with this name: one for
// every time it slept and woke again. Those forced on it by a busy machine
// are not its own doing.
long long SwitchesOf(const QByteArray &threadName)
{
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString &tid : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(tasks.filePath(tid + QStringLiteral("/comm")));
        if (!comm.open(QIODevice::ReadOnly) || comm.readAll().trimmed() != threadName)
            continue;
        QFile status(tasks.filePath(tid + QStringLiteral("/status")));
        if (!status.open(QIODevice::ReadOnly))
            return -1;
        long long switches = 0;
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith("voluntary_ctxt_switches:"))
                switches = line.mid(line.indexOf(':') + 1).trimmed().toLongLong();
        }
        return switches;
    }
    return -1;
}

CueSamples Tone(double seconds)
{
    std::vector<std::int16_t> samples(std::size_t(seconds * kCueRate) * kCueChannels);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = std::int16_t(8000 * std::sin(double(i / kCueChannels) * 440 * 2 * M_PI / kCueRate));
    return std::make_shared<const std::vector<std::int16_t>>(std::move(samples));
}

// The server the tests share, reachable only through its socket in a folder
// of its own, as the game's real-sound tests set theirs up.
class SoundServer : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("pulseaudio")).isEmpty())
            return;
        folder_ = new QTemporaryDir;
        const QString run = folder_->filePath(QStringLiteral("run"));
        const QString home = folder_->filePath(QStringLiteral("home"));
        QDir().mkpath(run);
        QDir().mkpath(home);
        QFile::setPermissions(run, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const QString socket = run + QStringLiteral("/native");
        // The client (this program) reads no cookie or setting of the real
        // user either.
        qputenv("HOME", home.toUtf8());
        qputenv("XDG_RUNTIME_DIR", run.toUtf8());
        qputenv("PULSE_RUNTIME_PATH", run.toUtf8());
        qputenv("XDG_CONFIG_HOME", (home + QStringLiteral("/.config")).toUtf8());
        qputenv("PULSE_STATE_PATH", (home + QStringLiteral("/state")).toUtf8());
        qputenv("PULSE_SERVER", ("unix:" + socket).toUtf8());
        server_ = new QProcess;
        server_->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        server_->start(QStringLiteral("pulseaudio"),
                       {QStringLiteral("--daemonize=no"), QStringLiteral("--system=false"),
                        QStringLiteral("--exit-idle-time=-1"), QStringLiteral("-n"),
                        QStringLiteral("--use-pid-file=no"), QStringLiteral("--disable-shm=yes"),
                        QStringLiteral("--log-level=error"),
                        QStringLiteral("--load=module-null-sink sink_name=rec rate=48000 channels=2"),
                        QStringLiteral("--load=module-native-protocol-unix auth-anonymous=1 socket=") + socket});
        server_->waitForStarted(5000);
    }

    static void TearDownTestSuite()
    {
        if (server_) {
            server_->terminate();
            if (!server_->waitForFinished(5000))
                server_->kill();
            server_->waitForFinished(5000);
        }
        delete server_;
        delete folder_;
        server_ = nullptr;
        folder_ = nullptr;
    }

    // Opens the output and waits for its stream, or skips the test.
    void SetUp() override
    {
        if (!server_ || server_->state() != QProcess::Running)
            GTEST_SKIP() << "no PulseAudio server could be started";
        QElapsedTimer waited;
        waited.start();
        output_.open();
        // A stream that failed to open while the server started is opened
        // again by the next cue.
        while (output_.grantedMilliseconds() == 0 && waited.elapsed() < 10000) {
            output_.start(Tone(0.01));
            QThread::msleep(100);
        }
        if (output_.grantedMilliseconds() == 0)
            GTEST_SKIP() << "the PulseAudio server gave no stream";
        QThread::msleep(300);  // the last of those cues over
    }

    PulseOutput output_;
    static inline QTemporaryDir *folder_ = nullptr;
    static inline QProcess *server_ = nullptr;
};

TEST_F(SoundServer, TheStreamThreadSleepsInSilenceAndWakesSeldomWhileCuesSound)
{
    struct Case {
        const char *what;
        int cues;          // played one after another, each cutting the last off
        int everyMs;
        double cueSeconds;
        int quietMs;       // left to sound out before counting
        int countedMs;
        double mostPerSecond;
    };
    // With the server asking for more every 2.5 ms, a cue woke the thread
    // about 410 times a second and eight cues a second 130 times; every 40 ms,
    // about 30 times either way.
    const Case cases[] = {
        {"eight cues a second, one always sounding", 16, 125, 0.3, 0, 2000, 80},
        {"a cue sounding on its own", 1, 0, 1.0, 0, 1000, 80},
        {"silence after a cue", 1, 0, 0.1, 300, 1000, 3},
        {"silence", 0, 0, 0, 0, 1000, 3},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const long long before = SwitchesOf("typetoki-sound");
        ASSERT_GE(before, 0) << "no thread named typetoki-sound";
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < c.cues; ++i) {
            while (clock.elapsed() < qint64(i) * c.everyMs)
                QThread::msleep(1);
            output_.start(Tone(c.cueSeconds));
        }
        long long from = before;
        if (c.quietMs > 0) {
            QThread::msleep(c.quietMs);
            from = SwitchesOf("typetoki-sound");
            clock.restart();
        }
        while (clock.elapsed() < c.countedMs)
            QThread::msleep(5);
        const double seconds = double(clock.elapsed()) / 1000;
        const double perSecond = double(SwitchesOf("typetoki-sound") - from) / seconds;
        EXPECT_LE(perSecond, c.mostPerSecond);
        std::printf("%s: %.0f wake-ups a second\n", c.what, perSecond);
        output_.stop();
        QThread::msleep(200);
    }
}

}  // namespace
