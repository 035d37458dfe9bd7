#include "platform/eventpump.h"

#include <QEventLoop>
#include <QTimer>
#include <cmath>

namespace typetoki {

void QtEventPump::processEvents(double seconds)
{
    if (aborted_)
        return;
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    // Rounded up: a timer that fires a fraction of a millisecond early would
    // only make the caller come back for another, empty round.
    const double ms = std::ceil(std::max(0.0, seconds) * 1000.0);
    timer.start(int(std::min(ms, 3600.0 * 1000.0)));
    running_.append(&loop);
    loop.exec();
    running_.removeOne(&loop);
}

void QtEventPump::cancelWaits()
{
    aborted_ = true;
    for (QEventLoop *loop : running_)
        loop->quit();
}

}  // namespace typetoki
