// The real waits: they sleep in an event loop, let other handlers run inside
// them, and end at once when the window closes.
#include "platform/eventpump.h"
#include "platform/steadyclock.h"
#include "support/fakes.h"
#include "ui/form1.h"

#include <QElapsedTimer>
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
