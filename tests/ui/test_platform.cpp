// The real waits: they sleep in an event loop, let other handlers run inside
// them, and end at once when the window closes.
#include "platform/eventpump.h"
#include "platform/soundcues.h"
#include "platform/steadyclock.h"
#include "support/fakes.h"
#include "ui/form1.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

using namespace typetoki;

TEST(QtEventPump, WaitsTheTimeAskedWhileHandlingEvents)
{
    QtEventPump pump;
    bool ran = false;
    QTimer::singleShot(10, [&] { ran = true; });
    QElapsedTimer timer;
    timer.start();
    pump.processEvents(0.05);
    EXPECT_TRUE(ran);
    EXPECT_GE(timer.elapsed(), 49);
    EXPECT_LT(timer.elapsed(), 500);
}

TEST(QtEventPump, CancelEndsARunningWaitAndRefusesNewOnes)
{
    QtEventPump pump;
    QTimer::singleShot(20, [&] { pump.cancelWaits(); });
    QElapsedTimer timer;
    timer.start();
    pump.processEvents(5.0);
    EXPECT_LT(timer.elapsed(), 1000);
    timer.restart();
    pump.processEvents(5.0);
    EXPECT_LT(timer.elapsed(), 100);
}

TEST(QtEventPump, ClosingTheWindowDuringTheRealCountdownEndsItPromptly)
{
    Module1 state;
    typetoki::testing::TempProgramFolder folder(state);
    SteadyClock clock;
    QtEventPump pump;
    typetoki::testing::FakeWorld world;  // random numbers and sound only
    Form1 form(state, {clock, pump, world, world});
    form.show();
    QTimer::singleShot(300, &form, [&] { form.close(); });
    QElapsedTimer timer;
    timer.start();
    form.game().Command2_Click();
    EXPECT_LT(timer.elapsed(), 1500);
    EXPECT_EQ(state.gamePhase, kIdle);
    EXPECT_FALSE(form.isVisible());
}

TEST(SoundCues, ReadsPcmWavFilesAndNothingElse)
{
    QTemporaryDir dir;
    const QString notWav = dir.filePath("not.wav");
    QFile f(notWav);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("RIFF\x04\0\0\0WAVEjunk", 16);
    f.close();
    struct Case {
        QString path;
        bool playable;
    };
    const Case cases[] = {
        {QStringLiteral(TYPETOKI_BIN_DIR "/eya.wav"), true},
        {QStringLiteral(TYPETOKI_BIN_DIR "/ahh.wav"), true},
        {QStringLiteral(TYPETOKI_BIN_DIR "/test.txt"), false},
        {notWav, false},
        {dir.filePath("missing.wav"), false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        const SoundCues::Cue cue = SoundCues::ReadWav(c.path);
        EXPECT_EQ(!cue.samples.isEmpty(), c.playable);
        if (c.playable) {
            EXPECT_EQ(cue.format.sampleRate(), 22050);
            EXPECT_EQ(cue.format.channelCount(), 1);
            EXPECT_EQ(cue.format.sampleFormat(), QAudioFormat::Int16);
            // Under 0.6 s of 16-bit mono.
            EXPECT_LT(cue.samples.size(), 22050 * 2 * 6 / 10);
        }
    }
    // Unplayable or missing files are silent, never a crash.
    SoundCues sound;
    sound.play(notWav);
    sound.play(dir.filePath("missing.wav"));
    sound.stop();
}
