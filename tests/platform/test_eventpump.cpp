// The real waits: they sleep in an event loop, let other handlers run inside
// them, and end at once when they are cancelled.
#include "platform/eventpump.h"

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
