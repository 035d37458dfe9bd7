#include "platform/steadyclock.h"

namespace typetoki {

double SteadyClock::now() const
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - origin_).count();
}

QDateTime SteadyClock::localDateTime() const
{
    return QDateTime::currentDateTime();
}

}  // namespace typetoki
