// How much of a processor core the whole game takes while it is played: the
// real clock, event loop, random numbers and sound cues, the real main
// window (on Qt's offscreen platform when nothing else is set), keys typed
// by a timer at a steady pace.
//
//   cpu_share [game-mode]     game mode 1 to 3, 1 when left out
//
// Phases, one after another, each measured on its own:
//   waiting   - the window open, no game
//   countdown - START pressed, the three-second count
//   typing    - a 20-second game, the next expected key eight times a second
//   countdown - START again
//   idle play - ten seconds of a running game with nobody typing
// Process CPU time (every thread) against wall time; each thread's share as
// well, so a busy sound or platform thread shows up by name.
#include "engine/gamestate.h"
#include "platform/eventpump.h"
#include "platform/mtrandom.h"
#include "platform/soundcues.h"
#include "platform/steadyclock.h"
#include "support/fakedialogs.h"
#include "ui/form1.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <ctime>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

using namespace typetoki;

namespace {

constexpr int kGameSeconds = 20;
constexpr int kKeyIntervalMs = 125;
constexpr int kWaitingMs = 5000;
constexpr int kIdlePlayMs = 10000;

double ProcessCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

double WallSeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Per thread: name and CPU seconds so far, from /proc (clock-tick resolution,
// plenty over phases of several seconds).
struct ThreadTime {
    std::string name;
    double cpu = 0;
};

std::map<QString, ThreadTime> ThreadTimes()
{
    std::map<QString, ThreadTime> times;
    const double tick = double(sysconf(_SC_CLK_TCK));
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString &tid : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile stat(tasks.filePath(tid + QStringLiteral("/stat")));
        QFile comm(tasks.filePath(tid + QStringLiteral("/comm")));
        if (!stat.open(QIODevice::ReadOnly) || !comm.open(QIODevice::ReadOnly))
            continue;
        // The name in parentheses may hold spaces; the fields after it are
        // state, ppid, ... with utime and stime the 12th and 13th.
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() < 13)
            continue;
        ThreadTime t;
        t.name = comm.readAll().trimmed().toStdString();
        t.cpu = (fields[11].toDouble() + fields[12].toDouble()) / tick;
        times[tid] = t;
    }
    return times;
}

struct Mark {
    double wall = 0;
    double cpu = 0;
    std::map<QString, ThreadTime> threads;
};

Mark TakeMark() { return {WallSeconds(), ProcessCpuSeconds(), ThreadTimes()}; }

struct Phase {
    std::string name;
    Mark from, to;
    int keys = 0;
    int linePaintsFrom = 0, linePaints = 0;

    double wall() const { return to.wall - from.wall; }
    double cpu() const { return to.cpu - from.cpu; }
    double share() const { return wall() > 0 ? 100.0 * cpu() / wall() : 0; }
};

void PrintPhase(const Phase &p)
{
    std::printf("%-28s wall %6.2f s  cpu %6.3f s  %6.2f %% of a core", p.name.c_str(), p.wall(),
                p.cpu(), p.share());
    if (p.keys > 0)
        std::printf("  (%d keys, %.2f a second)", p.keys, p.keys / p.wall());
    std::printf("\n    target line box painted %d times", p.linePaints);
    if (p.keys > 0)
        std::printf(" (%.2f a key)", double(p.linePaints) / p.keys);
    std::printf("\n");
    for (const auto &[tid, t] : p.to.threads) {
        const auto before = p.from.threads.find(tid);
        const double used = t.cpu - (before == p.from.threads.end() ? 0 : before->second.cpu);
        if (used > 0)
            std::printf("    thread %-7s %-18s %6.2f s  %6.2f %%\n", qPrintable(tid), t.name.c_str(),
                        used, 100.0 * used / p.wall());
    }
}

// Counts the paints of one widget: the target line box holds up to 12,000
// letters, and how often it is drawn tells much of where the time goes.
class PaintCounter final : public QObject {
public:
    using QObject::QObject;
    int paints = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return QObject::eventFilter(watched, event);
    }
};

class ScriptedForm1 final : public Form1 {
public:
    ScriptedForm1(Module1 &state, Platform platform, Dialogs &dialogs) : Form1(state, platform, dialogs)
    {
        // The result screen and the board would wait for a player too.
        game().setEndOfGameHandler({});
    }
};

}  // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int gameMode = argc > 1 ? std::atoi(argv[1]) : 1;
    if (gameMode < 1 || gameMode > 3) {
        std::fprintf(stderr, "usage: cpu_share [game-mode 1 to 3]\n");
        return 2;
    }

    // A program folder of its own with copies of the cues: the window reads
    // its settings file from there, and one left by a real game must not
    // choose the mode or the time limit.
    QTemporaryDir folder;
    for (const char *name : {"eya.wav", "hiku.wav", "ahh.wav", "test.txt"}) {
        const QString file = QString::fromLatin1(name);
        if (!QFile::copy(QStringLiteral(TYPETOKI_BIN_DIR "/") + file, folder.filePath(file))) {
            std::fprintf(stderr, "cannot copy %s from %s\n", name, TYPETOKI_BIN_DIR);
            return 1;
        }
    }
    Module1 state;
    state.setProgramFolder(folder.path());

    SteadyClock clock;
    QtEventPump events;
    MtRandom random;
    SoundCues sound;
    sound.open();

    // The end-of-game message would wait for a click nobody makes.
    testing::FakeDialogs dialogs;
    ScriptedForm1 form(state, {clock, events, random, sound}, dialogs);
    // After the window has read its settings, as a player's choices would be.
    state.gameMode = GameMode(gameMode);
    state.timeLimitSeconds = kGameSeconds;
    if (const ModeRow *row = RowOf(state.gameMode))
        form.setModeLabel(Text(row->caption), row->color);
    PaintCounter linePaints;
    form.Text4->installEventFilter(&linePaints);
    form.show();

    std::vector<Phase> phases;
    auto begin = [&](const char *name) {
        phases.push_back({name, TakeMark(), {}, 0, linePaints.paints, 0});
    };
    auto end = [&] {
        phases.back().to = TakeMark();
        phases.back().linePaints = linePaints.paints - phases.back().linePaintsFrom;
    };
    bool failed = false;

    QTimer typer;
    typer.setTimerType(Qt::PreciseTimer);
    typer.setInterval(kKeyIntervalMs);
    QObject::connect(&typer, &QTimer::timeout, &form, [&] {
        if (state.gamePhase != 1)
            return;
        const QString target = form.game().targetLine();
        if (target.isEmpty())
            return;
        ++phases.back().keys;
        QTest::keyClick(form.Text1, target.at(0).toLatin1());
    });

    // START, which returns once the countdown is over and play has begun.
    auto pressStart = [&](const char *afterwards) {
        begin("countdown");
        QTest::mouseClick(form.Command2, Qt::LeftButton);
        end();
        if (state.gamePhase != 1) {
            std::fprintf(stderr, "the game did not start\n");
            failed = true;
            app.quit();
            return false;
        }
        begin(afterwards);
        return true;
    };

    auto idlePlay = [&] {
        if (!pressStart("idle play (nobody types)"))
            return;
        QTimer::singleShot(kIdlePlayMs, Qt::PreciseTimer, &form, [&] {
            end();
            form.Command3->click();  // END
            app.quit();
        });
    };

    int typedGameKeys = 0, typedGameHits = 0;
    qsizetype lineLetters = 0;
    bool typedGameOver = false;
    dialogs.onMessage = [&] {
        // Called from the clock tick that ends a game; only the typed one
        // ends this way, the idle one is stopped with END.
        if (typedGameOver)
            return;
        typedGameOver = true;
        end();
        typer.stop();
        typedGameKeys = state.inputCount;
        typedGameHits = state.correctCount;
        QTimer::singleShot(0, &form, idlePlay);
    };

    QTimer::singleShot(0, &form, [&] {
        begin("waiting (no game)");
        QTimer::singleShot(kWaitingMs, Qt::PreciseTimer, &form, [&] {
            end();
            if (!pressStart("typing"))
                return;
            lineLetters = form.game().targetLine().size();
            typer.start();
        });
    });

    app.exec();
    if (failed || phases.size() != 5 || phases[2].keys == 0) {
        std::fprintf(stderr, "the scripted game did not run through\n");
        return 1;
    }

    std::printf("game mode %d (target line of %lld letters), %d-second game, a key every %d ms\n",
                int(state.gameMode), static_cast<long long>(lineLetters), int(state.timeLimitSeconds),
                kKeyIntervalMs);
    for (const Phase &p : phases)
        PrintPhase(p);
    if (typedGameHits != typedGameKeys)
        std::printf("note: %d of %d keys were judged misses\n", typedGameKeys - typedGameHits,
                    typedGameKeys);
    const Phase &typing = phases[2];
    const Phase &countdown = phases[1];
    Phase withCountdown{"", countdown.from, typing.to, typing.keys, 0, 0};
    std::printf("cpu share: %.2f %% of a core (typing; %.2f %% with the countdown)\n",
                typing.share(), withCountdown.share());
    std::printf("idle share: %.2f %% of a core (playing, nobody typing)\n", phases[4].share());
    return 0;
}
